#include "mediawriters.h"

#include <lame/lame.h>
#include <taglib/asffile.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/wavfile.h>

#include <QByteArray>
#include <QString>
#include <QStringEncoder>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace fs = std::filesystem;

namespace demolib {

namespace {

bool writeBytes(const fs::path &file, const void *data, size_t size, std::string &error)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char *>(data), std::streamsize(size));
    out.close();
    if (!out) {
        error = "cannot write " + file.string();
        return false;
    }
    return true;
}

void put16(std::string &out, uint16_t value)
{
    out.push_back(char(value & 0xFF));
    out.push_back(char(value >> 8));
}

void put32(std::string &out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(char((value >> shift) & 0xFF));
}

void putBig32(std::string &out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(char((value >> shift) & 0xFF));
}

void putVariable(std::string &out, uint32_t value)
{
    // MIDI variable-length quantity: 7 bits per byte, high bit = more.
    char bytes[5];
    int count = 0;
    bytes[count++] = char(value & 0x7F);
    while ((value >>= 7) != 0)
        bytes[count++] = char((value & 0x7F) | 0x80);
    while (count > 0)
        out.push_back(bytes[--count]);
}

std::string wavBytes(const std::vector<int16_t> &pcm, int sampleRate)
{
    const uint32_t dataSize = uint32_t(pcm.size() * 2);
    std::string out = "RIFF";
    put32(out, 36 + dataSize);
    out += "WAVEfmt ";
    put32(out, 16);
    put16(out, 1);                       // PCM
    put16(out, 1);                       // mono
    put32(out, uint32_t(sampleRate));
    put32(out, uint32_t(sampleRate * 2)); // bytes per second
    put16(out, 2);                       // block align
    put16(out, 16);                      // bits per sample
    out += "data";
    put32(out, dataSize);
    for (const int16_t sample : pcm)
        put16(out, uint16_t(sample));
    return out;
}

// LAME keeps some tables in globals that are filled on first use; set-up
// is serialised so parallel encoders cannot race on them.
std::mutex g_lameSetup;

TagLib::String utf8(const std::string &text)
{
    return TagLib::String(text, TagLib::String::UTF8);
}

// Runs a program with arguments (no shell), output discarded. Gives up
// after the time limit.
bool runProgram(const std::vector<std::string> &arguments, std::chrono::seconds limit, std::string &error)
{
    std::vector<char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        error = "cannot start " + arguments.front() + ": " + std::strerror(spawned);
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (true) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0) {
            error = arguments.front() + ": wait failed";
            return false;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            error = arguments.front() + " took too long";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = arguments.front() + " failed";
        return false;
    }
    return true;
}

// ASF files carry a random file id and the creation time; both are set to
// values derived from the file name so the library is reproducible.
void fixAsfIdentity(std::string &bytes, const std::string &name)
{
    static const unsigned char kFileProperties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                                      0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
    static const unsigned char kDataObject[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                                  0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
    unsigned char fileId[16];
    uint64_t hash = 1469598103934665603ull;
    for (int i = 0; i < 16; ++i) {
        for (const char c : name)
            hash = (hash ^ uint8_t(c)) * 1099511628211ull;
        hash = (hash ^ uint64_t(i)) * 1099511628211ull;
        fileId[i] = uint8_t(hash >> 32);
    }
    const uint64_t created = 133485408000000000ull; // 2024-01-01 as a Windows FILETIME
    auto find = [&](const unsigned char *guid) {
        return bytes.find(std::string(reinterpret_cast<const char *>(guid), 16));
    };
    const size_t properties = find(kFileProperties);
    if (properties != std::string::npos && properties + 56 <= bytes.size()) {
        std::memcpy(&bytes[properties + 24], fileId, 16);
        for (int i = 0; i < 8; ++i)
            bytes[properties + 48 + size_t(i)] = char((created >> (8 * i)) & 0xFF);
    }
    const size_t data = find(kDataObject);
    if (data != std::string::npos && data + 40 <= bytes.size())
        std::memcpy(&bytes[data + 24], fileId, 16);
}

} // namespace

