#pragma once

#include <QString>

#include <functional>

// The one request record handed to the Downloader. The program keeps a single
// instance for the whole run: created with the start-up values below, then a
// few fields are overwritten before each transfer (the source, the target and
// the handler, and a handful of settings).
//
// What the libcurl downloader (CurlDownloader) does with each field:
//   read and used:   2 (source), 3 (target), 8 (connect time-out in ms),
//                    15 (event handler)
//   carried as is:   every other field. 4 and 5 are the credentials of an
//                    anonymous FTP login; the downloader fetches only http and
//                    https addresses, so they are never sent. 12 reads like a
//                    receive buffer size, but 20 KiB buffers make a download
//                    markedly slower than curl's own 100 KiB, so the
//                    downloader keeps its own size. The remaining integer and
//                    text settings have no counterpart that would change the
//                    transfer for the better (the redirect bound, the stall
//                    limit and the retry policy are the downloader's own), so
//                    they are kept and ignored.
struct DownloadRequest
{
    // Handler of field 15. Called on the downloader's own (the UI) thread,
    // never on its worker, with the same values as Downloader::downloadEvent:
    // the event code (3 size known, 4 ended), the value (3: total bytes; 4: the
    // Downloader::Outcome) and, for code 4, the outcome text. Its result is not
    // examined. A controller uses either this handler or the signal, not both.
    using EventHandler = std::function<int(int code, qint64 value, const QString &outcomeText)>;

    int setting1 = 1;                      //  1  transfer setting (4096 before each transfer)
    QString sourceUrl;                     //  2  source address: http(s) URL, or an absolute local path
    QString targetPath;                    //  3  target file: the path chosen in the save dialog
    QString userName = QStringLiteral("anonymous");           //  4  user name of an anonymous login
    QString password = QStringLiteral("anonymous@example");   //  5  password of that login (17 characters)
    int setting6 = 1;                      //  6  transfer setting (10 before each transfer)
    int setting7 = 0;                      //  7  transfer setting
    int connectTimeoutMs = 20000;          //  8  connect time-out in ms (5000 before each transfer)
    int setting9 = 20000;                  //  9  transfer setting (5001 before each transfer)
    int setting10 = 20000;                 // 10  transfer setting (10000 before each transfer)
    int setting11 = 1000;                  // 11  transfer setting (1000 before each transfer)
    int setting12 = 20480;                 // 12  transfer setting (20480 before each transfer)
    int setting13 = 1024;                  // 13  transfer setting
    int setting14 = 0;                     // 14  transfer setting
    EventHandler eventHandler;             // 15  event handler: none at start-up, onDownloadEvent later
    QString setting16;                     // 16  transfer setting
    int setting17 = 1;                     // 17  transfer setting
    QString fileTypes = QStringLiteral(".exe|.rar|.zip|.gif|.jpg|.mp3|.rm"); // 18  file-type list
    QString setting19;                     // 19  transfer setting
    QString setting20;                     // 20  transfer setting
};
