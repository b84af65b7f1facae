#pragma once

// Helpers of the suites that play through GstMediaPlayer: media made with
// GStreamer pipelines, the media reply of the fixture server, the balance
// table, the fluidsynth skip.

#include "fixtureserver.h"

#include <QByteArray>
#include <QString>

// Runs a gst-launch style pipeline to its end (at most 20 s) and returns
// what went wrong, or empty text. Tests make their media with it.
QString runPipeline(const QString &description);

// A 440 Hz tone of `seconds` (a multiple of 0.1) at 44.1 kHz written to
// `path` as constant-bit-rate MP3 of `kbps`, with a Xing header when `xing`;
// empty on success, else the reason.
struct ToneMp3
{
    double seconds = 2.5;
    int channels = 1;
    int kbps = 128;
    double volume = 0.8; // audiotestsrc's volume, 0..1
    bool xing = false;
};
QString writeToneMp3(const QString &path, const ToneMp3 &tone);

// The whole file, or empty.
QByteArray readFile(const QString &path);

// A Standard MIDI File, format 0 at 96 ticks a quarter note, holding the
// one track `events` (end-of-track included).
QByteArray standardMidiFile(const QByteArray &events);

// A 200 reply carrying media, with the content type named after the file
// name's extension (mp3, wav, mid). `rateBytesPerSecond` > 0 sends the body
// in pieces of a twentieth of that rate, one every 50 ms, so it arrives at
// about that rate.
FixtureReply mediaReply(const QByteArray &body, const QString &fileName, int rateBytesPerSecond = 0);

// The channel balance table shared by the balance tests: columns "balance",
// "left", "right" (which channels sound).
void addBalanceRows();

bool hasFluidsynth();
#define SKIP_WITHOUT_FLUIDSYNTH()                                                                                      \
    do {                                                                                                               \
        if (!hasFluidsynth())                                                                                          \
            QSKIP("the fluidsynth MIDI plugin is not installed");                                                      \
    } while (false)
