#pragma once

#include "platform/urlopener.h"

// Opens addresses with QDesktopServices (the desktop's default web handler).
class QtUrlOpener : public UrlOpener
{
public:
    bool openUrl(const QString &address) override;
};
