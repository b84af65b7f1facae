#include "mainwindow.h"

#include "accessibility.h"
#include "charts.h"
#include "controllayout.h"
#include "filepropertiesdialog.h"
#include "imagebutton.h"
#include "musicbox.h"
#include "picturelabel.h"
#include "placement.h"
#include "skinpictures.h"
#include "transparentlabel.h"
#include "tray.h"
#include "volumethumb.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFrame>
#include <QHash>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QTreeView>
#include <QWindow>

namespace {

// The window's shape: every skin pixel but the pure red ones, as bands of
// rows that have the same runs of kept pixels. Built from the rows directly,
// which is far quicker than going through a bitmap mask.
QRegion shapeOf(const QImage &skin)
{
    const QImage image = skin.convertToFormat(QImage::Format_RGB32);
    const QRgb hole = qRgb(255, 0, 0);
    QList<QRect> rects;
    QList<QRect> band; // the runs of the band being built
    qsizetype bandStart = 0;
    QList<QRect> runs;
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        runs.clear();
        for (int x = 0; x < image.width();) {
            while (x < image.width() && row[x] == hole)
                ++x;
            const int from = x;
            while (x < image.width() && row[x] != hole)
                ++x;
            if (x > from)
                runs.append(QRect(from, y, x - from, 1));
        }
        const bool sameRuns = !band.isEmpty() && band.size() == runs.size()
            && std::equal(band.cbegin(), band.cend(), runs.cbegin(), [](const QRect &a, const QRect &b) {
                   return a.left() == b.left() && a.width() == b.width();
               });
        if (sameRuns) {
            for (qsizetype i = bandStart; i < rects.size(); ++i)
                rects[i].setBottom(y);
        } else {
            band = runs;
            bandStart = rects.size();
            rects.append(runs);
        }
    }
    QRegion region;
    region.setRects(rects.constData(), int(rects.size()));
    return region;
}

QColor colour(layout::Colour c)
{
    return QColor(c.r, c.g, c.b);
}

QRect placeOf(const layout::Control &c)
{
    return QRect(c.x, c.y, c.width, c.height);
}

// The list and the progress text use a 12-pixel Song face; where it is not
// installed, the nearest CJK face stands in.
QFont songFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("NSimSun"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(12);
    font.setWeight(QFont::Normal);
    return font;
}

const QColor kSearchIdle = colour(layout::kSearchIdle);
const QColor kSearchHover(236, 236, 236);
const QColor kRefreshHover(0, 255, 0);
const QColor kRefreshIdle(0, 224, 128);
const QString kCatalogueFailure = QStringLiteral("曲库连接失败");

// The standard controls follow the skin's dark look.
const char *kControlStyle = R"(
QLineEdit#搜索框 {
    background: rgb(13,16,22); color: rgb(214,220,230); border: none; padding: 0 2px;
    selection-background-color: rgb(30,96,112); selection-color: white;
}
QLineEdit#搜索框:focus { border: 1px solid rgb(74,204,218); border-radius: 2px; padding: 0 1px; }
QComboBox#关键字框 {
    background: rgb(13,16,22); color: rgb(214,220,230); border: none;
}
QComboBox#关键字框 QAbstractItemView {
    background: rgb(18,23,31); color: rgb(214,220,230); border: 1px solid rgb(48,60,76);
    selection-background-color: rgb(30,96,112); selection-color: white; outline: 0;
}
QTreeView#播放列表框 {
    background: rgb(14,18,25); alternate-background-color: rgb(18,23,31); color: rgb(196,204,216);
    border: none; outline: 0;
    selection-background-color: rgb(30,96,112); selection-color: white;
}
QTreeView#播放列表框:focus { border: 1px solid rgb(40,120,136); }
QTreeView#播放列表框::item { height: 18px; border: none; }
QTreeView#播放列表框::item:hover { background: rgb(26,36,48); }
QTreeView#播放列表框::item:selected { background: rgb(30,96,112); color: white; }
QScrollBar:vertical { background: rgb(14,18,25); width: 10px; margin: 0; }
QScrollBar::handle:vertical { background: rgb(52,70,90); min-height: 24px; border-radius: 4px; margin: 1px; }
QScrollBar::handle:vertical:hover { background: rgb(40,120,136); }
QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }
QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }
QMenu { background: rgb(18,23,31); color: rgb(214,220,230); border: 1px solid rgb(48,60,76); padding: 3px 0; }
QMenu::item { padding: 4px 22px 4px 24px; }
QMenu::item:selected { background: rgb(30,96,112); color: white; }
QMenu::item:disabled { color: rgb(92,104,120); }
QMenu::separator { height: 1px; background: rgb(40,50,64); margin: 3px 6px; }
)";

} // namespace