bool writeMp3(const fs::path &file, const std::vector<int16_t> &pcm, int sampleRate, int kilobitsPerSecond,
              std::string &error)
{
    lame_global_flags *lame = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_lameSetup);
        lame = lame_init();
        if (!lame) {
            error = "cannot start the MP3 encoder";
            return false;
        }
        lame_set_num_channels(lame, 1);
        lame_set_mode(lame, MONO);
        lame_set_in_samplerate(lame, sampleRate);
        lame_set_out_samplerate(lame, sampleRate);
        lame_set_brate(lame, kilobitsPerSecond);
        lame_set_VBR(lame, vbr_off);
        lame_set_quality(lame, 5);
        lame_set_bWriteVbrTag(lame, 1);
        lame_set_write_id3tag_automatic(lame, 0);
        if (lame_init_params(lame) < 0) {
            lame_close(lame);
            error = "MP3 encoder refused its settings";
            return false;
        }
    }

    std::vector<unsigned char> mp3;
    constexpr size_t kChunk = 8192;
    std::vector<unsigned char> buffer(kChunk * 5 / 4 + 7200);
    for (size_t offset = 0; offset < pcm.size(); offset += kChunk) {
        const int count = int(std::min(kChunk, pcm.size() - offset));
        // The right channel is ignored in mono; the same samples are passed.
        const int written = lame_encode_buffer(lame, pcm.data() + offset, pcm.data() + offset, count,
                                               buffer.data(), int(buffer.size()));
        if (written < 0) {
            lame_close(lame);
            error = "MP3 encoding failed";
            return false;
        }
        mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + written);
    }
    const int flushed = lame_encode_flush(lame, buffer.data(), int(buffer.size()));
    if (flushed > 0)
        mp3.insert(mp3.end(), buffer.begin(), buffer.begin() + flushed);
    // The first frame was a placeholder for the Info frame (duration, frame
    // count, seek table), which is only known now.
    std::vector<unsigned char> infoFrame(4096);
    const size_t infoSize = lame_get_lametag_frame(lame, infoFrame.data(), infoFrame.size());
    lame_close(lame);
    if (infoSize > 0 && infoSize <= mp3.size())
        std::copy(infoFrame.begin(), infoFrame.begin() + std::ptrdiff_t(infoSize), mp3.begin());
    return writeBytes(file, mp3.data(), mp3.size(), error);
}

bool writeWav(const fs::path &file, const std::vector<int16_t> &pcm, int sampleRate, std::string &error)
{
    const std::string bytes = wavBytes(pcm, sampleRate);
    return writeBytes(file, bytes.data(), bytes.size(), error);
}

bool writeMidi(const fs::path &file, const Composition &piece, std::string &error)
{
    constexpr int kDivision = 480; // ticks per quarter note
    auto tickOf = [&](double beat) {
        return uint32_t(std::lround(piece.secondsAt(beat) * piece.tempo / 60.0 * kDivision));
    };

    std::vector<std::string> tracks;
    {
        std::string track;
        putVariable(track, 0);
        track += "\xFF\x51\x03";
        const uint32_t microseconds = uint32_t(std::lround(60000000.0 / piece.tempo));
        track.push_back(char((microseconds >> 16) & 0xFF));
        track.push_back(char((microseconds >> 8) & 0xFF));
        track.push_back(char(microseconds & 0xFF));
        putVariable(track, 0);
        track += "\xFF\x58\x04";
        track.push_back(char(piece.beatsPerBar));
        track += std::string("\x02\x18\x08", 3);
        putVariable(track, tickOf(piece.totalBeats) + kDivision);
        track += std::string("\xFF\x2F\x00", 3);
        tracks.push_back(track);
    }

    int nextChannel = 0;
    for (size_t v = 0; v < piece.voices.size(); ++v) {
        const Voice &voice = piece.voices[v];
        int channel = 9;
        if (!voice.drums) {
            if (nextChannel == 9)
                ++nextChannel;
            channel = std::min(nextChannel++, 15);
        }
        struct Event {
            uint32_t tick;
            int order; // note-offs before note-ons at the same tick
            std::string bytes;
        };
        std::vector<Event> events;
        if (!voice.drums)
            events.push_back({0, -1, {char(0xC0 | channel), char(voice.midiProgram & 0x7F)}});
        for (const Note &note : piece.notes) {
            if (size_t(note.voice) != v)
                continue;
            const int velocity = std::clamp(int(std::lround(note.velocity * 127)), 1, 127);
            const double length = voice.drums ? std::min(note.length, 0.25) : note.length;
            uint32_t on = tickOf(note.beat);
            uint32_t off = std::max(on + 1, tickOf(note.beat + length));
            events.push_back({on, 1, {char(0x90 | channel), char(note.pitch & 0x7F), char(velocity)}});
            events.push_back({off, 0, {char(0x80 | channel), char(note.pitch & 0x7F), char(64)}});
        }
        std::stable_sort(events.begin(), events.end(), [](const Event &a, const Event &b) {
            return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
        });
        std::string track;
        uint32_t now = 0;
        for (const Event &event : events) {
            putVariable(track, event.tick - now);
            now = event.tick;
            track += event.bytes;
        }
        putVariable(track, 0);
        track += std::string("\xFF\x2F\x00", 3);
        tracks.push_back(track);
    }

    std::string out = "MThd";
    putBig32(out, 6);
    out += std::string("\x00\x01", 2); // format 1
    out.push_back(char(tracks.size() >> 8));
    out.push_back(char(tracks.size() & 0xFF));
    out.push_back(char(kDivision >> 8));
    out.push_back(char(kDivision & 0xFF));
    for (const std::string &track : tracks) {
        out += "MTrk";
        putBig32(out, uint32_t(track.size()));
        out += track;
    }
    return writeBytes(file, out.data(), out.size(), error);
}

