#include "catalogueservice.h"

#include "gbktext.h"
#include "requesttarget.h"

#include <unistd.h>

#include <cerrno>
#include <random>

namespace {

constexpr const char *kXmlHeader = "<?xml version=\"1.0\" encoding=\"gbk\"?>";
constexpr const char *kGbkText = "text/plain; charset=GBK";
constexpr size_t kMaxLyricsSize = 1 << 20;

CatalogueReply failure(int status, const char *message)
{
    CatalogueReply reply;
    reply.status = status;
    reply.contentType = "text/plain; charset=utf-8";
    reply.body = std::string(message) + "\n";
    return reply;
}

CatalogueReply catalogueText(const std::string &utf8)
{
    CatalogueReply reply;
    reply.contentType = kGbkText;
    reply.body = gbk::fromUtf8(utf8);
    return reply;
}

CatalogueReply nameList(const std::vector<const Song *> &songs)
{
    std::string text = kXmlHeader;
    text += "<result><count>" + std::to_string(songs.size()) + "</count>";
    for (const Song *song : songs)
        text += "<data><name>" + song->catalogueName() + "</name></data>";
    text += "</result>";
    return catalogueText(text);
}

// A throw-away last path segment for song addresses. The music box swaps
// the first occurrence of the last segment for the file name, so the token
// is made of letters only and can never occur earlier in the address,
// whose other letters are "http" and "song".
std::string randomToken()
{
    thread_local std::mt19937_64 generator{std::random_device{}()};
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz";
    std::string token(16, 'a');
    for (char &c : token)
        c = kLetters[generator() % 26];
    return token;
}

bool endsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

} // namespace

CatalogueService::CatalogueService(const SongLibrary &library, std::string baseAddress)
    : m_library(library)
    , m_baseAddress(std::move(baseAddress))
{
}

CatalogueReply CatalogueService::answer(std::string_view rawTarget) const
{
    const ParsedTarget parsed = parseRequestTarget(rawTarget);
    if (parsed.problem == TargetProblem::TooLong)
        return failure(414, "request target too long");
    if (parsed.problem != TargetProblem::None)
        return failure(400, "malformed request target");

    const std::vector<std::string> &path = parsed.target.path;
    if (path.size() == 1 && path[0] == "x")
        return answerQuery(parsed.target);
    if (path.size() == 3 && path[0] == "bdlrc")
        return lyrics(path[1], path[2]);
    if (path.size() == 3 && path[0] == "song")
        return songFile(path[1]);
    return failure(404, "not found");
}

CatalogueReply CatalogueService::answerQuery(const RequestTarget &target) const
{
    const std::string *op = target.param("op");
    if (!op)
        return failure(400, "missing op");
    const std::optional<int> opNumber = parseId(*op);
    if (!opNumber)
        return failure(400, "op is not a number");

    // The fixed parameters (mode, count, mtype, listenreelect) carry nothing
    // the server needs; only the variable ones are required.
    auto require = [&](const char *name) { return target.param(name); };
    switch (*opNumber) {
    case 7:
        if (const std::string *title = require("title"))
            return search(*title);
        return failure(400, "missing title");
    case 22:
        if (const std::string *listId = require("listid"))
            return chartList(*listId);
        return failure(400, "missing listid");
    case 3:
        if (const std::string *listCat = require("list_cat"))
            return categories(*listCat);
        return failure(400, "missing list_cat");
    case 12:
        if (const std::string *title = require("title"))
            return songAddress(*title);
        return failure(400, "missing title");
    default:
        return failure(400, "unknown op");
    }
}

CatalogueReply CatalogueService::search(const std::string &gbkText) const
{
    return nameList(m_library.search(fullWidthSpecials(gbk::toUtf8(gbkText))));
}

CatalogueReply CatalogueService::chartList(const std::string &listId) const
{
    const std::optional<int> id = parseId(listId);
    if (!id)
        return failure(400, "listid is not a number");
    return nameList(m_library.chart(*id));
}

