// How loud MIDI files come out of GstMediaPlayer next to an ordinary MP3.
// A short General MIDI piece (melody, chords, bass at velocity 100) and a
// stereo MP3 tone at about -14 dBFS RMS are played through the player into a
// 32-bit float WAV file, so that anything beyond full scale stays visible
// instead of being clipped on the way.

#include "gstmediaplayer.h"
#include "gsttestmedia.h"

#include <QFile>
#include <QtEndian>
#include <QTemporaryDir>
#include <QTest>

#include <gst/gst.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <vector>

namespace {


QByteArray variableLength(quint32 value)
{
    QByteArray out(1, char(value & 0x7F));
    while (value >>= 7)
        out.prepend(char(0x80 | (value & 0x7F)));
    return out;
}

// A format 0 standard MIDI file at 120 beats per minute, 96 ticks a beat:
// four bars (8 s) of a piano melody in eighth notes over string chords, a
// fingered bass and a kick-snare-hi-hat beat, every note at velocity 100.
QByteArray bandMidi()
{
    constexpr int beat = 96;
    constexpr int velocity = 100;
    // tick -> events; at the same tick note-offs (sorted first) go before note-ons.
    std::multimap<std::pair<int, int>, QByteArray> events;
    auto message = [](int status, int key, int value) {
        QByteArray bytes;
        bytes += char(status);
        bytes += char(key);
        bytes += char(value);
        return bytes;
    };
    auto note = [&](int channel, int key, int start, int length) {
        events.emplace(std::pair{start, 1}, message(0x90 | channel, key, velocity));
        events.emplace(std::pair{start + length, 0}, message(0x80 | channel, key, 64));
    };
    const int chords[4][3] = {{60, 64, 67}, {57, 60, 64}, {53, 57, 60}, {55, 59, 62}}; // C Am F G
    const int melody[4][8] = {{72, 74, 76, 79, 76, 74, 72, 67},
                              {69, 72, 76, 81, 79, 76, 72, 69},
                              {65, 69, 72, 77, 76, 72, 69, 65},
                              {67, 71, 74, 79, 77, 74, 71, 67}};
    for (int bar = 0; bar < 4; ++bar) {
        const int start = bar * 4 * beat;
        for (int key : chords[bar])
            note(1, key, start, 4 * beat - 8);
        for (int b = 0; b < 4; ++b)
            note(2, chords[bar][0] - 24, start + b * beat, beat - 8);
        for (int e = 0; e < 8; ++e) {
            note(0, melody[bar][e], start + e * beat / 2, beat / 2 - 4);
            note(9, 42, start + e * beat / 2, beat / 4); // closed hi-hat
        }
        for (int b = 0; b < 4; ++b)
            note(9, b % 2 ? 38 : 36, start + b * beat, beat / 2); // kick, snare
    }

    QByteArray track;
    track += QByteArray::fromHex("00C000"); // piano
    track += QByteArray::fromHex("00C130"); // string ensemble
    track += QByteArray::fromHex("00C221"); // fingered bass
    int now = 0;
    for (const auto &[when, bytes] : events) {
        track += variableLength(quint32(when.first - now));
        track += bytes;
        now = when.first;
    }
    track += QByteArray::fromHex("00FF2F00");
    return standardMidiFile(track);
}

struct Level
{
    double rmsDb = -200;
    double peakDb = -200;
    qsizetype frames = 0;
};

// RMS and peak of a 32-bit float WAV over all its samples, in dB of full scale.
Level measure(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray wav = f.readAll();
    const qsizetype data = wav.indexOf("data");
    if (data < 0 || data + 8 > wav.size())
        return {};
    // wavenc may append chunks (tags) after the samples: the data chunk's own
    // length tells where they end.
    quint32 bytes = 0;
    std::memcpy(&bytes, wav.constData() + data + 4, sizeof bytes);
    bytes = qFromLittleEndian(bytes);
    const qsizetype count = std::min<qsizetype>(bytes, wav.size() - data - 8) / qsizetype(sizeof(float));
    std::vector<float> samples(size_t(std::max<qsizetype>(count, 0)));
    std::memcpy(samples.data(), wav.constData() + data + 8, samples.size() * sizeof(float));
    double sum = 0, peak = 0;
    for (float s : samples) {
        sum += double(s) * s;
        peak = std::max(peak, double(std::fabs(s)));
    }
    Level level;
    level.frames = count / 2;
    if (count > 0) {
        level.rmsDb = 10 * std::log10(std::max(sum / double(count), 1e-20));
        level.peakDb = 20 * std::log10(std::max(peak, 1e-10));
    }
    return level;
}

} // namespace

class TestMidiLevel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void midiAsLoudAsMp3();

private:
    Level play(const QString &file, const QString &name);

    QTemporaryDir m_dir;
    QString m_mp3;
    Level m_reference;
};

void TestMidiLevel::initTestCase()
{
    gst_init(nullptr, nullptr);
    QVERIFY(m_dir.isValid());
    // 3 s of a 440 Hz stereo tone with a peak of -11 dBFS: -14 dBFS RMS.
    m_mp3 = m_dir.filePath(QStringLiteral("reference.mp3"));
    const QString why = writeToneMp3(m_mp3, {.seconds = 3, .channels = 2, .kbps = 192, .volume = 0.2818});
    QVERIFY2(why.isEmpty(), qPrintable(why));
    m_reference = play(m_mp3, QStringLiteral("reference"));
    QVERIFY2(m_reference.frames > 2 * 44100, qPrintable(QString::number(m_reference.frames)));
    QVERIFY2(qAbs(m_reference.rmsDb + 14) < 1, qPrintable(QString::number(m_reference.rmsDb)));
}

// Plays a file through the player into a float WAV and measures it.
Level TestMidiLevel::play(const QString &file, const QString &name)
{
    const QString out = m_dir.filePath(name + QStringLiteral(".wav"));
    GstMediaPlayer player(QStringLiteral("audioconvert ! audio/x-raw,format=F32LE,channels=2 ! "
                                         "wavenc ! filesink location=\"%1\"").arg(out));
    player.setUrl(file);
    if (!QTest::qWaitFor([&] { return player.playState() == MediaPlayer::Stopped
                                      || player.playState() == MediaPlayer::Ready; },
                         15000)
        || player.playState() != MediaPlayer::Stopped)
        return {};
    return measure(out);
}

void TestMidiLevel::midiAsLoudAsMp3()
{
    SKIP_WITHOUT_FLUIDSYNTH();

    const QString mid = m_dir.filePath(QStringLiteral("band.mid"));
    QFile f(mid);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bandMidi());
    f.close();

    const Level midi = play(mid, QStringLiteral("band"));
    const QString figures = QStringLiteral("MIDI RMS %1 dBFS, peak %2 dBFS; MP3 RMS %3 dBFS, peak %4 dBFS")
                                .arg(midi.rmsDb, 0, 'f', 1).arg(midi.peakDb, 0, 'f', 1)
                                .arg(m_reference.rmsDb, 0, 'f', 1).arg(m_reference.peakDb, 0, 'f', 1);
    qInfo().noquote() << figures;
    QVERIFY2(midi.frames > 7 * 44100, qPrintable(QString::number(midi.frames)));
    QVERIFY2(qAbs(midi.rmsDb - m_reference.rmsDb) <= 10, qPrintable(figures));
    QVERIFY2(midi.peakDb < 0, qPrintable(figures));
}

QTEST_GUILESS_MAIN(TestMidiLevel)
#include "tst_midilevel.moc"