bool writeWma(const fs::path &file, const std::vector<int16_t> &pcm, int sampleRate, int kilobitsPerSecond,
              std::string &error)
{
    // GStreamer gets plain ASCII names beside the target; the result is
    // renamed into place only when complete.
    const std::string unique = std::to_string(getpid()) + "-" + std::to_string(std::hash<std::string>{}(file.string()));
    const fs::path source = file.parent_path() / (".wma-source-" + unique + ".wav");
    const fs::path partial = file.parent_path() / (".wma-part-" + unique + ".wma");
    if (!writeWav(source, pcm, sampleRate, error))
        return false;
    const bool encoded = runProgram({"gst-launch-1.0", "-q", "filesrc", "location=" + source.string(), "!",
                                     "wavparse", "!", "audioconvert", "!", "audioresample", "!", "avenc_wmav2",
                                     "bitrate=" + std::to_string(kilobitsPerSecond * 1000), "!", "asfmux", "!",
                                     "filesink", "location=" + partial.string()},
                                    std::chrono::seconds(60), error);
    std::error_code ignored;
    fs::remove(source, ignored);
    if (!encoded) {
        fs::remove(partial, ignored);
        error = "WMA encoding with gst-launch-1.0 (avenc_wmav2, asfmux) failed: " + error;
        return false;
    }
    std::ifstream in(partial, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    fs::remove(partial, ignored);
    if (bytes.size() < 1024) {
        error = "gst-launch-1.0 produced no WMA data";
        return false;
    }
    fixAsfIdentity(bytes, file.filename().string());
    return writeBytes(file, bytes.data(), bytes.size(), error);
}

bool writeTags(const fs::path &file, const SongTags &tags, std::string &error)
{
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    auto fill = [&](TagLib::Tag *tag) {
        tag->setArtist(utf8(tags.singer));
        tag->setTitle(utf8(tags.title));
        tag->setGenre(utf8(tags.genre));
    };
    bool saved = false;
    if (extension == ".mp3") {
        TagLib::ID3v2::FrameFactory::instance()->setDefaultTextEncoding(TagLib::String::UTF8);
        TagLib::MPEG::File mp3(file.c_str());
        if (mp3.isValid()) {
            fill(mp3.ID3v2Tag(true));
            saved = mp3.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4);
        }
    } else if (extension == ".wav") {
        TagLib::ID3v2::FrameFactory::instance()->setDefaultTextEncoding(TagLib::String::UTF8);
        TagLib::RIFF::WAV::File wav(file.c_str());
        if (wav.isValid()) {
            fill(wav.ID3v2Tag());
            saved = wav.save(TagLib::RIFF::WAV::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4);
        }
    } else if (extension == ".wma") {
        TagLib::ASF::File wma(file.c_str());
        if (wma.isValid()) {
            fill(wma.tag());
            saved = wma.save();
        }
    } else {
        error = "no tags for " + file.string();
        return false;
    }
    if (!saved)
        error = "cannot tag " + file.string();
    return saved;
}

bool writeLyrics(const fs::path &file, const SongTags &tags,
                 const std::vector<std::pair<double, std::string>> &lines, std::string &error)
{
    std::string text = "[ti:" + tags.title + "]\r\n[ar:" + tags.singer + "]\r\n";
    for (const auto &[seconds, line] : lines) {
        const long hundredths = std::lround(seconds * 100.0);
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "[%02ld:%02ld.%02ld]", hundredths / 6000, (hundredths / 100) % 60,
                      hundredths % 100);
        text += stamp + line + "\r\n";
    }
    QStringEncoder encoder("GB18030");
    const QByteArray bytes = encoder.encode(QString::fromUtf8(text.data(), qsizetype(text.size())));
    return writeBytes(file, bytes.constData(), size_t(bytes.size()), error);
}

} // namespace demolib