MainWindow::MainWindow(Subsystems &subsystems, Tray &tray, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_subsystems(subsystems), m_tray(tray),
      m_skin(skin::picture("skin"))
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("音乐播放器"));
    setWindowIcon(QIcon(skin::picture("app")));
    setFixedSize(layout::kWindowWidth, layout::kWindowHeight);
    // At its usual place, unless that runs off the screen's free area.
    const QPoint usual(layout::kWindowX, layout::kWindowY);
    QScreen *start = QGuiApplication::screenAt(usual);
    if (!start)
        start = QGuiApplication::primaryScreen();
    move(start ? startPosition(start->availableGeometry(), size(), usual) : usual);
    setMouseTracking(true);
    setStyleSheet(QString::fromUtf8(kControlStyle));
    installAccessibility();

    buildControls();
    buildMenus();
    connectControls();
    connectCatalogue();
    connectPlayback();
    connectDownloads();
    connectLyrics();
    connectVolume();
    connectKeyboard();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls()
{
    // Every control of the table, then what each kind needs beyond its
    // place, text and pictures.
    QHash<QString, QWidget *> built;
    QList<QWidget *> stack; // topmost first
    for (const layout::Control &c : layout::kControls) {
        QWidget *parent = c.inside ? built.value(QString::fromUtf8(c.inside)) : this;
        QWidget *w = nullptr;
        switch (c.kind) {
        case layout::Kind::Text: {
            auto *l = new TransparentLabel(QString::fromUtf8(c.text), parent);
            l->setTextColour(colour(c.colour));
            w = l;
            break;
        }
        case layout::Kind::Picture: {
            auto *p = new PictureLabel(skin::picture(c.normal), parent);
            if (c.text)
                p->setCaption(QString::fromUtf8(c.text));
            w = p;
            break;
        }
        case layout::Kind::Button: {
            auto *b = qstrcmp(c.name, "音量拖动") == 0 ? new VolumeThumb(parent) : new ImageButton(parent);
            // The round play button and the mute button are cut out of their
            // pictures by a key colour, so their corners show the skin.
            if (qstrcmp(c.name, "暂停图形按钮") == 0)
                b->setKeyColour(qRgb(255, 0, 0));
            else if (qstrcmp(c.name, "图形按钮6") == 0)
                b->setKeyColour(qRgb(255, 0, 255));
            b->setCheckable(c.checked != nullptr);
            for (auto [picture, set] : {std::pair{c.normal, &ImageButton::setNormalPicture},
                                        std::pair{c.hover, &ImageButton::setHoverPicture},
                                        std::pair{c.pressed, &ImageButton::setPressedPicture},
                                        std::pair{c.checked, &ImageButton::setCheckedPicture}})
                if (picture)
                    (b->*set)(skin::picture(picture));
            w = b;
            break;
        }
        case layout::Kind::Edit: w = new QLineEdit(parent); break;
        case layout::Kind::Combo: w = new QComboBox(parent); break;
        case layout::Kind::List: w = new QTreeView(parent); break;
        case layout::Kind::Frame: {
            auto *f = new QFrame(parent);
            f->setFrameShape(QFrame::NoFrame);
            w = f;
            break;
        }
        }
        w->setObjectName(QString::fromUtf8(c.name));
        w->setGeometry(placeOf(c));
        built.insert(w->objectName(), w);
        stack << w;
    }
    // Raising from the bottom up leaves the first of the table on top (the
    // volume box's pictures among themselves).
    for (auto it = stack.crbegin(); it != stack.crend(); ++it)
        (*it)->raise();

    auto find = [&built](const char *name) { return built.value(QString::fromUtf8(name)); };
    auto text = [&find](const char *name) { return static_cast<TransparentLabel *>(find(name)); };
    auto button = [&find](const char *name) { return static_cast<ImageButton *>(find(name)); };
    m_receptionLabel = text("播放下载标签");
    m_progressLabel = text("进度透明标签");
    m_stopDownloadLabel = text("停止下载标签");
    m_downloadLabel = text("下载透明标签");
    m_downloadHint = text("下载提示透明标签");
    m_refreshLabel = text("刷新透明标签");
    m_statusLabel = text("缓冲标签");
    m_searchLabel = text("搜索透明标签");
    m_titleLabel = text("提示标签");
    m_searchCaption = text("提示透明标签");
    m_openButton = button("打开图形按钮");
    m_volumeThumb = static_cast<VolumeThumb *>(find("音量拖动"));
    m_muteButton = button("图形按钮6");
    m_playPauseButton = button("暂停图形按钮");
    m_stopButton = button("停止图形按钮");
    m_dropDownButton = button("图形按钮1");
    m_minimiseButton = button("小化图形按钮");
    m_maximiseButton = button("大化图形按钮");
    m_closeButton = button("关闭图形按钮");
    m_controlBar = static_cast<PictureLabel *>(find("标签8"));
    m_searchBox = static_cast<QLineEdit *>(find("搜索框"));
    m_keywordBox = static_cast<QComboBox *>(find("关键字框"));
    m_songView = static_cast<QTreeView *>(find("播放列表框"));

    const QCursor hand(Qt::PointingHandCursor);
    for (QWidget *w : {static_cast<QWidget *>(m_stopDownloadLabel), static_cast<QWidget *>(m_downloadLabel),
                       static_cast<QWidget *>(m_refreshLabel), static_cast<QWidget *>(m_searchLabel),
                       static_cast<QWidget *>(m_openButton), static_cast<QWidget *>(m_volumeThumb),
                       static_cast<QWidget *>(m_muteButton), static_cast<QWidget *>(m_playPauseButton),
                       static_cast<QWidget *>(m_stopButton), find("停止按钮")})
        w->setCursor(hand);
    m_stopDownloadLabel->hide();
    m_refreshLabel->setMouseTracking(true);
    m_searchLabel->setMouseTracking(true);
    m_progressLabel->setFont(songFont());
    for (const char *strip : {"标签4", "标签3", "标签2"}) {
        auto *header = static_cast<PictureLabel *>(find(strip));
        header->setTiled(true);
        QPalette p = header->palette();
        p.setColor(QPalette::WindowText, colour(layout::kHeaderText));
        header->setPalette(p);
    }

    m_searchBox->setFrame(false);
    m_keywordBox->setMaxVisibleItems(16);

    m_songView->setModel(&m_subsystems.songs);
    m_songView->setSelectionModel(&m_subsystems.selection);
    m_songView->setFont(songFont());
    m_songView->setRootIsDecorated(false);
    m_songView->setItemsExpandable(false);
    m_songView->setUniformRowHeights(true);
    m_songView->setAllColumnsShowFocus(true);
    m_songView->setAlternatingRowColors(true);
    m_songView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_songView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_songView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_songView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_songView->setContextMenuPolicy(Qt::CustomContextMenu);
    // The skin's caption strip stands above the list, so the list's own
    // header row is not shown.
    m_songView->setHeaderHidden(true);
    m_songView->header()->setStretchLastSection(false);
    m_songView->setColumnWidth(SongListModel::NumberColumn, 40);
    m_songView->setColumnWidth(SongListModel::TitleColumn, 150);
    m_songView->setColumnWidth(SongListModel::SingerColumn, 355);
}

