#pragma once

#include <QString>

// The desktop's handler for web addresses: the address is handed over as one
// value, never through a command line, and the program does not wait for
// what opens it.
class UrlOpener
{
public:
    virtual ~UrlOpener() = default;
    // False when the desktop has no handler for it.
    virtual bool openUrl(const QString &address) = 0;
};
