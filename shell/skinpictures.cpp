#include "skinpictures.h"

#include <QDirIterator>
#include <QGuiApplication>
#include <QHash>
#include <QImageReader>
#include <QResource>

#include <png.h>

#include <future>
#include <mutex>
#include <system_error>

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

// The same as decode(), by libpng directly: what the preloading thread uses,
// since it runs while the QApplication is being made, and Qt's image reader
// consults the application's plugin folders. Null on any failure.
QImage decodeAlone(const QString &path)
{
    const QByteArray bytes = QResource(path).uncompressedData();
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (bytes.isEmpty() || !png_image_begin_read_from_memory(&png, bytes.constData(), size_t(bytes.size())))
        return {};
    const bool alpha = png.format & PNG_FORMAT_FLAG_ALPHA;
    png.format = PNG_FORMAT_BGRA; // as QImage's 32-bit formats lie in memory
    QImage image(int(png.width), int(png.height), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull()
        || !png_image_finish_read(&png, nullptr, image.bits(), png_int_32(image.bytesPerLine()), nullptr)) {
        png_image_free(&png);
        return {};
    }
    return image;
}

QString pathOf(const char *name, bool sharp)
{
    return QStringLiteral(":/skin/%1%2.png").arg(QLatin1String(name), sharp ? QStringLiteral("@2x") : QString());
}

using Decoded = QHash<QString, QImage>;

// The pictures a Preload decodes; invalid when none runs or ran.
std::mutex preloadMutex;
std::shared_future<Decoded> preloaded;

} // namespace

QImage image(const char *name)
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

QPixmap picture(const char *name)
{
    if (qGuiApp->devicePixelRatio() > 1.0) {
        QPixmap sharp = QPixmap::fromImage(decode(pathOf(name, true)));
        if (!sharp.isNull()) {
            sharp.setDevicePixelRatio(2.0);
            return sharp;
        }
    }
    return QPixmap::fromImage(image(name));
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
            if (!path.endsWith(QLatin1String(".png")) || path.endsWith(QLatin1String("@2x.png")))
                continue;
            const QImage image = decodeAlone(path);
            if (!image.isNull())
                images.insert(path, image);
        }
        return images;
    });
    std::shared_future<Decoded> decoded = task.get_future().share();
    try {
        m_thread = std::thread(std::move(task));
    } catch (const std::system_error &) {
        return; // no thread to be had: the pictures are decoded when asked for
    }
    const std::lock_guard<std::mutex> lock(preloadMutex);
    preloaded = std::move(decoded);
}

void Preload::finish()
{
    if (m_thread.joinable())
        m_thread.join();
}

Preload::~Preload()
{
    finish();
    const std::lock_guard<std::mutex> lock(preloadMutex);
    preloaded = {};
}

} // namespace skin