void MainWindow::buildMenus()
{
    enum Flags { Hidden = 1, Disabled = 2, Checkable = 4, Checked = 8 };
    auto item = [](QMenu *menu, const QString &caption, int flags = 0) {
        QAction *a = menu->addAction(caption);
        QString name = caption;
        const qsizetype key = name.indexOf(QStringLiteral("(&"));
        if (key >= 0)
            name.truncate(key);
        a->setObjectName(name);
        a->setVisible(!(flags & Hidden));
        a->setEnabled(!(flags & Disabled));
        a->setCheckable(flags & Checkable);
        a->setChecked(flags & Checked);
        return a;
    };
    auto submenu = [](QMenu *menu, const QString &caption) {
        QMenu *sub = menu->addMenu(caption);
        QString name = caption;
        name.truncate(name.indexOf(QStringLiteral("(&")) >= 0 ? name.indexOf(QStringLiteral("(&")) : name.size());
        sub->setObjectName(name);
        sub->menuAction()->setObjectName(name);
        return sub;
    };

    m_playerMenu = new QMenu(this);
    m_playerMenu->setObjectName(QStringLiteral("菜单"));
    m_openFileItem = item(m_playerMenu, QStringLiteral("打开文件(&U)"));
    m_playerMenu->addSeparator();
    m_playPauseItem = item(m_playerMenu, QStringLiteral("播放/暂停(&P)"));
    m_stopItem = item(m_playerMenu, QStringLiteral("停止(&S)"), Disabled);
    m_playerMenu->addSeparator();
    QMenu *channels = submenu(m_playerMenu, QStringLiteral("声道(&Y)"));
    m_stereoItem = item(channels, QStringLiteral("立体声"), Checkable | Checked);
    m_leftItem = item(channels, QStringLiteral("左声道"), Checkable);
    m_rightItem = item(channels, QStringLiteral("右声道"), Checkable);
    m_playerMenu->addSeparator();
    m_propertiesItem = item(m_playerMenu, QStringLiteral("属性(&R)"), Disabled);

    m_songMenu = new QMenu(this);
    m_songMenu->setObjectName(QStringLiteral("隐藏菜单"));
    m_listenItem = item(m_songMenu, QStringLiteral("试听(&P)"));
    m_lyricsItem = item(m_songMenu, QStringLiteral("歌词(&C)"));
    m_downloadItem = item(m_songMenu, QStringLiteral("下载(&D)"));
    m_stopDownloadItem = item(m_songMenu, QStringLiteral("停止下载(&D)"), Hidden);
    m_songMenu->addSeparator();
    QMenu *charts = submenu(m_songMenu, QStringLiteral("榜单家族"));
    for (const ChartEntry &chart : chartMenu()) {
        QAction *a = item(charts, chart.caption);
        const int id = chart.listId;
        connect(a, &QAction::triggered, &m_subsystems.charts, [this, id] { m_subsystems.charts.loadChart(id); });
    }
    m_songMenu->addSeparator();
    m_continuousItem = item(m_songMenu, QStringLiteral("开启连播"), Checkable);
    m_randomItem = item(m_songMenu, QStringLiteral("随即播放"), Checkable);
    m_songMenu->addSeparator();
    m_refreshItem = item(m_songMenu, QStringLiteral("刷新(&R)"));

    m_trayMenu = new QMenu(this);
    m_trayMenu->setObjectName(QStringLiteral("托盘菜单"));
    m_showItem = item(m_trayMenu, QStringLiteral("显示(&S)"), Hidden);
    m_hideItem = item(m_trayMenu, QStringLiteral("隐藏(&C)"));
    m_trayMenu->addSeparator();
    m_exitItem = item(m_trayMenu, QStringLiteral("退出(&X)"));
}

