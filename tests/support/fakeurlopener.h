#pragma once

#include "platform/urlopener.h"

#include <QStringList>

// Records the addresses it is asked to open.
class FakeUrlOpener : public UrlOpener
{
public:
    bool openUrl(const QString &address) override
    {
        m_opened << address;
        return true;
    }
    QStringList opened() const { return m_opened; }

private:
    QStringList m_opened;
};
