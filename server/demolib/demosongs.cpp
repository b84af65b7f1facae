#include "demosongs.h"

#include "synthesizer.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <thread>

namespace fs = std::filesystem;

namespace demolib {

namespace {

constexpr int kMp3Rate = 44100;
constexpr int kMp3Kilobits = 96;
constexpr int kWavRate = 22050;
constexpr int kWmaRate = 44100;
constexpr int kWmaKilobits = 96;

uint64_t seedOf(const DemoSong &song)
{
    uint64_t hash = 1469598103934665603ull;
    for (const std::string *text : {&song.singer, &song.title, &song.genre}) {
        for (const char c : *text)
            hash = (hash ^ uint8_t(c)) * 1099511628211ull;
        hash = (hash ^ 0x1F) * 1099511628211ull;
    }
    return hash;
}

const char *extensionOf(FileFormat format)
{
    switch (format) {
    case FileFormat::Mp3: return ".mp3";
    case FileFormat::Wav: return ".wav";
    case FileFormat::Wma: return ".wma";
    case FileFormat::Midi: return ".mid";
    }
    return ".mp3";
}

fs::path fromUtf8(const std::string &text)
{
    return fs::path(std::u8string(text.begin(), text.end()));
}

// Lyrics lines start with each melody phrase and halfway through it; the
// lines repeat when the song has more places for them than lines.
std::vector<std::pair<double, std::string>> timedLyrics(const Composition &piece, const DemoSong &song)
{
    // One line every two bars from the first phrase on, or every bar when
    // that leaves too few places for the lines.
    std::vector<double> beats;
    const double barBeats = piece.beatsPerBar;
    const double first = piece.phraseBeats.empty() ? 0.0 : piece.phraseBeats.front();
    const double last = piece.totalBeats - barBeats;
    for (const double every : {2 * barBeats, barBeats}) {
        beats.clear();
        for (double beat = first; beat < last; beat += every)
            beats.push_back(beat);
        if (beats.size() >= song.lyrics.size())
            break;
    }
    std::vector<std::pair<double, std::string>> lines;
    lines.emplace_back(0.0, song.title + " - " + song.singer);
    for (size_t i = 0; i < beats.size(); ++i)
        lines.emplace_back(piece.secondsAt(beats[i]), song.lyrics[i % song.lyrics.size()]);
    return lines;
}

} // namespace

const std::vector<DemoSong> &demoSongs()
{
    using S = Style;
    using F = FileFormat;
    static const std::vector<DemoSong> songs = {
        // 流行
        {"流行", "林晓月", "晴天的信", "流行", S::Pop, F::Mp3, 22, true,
         {"窗外的阳光写成一封信", "寄给那年夏天的你", "风把思念吹过街角", "我在晴天里等你回信"}},
        {"流行", "林晓月", "夏夜微风", "流行", S::Pop, F::Mp3, 13, true, {}},
        {"流行", "陈星河", "城市灯火", "流行", S::Pop, F::Mp3, 20, true,
         {"夜色点亮了整座城市", "霓虹映在你的眼里", "走过喧嚣的十字路口", "心里有一盏灯为你亮起"}},
        {"流行", "陈星河", "我们的约定", "流行", S::Pop, F::Mp3, 12, true, {}},
        {"流行", "Amber Kestrel", "Paper Boats", "流行", S::Pop, F::Mp3, 20, true,
         {"Folding paper boats at dawn", "Sending wishes down the stream", "Every ripple carries on",
          "All the words I could not say"}},
        {"流行", "Amber Kestrel", "Golden Hour", "流行", S::Pop, F::Mp3, 13, true, {}},
        {"流行", "夏知秋", "", "流行", S::Pop, F::Mp3, 12, true, {}},
        {"流行", "江小渔", "橘子汽水", "流行", S::Pop, F::Mp3, 11, true, {}},
        {"流行", "Juno Marlowe", "Rain+Shine", "流行", S::Pop, F::Mp3, 12, true, {}},
        {"流行", "Juno Marlowe", "Sunday Morning Radio", "流行", S::Pop, F::Mp3, 11, true, {}},
        {"流行", "苏沐白", "雨后的街角", "流行", S::Pop, F::Wav, 10, true, {}},
        // 摇滚
        {"摇滚", "白鹭乐队", "逆风而行", "摇滚", S::Rock, F::Mp3, 20, true,
         {"就算风雨打在脸上", "我也不会停下脚步", "逆着风向前奔跑", "心中的火永不熄灭"}},
        {"摇滚", "白鹭乐队", "钢铁之心", "摇滚", S::Rock, F::Mp3, 11, true, {}},
        {"摇滚", "Copper Lantern", "Highway Static", "摇滚", S::Rock, F::Mp3, 12, true, {}},
        {"摇滚", "Copper Lantern", "Broken Compass", "摇滚", S::Rock, F::Mp3, 11, true, {}},
        {"摇滚", "青石乐团", "燃烧的岁月", "摇滚", S::Rock, F::Mp3, 13, true, {}},
        {"摇滚", "青石乐团", "不眠夜", "摇滚", S::Rock, F::Mp3, 10, true, {}},
        {"摇滚", "Velvet Comet", "Neon Thunder", "摇滚", S::Rock, F::Mp3, 11, true, {}},
        // 民谣
        {"民谣", "许南风", "南方的小镇", "民谣", S::Folk, F::Mp3, 24, true,
         {"南方的小镇下着小雨", "青石板上开满了花", "老屋檐下的燕子", "还在等远方的人回家"}},
        {"民谣", "许南风", "旧吉他", "民谣", S::Folk, F::Mp3, 13, true, {}},
        {"民谣", "叶听澜", "山间小路", "民谣", S::Folk, F::Mp3, 12, true, {}},
        {"民谣", "叶听澜", "外婆的院子", "民谣", S::Folk, F::Mp3, 22, true,
         {"外婆的院子里有棵老槐树", "夏天的午后蝉声不停", "井水凉凉西瓜甜甜", "那是我最想念的时光"}},
        {"民谣", "Elin Rask", "Meadow Song", "民谣", S::Folk, F::Mp3, 13, true, {}},
        {"民谣", "Elin Rask", "", "民谣", S::Folk, F::Mp3, 11, true, {}},
        {"民谣", "苏沐白", "青石板路", "民谣", S::Folk, F::Mp3, 12, true, {}},
        // 古典
        {"古典", "星野室内乐团", "春之圆舞曲", "古典", S::Classical, F::Mp3, 15, true, {}},
        {"古典", "星野室内乐团", "月光小夜曲", "古典", S::Classical, F::Mp3, 16, true, {}},
        {"古典", "Oskar Wendt", "Sonatina in G", "古典", S::Classical, F::Mp3, 14, true, {}},
        {"古典", "Oskar Wendt", "Little Minuet", "古典", S::Classical, F::Wma, 12, true, {}},
        {"古典", "顾清弦", "寒江独钓", "古典", S::Classical, F::Midi, 20, false, {}},
        {"古典", "顾清弦", "竹林听雨", "古典", S::Classical, F::Mp3, 14, true, {}},
        // 电子
        {"电子", "Quiet Orbit", "Satellite Dreams", "电子", S::Electronic, F::Mp3, 13, true, {}},
        {"电子", "Quiet Orbit", "Pulse Runner", "电子", S::Electronic, F::Mp3, 11, true, {}},
        {"电子", "零点信号", "午夜列车", "电子", S::Electronic, F::Mp3, 12, true, {}},
        {"电子", "零点信号", "数字花园", "电子", S::Electronic, F::Mp3, 20, true,
         {"在代码里种下一朵花", "像素的花瓣慢慢展开", "电流穿过寂静的夜", "梦在屏幕里发芽"}},
        {"电子", "Velvet Comet", "Starlight Arcade", "电子", S::Electronic, F::Mp3, 11, true, {}},
        // 爵士
        {"爵士", "Mira Solenne", "Late Night Espresso", "爵士", S::Jazz, F::Mp3, 14, true, {}},
        {"爵士", "Mira Solenne", "Autumn Café Walk", "爵士", S::Jazz, F::Mp3, 13, true, {}},
        {"爵士", "蓝调咖啡馆", "雨夜爵士", "爵士", S::Jazz, F::Mp3, 20, true,
         {"雨落在咖啡馆的玻璃上", "萨克斯轻轻地吹着", "一杯热茶一段旧时光", "今夜的城市慢慢入眠"}},
        // Untagged: the catalogue names it from the file name.
        {"", "Tidewater Echo", "Harbor Lights", "", S::Jazz, F::Mp3, 11, false, {}},
    };
    return songs;
}

std::string demoFileName(const DemoSong &song)
{
    return song.singer + " - " + (song.title.empty() ? std::string("无题") : song.title)
        + extensionOf(song.format);
}

bool encodeDemoSong(const fs::path &file, const DemoSong &song, std::string &error)
{
    const Composition piece = compose(song.style, seedOf(song), song.seconds);
    switch (song.format) {
    case FileFormat::Midi:
        return writeMidi(file, piece, error);
    case FileFormat::Mp3:
        return writeMp3(file, toPcm16(renderAudio(piece, kMp3Rate)), kMp3Rate, kMp3Kilobits, error);
    case FileFormat::Wav:
        return writeWav(file, toPcm16(renderAudio(piece, kWavRate)), kWavRate, error);
    case FileFormat::Wma:
        return writeWma(file, toPcm16(renderAudio(piece, kWmaRate)), kWmaRate, kWmaKilobits, error);
    }
    return false;
}

bool finishDemoSong(const fs::path &file, const DemoSong &song, std::string &error)
{
    const SongTags tags{song.singer, song.title, song.genre};
    if (song.tagged && song.format != FileFormat::Midi && !writeTags(file, tags, error))
        return false;
    if (!song.lyrics.empty()) {
        const Composition piece = compose(song.style, seedOf(song), song.seconds);
        fs::path lyricsFile = file;
        lyricsFile.replace_extension(".lrc");
        if (!writeLyrics(lyricsFile, tags, timedLyrics(piece, song), error))
            return false;
    }
    return true;
}

bool buildLibrary(const fs::path &folder, const std::vector<DemoSong> &songs, unsigned threads, std::string &error)
{
    std::vector<fs::path> files;
    for (const DemoSong &song : songs) {
        const fs::path target = (song.folder.empty() ? folder : folder / fromUtf8(song.folder)) / fromUtf8(demoFileName(song));
        std::error_code made;
        fs::create_directories(target.parent_path(), made);
        if (made) {
            error = "cannot create " + target.parent_path().string() + ": " + made.message();
            return false;
        }
        files.push_back(target);
    }

    // Encoding is the slow part and runs in parallel; longest songs first
    // so the workers finish together.
    std::vector<size_t> order(songs.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        auto cost = [&](size_t i) { return songs[i].seconds * (songs[i].format == FileFormat::Wma ? 3 : 1); };
        return cost(a) > cost(b);
    });
    std::atomic<size_t> next{0};
    std::mutex failureLock;
    std::string failure;
    auto work = [&] {
        for (size_t n = next++; n < order.size(); n = next++) {
            const size_t i = order[n];
            std::string message;
            if (!encodeDemoSong(files[i], songs[i], message)) {
                std::lock_guard<std::mutex> lock(failureLock);
                if (failure.empty())
                    failure = message;
            }
        }
    };
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < std::max(1u, threads); ++t)
        workers.emplace_back(work);
    for (std::thread &worker : workers)
        worker.join();
    if (!failure.empty()) {
        error = failure;
        return false;
    }

    for (size_t i = 0; i < songs.size(); ++i) {
        if (!finishDemoSong(files[i], songs[i], error))
            return false;
    }
    return true;
}

} // namespace demolib