void MainWindow::connectControls()
{
    // Presses on these labels move the window like a title bar.
    for (TransparentLabel *l : {m_titleLabel, m_searchCaption, m_statusLabel, m_receptionLabel, m_progressLabel})
        l->setDragsWindow(true);

    auto popupPlayerMenu = [this](const QPoint &globalPos) { m_playerMenu->popup(globalPos); };
    for (TransparentLabel *l : {m_titleLabel, m_searchCaption, m_statusLabel, m_downloadHint, m_receptionLabel,
                                m_progressLabel})
        connect(l, &TransparentLabel::rightPressed, this, popupPlayerMenu);
    connect(m_controlBar, &PictureLabel::rightPressed, this, popupPlayerMenu);
    connect(m_songView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { m_songMenu->popup(m_songView->viewport()->mapToGlobal(pos)); });

    connect(m_searchLabel, &TransparentLabel::pointerMoved, this,
            [this] { m_searchLabel->setTextColour(kSearchHover); });
    connect(m_refreshLabel, &TransparentLabel::pointerMoved, this,
            [this] { m_refreshLabel->setTextColour(kRefreshHover); });

    connect(m_minimiseButton, &QAbstractButton::clicked, this,
            [this] { setWindowState(windowState() | Qt::WindowMinimized); });
    connect(m_closeButton, &QAbstractButton::clicked, this, &MainWindow::exitProgram);
    connect(m_exitItem, &QAction::triggered, this, &MainWindow::exitProgram);
    connect(m_hideItem, &QAction::triggered, this, &MainWindow::hideToTray);
    connect(m_showItem, &QAction::triggered, this, &MainWindow::showFromTray);
    connect(&m_tray, &Tray::doubleClicked, this, &MainWindow::showFromTray);
    connect(&m_tray, &Tray::rightClicked, this, [this](const QPoint &pos) { m_trayMenu->popup(pos); });
}

