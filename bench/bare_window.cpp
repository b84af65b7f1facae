// The start-up benchmark's baseline (bench/startup.sh): a bare Qt Widgets
// window of the music box's size, frameless, painting one picture. With
// MUSICBOX_STARTUP_MARK set it prints "painted <ms>" on stderr once its first
// frame has gone to the screen, as the music box does for its filled list:
// the wall clock in milliseconds since the epoch.
#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>

namespace {

class PictureWindow : public QWidget
{
public:
    explicit PictureWindow(const QString &picture) : m_picture(picture)
    {
        setWindowFlags(Qt::FramelessWindowHint);
        setFixedSize(580, 352);
        m_mark = qEnvironmentVariableIsSet("MUSICBOX_STARTUP_MARK");
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter(this).drawPixmap(0, 0, m_picture);
        if (!m_mark)
            return;
        m_mark = false;
        // After this paint the frame is flushed to the screen; the timer
        // fires once that is done.
        QTimer::singleShot(0, this, [] {
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            std::fprintf(stderr, "painted %.3f\n",
                         std::chrono::duration<double, std::milli>(now).count());
            std::fflush(stderr);
        });
    }

private:
    QPixmap m_picture;
    bool m_mark = false;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    PictureWindow window(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString());
    window.move(50, 50);
    window.show();
    return QApplication::exec();
}
