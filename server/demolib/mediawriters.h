#pragma once

#include "composer.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

// Writers for the demo library's files. Each returns false and fills
// `error` when the file cannot be written.
namespace demolib {

// MP3, mono, constant bit rate, with an Info frame so players know the
// duration. No tags; see writeTags().
bool writeMp3(const std::filesystem::path &file, const std::vector<int16_t> &pcm, int sampleRate,
              int kilobitsPerSecond, std::string &error);

// RIFF WAVE, 16-bit mono PCM.
bool writeWav(const std::filesystem::path &file, const std::vector<int16_t> &pcm, int sampleRate,
              std::string &error);

// Standard MIDI file (format 1): a tempo track and one track per voice,
// drums on channel 10.
bool writeMidi(const std::filesystem::path &file, const Composition &piece, std::string &error);

// Windows Media Audio 2 in an ASF container, encoded by GStreamer's
// gst-launch-1.0 (avenc_wmav2, asfmux). The container's file id and
// creation time are fixed afterwards so the output is reproducible.
bool writeWma(const std::filesystem::path &file, const std::vector<int16_t> &pcm, int sampleRate,
              int kilobitsPerSecond, std::string &error);

struct SongTags {
    std::string singer; // UTF-8
    std::string title;  // UTF-8; empty: no title tag
    std::string genre;  // UTF-8
};

// Tags an MP3 (ID3v2.4, UTF-8 text), WAV (ID3v2.4 chunk) or WMA (ASF)
// file. Not thread-safe: call from one thread at a time.
bool writeTags(const std::filesystem::path &file, const SongTags &tags, std::string &error);

// A ".lrc" lyrics file in GBK: title and artist headers, then one
// "[mm:ss.xx]text" line per entry (seconds, UTF-8 text).
bool writeLyrics(const std::filesystem::path &file, const SongTags &tags,
                 const std::vector<std::pair<double, std::string>> &lines, std::string &error);

} // namespace demolib
