#pragma once

#include "fakedialogs.h"
#include "fakedownloader.h"
#include "fakemediaplayer.h"
#include "fakeregistry.h"
#include "fakesystemvolume.h"
#include "faketray.h"
#include "fakeurlopener.h"

// The platform services a music box works with beside its catalogue, every
// one of them faked.
struct FakeServices
{
    FakeRegistry registry;
    FakeDialogs dialogs;
    FakeTray tray;
    FakeMediaPlayer player;
    FakeDownloader downloader;
    FakeSystemVolume volume;
    FakeUrlOpener urlOpener;
};
