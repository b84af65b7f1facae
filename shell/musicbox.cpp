#include "musicbox.h"

#include "mainwindow.h"

Subsystems::Subsystems(const Services &s)
    : catalogue(s.http, s.catalogueUrl), selection(&songs), resolver(catalogue, songs),
      search(catalogue, songs, s.dialogs), charts(catalogue, songs), playOptions(s.registry),
      playback(s.player, resolver, songs, selection, s.dialogs),
      downloads(s.downloader, resolver, songs, selection, s.player, s.dialogs),
      lyrics(resolver, selection, s.dialogs, s.urlOpener, s.catalogueUrl), volume(s.volume, s.dialogs)
{
}

MusicBox::MusicBox(const Services &services)
    : m_subsystems(services), m_window(std::make_unique<MainWindow>(m_subsystems, services.tray))
{
}

MusicBox::~MusicBox() = default;

void MusicBox::start()
{
    m_window->show();
    m_window->onMainWindowCreated();
}
