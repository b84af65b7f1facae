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
#include "songlistmodel.h"
#include "wire.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTreeView>

#include <benchmark/benchmark.h>

#include <malloc.h>

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

double seconds(const std::function<size_t()> &run)
{
    QElapsedTimer timer;
    timer.start();
    benchmark::DoNotOptimize(run());
    return double(timer.nsecsElapsed()) * 1e-9;
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
    std::vector<double> scan, angles, split, text, fill, fillText;
    for (int r = 0; r < rounds; ++r) {
        scan.push_back(seconds([&] { return memchrScan(reply); }));
        angles.push_back(seconds([&] { return memchrEveryAngle(reply); }));
        split.push_back(seconds([&] { return splitNames(reply); }));
        text.push_back(seconds([&] { return decodeAndSplitText(reply); }));
        fill.push_back(seconds([&] { return parseAndFill(rows); }));
        fillText.push_back(seconds([&] { return decodeAndFillText(rows); }));
    }
    const double mb = double(reply.size()) / 1e6;
    std::printf("\nReading replies (%d interleaved rounds, medians; reply %.1f MB, %lld names)\n", rounds, mb,
                static_cast<long long>(wire::catalogueNameBytes(reply).size()));
    std::printf("  memchr scan for a zero byte    %8.0f MB/s\n", mb / median(scan));
    std::printf("  memchr from \"<\" to \"<\"         %8.0f MB/s\n", mb / median(angles));
    std::printf("  names split on the bytes       %8.0f MB/s  = %.2fx memchr scan, %.2fx memchr per \"<\"\n",
                mb / median(split), median(scan) / median(split), median(angles) / median(split));
    std::printf("  decoded, then split as text    %8.0f MB/s  = %.3fx memchr scan\n", mb / median(text),
                median(scan) / median(text));
    std::printf("Parse and fill of 100,000 rows (%.1f MB reply)\n", double(rows.size()) / 1e6);
    std::printf("  from the bytes                 %8.1f ms\n", median(fill) * 1e3);
    std::printf("  decoded, then filled as text   %8.1f ms  (bytes take %.2fx the time)\n", median(fillText) * 1e3,
                median(fill) / median(fillText));
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
    const size_t heapBefore = mallinfo2().uordblks;
    resetPeakResident();
    const qint64 before = statusKilobytes("VmRSS:");
    SongListModel list;
    const int rows = list.fillSongList(reply, 0, wire::kSearchPlaceholder);
    const qint64 peak = statusKilobytes("VmHWM:");
    const size_t heapAfter = mallinfo2().uordblks;
    std::printf("16 MiB of empty names: %d rows\n", rows);
    std::printf("  resident before the fill (this process, reply held)  %6.1f MB\n", before / 1024.0);
    std::printf("  peak resident during the fill                        %6.1f MB  (+%.1f MB)\n", peak / 1024.0,
                (peak - before) / 1024.0);
    std::printf("  the model's heap                                     %6.1f MB  = %.1f bytes per row\n",
                double(heapAfter - heapBefore) / (1 << 20), double(heapAfter - heapBefore) / rows);
}

double repaintMs(QTreeView &view)
{
    QElapsedTimer timer;
    timer.start();
    const QPixmap frame = view.viewport()->grab();
    benchmark::DoNotOptimize(frame.cacheKey());
    return double(timer.nsecsElapsed()) * 1e-6;
}

void printRepaint(int rounds)
{
    const auto reply = [](int rows, qsizetype nameBytes) {
        const QByteArray half = QByteArray("\xd6\xdc" "a").repeated(nameBytes / 6);
        return ("<name>" + half + "$$" + half + "</name>").repeated(rows);
    };
    const char *what[3] = {"15 short names", "15 names of 1 MiB", "one name of 15 MiB"};
    const QByteArray replies[3] = {reply(15, 30), reply(15, 1 << 20), reply(1, 15 << 20)};
    std::unique_ptr<SongListModel> lists[3];
    std::unique_ptr<QTreeView> views[3];
    for (int k = 0; k < 3; ++k) {
        lists[k] = std::make_unique<SongListModel>();
        views[k] = std::make_unique<QTreeView>();
        QTreeView &view = *views[k];
        // As the window sets up its song list.
        view.setStyleSheet(QStringLiteral("QTreeView::item { height: 18px; border: none; }"
                                          "QTreeView::item:hover { background: rgb(26,36,48); }"));
        view.setRootIsDecorated(false);
        view.setUniformRowHeights(true);
        view.setAlternatingRowColors(true);
        view.setHeaderHidden(true);
        view.setModel(lists[k].get());
        view.setColumnWidth(0, 40);
        view.setColumnWidth(1, 150);
        view.setColumnWidth(2, 355);
        view.resize(565, 212);
        view.show();
        lists[k]->fillSongList(replies[k], 0, wire::kSearchPlaceholder);
        QApplication::processEvents();
    }
    std::vector<double> times[3];
    for (int r = 0; r < rounds; ++r)
        for (int k = 0; k < 3; ++k)
            times[k].push_back(repaintMs(*views[k]));
    std::printf("Repaint of the list (%d interleaved rounds, medians)\n", rounds);
    for (int k = 0; k < 3; ++k)
        std::printf("  %-20s %6.2f ms  = %.2fx 15 short names\n", what[k], median(times[k]),
                    median(times[k]) / median(times[0]));
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
