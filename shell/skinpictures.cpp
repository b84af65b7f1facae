#include "skinpictures.h"

#include <QDirIterator>
#include <QGuiApplication>
#include <QHash>
#include <QImageReader>

#include <future>
#include <mutex>

namespace skin {
namespace {

// PNG named as such, without the content sniffing that would load every
// image format plugin to ask whether it reads "png".
QImage decode(const QString &path)
{
    QImageReader reader(path, QByteArrayLiteral("png"));
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

QString pathOf(const char *name, bool sharp)
{
    return QStringLiteral(":/skin/%1%2.png").arg(QLatin1String(name), sharp ? QStringLiteral("@2x") : QString());
}

using Decoded = QHash<QString, QImage>;

// The pictures a Preload decodes; invalid when none runs or ran.
std::mutex preloadMutex;
std::shared_future<Decoded> preloaded;

QImage oneX(const char *name)
{
    std::shared_future<Decoded> decoded;
    {
        const std::lock_guard<std::mutex> lock(preloadMutex);
        decoded = preloaded;
    }
    const QString path = pathOf(name, false);
    if (decoded.valid()) {
        const Decoded &images = decoded.get();
        const auto found = images.constFind(path);
        if (found != images.constEnd())
            return *found;
    }
    return decode(path);
}

} // namespace

QImage image(const char *name)
{
    return oneX(name);
}

QPixmap picture(const char *name)
{
    if (qGuiApp->devicePixelRatio() > 1.0) {
        QPixmap sharp = QPixmap::fromImage(decode(pathOf(name, true)));
        if (!sharp.isNull()) {
            sharp.setDevicePixelRatio(2.0);
            return sharp;
        }
    }
    return QPixmap::fromImage(oneX(name));
}

Preload::Preload()
{
    std::packaged_task<Decoded()> task([] {
        Decoded images;
        // No name filter: a filter is a wildcard pattern, and compiling
        // that costs more than the check below.
        QDirIterator it(QStringLiteral(":/skin"), QDir::Files);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.endsWith(QLatin1String(".png")) && !path.endsWith(QLatin1String("@2x.png")))
                images.insert(path, decode(path));
        }
        return images;
    });
    {
        const std::lock_guard<std::mutex> lock(preloadMutex);
        preloaded = task.get_future().share();
    }
    m_thread = std::thread(std::move(task));
}

Preload::~Preload()
{
    m_thread.join();
    const std::lock_guard<std::mutex> lock(preloadMutex);
    preloaded = {};
}

} // namespace skin
