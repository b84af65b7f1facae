#pragma once

#include "platform/downloadrequest.h"

#include <QObject>
#include <QString>

// The transfer component: copies a source address into a target file in the
// background, one transfer at a time, and reports the size and the end of the
// transfer.
//
// Every call is made on the thread that owns the object (the UI thread), and
// every event is delivered there: downloadEvent (and the request's
// eventHandler, when set) never runs on a worker. Events of one transfer
// arrive in order: at most one SizeKnown, then exactly one Ended.
//
// The target is written only when the whole file has arrived: an
// implementation writes "<target>.part" beside it and renames that over the
// target after a complete, successful transfer. A failed or stopped transfer
// removes the partial file and leaves an existing file of the target's name
// as it was.
class Downloader : public QObject
{
    Q_OBJECT
public:
    enum EventCode {
        SizeKnown = 3, // value: the total size in bytes
        Ended = 4,     // value: the Outcome; outcomeText: its text
    };
    Q_ENUM(EventCode)

    enum Outcome {
        Finished = 0, // the file is complete at the target path
        Failed = 1,   // nothing was written; any file already there is untouched
        Stopped = 2,  // stopTransfer (or release) ended it; nothing was written
    };
    Q_ENUM(Outcome)

    static QString outcomeText(Outcome outcome)
    {
        switch (outcome) {
        case Finished: return QStringLiteral("歌曲下载完毕");
        case Failed: return QStringLiteral("歌曲下载失败");
        case Stopped: return QStringLiteral("下载已停止");
        }
        return {};
    }

    using QObject::QObject;
    ~Downloader() override = default;

    // Begins copying request.sourceUrl into request.targetPath and returns at
    // once. The source is an http or https address, or an absolute local path
    // (the local file that plays), which is copied. Any other address ends at
    // once with Failed: a caller hands over an address from the catalogue
    // only after checking that it is http or https, so that a catalogue reply
    // never makes the program copy a local file.
    //
    // Returns false and does nothing while a transfer runs (its Ended event has
    // not been delivered yet) or after releaseDownloader.
    virtual bool startTransfer(const DownloadRequest &request) = 0;

    // Ends the running transfer at once; its Ended event follows with Stopped.
    // Does nothing when no transfer runs. (The stop buffer and the mode value
    // that a caller might expect to pass mean nothing here and are left out.)
    virtual void stopTransfer() = 0;

    // Bytes of the current (or last) transfer received so far; 0 before the
    // first and right after a start.
    virtual qint64 receivedBytes() const = 0;
    // The transfer rate over the last second or so, in bytes per second; 0
    // when no transfer runs.
    virtual qint64 bytesPerSecond() const = 0;

    // Stops a running transfer, removes its partial file and waits for the
    // worker to end. No event is delivered afterwards and no further transfer
    // can start. The destructor does the same.
    virtual void releaseDownloader() = 0;

signals:
    void downloadEvent(int code, qint64 value, const QString &outcomeText);
};
