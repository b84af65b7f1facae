#pragma once

#include "composer.h"
#include "mediawriters.h"

#include <filesystem>
#include <string>
#include <vector>

// The songs of the generated demo library and the code that writes them.
namespace demolib {

enum class FileFormat { Mp3, Wav, Wma, Midi };

struct DemoSong {
    std::string folder;   // sub-folder of the library, "" for the top level
    std::string singer;   // UTF-8
    std::string title;    // UTF-8; may be empty (tagged with an artist only)
    std::string genre;    // UTF-8; ignored when untagged
    Style style;
    FileFormat format;
    double seconds;       // approximate length
    bool tagged = true;   // false: only the file name "singer - title.ext" names it
    std::vector<std::string> lyrics; // lines of the ".lrc" file; empty: none
};

// The demo library's songs, in a fixed order.
const std::vector<DemoSong> &demoSongs();

// "singer - title.ext" (an untitled song is named "singer - 无题.ext").
std::string demoFileName(const DemoSong &song);

// Composes, renders and encodes one song into the file at `file`.
// Thread-safe; does not tag (see finishDemoSong).
bool encodeDemoSong(const std::filesystem::path &file, const DemoSong &song, std::string &error);

// Writes the tags and the lyrics file of an encoded song. Call from one
// thread at a time.
bool finishDemoSong(const std::filesystem::path &file, const DemoSong &song, std::string &error);

// Writes the songs below `folder` with `threads` encoders in parallel.
// Returns false (with a message) when any song could not be written.
bool buildLibrary(const std::filesystem::path &folder, const std::vector<DemoSong> &songs, unsigned threads,
                  std::string &error);

} // namespace demolib
