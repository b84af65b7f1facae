#pragma once

#include "platform/systemvolume.h"

#include <QStringList>

// A scripted system volume: records every call in order ("open", "volume=L,R"
// with the values exactly as passed, "mute=1" / "mute=0", "close") and answers
// open() as the test says (true unless told otherwise). Set calls after a
// failed open() are recorded too and fail, as on the real one.
class FakeSystemVolume : public SystemVolume
{
public:
    bool open() override;
    bool setVolume(int left, int right) override;
    bool setMute(bool muted) override;
    void close() override;

    // Test helpers.
    QStringList calls() const { return m_calls; }
    void clearCalls() { m_calls.clear(); }
    void setOpenSucceeds(bool succeeds) { m_openSucceeds = succeeds; }
    int openCount() const { return m_calls.count(QStringLiteral("open")); }

private:
    QStringList m_calls;
    bool m_openSucceeds = true;
    bool m_open = false;
};
