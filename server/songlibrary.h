#pragma once

#include <atomic>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// One playable file of the music folder.
struct Song {
    int id = 0;                    // 1-based, in the order of the files' relative paths
    std::filesystem::path file;    // absolute path inside the library folder
    std::string relativePath;      // the real file below the folder, "/"-separated
    std::string fileName;          // the file's own name, UTF-8
    std::string singer;            // UTF-8, never empty
    std::string title;             // UTF-8, may be empty
    std::string genre;             // UTF-8, may be empty
    std::string formatName;        // "mp3", "wma", "wav" or "mid"
    std::string contentType;       // e.g. "audio/mpeg"
    int lyricsId = 0;              // 0: no lyrics file beside the song
    std::filesystem::path lyricsFile;
    std::string lyricsRelativePath;

    // Lower-case (ASCII) copies of the names, made once for searching.
    std::string titleKey;
    std::string singerKey;
    std::string genreKey;

    // "singer$$title$$$$", the form in which the catalogue lists a song.
    std::string catalogueName() const;
};

// The songs of one music folder, read once at start-up and never changed
// afterwards, so request threads may share it without locks.
class SongLibrary {
public:
    SongLibrary() = default;
    ~SongLibrary();
    // The lookup tables point into the song vector: moving keeps its
    // buffer, copying would not.
    SongLibrary(SongLibrary &&other) noexcept;
    SongLibrary &operator=(SongLibrary &&other) noexcept;
    SongLibrary(const SongLibrary &) = delete;
    SongLibrary &operator=(const SongLibrary &) = delete;

    // Reads every .mp3, .wma, .wav and .mid file below the folder (file
    // links that lead out of the folder are left out). Names come from the
    // files' tags, or from a file name "singer - title.ext" when a file has
    // neither an artist nor a title tag. A ".lrc" file with the same base
    // name beside a song gives it a lyrics id. A link to a file inside the
    // folder is listed under its own name and served from the real file.
    // The scan gives up early (empty library) once `cancel` becomes true.
    static SongLibrary scan(const std::filesystem::path &folder,
                            const std::atomic<bool> *cancel = nullptr);

    // Opens a file of the folder for reading, by its relative path, the way
    // it is at this moment: every folder on the way and the file itself are
    // opened without following symbolic links, relative to the folder that
    // was scanned, so a link swapped in after the scan, or a renamed parent
    // folder, can never lead outside it. Returns the descriptor of a
    // regular file, or -1.
    int openFile(const std::string &relativePath) const;

    const std::vector<Song> &songs() const { return m_songs; }

    // Songs whose title or singer contains the text, or whose genre equals
    // it; ASCII letters match regardless of case. An empty text finds
    // nothing.
    std::vector<const Song *> search(std::string_view utf8Text) const;

    // The songs of a chart, always the same for the same id and library.
    // Empty for ids that are not charts.
    std::vector<const Song *> chart(int listId) const;

    // Every genre of the library once, in a stable order.
    const std::vector<std::string> &genres() const { return m_genres; }

    const Song *findByName(std::string_view singer, std::string_view title) const;
    const Song *songById(int id) const;
    const Song *songByLyricsId(int lyricsId) const;

    // The chart menu's ids and the ranges the start-up mix draws from.
    static bool isChartId(int listId);

    // Lyrics ids are 1000 + the song id.
    static constexpr int kLyricsIdBase = 1000;

private:
    int m_rootFd = -1;
    std::vector<Song> m_songs;
    std::vector<std::string> m_genres;
    std::map<std::pair<std::string, std::string>, const Song *> m_byName;
    std::map<int, std::vector<const Song *>> m_charts;
};

// Replaces the characters that cannot travel inside a catalogue name by
// their full-width forms: "$" separates name parts; "&", "%" and "?" come
// back raw in the music box's requests, where they would end the parameter,
// start an escape, or make the request line unreadable to the HTTP library;
// "<" and ">" delimit reply fields. Control characters become spaces, and
// surrounding white space is trimmed.
std::string cleanCatalogueText(std::string_view utf8);

// The character replacements of cleanCatalogueText() without the trimming:
// a search text is compared with the names in this form, so "Why?" finds
// the title listed as "Why？".
std::string fullWidthSpecials(std::string_view utf8);
