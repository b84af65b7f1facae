// The whole way from the bytes a client sends to the reply the server
// sends, on a small library of its own: request heads (pipelined, split at
// any point), catalogue answers, song files with ranges, lyrics. Checks
// that every reply is well-formed and announces exactly what it carries.

#include "catalogueservice.h"
#include "httpanswer.h"
#include "httprequest.h"
#include "songlibrary.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace fs = std::filesystem;

namespace {

fs::path g_folder;
std::unique_ptr<SongLibrary> g_library;
std::unique_ptr<CatalogueService> g_service;

void writeFile(const fs::path &file, const std::string &bytes)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

void removeFolder()
{
    std::error_code ignored;
    fs::remove_all(g_folder, ignored);
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

uint64_t contentLength(const std::string &head)
{
    const size_t at = head.find("\r\nContent-Length: ");
    check(at != std::string::npos);
    return std::stoull(head.substr(at + 18));
}

void checkAnswer(const HttpAnswer &answer, bool headOnly)
{
    const std::string &head = answer.head;
    check(head.rfind("HTTP/1.1 ", 0) == 0);
    check(head.size() >= 4 && head.compare(head.size() - 4, 4, "\r\n\r\n") == 0);
    // Nothing the client sent reaches the reply's fields.
    check(head.find("\r\n\r\n") == head.size() - 4);
    const uint64_t length = contentLength(head);
    if (answer.fileFd >= 0) {
        check(answer.body.empty() && !headOnly && length == answer.fileLength);
        struct stat info {};
        check(::fstat(answer.fileFd, &info) == 0);
        check(answer.fileOffset + answer.fileLength <= uint64_t(info.st_size));
    } else if (!headOnly) {
        check(length == answer.body.size());
    } else {
        check(answer.body.empty());
    }
    if (answer.status == 206)
        check(head.find("\r\nContent-Range: bytes ") != std::string::npos);
    if (answer.status == 416)
        check(head.find("\r\nContent-Range: bytes */") != std::string::npos);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    char pattern[] = "/tmp/musicbox-fuzz-XXXXXX";
    check(::mkdtemp(pattern) != nullptr);
    g_folder = pattern;
    std::atexit(removeFolder);
    const fs::path library = g_folder / "library";
    writeFile(library / "Fuzz Singer - Song One.mp3", std::string(3000, 'm'));
    writeFile(library / "Fuzz Singer - Song One.lrc", "[00:01.00]晴天的信\n");
    writeFile(library / "民谣" / "夏知秋 - 无题.wav", std::string(100, 'w'));
    writeFile(library / "民谣" / "夏知秋 - 无题.lrc", "[00:01.00]\xC7\xE7\xCC\xEC\n"); // GBK
    writeFile(library / "Empty - Nothing.mid", "");
    writeFile(g_folder / "outside" / "Secret - Outside.mp3", "secret");
    fs::create_symlink(g_folder / "outside" / "Secret - Outside.mp3", library / "link.mp3");
    g_library = std::make_unique<SongLibrary>(SongLibrary::scan(library));
    g_service = std::make_unique<CatalogueService>(*g_library, "http://127.0.0.1:1");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks where the bytes are split into two reads.
    const size_t split = 1 + data[0] % size;
    const char *bytes = reinterpret_cast<const char *>(data);
    RequestReader reader(HttpLimits{2048, 16});
    reader.append(bytes + 1, split - 1);
    bool appendedRest = false;
    for (int answered = 0; answered < 16;) {
        RequestHead head;
        int status = 0;
        const RequestReader::State state = reader.next(head, status);
        if (state == RequestReader::State::NeedMore) {
            if (appendedRest)
                break;
            reader.append(bytes + split, size - split);
            appendedRest = true;
            continue;
        }
        ++answered;
        if (state == RequestReader::State::Failed) {
            check(status == 400 || status == 414 || status == 431 || status == 505);
            const HttpAnswer answer = answerUnreadable(status);
            check(answer.closeAfter);
            checkAnswer(answer, false);
            break;
        }
        const HttpAnswer answer = answerRequest(*g_service, *g_library, head);
        checkAnswer(answer, head.method == "HEAD");
        // The file outside the library is never served.
        if (answer.fileFd >= 0) {
            char probe[6] = {};
            check(::pread(answer.fileFd, probe, sizeof probe, 0) >= 0);
            check(std::string(probe, sizeof probe) != "secret");
        }
        if (answer.closeAfter)
            break;
    }
    return 0;
}
