#include "musicbox.h"

#include "mainwindow.h"
#include "mprisservice.h"

#include <QDBusConnection>
#include <QEvent>
#include <QTimer>
#include <QTreeView>

#include <chrono>
#include <cstdio>

namespace {

// For the start-up benchmark (bench/startup.sh): with MUSICBOX_STARTUP_MARK
// set, "painted <ms>" goes to stderr once the first frame showing a filled
// song list has gone to the screen, the wall clock in milliseconds since the
// epoch.
class FirstListPaint : public QObject
{
public:
    explicit FirstListPaint(QAbstractItemView *view) : QObject(view), m_view(view)
    {
        view->viewport()->installEventFilter(this);
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && m_view->model() && m_view->model()->rowCount() > 0) {
            m_view->viewport()->removeEventFilter(this);
            // The frame is flushed right after the paint; the timer fires then.
            QTimer::singleShot(0, this, [this] {
                const auto now = std::chrono::system_clock::now().time_since_epoch();
                std::fprintf(stderr, "painted %.3f\n", std::chrono::duration<double, std::milli>(now).count());
                std::fflush(stderr);
                deleteLater();
            });
        }
        return false;
    }

private:
    QAbstractItemView *m_view;
};

} // namespace

Subsystems::Subsystems(const Services &s)
    : catalogue(s.http, s.catalogueUrl), selection(&songs), resolver(catalogue, songs),
      search(catalogue, songs, s.dialogs), charts(catalogue, songs), playOptions(s.registry),
      playback(s.player, resolver, songs, selection, s.dialogs),
      downloads(s.downloader, resolver, songs, selection, s.player, s.dialogs),
      lyrics(resolver, selection, s.dialogs, s.urlOpener, s.catalogueUrl), volume(s.volume, s.dialogs)
{
}

MusicBox::MusicBox(const Services &services)
    : m_subsystems(services), m_window(std::make_unique<MainWindow>(m_subsystems, services.tray))
{
}

MusicBox::~MusicBox() = default;

bool MusicBox::offerOnSessionBus()
{
    auto mpris = std::make_unique<MprisService>();
    PlaybackController &playback = m_subsystems.playback;
    MainWindow *window = m_window.get();
    QObject::connect(mpris.get(), &MprisService::raiseRequested, window, &MainWindow::showFromTray);
    QObject::connect(mpris.get(), &MprisService::quitRequested, window, &MainWindow::exitProgram);
    QObject::connect(mpris.get(), &MprisService::playPauseRequested, &playback, &PlaybackController::togglePlayPause);
    QObject::connect(mpris.get(), &MprisService::playRequested, &playback, &PlaybackController::play);
    QObject::connect(mpris.get(), &MprisService::pauseRequested, &playback, &PlaybackController::pause);
    QObject::connect(mpris.get(), &MprisService::stopRequested, &playback, &PlaybackController::stopPlayback);
    // The next row, as continuous play would go on (a random one with
    // random play).
    QObject::connect(mpris.get(), &MprisService::nextRequested, &playback, &PlaybackController::switchToNextSong);
    QObject::connect(&playback, &PlaybackController::playerStateChanged, mpris.get(), &MprisService::setPlayState);
    QObject::connect(&playback, &PlaybackController::trackChanged, mpris.get(), &MprisService::setTrack);
    mpris->setPositionSource([&playback] { return playback.positionMicroseconds(); });
    if (!mpris->registerOn(QDBusConnection::sessionBus()))
        return false;
    m_mpris = std::move(mpris);
    return true;
}

void MusicBox::start()
{
    if (qEnvironmentVariableIsSet("MUSICBOX_STARTUP_MARK"))
        if (auto *view = m_window->findChild<QTreeView *>(QStringLiteral("播放列表框")))
            new FirstListPaint(view);
    m_window->show();
    m_window->onMainWindowCreated();
}
