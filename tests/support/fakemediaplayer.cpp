#include "fakemediaplayer.h"

void FakeMediaPlayer::setUrl(const QString &url)
{
    m_url = url;
    m_calls << QStringLiteral("url=") + url;
}

void FakeMediaPlayer::report(int state)
{
    m_state = state;
    emit playStateChanged(state);
}
