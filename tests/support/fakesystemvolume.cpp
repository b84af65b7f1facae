#include "fakesystemvolume.h"

bool FakeSystemVolume::open()
{
    m_calls << QStringLiteral("open");
    m_open = m_openSucceeds;
    return m_open;
}

bool FakeSystemVolume::setVolume(int left, int right)
{
    m_calls << QStringLiteral("volume=%1,%2").arg(left).arg(right);
    return m_open;
}

bool FakeSystemVolume::setMute(bool muted)
{
    m_calls << QStringLiteral("mute=%1").arg(muted ? 1 : 0);
    return m_open;
}

void FakeSystemVolume::close()
{
    m_calls << QStringLiteral("close");
    m_open = false;
}
