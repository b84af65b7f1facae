#pragma once

#include <cstdint>
#include <vector>

// Writes short pieces of music as note lists: a chord progression, a bass
// line, a drum pattern where the style has one, and a melody built from
// repeated and varied motifs. The same style, seed and length always give
// the same piece.
namespace demolib {

enum class Style { Pop, Rock, Folk, Classical, Electronic, Jazz };

enum class Instrument {
    Flute,
    NylonGuitar,   // plucked string (Karplus-Strong)
    ElectricPiano,
    Vibraphone,
    Organ,
    SawLead,
    SquareLead,
    StringPad,
    OverdriveGuitar,
    FingerBass,
    SynthBass,
    Kick,
    Snare,
    ClosedHat,
    Ride,
    Shaker,
};

struct Voice {
    Instrument instrument;
    float gain;        // mix level
    float reverbSend;  // share sent to the reverb
    int midiProgram;   // General MIDI program (ignored for drums)
    bool drums;        // drum voice: note pitches are General MIDI drum keys
};

struct Note {
    double beat;    // start, in quarter-note beats from the beginning
    double length;  // in beats
    int pitch;      // MIDI note number
    float velocity; // 0..1
    int voice;      // index into Composition::voices
};

struct Composition {
    double tempo = 100;      // beats per minute
    int beatsPerBar = 4;
    double swing = 0;        // how far off-beat eighths are delayed, in beats
    double totalBeats = 0;   // the whole piece, the final held chord included
    std::vector<Voice> voices;
    std::vector<Note> notes;
    std::vector<double> phraseBeats; // where melody phrases begin

    // Time of a beat position in seconds, swing applied.
    double secondsAt(double beat) const;
    // Length of the rendered piece including the last notes' ring-out.
    double durationSeconds() const { return secondsAt(totalBeats) + 1.0; }
};

Composition compose(Style style, uint64_t seed, double seconds);

// Reproducible pseudo-random numbers (splitmix64), independent of the
// standard library's distributions so output is the same everywhere.
class Random {
public:
    explicit Random(uint64_t seed) : m_state(seed) {}
    uint64_t next();
    double uniform();                       // [0, 1)
    int below(int bound);                   // [0, bound)
    int between(int low, int high);         // [low, high]
    bool chance(double probability);

private:
    uint64_t m_state;
};

} // namespace demolib
