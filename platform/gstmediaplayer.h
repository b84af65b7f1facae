#pragma once

#include "mediaplayer.h"

#include <QElapsedTimer>
#include <QString>

#include <atomic>
#include <memory>

typedef struct _GstElement GstElement;
typedef struct _GstMessage GstMessage;
typedef struct _GstBus GstBus;
typedef struct _GstPad GstPad;
typedef struct _GstPadProbeInfo GstPadProbeInfo;

// MediaPlayer on GStreamer's playbin, audio only.
//
// The audio path is playbin's audio-filter slot holding
// "audioconvert ! audiopanorama method=simple ! audioconvert" (the balance),
// then the audio sink. Bus messages are picked up by a sync handler on
// whichever thread posts them and handed to the UI thread with a queued call;
// every message carries the number of the load it belongs to, so messages of
// a media that was stopped or replaced are dropped unread.
//
// GStreamer itself and the pipeline are set up when the first media is
// given, not in the constructor, so start-up does not pay for them.
//
// A network stream is opened paused and starts playing only once its buffer
// has filled (and it has prerolled), so the first sound is not followed by a
// hold; once playing, it is held again only when the buffer has run dry.
// The bytes and the duration of what the stream's parser puts out give its
// bit rate from the first frame on, which gives the duration estimate
// (length / bit rate) and the bandwidth figure before the parser posts its
// own.
class GstMediaPlayer : public MediaPlayer
{
    Q_OBJECT
public:
    // audioSink: a GStreamer element description for the audio output, such
    // as "autoaudiosink", "pulsesink" or "fakesink sync=true" (tests). A chain
    // ("a ! b") works as well. An empty or broken description falls back to
    // autoaudiosink.
    explicit GstMediaPlayer(const QString &audioSink = QStringLiteral("autoaudiosink"),
                            QObject *parent = nullptr);
    ~GstMediaPlayer() override;

    void setUrl(const QString &url) override;
    QString url() const override { return m_url; }
    int playState() const override { return m_state; }
    void play() override;
    void pause() override;
    void stop() override;
    QString currentPositionString() const override;
    void setBalance(int balance) override;
    int bufferingProgress() const override { return m_bufferPercent; }
    int downloadProgress() const override;
    int bandWidth() const override;
    QString durationString() const override;
    QString itemInfo(const QString &name) const override;

private:
    enum class Target { None, Playing, Paused, Stopped };

    static int onSyncMessage(GstBus *bus, GstMessage *message, void *self);
    static void onElementSetup(GstElement *playbin, GstElement *element, void *self);
    static int onParsedBuffer(GstPad *pad, GstPadProbeInfo *info, void *self);
    bool ensurePipeline();
    void handleMessage(GstMessage *message);
    void applyTarget();
    void setState(int state);
    void start();
    void teardown();
    void fail();
    void captureMedia();
    qint64 sourceBytes(bool duration) const;
    qint64 durationNs(bool estimate) const;
    qint64 parsedBitrate() const;
    qint64 mediaBytes() const;

    QString m_audioSink;
    GstElement *m_pipeline = nullptr; // made for the first media (ensurePipeline)
    bool m_pipelineFailed = false;
    GstElement *m_panorama = nullptr; // owned by the pipeline
    GstBus *m_bus = nullptr;

    // Bumped whenever the pipeline is torn down; read by the sync handler.
    std::atomic<quint64> m_generation{0};

    QString m_url;
    QString m_uri;        // what playbin was given
    bool m_isNetwork = false;
    int m_state = Undefined;
    Target m_target = Target::None;
    bool m_started = false;   // reached Playing since the last start
    bool m_prerolled = false; // reached PAUSED since the last start
    bool m_filling = false;   // the buffer is filling; held paused until it is full
    int m_requested = 0;      // the GstState last asked of the pipeline
    int m_bufferPercent = 0;  // never lower than before within one fill
    mutable int m_downloadPercent = 0;
    int m_bitrate = 0;
    qint64 m_durationNs = -1;
    mutable qint64 m_contentLength = -1;
    int m_balance = 50;
    QElapsedTimer m_receiving; // since the request of the current network stream

    // What the stream's parser has put out since the last start; written on
    // a streaming thread.
    std::atomic<qint64> m_parsedBytes{0};
    std::atomic<qint64> m_parsedNs{0};
};