void MainWindow::connectCatalogue()
{
    SongSearch &search = m_subsystems.search;
    connect(m_searchLabel, &TransparentLabel::leftPressed, &search,
            [this] { m_subsystems.search.runSearch(m_searchBox->text()); });
    connect(m_keywordBox, &QComboBox::textActivated, &search, &SongSearch::chooseKeyword);
    connect(m_dropDownButton, &QAbstractButton::clicked, m_keywordBox, &QComboBox::showPopup);
    connect(&search, &SongSearch::searchTextChanged, this, &MainWindow::showSearchText);
    connect(&m_subsystems.selection, &QItemSelectionModel::currentRowChanged, &search,
            [this](const QModelIndex &current) { m_subsystems.search.rowSelected(current.isValid() ? current.row() : -1); });
    connect(&m_subsystems.selection, &QItemSelectionModel::currentChanged, m_songView,
            [this](const QModelIndex &current) { m_songView->scrollTo(current); });

    connect(&m_subsystems.charts, &Charts::categoriesChanged, m_keywordBox, [this](const QStringList &categories) {
        m_keywordBox->clear();
        m_keywordBox->addItems(categories);
    });
    connect(m_refreshLabel, &TransparentLabel::leftPressed, this, &MainWindow::refresh);
    connect(m_refreshItem, &QAction::triggered, this, &MainWindow::refresh);

    // A blocking request shows the busy pointer; a failed one says so in
    // the status line, with the reason in its tooltip, until one succeeds.
    Catalogue &catalogue = m_subsystems.catalogue;
    connect(&catalogue, &Catalogue::busyChanged, this, [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::BusyCursor);
        else
            QApplication::restoreOverrideCursor();
    });
    connect(&catalogue, &Catalogue::requestFailed, this, &MainWindow::showCatalogueFailure);
    connect(&catalogue, &Catalogue::requestSucceeded, this, [this] {
        if (m_statusLabel->text() == kCatalogueFailure) {
            m_statusLabel->setText(m_statusBeforeFailure);
            m_statusLabel->setToolTip(QString());
        }
    });

    PlayOptions &options = m_subsystems.playOptions;
    connect(m_continuousItem, &QAction::triggered, &options, &PlayOptions::toggleContinuousPlay);
    connect(m_randomItem, &QAction::triggered, &options, &PlayOptions::toggleRandomPlay);
    connect(&options, &PlayOptions::changed, this, [this](bool continuous, bool random) {
        m_continuousItem->setChecked(continuous);
        m_randomItem->setChecked(random);
    });
}

void MainWindow::showSearchText(const QString &text)
{
    // A text written for the user shows from its start, however long.
    m_searchBox->setText(text);
    m_searchBox->setCursorPosition(0);
}

void MainWindow::showCatalogueFailure(const QString &reason)
{
    if (m_statusLabel->text() != kCatalogueFailure)
        m_statusBeforeFailure = m_statusLabel->text();
    m_statusLabel->setText(kCatalogueFailure);
    m_statusLabel->setToolTip(reason);
}

