#include "playoptions.h"

#include "registry.h"

#include <QAction>

PlayOptions::PlayOptions(Registry &registry, QAction &continuous, QAction &random)
    : m_registry(registry), m_continuous(continuous), m_random(random)
{
}

void PlayOptions::readAtStart()
{
    const QString continuousValue = m_registry.readString(kKey, kContinuousName);
    const QString randomValue = m_registry.readString(kKey, kRandomName);
    m_continuous.setChecked(continuousValue == kOn);
    m_random.setChecked(randomValue == kOn);
}

bool PlayOptions::continuousPlay() const
{
    return m_continuous.isChecked();
}

bool PlayOptions::randomPlay() const
{
    return m_random.isChecked();
}

void PlayOptions::set(QAction &item, const QString &name, bool on)
{
    // A failed write is not reported; the mark changes all the same.
    m_registry.writeString(kKey, name, on ? kOn : kOff);
    item.setChecked(on);
}

void PlayOptions::toggleContinuousPlay()
{
    m_continuous.setChecked(!m_continuous.isChecked());
    if (m_random.isChecked())
        set(m_random, kRandomName, false);
    set(m_continuous, kContinuousName, !m_continuous.isChecked());
}

void PlayOptions::toggleRandomPlay()
{
    m_random.setChecked(!m_random.isChecked());
    if (!m_continuous.isChecked())
        set(m_continuous, kContinuousName, true);
    set(m_random, kRandomName, !m_random.isChecked());
}
