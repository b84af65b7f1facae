// How fast catalogue replies are read on their bytes, and what the song list
// costs: splitting a 10 MB reply into names against memchr over the same
// bytes, the parse and fill of 100,000 rows, the memory of 2.8 million empty
// names, and a repaint with enormous names.
//
//   build/bench/bench_parse                      # all, then the ratio table
//   build/bench/bench_parse --benchmark_filter=- # the ratio table only
//
// The ratio table is measured interleaved (each round runs every variant
// once) and reports medians, so that a busy machine slows both sides alike.
#include "gbk.h"
#include "replyscan.h"
#include "songlistmodel.h"
#include "wire.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTreeView>

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

// Search and chart names as the catalogue sends them, in GBK, until the
// reply holds at least `bytes` bytes or `rows` names.
QByteArray namesReply(qsizetype bytes, int rows = -1)
{
    QByteArray reply;
    reply.reserve(bytes + 128);
    for (int i = 0; rows < 0 ? reply.size() < bytes : i < rows; ++i)
        reply += gbk::encode(QStringLiteral("<name>歌手%1$$一首很长的歌名%1$$$$</name>").arg(i));
    return reply;
}

const QByteArray &tenMegabytes()
{
    static const QByteArray reply = namesReply(10'000'000);
    return reply;
}

const QByteArray &hundredThousandRows()
{
    static const QByteArray reply = namesReply(0, 100000);
    return reply;
}

// One pass over the bytes, as the zero byte check of a reply must make.
size_t memchrScan(const QByteArray &bytes)
{
    return std::memchr(bytes.constData(), '\0', size_t(bytes.size())) ? 1 : 0;
}

// memchr from "<" to "<": the least a reader that visits every marker does.
size_t memchrEveryAngle(const QByteArray &bytes)
{
    size_t count = 0;
    const char *p = bytes.constData();
    const char *end = p + bytes.size();
    while ((p = static_cast<const char *>(std::memchr(p, '<', size_t(end - p))))) {
        ++count;
        ++p;
    }
    return count;
}

size_t splitNames(const QByteArray &bytes)
{
    return size_t(wire::catalogueNameBytes(bytes).size());
}

// The split alone: every name's first and last byte found, nothing stored.
size_t visitNames(const QByteArray &bytes)
{
    size_t sum = 0;
    wire::scan::forEachCatalogueName(bytes, [&](qsizetype begin, qsizetype end) { sum += size_t(end - begin); });
    return sum;
}

size_t decodeAndSplitText(const QByteArray &bytes)
{
    return size_t(wire::catalogueNames(gbk::decode(bytes)).size());
}

size_t parseAndFill(const QByteArray &bytes)
{
    SongListModel list;
    return size_t(list.fillSongList(bytes, 0, wire::kSearchPlaceholder));
}

size_t decodeAndFillText(const QByteArray &bytes)
{
    SongListModel list;
    return size_t(list.fillSongList(gbk::decode(bytes), 0, wire::kSearchPlaceholder));
}

void BM_MemchrScan(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(memchrScan(tenMegabytes()));
    state.SetBytesProcessed(state.iterations() * tenMegabytes().size());
}
BENCHMARK(BM_MemchrScan)->Unit(benchmark::kMillisecond);

void BM_MemchrEveryAngle(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(memchrEveryAngle(tenMegabytes()));
    state.SetBytesProcessed(state.iterations() * tenMegabytes().size());
}
BENCHMARK(BM_MemchrEveryAngle)->Unit(benchmark::kMillisecond);

void BM_SplitNames(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(splitNames(tenMegabytes()));
    state.SetBytesProcessed(state.iterations() * tenMegabytes().size());
}
BENCHMARK(BM_SplitNames)->Unit(benchmark::kMillisecond);

void BM_VisitNames(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(visitNames(tenMegabytes()));
    state.SetBytesProcessed(state.iterations() * tenMegabytes().size());
}
BENCHMARK(BM_VisitNames)->Unit(benchmark::kMillisecond);