void MainWindow::connectPlayback()
{
    PlaybackController &playback = m_subsystems.playback;
    connect(m_listenItem, &QAction::triggered, &playback, &PlaybackController::playSelectedSong);
    connect(m_songView, &QAbstractItemView::doubleClicked, &playback, &PlaybackController::playSelectedSong);
    connect(m_openButton, &QAbstractButton::clicked, &playback, &PlaybackController::openLocalFile);
    connect(m_openFileItem, &QAction::triggered, &playback, &PlaybackController::openLocalFile);
    connect(m_playPauseButton, &QAbstractButton::clicked, &playback, &PlaybackController::togglePlayPause);
    connect(m_playPauseItem, &QAction::triggered, &playback, &PlaybackController::togglePlayPause);
    connect(m_stopButton, &QAbstractButton::clicked, &playback, &PlaybackController::stopPlayback);
    connect(m_stopItem, &QAction::triggered, &playback, &PlaybackController::stopPlayback);
    connect(m_propertiesItem, &QAction::triggered, &playback, &PlaybackController::showFileProperties);
    for (auto [item, channel] : {std::pair{m_stereoItem, PlaybackController::Stereo},
                                 std::pair{m_leftItem, PlaybackController::Left},
                                 std::pair{m_rightItem, PlaybackController::Right}})
        connect(item, &QAction::triggered, &playback, [&playback, channel] { playback.selectChannel(channel); });
    connect(&m_subsystems.playOptions, &PlayOptions::changed, &playback, &PlaybackController::setPlayOptions);

    connect(&playback, &PlaybackController::statusTextChanged, m_statusLabel, &QLabel::setText);
    connect(&playback, &PlaybackController::receptionTextChanged, m_receptionLabel, &QLabel::setText);
    connect(&playback, &PlaybackController::progressTextChanged, m_progressLabel, &QLabel::setText);
    connect(&playback, &PlaybackController::searchTextChanged, this, &MainWindow::showSearchText);
    connect(&playback, &PlaybackController::pauseFaceChanged, m_playPauseButton, &QAbstractButton::setChecked);
    connect(&playback, &PlaybackController::stopEnabledChanged, m_stopItem, &QAction::setEnabled);
    connect(&playback, &PlaybackController::propertiesEnabledChanged, m_propertiesItem, &QAction::setEnabled);
    connect(&playback, &PlaybackController::channelChanged, this, [this](PlaybackController::Channel channel) {
        m_stereoItem->setChecked(channel == PlaybackController::Stereo);
        m_leftItem->setChecked(channel == PlaybackController::Left);
        m_rightItem->setChecked(channel == PlaybackController::Right);
    });
    connect(&playback, &PlaybackController::filePropertiesRequested, this, [this](const MediaProperties &media) {
        auto *dialog = new FilePropertiesDialog(media, this);
        dialog->open();
    });
}

void MainWindow::connectDownloads()
{
    DownloadManager &downloads = m_subsystems.downloads;
    connect(m_downloadItem, &QAction::triggered, &downloads, &DownloadManager::startDownload);
    connect(m_downloadLabel, &TransparentLabel::leftPressed, &downloads, &DownloadManager::startDownload);
    connect(m_stopDownloadItem, &QAction::triggered, &downloads, &DownloadManager::stopDownload);
    connect(m_stopDownloadLabel, &TransparentLabel::leftPressed, &downloads, &DownloadManager::stopDownload);
    connect(&m_subsystems.playback, &PlaybackController::nowPlayingNameChanged, &downloads,
            &DownloadManager::setNowPlayingName);
    connect(&downloads, &DownloadManager::hintTextChanged, m_downloadHint, &QLabel::setText);
    connect(&downloads, &DownloadManager::busyChanged, this, [this](bool busy) {
        m_downloadItem->setVisible(!busy);
        m_downloadLabel->setVisible(!busy);
        m_stopDownloadItem->setVisible(busy);
        m_stopDownloadLabel->setVisible(busy);
    });
}

void MainWindow::connectLyrics()
{
    connect(m_lyricsItem, &QAction::triggered, &m_subsystems.lyrics, &Lyrics::openLyrics);
}

