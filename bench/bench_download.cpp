// One download through CurlDownloader, as the program makes it, for timing
// from outside (bench/download.sh runs it next to curl -o).
//
//   bench_download URL TARGET [--no-sync]
//
// Prints "<outcome text> <bytes>" and exits 0 on success, 1 otherwise.

#include "curldownloader.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        QTextStream(stderr) << "usage: bench_download URL TARGET [--no-sync]\n";
        return 2;
    }
    CurlDownloader::Options options;
    options.syncBeforeRename = !args.contains(QStringLiteral("--no-sync"));
    CurlDownloader downloader(options);

    DownloadRequest request;
    request.setting1 = 4096;
    request.sourceUrl = args.at(1);
    request.setting11 = 1000;
    request.setting6 = 10;
    request.targetPath = args.at(2);
    request.connectTimeoutMs = 5000;
    request.setting9 = 5001;
    request.setting10 = 10000;
    request.setting12 = 20480;

    int result = 1;
    QObject::connect(&downloader, &Downloader::downloadEvent, &app,
                     [&](int code, qint64 value, const QString &text) {
                         if (code != Downloader::Ended)
                             return;
                         QTextStream(stdout) << text << ' ' << downloader.receivedBytes() << '\n';
                         result = value == Downloader::Finished ? 0 : 1;
                         app.quit();
                     });
    if (!downloader.startTransfer(request))
        return 1;
    app.exec();
    return result;
}
