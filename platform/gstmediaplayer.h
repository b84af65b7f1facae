#pragma once

#include "mediaplayer.h"

#include <QString>

#include <atomic>
#include <memory>

typedef struct _GstElement GstElement;
typedef struct _GstMessage GstMessage;
typedef struct _GstBus GstBus;

// MediaPlayer on GStreamer's playbin, audio only.
//
// The audio path is playbin's audio-filter slot holding
// "audioconvert ! audiopanorama method=simple ! audioconvert" (the balance),
// then the audio sink. Bus messages are picked up by a sync handler on
// whichever thread posts them and handed to the UI thread with a queued call;
// every message carries the number of the load it belongs to, so messages of
// a media that was stopped or replaced are dropped unread.
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
    void handleMessage(GstMessage *message);
    void setState(int state);
    void start();
    void teardown();
    void fail();
    void captureMedia();
    qint64 sourceBytes(bool duration) const;

    GstElement *m_pipeline = nullptr;
    GstElement *m_panorama = nullptr; // owned by the pipeline
    GstBus *m_bus = nullptr;

    // Bumped whenever the pipeline is torn down; read by the sync handler.
    std::atomic<quint64> m_generation{0};

    QString m_url;
    QString m_uri;        // what playbin was given
    bool m_isNetwork = false;
    int m_state = Undefined;
    Target m_target = Target::None;
    bool m_started = false;     // reached Playing since the last start
    bool m_rebuffering = false; // paused by us until the buffer refills
    int m_bufferPercent = 0;
    mutable int m_downloadPercent = 0;
    int m_bitrate = 0;
    qint64 m_durationNs = -1;
    mutable qint64 m_contentLength = -1;
    int m_balance = 50;
};