void MainWindow::connectVolume()
{
    // Press, movement and release reach the volume through the thumb's
    // events; while the left button is held Qt sends the movement to the
    // thumb wherever the pointer goes.
    m_volumeThumb->installEventFilter(this);
    VolumeControl &volume = m_subsystems.volume;
    // The thumb's value for the keyboard and assistive technologies: its
    // step from the left stop.
    m_volumeThumb->setRange(0, VolumeControl::kRightStop - VolumeControl::kLeftStop);
    m_volumeThumb->setValue(volume.thumbOffset() - VolumeControl::kLeftStop);
    connect(&volume, &VolumeControl::thumbOffsetChanged, m_volumeThumb, [this](int offset) {
        m_volumeThumb->move(offset, m_volumeThumb->y());
        m_volumeThumb->setValue(offset - VolumeControl::kLeftStop);
    });
    connect(m_volumeThumb, &VolumeThumb::stepRequested, &volume, &VolumeControl::stepThumb);
    connect(m_muteButton, &QAbstractButton::clicked, &volume, &VolumeControl::toggleMute);
}

void MainWindow::connectKeyboard()
{
    // What a screen reader says for each control.
    auto *smallStop = findChild<QWidget *>(QStringLiteral("停止按钮"));
    const struct
    {
        QWidget *control;
        const char *name;
    } names[] = {
        {m_playPauseButton, "播放/暂停"}, {m_stopButton, "停止"},       {smallStop, "停止"},
        {m_openButton, "打开文件"},       {m_muteButton, "静音"},       {m_volumeThumb, "音量"},
        {m_minimiseButton, "最小化"},     {m_maximiseButton, "最大化"}, {m_closeButton, "关闭"},
        {m_dropDownButton, "歌曲分类"},   {m_keywordBox, "歌曲分类"},   {m_searchBox, "歌名或歌手"},
        {m_songView, "歌曲列表"},         {m_searchLabel, "搜索"},      {m_refreshLabel, "刷新"},
        {m_downloadLabel, "开始下载"},    {m_stopDownloadLabel, "停止下载"},
    };
    for (const auto &n : names)
        n.control->setAccessibleName(QString::fromUtf8(n.name));
    // The status lines are named by what they show; what each one is for is
    // their description.
    const std::pair<QWidget *, const char *> lines[] = {
        {m_downloadHint, "下载状态"}, {m_statusLabel, "播放状态"},
        {m_receptionLabel, "接收状态"}, {m_progressLabel, "播放进度"},
    };
    for (const auto &[line, what] : lines)
        line->setAccessibleDescription(QString::fromUtf8(what));
    for (TransparentLabel *l : {m_searchLabel, m_refreshLabel, m_downloadLabel, m_stopDownloadLabel})
        l->setActsAsButton(true);

    // Tab walks the window from the search strip through the list to the
    // player's controls and the window buttons. The keyword box lies hidden
    // under the search box: its arrow button opens it.
    m_keywordBox->setFocusPolicy(Qt::NoFocus);
    smallStop->setFocusPolicy(Qt::NoFocus);
    const QList<QWidget *> order = {m_searchBox,       m_dropDownButton,    m_searchLabel,  m_refreshLabel,
                                    m_downloadLabel,   m_stopDownloadLabel, m_songView,     m_playPauseButton,
                                    m_stopButton,      m_openButton,        m_muteButton,   m_volumeThumb,
                                    m_minimiseButton,  m_maximiseButton,    m_closeButton};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    PlaybackController &playback = m_subsystems.playback;
    connect(m_searchBox, &QLineEdit::returnPressed, m_searchLabel, &TransparentLabel::press);
    m_songView->installEventFilter(this);
    // Space plays and pauses wherever the focus is, but a text field takes
    // its own space and a focused button its own press.
    auto *space = new QShortcut(QKeySequence(Qt::Key_Space), this);
    connect(space, &QShortcut::activated, &playback, &PlaybackController::togglePlayPause);
    auto *open = new QShortcut(QKeySequence::Open, this);
    connect(open, &QShortcut::activated, &playback, &PlaybackController::openLocalFile);
    auto *find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        m_searchBox->setFocus(Qt::ShortcutFocusReason);
        m_searchBox->selectAll();
    });
}

