#include "songlibrary.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <set>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace {

struct FormatInfo {
    const char *extension;
    const char *name;
    const char *contentType;
};

constexpr FormatInfo kFormats[] = {
    {".mp3", "mp3", "audio/mpeg"},
    {".wma", "wma", "audio/x-ms-wma"},
    {".wav", "wav", "audio/wav"},
    {".mid", "mid", "audio/midi"},
};

std::string asciiLower(std::string_view text)
{
    std::string out(text);
    for (char &c : out) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return out;
}

std::string pathUtf8(const fs::path &path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

const FormatInfo *formatOf(const fs::path &file)
{
    const std::string extension = asciiLower(pathUtf8(file.extension()));
    for (const FormatInfo &format : kFormats) {
        if (extension == format.extension)
            return &format;
    }
    return nullptr;
}

// The real file's path relative to the folder, or empty when the file (a
// link, or a file reached through one) lies outside it.
std::string realPathInside(const fs::path &canonicalRoot, const fs::path &file)
{
    std::error_code error;
    const fs::path real = fs::canonical(file, error);
    if (error)
        return {};
    auto [rootEnd, realIt] = std::mismatch(canonicalRoot.begin(), canonicalRoot.end(),
                                           real.begin(), real.end());
    if (rootEnd != canonicalRoot.end() || realIt == real.end())
        return {};
    return real.lexically_relative(canonicalRoot).generic_string();
}

int retryOpenat(int dirFd, const char *name, int flags)
{
    int fd;
    do
        fd = ::openat(dirFd, name, flags);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// Reproducible pseudo-random numbers (splitmix64): chart contents must not
// depend on the standard library's distributions.
struct Mixer {
    uint64_t state;
    uint64_t next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    size_t below(size_t bound) { return bound == 0 ? 0 : size_t(next() % bound); }
};

template <typename T>
void shuffle(std::vector<T> &items, Mixer &mixer)
{
    for (size_t i = items.size(); i > 1; --i)
        std::swap(items[i - 1], items[mixer.below(i)]);
}

constexpr int kMenuCharts[] = {5, 6, 7, 8, 112, 103, 100, 106, 102, 107, 17, 2, 1, 3, 4, 113, 110};

bool isLatinOnly(std::string_view text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Some charts lead with the songs that suit their caption; the rest of each
// list is a seeded draw from the whole library.
bool suitsChart(int listId, const Song &song)
{
    auto genreIs = [&](std::initializer_list<std::string_view> genres) {
        return std::find(genres.begin(), genres.end(), song.genre) != genres.end();
    };
    switch (listId) {
    case 5: return genreIs({"古典", "爵士", "轻音乐"});      // soft music
    case 8: return genreIs({"民谣", "民乐", "古典"});        // Chinese folk music
    case 106: return genreIs({"民谣"});                     // campus ballads
    case 102: case 107: return genreIs({"爵士", "古典"});    // oldies, golden years
    case 4: return genreIs({"电子", "舞曲"});               // DJ dance
    case 110: return genreIs({"摇滚"});                     // rock chart
    case 112: return isLatinOnly(song.singer);              // Western hits
    case 1: return !isLatinOnly(song.singer);               // Chinese hits
    default: return false;
    }
}

std::vector<const Song *> buildChart(int listId, const std::vector<Song> &songs)
{
    Mixer mixer{0x5EEDu + uint64_t(listId) * 0x100000001B3ull};
    std::vector<const Song *> suited;
    std::vector<const Song *> others;
    std::vector<const Song *> untitled;
    const bool startupMix = listId >= 200 && listId <= 210;
    for (const Song &song : songs) {
        // The first half of the start-up mix always carries the songs with
        // an empty title, so the start-up list shows how they are listed.
        if (startupMix && song.title.empty())
            untitled.push_back(&song);
        else if (suitsChart(listId, song))
            suited.push_back(&song);
        else
            others.push_back(&song);
    }
    shuffle(suited, mixer);
    shuffle(others, mixer);
    shuffle(untitled, mixer);
    const size_t wanted = 8 + mixer.below(13); // 8 to 20 songs
    if (untitled.size() > wanted)
        untitled.resize(wanted);
    std::vector<const Song *> list;
    for (const Song *song : suited) {
        if (list.size() + untitled.size() >= wanted)
            break;
        list.push_back(song);
    }
    for (const Song *song : others) {
        if (list.size() + untitled.size() >= wanted)
            break;
        list.push_back(song);
    }
    for (const Song *song : untitled)
        list.insert(list.begin() + std::ptrdiff_t(mixer.below(list.size() + 1)), song);
    return list;
}

struct NameParts {
    std::string singer;
    std::string title;
    std::string genre;
};

NameParts readNames(const fs::path &file)
{
    NameParts names;
    if (asciiLower(pathUtf8(file.extension())) != ".mid") {
        TagLib::FileRef ref(file.c_str(), false);
        if (!ref.isNull() && ref.tag()) {
            names.singer = cleanCatalogueText(ref.tag()->artist().to8Bit(true));
            names.title = cleanCatalogueText(ref.tag()->title().to8Bit(true));
            names.genre = cleanCatalogueText(ref.tag()->genre().to8Bit(true));
        }
    }
    if (names.singer.empty() && names.title.empty()) {
        // "singer - title.ext"; a name without the separator is all title.
        const std::string stem = pathUtf8(file.stem());
        const size_t dash = stem.find(" - ");
        if (dash != std::string::npos) {
            names.singer = cleanCatalogueText(stem.substr(0, dash));
            names.title = cleanCatalogueText(stem.substr(dash + 3));
        } else {
            names.title = cleanCatalogueText(stem);
        }
    }
    if (names.singer.empty()) {
        // The music box will not play a row without a singer.
        names.singer = "未知歌手";
    }
    return names;
}

} // namespace

std::string cleanCatalogueText(std::string_view utf8)
{
    std::string out = fullWidthSpecials(utf8);
    const size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    const size_t last = out.find_last_not_of(' ');
    return out.substr(first, last - first + 1);
}

std::string fullWidthSpecials(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (ch) {
        case '$': out += "＄"; break;
        case '&': out += "＆"; break;
        case '%': out += "％"; break;
        case '<': out += "＜"; break;
        case '>': out += "＞"; break;
        case '?': out += "？"; break;
        default: out.push_back(c < 0x20 || c == 0x7F ? ' ' : ch); break;
        }
    }
    return out;
}

std::string Song::catalogueName() const
{
    return singer + "$$" + title + "$$$$";
}

bool SongLibrary::isChartId(int listId)
{
    if ((listId >= 200 && listId <= 210) || (listId >= 100 && listId <= 103))
        return true;
    return std::find(std::begin(kMenuCharts), std::end(kMenuCharts), listId)
        != std::end(kMenuCharts);
}

SongLibrary::~SongLibrary()
{
    if (m_rootFd >= 0)
        ::close(m_rootFd);
}

SongLibrary::SongLibrary(SongLibrary &&other) noexcept
    : m_rootFd(std::exchange(other.m_rootFd, -1))
    , m_songs(std::move(other.m_songs))
    , m_genres(std::move(other.m_genres))
    , m_byName(std::move(other.m_byName))
    , m_charts(std::move(other.m_charts))
{
}

SongLibrary &SongLibrary::operator=(SongLibrary &&other) noexcept
{
    if (this != &other) {
        if (m_rootFd >= 0)
            ::close(m_rootFd);
        m_rootFd = std::exchange(other.m_rootFd, -1);
        m_songs = std::move(other.m_songs);
        m_genres = std::move(other.m_genres);
        m_byName = std::move(other.m_byName);
        m_charts = std::move(other.m_charts);
    }
    return *this;
}

int SongLibrary::openFile(const std::string &relativePath) const
{
    if (m_rootFd < 0 || relativePath.empty())
        return -1;
    int dirFd = m_rootFd;
    size_t start = 0;
    while (true) {
        const size_t slash = relativePath.find('/', start);
        const std::string name = relativePath.substr(start, slash == std::string::npos ? std::string::npos
                                                                                        : slash - start);
        if (name.empty() || name == "." || name == "..") {
            if (dirFd != m_rootFd)
                ::close(dirFd);
            return -1;
        }
        const bool last = slash == std::string::npos;
        const int flags = O_CLOEXEC | O_NOFOLLOW | (last ? O_RDONLY | O_NONBLOCK : O_PATH | O_DIRECTORY);
        const int next = retryOpenat(dirFd, name.c_str(), flags);
        if (dirFd != m_rootFd)
            ::close(dirFd);
        if (next < 0)
            return -1;
        if (last) {
            struct stat info {};
            // O_NONBLOCK only kept a planted FIFO from blocking the open.
            if (::fstat(next, &info) != 0 || !S_ISREG(info.st_mode)
                || ::fcntl(next, F_SETFL, 0) != 0) {
                ::close(next);
                return -1;
            }
            return next;
        }
        dirFd = next;
        start = slash + 1;
    }
}

SongLibrary SongLibrary::scan(const fs::path &folder, const std::atomic<bool> *cancel)
{
    auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
    SongLibrary library;
    std::error_code error;
    const fs::path root = fs::canonical(folder, error);
    if (error)
        return library;
    library.m_rootFd = ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (library.m_rootFd < 0)
        return library;

    struct Found {
        std::string relative; // as listed (sort order of the ids)
        fs::path file;
        std::string real;     // the real file, relative to the folder
    };
    std::vector<Found> audioFiles;
    std::map<fs::path, std::string> lyricsFiles; // listed path -> real relative path
    auto it = fs::recursive_directory_iterator(
        root, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (cancelled())
            return SongLibrary();
        const fs::directory_entry &entry = *it;
        std::error_code statError;
        if (!entry.is_regular_file(statError) || statError)
            continue;
        std::string real = entry.path().lexically_relative(root).generic_string();
        if (entry.is_symlink(statError)) {
            real = realPathInside(root, entry.path());
            if (real.empty())
                continue;
        }
        if (asciiLower(pathUtf8(entry.path().extension())) == ".lrc") {
            lyricsFiles.emplace(entry.path(), std::move(real));
            continue;
        }
        if (formatOf(entry.path()))
            audioFiles.push_back({pathUtf8(entry.path().lexically_relative(root)), entry.path(), std::move(real)});
    }
    std::sort(audioFiles.begin(), audioFiles.end(),
              [](const Found &a, const Found &b) { return a.relative < b.relative; });

    library.m_songs.reserve(audioFiles.size());
    for (const Found &found : audioFiles) {
        if (cancelled())
            return SongLibrary();
        const fs::path &file = found.file;
        const FormatInfo *format = formatOf(file);
        NameParts names = readNames(file);
        Song song;
        song.id = int(library.m_songs.size()) + 1;
        song.file = file;
        song.relativePath = found.real;
        song.fileName = pathUtf8(file.filename());
        song.singer = std::move(names.singer);
        song.title = std::move(names.title);
        song.genre = std::move(names.genre);
        song.titleKey = asciiLower(song.title);
        song.singerKey = asciiLower(song.singer);
        song.genreKey = asciiLower(song.genre);
        song.formatName = format->name;
        song.contentType = format->contentType;
        for (const char *extension : {".lrc", ".LRC", ".Lrc"}) {
            fs::path lyrics = file;
            lyrics.replace_extension(extension);
            if (const auto lyricsIt = lyricsFiles.find(lyrics); lyricsIt != lyricsFiles.end()) {
                song.lyricsFile = lyrics;
                song.lyricsRelativePath = lyricsIt->second;
                song.lyricsId = kLyricsIdBase + song.id;
                break;
            }
        }
        library.m_songs.push_back(std::move(song));
    }

    // Pointers into m_songs are taken only now that it no longer grows.
    for (const Song &song : library.m_songs) {
        library.m_byName.try_emplace({song.singer, song.title}, &song);
        if (!song.genre.empty()
            && std::find(library.m_genres.begin(), library.m_genres.end(), song.genre)
                == library.m_genres.end())
            library.m_genres.push_back(song.genre);
    }
    std::sort(library.m_genres.begin(), library.m_genres.end());
    for (int id : kMenuCharts)
        library.m_charts[id] = buildChart(id, library.m_songs);
    for (int id = 200; id <= 210; ++id)
        library.m_charts[id] = buildChart(id, library.m_songs);
    for (int id = 100; id <= 103; ++id)
        library.m_charts[id] = buildChart(id, library.m_songs);
    return library;
}

std::vector<const Song *> SongLibrary::search(std::string_view utf8Text) const
{
    std::vector<const Song *> found;
    if (utf8Text.empty())
        return found;
    const std::string needle = asciiLower(utf8Text);
    for (const Song &song : m_songs) {
        if (song.titleKey.find(needle) != std::string::npos
            || song.singerKey.find(needle) != std::string::npos
            || (!song.genreKey.empty() && song.genreKey == needle))
            found.push_back(&song);
    }
    return found;
}

std::vector<const Song *> SongLibrary::chart(int listId) const
{
    const auto it = m_charts.find(listId);
    return it == m_charts.end() ? std::vector<const Song *>() : it->second;
}

const Song *SongLibrary::findByName(std::string_view singer, std::string_view title) const
{
    const auto it = m_byName.find({std::string(singer), std::string(title)});
    return it == m_byName.end() ? nullptr : it->second;
}

const Song *SongLibrary::songById(int id) const
{
    if (id < 1 || size_t(id) > m_songs.size())
        return nullptr;
    return &m_songs[size_t(id) - 1];
}

const Song *SongLibrary::songByLyricsId(int lyricsId) const
{
    const Song *song = songById(lyricsId - kLyricsIdBase);
    return song && song->lyricsId == lyricsId ? song : nullptr;
}