CatalogueReply CatalogueService::categories(const std::string &listCat) const
{
    const std::optional<int> id = parseId(listCat);
    if (!id)
        return failure(400, "list_cat is not a number");
    // Each category's name stands before its own <data>: the music box cuts
    // the reply at "<data>" and reads the name from the text before it.
    const std::vector<std::string> none;
    const std::vector<std::string> &genres = *id == 5 ? m_library.genres() : none;
    std::string text = kXmlHeader;
    text += "<result><count>" + std::to_string(genres.size()) + "</count>";
    for (size_t i = 0; i < genres.size(); ++i) {
        text += "<cat><name>" + genres[i] + "</name><data><id>" + std::to_string(i + 1)
            + "</id></data></cat>";
    }
    text += "</result>";
    return catalogueText(text);
}

CatalogueReply CatalogueService::songAddress(const std::string &gbkTitle) const
{
    // The title parameter is "singer$$title$$$$", or "singer$$$$$$" for a
    // song listed without a title.
    std::string key = gbk::toUtf8(gbkTitle);
    if (endsWith(key, "$$$$"))
        key.resize(key.size() - 4);
    const Song *song = nullptr;
    const size_t separator = key.find("$$");
    if (separator != std::string::npos) {
        const std::string singer = key.substr(0, separator);
        const std::string title = key.substr(separator + 2);
        song = m_library.findByName(singer, title);
        // Search results and charts show an empty title as "栖木网络" and
        // send it back that way; it still means the untitled song.
        if (!song && title == "栖木网络")
            song = m_library.findByName(singer, "");
    }
    std::string text = kXmlHeader;
    if (!song) {
        text += "<result><count>0</count></result>";
        return catalogueText(text);
    }
    text += "<result><count>1</count><data>";
    text += "<encode>" + m_baseAddress + "/song/" + std::to_string(song->id) + "/" + randomToken()
        + "</encode>";
    text += "<decode>" + percentEncodeSegment(song->fileName) + "</decode>";
    text += "<type>" + song->formatName + "</type>";
    if (song->lyricsId != 0)
        text += "<lrcid>" + std::to_string(song->lyricsId) + "</lrcid>";
    text += "</data></result>";
    return catalogueText(text);
}

CatalogueReply CatalogueService::lyrics(const std::string &folder, const std::string &fileName) const
{
    if (!endsWith(fileName, ".lrc"))
        return failure(404, "not found");
    const std::optional<int> id = parseId(fileName.substr(0, fileName.size() - 4));
    const std::optional<int> folderNumber = parseId(folder);
    if (!id || !folderNumber)
        return failure(400, "lyrics id is not a number");
    const Song *song = m_library.songByLyricsId(*id);
    if (!song || *folderNumber != *id / 100)
        return failure(404, "no such lyrics");

    // Opened the way song files are: never through a link, never outside
    // the library folder.
    const int fd = m_library.openFile(song->lyricsRelativePath);
    if (fd < 0)
        return failure(404, "lyrics file unreadable");
    std::string bytes;
    bool readable = true;
    char buffer[16384];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 || bytes.size() + size_t(got) > kMaxLyricsSize) {
            readable = false;
            break;
        }
        if (got == 0)
            break;
        bytes.append(buffer, size_t(got));
    }
    ::close(fd);
    if (!readable)
        return failure(404, "lyrics file unreadable");
    // Lyrics go out in GBK like every catalogue text; files saved as UTF-8
    // (with or without a byte order mark) are converted.
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0)
        bytes = gbk::fromUtf8(std::string_view(bytes).substr(3));
    else if (gbk::looksLikeUtf8(bytes))
        bytes = gbk::fromUtf8(bytes);

    CatalogueReply reply;
    reply.contentType = kGbkText;
    reply.body = std::move(bytes);
    return reply;
}

CatalogueReply CatalogueService::songFile(const std::string &id) const
{
    const std::optional<int> number = parseId(id);
    if (!number)
        return failure(400, "song id is not a number");
    const Song *song = m_library.songById(*number);
    if (!song)
        return failure(404, "no such song");
    CatalogueReply reply;
    reply.contentType = song->contentType;
    reply.song = song;
    return reply;
}
