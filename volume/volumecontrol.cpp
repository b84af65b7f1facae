#include "volumecontrol.h"

#include "dialogs.h"
#include "systemvolume.h"

#include <cmath>

VolumeControl::Levels VolumeControl::volumeLevel(int offset, Use use)
{
    const int base = offset + (use == Use::Drag ? 48 : 38);
    // Halves round away from zero.
    return {int(std::lround(base * 1322.0)), int(std::lround(base * 1322.75))};
}

VolumeControl::VolumeControl(SystemVolume &volume, Dialogs &dialogs, QObject *parent)
    : QObject(parent), m_volume(volume), m_dialogs(dialogs)
{
}

bool VolumeControl::open()
{
    if (m_volume.open())
        return true;
    // During a drag the failure is told once, not once per movement.
    if (!m_dragging || !m_failureShown)
        m_dialogs.message(QString(), QStringLiteral("系统音量打开失败!"), Dialogs::Icon::Warning);
    if (m_dragging)
        m_failureShown = true;
    return false;
}

void VolumeControl::applyVolume(Levels levels)
{
    if (!open())
        return;
    m_volume.setVolume(levels.left, levels.right);
    m_volume.close();
}

void VolumeControl::initVolume()
{
    applyVolume(volumeLevel(m_offset, Use::StartUp));
}

void VolumeControl::pressThumb(int x)
{
    m_dragging = true;
    m_failureShown = false;
    m_grabX = x;
}

void VolumeControl::moveThumb(int x)
{
    if (!m_dragging || x >= kThumbWidth)
        return;
    if (m_grabX > x && m_offset >= kLeftStop + 1) {
        --m_offset;
        emit thumbOffsetChanged(m_offset);
    } else if (x > 12 && m_grabX < x && m_offset < kRightStop) {
        ++m_offset;
        emit thumbOffsetChanged(m_offset);
    }
    applyVolume(volumeLevel(m_offset, Use::Drag));
}

void VolumeControl::releaseThumb()
{
    m_dragging = false;
}

void VolumeControl::stepThumb(int steps)
{
    const int offset = qBound(kLeftStop, m_offset + steps, kRightStop);
    if (offset != m_offset) {
        m_offset = offset;
        emit thumbOffsetChanged(m_offset);
    }
    applyVolume(volumeLevel(m_offset, Use::Drag));
}

void VolumeControl::toggleMute(bool muted)
{
    if (!open())
        return;
    m_volume.setMute(muted);
    m_volume.close();
}
