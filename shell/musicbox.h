#pragma once

#include "catalogue.h"
#include "charts.h"
#include "downloadmanager.h"
#include "lyrics.h"
#include "playbackcontroller.h"
#include "playoptions.h"
#include "songlistmodel.h"
#include "songresolver.h"
#include "songsearch.h"
#include "volumecontrol.h"

#include <QByteArray>
#include <QItemSelectionModel>

#include <memory>

class Dialogs;
class Downloader;
class HttpClient;
class MainWindow;
class MprisService;
class MediaPlayer;
class Registry;
class SystemVolume;
class Tray;
class UrlOpener;

// The platform services the music box works with: main picks the real
// adapters, tests pass fakes.
struct Services
{
    HttpClient &http;
    Registry &registry;
    Dialogs &dialogs;
    Tray &tray;
    MediaPlayer &player;
    Downloader &downloader;
    SystemVolume &volume;
    UrlOpener &urlOpener;
    QByteArray catalogueUrl;
};

// The subsystems over the services: the song list and its selection, and
// the controllers that work on them. None of them knows a widget.
class Subsystems
{
public:
    explicit Subsystems(const Services &services);

    Catalogue catalogue;
    SongListModel songs;
    QItemSelectionModel selection;
    SongResolver resolver;
    SongSearch search;
    Charts charts;
    PlayOptions playOptions;
    PlaybackController playback;
    DownloadManager downloads;
    Lyrics lyrics;
    VolumeControl volume;
};

// The whole program: the subsystems and the main window that shows them.
class MusicBox
{
public:
    explicit MusicBox(const Services &services);
    ~MusicBox();

    // Shows the window and runs its created step.
    void start();

    // Offers the player on the session bus (MPRIS2) for media keys and the
    // desktop's sound menu; false when there is no bus or the name is taken.
    bool offerOnSessionBus();

    Subsystems &subsystems() { return m_subsystems; }
    MainWindow &window() { return *m_window; }

private:
    Subsystems m_subsystems;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<MprisService> m_mpris;
};
