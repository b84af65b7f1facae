// make-demo-library OUTDIR
//
// Writes the demo music library for the catalogue server: synthesized
// songs as tagged MP3 files plus one WAV, one WMA and one MIDI file, some
// with ".lrc" lyrics beside them. The output is the same on every run.

#include "demosongs.h"

#include <algorithm>
#include <chrono>
#include <iostream>
#include <string>
#include <thread>

int main(int argc, char *argv[])
{
    if (argc != 2 || std::string(argv[1]).empty() || argv[1][0] == '-') {
        std::cerr << "usage: make-demo-library OUTDIR\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const unsigned threads = std::max(2u, std::thread::hardware_concurrency());
    const auto started = std::chrono::steady_clock::now();
    std::string error;
    if (!demolib::buildLibrary(folder, demolib::demoSongs(), threads, error)) {
        std::cerr << "make-demo-library: " << error << "\n";
        return 1;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    std::cout << "make-demo-library: " << demolib::demoSongs().size() << " songs written to " << folder.string()
              << " in " << elapsed.count() / 1000.0 << " s\n";
    return 0;
}