void BM_DecodeAndSplitText(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeAndSplitText(tenMegabytes()));
    state.SetBytesProcessed(state.iterations() * tenMegabytes().size());
}
BENCHMARK(BM_DecodeAndSplitText)->Unit(benchmark::kMillisecond);

void BM_ParseAndFillHundredThousandRows(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(parseAndFill(hundredThousandRows()));
}
BENCHMARK(BM_ParseAndFillHundredThousandRows)->Unit(benchmark::kMillisecond);

void BM_DecodeAndFillTextHundredThousandRows(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeAndFillText(hundredThousandRows()));
}
BENCHMARK(BM_DecodeAndFillTextHundredThousandRows)->Unit(benchmark::kMillisecond);

// --- The ratio table -------------------------------------------------------

// CPU time of this thread: on a shared machine, time spent waiting for a
// core is not the code's.
double threadSeconds()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

double seconds(const std::function<size_t()> &run)
{
    const double start = threadSeconds();
    benchmark::DoNotOptimize(run());
    return threadSeconds() - start;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void printThroughputRatios(int rounds)
{
    const QByteArray &reply = tenMegabytes();
    const QByteArray &rows = hundredThousandRows();
    std::vector<double> scan, angles, visit, split, text, fill, fillText;
    for (int r = 0; r < rounds; ++r) {
        scan.push_back(seconds([&] { return memchrScan(reply); }));
        angles.push_back(seconds([&] { return memchrEveryAngle(reply); }));
        visit.push_back(seconds([&] { return visitNames(reply); }));
        split.push_back(seconds([&] { return splitNames(reply); }));
        text.push_back(seconds([&] { return decodeAndSplitText(reply); }));
        fill.push_back(seconds([&] { return parseAndFill(rows); }));
        fillText.push_back(seconds([&] { return decodeAndFillText(rows); }));
    }
    const double mb = double(reply.size()) / 1e6;
    const auto rate = [&](const std::vector<double> &t) { return mb / median(t); };
    std::printf("\nReading replies: thread CPU time, %d interleaved rounds, medians; reply %.1f MB, %lld names\n",
                rounds, mb, static_cast<long long>(wire::catalogueNameBytes(reply).size()));
    std::printf("  memchr, one scan for a zero byte      %8.0f MB/s\n", rate(scan));
    std::printf("  memchr, from \"<\" to \"<\"               %8.0f MB/s\n", rate(angles));
    std::printf("  names split on the bytes (visited)    %8.0f MB/s = %.2fx memchr per \"<\", %.3fx one memchr scan\n",
                rate(visit), median(angles) / median(visit), median(scan) / median(visit));
    std::printf("  names split on the bytes (listed)     %8.0f MB/s = %.2fx memchr per \"<\", %.3fx one memchr scan\n",
                rate(split), median(angles) / median(split), median(scan) / median(split));
    std::printf("  decoded, then split as text           %8.0f MB/s = %.3fx memchr per \"<\"\n", rate(text),
                median(angles) / median(text));
    std::printf("Parse and fill of 100,000 rows (%.1f MB reply), thread CPU time\n", double(rows.size()) / 1e6);
    std::printf("  fillSongList(bytes)                   %8.1f ms\n", median(fill) * 1e3);
    std::printf("  fillSongList(text) after gbk::decode  %8.1f ms   (bytes: %.2fx the time)\n",
                median(fillText) * 1e3, median(fill) / median(fillText));
}

qint64 statusKilobytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

void resetPeakResident()
{
    // Writing 5 to clear_refs resets VmHWM to the current resident size.
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

void printMemory()
{
    // 16 MiB of empty names: the most rows a capped reply can make.
    const QByteArray element = "<name>";
    const QByteArray reply = element.repeated((16 << 20) / element.size());
    // Large blocks are mapped by themselves and counted apart.
    const auto heap = [] {
        const struct mallinfo2 info = mallinfo2();
        return info.uordblks + info.hblkhd;
    };
    const size_t heapBefore = heap();
    resetPeakResident();
    const qint64 before = statusKilobytes("VmRSS:");
    SongListModel list;
    const int rows = list.fillSongList(reply, 0, wire::kSearchPlaceholder);
    const qint64 peak = statusKilobytes("VmHWM:");
    const size_t heapAfter = heap();
    std::printf("16 MiB of empty names: %d rows\n", rows);
    std::printf("  resident before the fill (this process, reply held)  %6.1f MB\n", before / 1024.0);
    std::printf("  peak resident during the fill                        %6.1f MB  (+%.1f MB)\n", peak / 1024.0,
                (peak - before) / 1024.0);
    std::printf("  the model's heap                                     %6.1f MB  = %.1f bytes per row\n",
                double(heapAfter - heapBefore) / (1 << 20), double(heapAfter - heapBefore) / rows);
}

double repaintMs(QTreeView &view)
{
    const double start = threadSeconds();
    const QPixmap frame = view.viewport()->grab();
    benchmark::DoNotOptimize(frame.cacheKey());
    return (threadSeconds() - start) * 1e3;
}

void printRepaint(int rounds)
{
    // Names of about nameBytes bytes, singer and title alike, repeating unit.
    const auto reply = [](int rows, qsizetype nameBytes, const QString &unit) {
        const QByteArray bytes = gbk::encode(unit);
        const QByteArray half = bytes.repeated(std::max<qsizetype>(1, nameBytes / 2 / bytes.size()));
        return ("<name>" + half + "$$" + half + "</name>").repeated(rows);
    };
    const QString han = QStringLiteral("周杰伦晴天");
    const QString hanLatin = QStringLiteral("周a");
    // A new script at every character, right-to-left runs and combining
    // marks (four-byte GB18030): the costliest text to lay out.
    const QString mixed = QStringLiteral("a\u05d0\u0301周\u0628\u0308\u0430");
    struct Case
    {
        const char *what;
        QByteArray reply;
    };
    const std::vector<Case> cases = {
        {"15 short names", reply(15, 30, hanLatin)},
        {"15 x 1 MiB, Han", reply(15, 1 << 20, han)},
        {"15 x 1 MiB, Han/Latin", reply(15, 1 << 20, hanLatin)},
        {"15 x 1 MiB, mixed", reply(15, 1 << 20, mixed)},
        {"1 x 15 MiB, Han/Latin", reply(1, 15 << 20, hanLatin)},
    };
    const size_t n = cases.size();
    std::vector<std::unique_ptr<SongListModel>> lists;
    std::vector<std::unique_ptr<QTreeView>> views;
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(12);
    for (const Case &c : cases) {
        lists.push_back(std::make_unique<SongListModel>());
        views.push_back(std::make_unique<QTreeView>());
        QTreeView &view = *views.back();
        // As the window sets up its song list.
        view.setStyleSheet(QStringLiteral("QTreeView::item { height: 18px; border: none; }"
                                          "QTreeView::item:hover { background: rgb(26,36,48); }"));
        view.setFont(font);
        view.setRootIsDecorated(false);
        view.setUniformRowHeights(true);
        view.setAlternatingRowColors(true);
        view.setHeaderHidden(true);
        view.setModel(lists.back().get());
        view.setColumnWidth(0, 40);
        view.setColumnWidth(1, 150);
        view.setColumnWidth(2, 355);
        view.resize(565, 212);
        view.show();
        lists.back()->fillSongList(c.reply, 0, wire::kSearchPlaceholder);
        QApplication::processEvents();
    }
    std::vector<std::vector<double>> times(n);
    for (int r = 0; r < rounds; ++r)
        for (size_t k = 0; k < n; ++k)
            times[k].push_back(repaintMs(*views[k]));
    std::printf("Repaint of the list: thread CPU time, %d interleaved rounds, medians; a frame is 16.7 ms\n",
                rounds);
    for (size_t k = 0; k < n; ++k)
        std::printf("  %-22s %6.2f ms = %5.2fx 15 short names = %.2f frames\n", cases[k].what, median(times[k]),
                    median(times[k]) / median(times[0]), median(times[k]) / (1000.0 / 60));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printThroughputRatios(15);
    printMemory();
    printRepaint(15);
    return 0;
}