void MainWindow::contextMenuEvent(QContextMenuEvent *event)
{
    // The menu key on a control that has no menu of its own opens the
    // player menu beside it, as a right press on the skin does.
    QWidget *focus = focusWidget();
    const QPoint at = event->reason() == QContextMenuEvent::Keyboard && focus
        ? focus->mapToGlobal(QPoint(0, focus->height()))
        : event->globalPos();
    m_playerMenu->popup(at);
    event->accept();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_songView && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_subsystems.playback.playSelectedSong();
            return true;
        }
    }
    if (watched == m_volumeThumb) {
        VolumeControl &volume = m_subsystems.volume;
        auto *mouse = dynamic_cast<QMouseEvent *>(event); // the thumb gets other events too
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            if (mouse->button() == Qt::LeftButton)
                volume.pressThumb(int(mouse->position().x()));
            return true;
        case QEvent::MouseMove:
            volume.moveThumb(int(mouse->position().x()));
            return true;
        case QEvent::MouseButtonRelease:
            if (mouse->button() == Qt::LeftButton)
                volume.releaseThumb();
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::onMainWindowCreated()
{
    m_subsystems.playOptions.readAtStart();

    // Red skin pixels are holes: neither drawn nor clickable. The mask is in
    // window units, so it comes from the 1x skin; the 2x skin has the same
    // holes as whole 2x2 blocks.
    const QImage shape = skin::image("skin");
    if (!shape.isNull())
        setMask(shapeOf(shape));

    // The window is on the screen and painted before the catalogue is asked:
    // a slow server shows a busy pointer over a finished window, not a
    // blank one.
    if (QWindow *handle = windowHandle()) {
        QElapsedTimer waited;
        waited.start();
        while (!handle->isExposed() && waited.elapsed() < 500)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    }
    repaint();

    {
        const Catalogue::Action startUp(m_subsystems.catalogue);
        m_subsystems.charts.loadStartupMix();
        m_subsystems.charts.loadCategories();
    }
    // The filled list goes to the screen now. The system volume and the tray
    // icon, which that frame does not need, come right after it.
    repaint();
    QTimer::singleShot(0, this, &MainWindow::finishStartup);
}

void MainWindow::finishStartup()
{
    m_subsystems.volume.initVolume();
    if (m_tray.isAvailable())
        m_tray.show(QIcon(skin::picture("tray")), QStringLiteral("沐弦音乐盒"));
    emit startupFinished();
}

void MainWindow::refresh()
{
    m_downloadHint->clear();
    m_subsystems.charts.loadStartupMix();
}

void MainWindow::exitProgram()
{
    m_tray.remove();
    emit exitRequested();
    QCoreApplication::quit();
}

void MainWindow::hideToTray()
{
    hide();
    setWindowState(windowState() | Qt::WindowMinimized);
    m_hideItem->setVisible(false);
    m_showItem->setVisible(true);
}

void MainWindow::showFromTray()
{
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    show();
    // Back at the centre of the screen, wherever the window was before.
    if (QScreen *s = screen())
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    raise();
    activateWindow();
    m_showItem->setVisible(false);
    m_hideItem->setVisible(true);
}

void MainWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // However the window got minimised, it goes to the tray; on a desktop
    // without one it stays an ordinary minimised window so it can be found.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && isVisible() && m_tray.isAvailable()
        && m_tray.isShown())
        QTimer::singleShot(0, this, [this] {
            if (isMinimized())
                hideToTray();
        });
}

bool MainWindow::isBareSkin(const QPoint &pos) const
{
    return rect().contains(pos) && childAt(pos) == nullptr;
}

void MainWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_skin);
}

void MainWindow::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::RightButton && isBareSkin(pos))
        m_playerMenu->popup(event->globalPosition().toPoint());
    event->accept();
}

void MainWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (isBareSkin(event->position().toPoint())) {
        m_searchLabel->setTextColour(kSearchIdle);
        m_refreshLabel->setTextColour(kRefreshIdle);
    }
    event->accept();
}
