#pragma once

#include "platform/mediaplayer.h"

#include <QHash>
#include <QStringList>

// A scripted player: records what the window asks of it and reports the
// states a test gives it.
class FakeMediaPlayer : public MediaPlayer
{
    Q_OBJECT
public:
    using MediaPlayer::MediaPlayer;

    void setUrl(const QString &url) override;
    QString url() const override { return m_url; }
    int playState() const override { return m_state; }
    void play() override { m_calls << QStringLiteral("play"); }
    void pause() override { m_calls << QStringLiteral("pause"); }
    void stop() override { m_calls << QStringLiteral("stop"); }
    QString currentPositionString() const override { return m_position; }
    void setBalance(int balance) override { m_calls << QStringLiteral("balance=%1").arg(balance); }
    int bufferingProgress() const override { return m_buffering; }
    int downloadProgress() const override { return m_download; }
    int bandWidth() const override { return m_bandWidth; }
    QString durationString() const override { return m_duration; }
    QString itemInfo(const QString &name) const override { return m_info.value(name); }

    // Test helpers.
    void report(int state);
    QStringList calls() const { return m_calls; }
    void clearCalls() { m_calls.clear(); }
    void setPosition(const QString &position) { m_position = position; }
    void setDuration(const QString &duration) { m_duration = duration; }
    void setBuffering(int percent) { m_buffering = percent; }
    void setReception(int percent, int bandWidth) { m_download = percent; m_bandWidth = bandWidth; }
    void setItemInfo(const QString &name, const QString &value) { m_info[name] = value; }

private:
    QString m_url;
    int m_state = Undefined;
    QStringList m_calls;
    QString m_position;
    QString m_duration;
    int m_buffering = 0;
    int m_download = 0;
    int m_bandWidth = 0;
    QHash<QString, QString> m_info;
};
