#include "playoptions.h"

#include "registry.h"

PlayOptions::PlayOptions(Registry &registry, QObject *parent) : QObject(parent), m_registry(registry)
{
}

void PlayOptions::readAtStart()
{
    m_continuous = m_registry.readString(kKey, kContinuousName) == kOn;
    m_random = m_registry.readString(kKey, kRandomName) == kOn;
    emit changed(m_continuous, m_random);
}

void PlayOptions::write(const QString &name, bool on)
{
    // A failed write is not reported; the option changes all the same.
    m_registry.writeString(kKey, name, on ? kOn : kOff);
}

void PlayOptions::toggleContinuousPlay()
{
    if (m_random) {
        m_random = false;
        write(kRandomName, false);
    }
    m_continuous = !m_continuous;
    write(kContinuousName, m_continuous);
    emit changed(m_continuous, m_random);
}

void PlayOptions::toggleRandomPlay()
{
    if (!m_continuous) {
        m_continuous = true;
        write(kContinuousName, true);
    }
    m_random = !m_random;
    write(kRandomName, m_random);
    emit changed(m_continuous, m_random);
}
