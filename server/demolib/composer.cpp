#include "composer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace demolib {

uint64_t Random::next()
{
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Random::uniform()
{
    return double(next() >> 11) * (1.0 / 9007199254740992.0);
}

int Random::below(int bound)
{
    return bound <= 0 ? 0 : int(next() % uint64_t(bound));
}

int Random::between(int low, int high)
{
    return low + below(high - low + 1);
}

bool Random::chance(double probability)
{
    return uniform() < probability;
}

double Composition::secondsAt(double beat) const
{
    const double whole = std::floor(beat);
    double fraction = beat - whole;
    if (swing > 0) {
        // The first eighth of each beat is stretched, the second shortened.
        const double split = 0.5 + swing;
        fraction = fraction <= 0.5 ? fraction / 0.5 * split
                                   : split + (fraction - 0.5) / 0.5 * (1.0 - split);
    }
    return (whole + fraction) * 60.0 / tempo;
}

namespace {

using Scale = std::array<int, 7>;
constexpr Scale kMajor = {0, 2, 4, 5, 7, 9, 11};
constexpr Scale kMinor = {0, 2, 3, 5, 7, 8, 10};
constexpr Scale kHarmonicMinor = {0, 2, 3, 5, 7, 8, 11};
constexpr Scale kDorian = {0, 2, 3, 5, 7, 9, 10};

using Progression = std::array<int, 4>; // scale degrees, one chord per bar
const std::vector<Progression> kMajorProgressions = {
    {0, 4, 5, 3}, {0, 5, 3, 4}, {0, 3, 4, 4}, {3, 4, 2, 5}, {0, 2, 3, 4}, {5, 3, 0, 4},
};
const std::vector<Progression> kMinorProgressions = {
    {0, 5, 2, 6}, {0, 3, 4, 0}, {0, 6, 5, 6}, {0, 5, 3, 4}, {5, 6, 0, 0},
};
const std::vector<Progression> kJazzProgressions = {
    {1, 4, 0, 0}, {1, 4, 0, 5}, {0, 5, 1, 4}, {3, 6, 2, 5},
};

using Rhythm = std::vector<double>; // durations in beats; negative: a rest
const std::vector<Rhythm> kRhythms4 = {
    {1, 1, 1, 1}, {1.5, 0.5, 1, 1}, {0.5, 0.5, 1, 2}, {2, 1, 1}, {1, 0.5, 0.5, 2},
    {0.5, 0.5, 0.5, 0.5, 1, 1}, {1, 1, 2}, {-1, 1, 1, 1}, {1.5, 0.5, 2}, {0.5, 1, 0.5, 2},
};
const std::vector<Rhythm> kCadences4 = {{2, 2}, {1, 1, 2}, {1, 3}, {4}, {0.5, 0.5, 1, 2}};
const std::vector<Rhythm> kRhythms3 = {
    {1, 1, 1}, {2, 1}, {1.5, 0.5, 1}, {1, 0.5, 0.5, 1}, {0.5, 0.5, 1, 1},
};
const std::vector<Rhythm> kCadences3 = {{1, 2}, {3}, {0.5, 0.5, 2}};

// Semitone offsets above the key root of the chord on a scale degree:
// stacked thirds of the scale, three or four of them.
std::vector<int> chordOffsets(const Scale &scale, int degree, int tones)
{
    std::vector<int> offsets;
    for (int k = 0; k < tones; ++k) {
        const int index = degree + 2 * k;
        offsets.push_back(scale[size_t(index % 7)] + 12 * (index / 7));
    }
    return offsets;
}

bool containsPitchClass(const std::vector<int> &offsets, int pitch, int keyRoot)
{
    const int pitchClass = ((pitch - keyRoot) % 12 + 12) % 12;
    return std::any_of(offsets.begin(), offsets.end(),
                       [&](int offset) { return offset % 12 == pitchClass; });
}

// Close voicing of a chord between MIDI notes 52 and 67.
std::vector<int> voiceChord(const std::vector<int> &offsets, int keyRoot)
{
    std::vector<int> pitches;
    for (int offset : offsets) {
        int pitch = 48 + keyRoot % 12 + offset;
        while (pitch < 52)
            pitch += 12;
        while (pitch > 67)
            pitch -= 12;
        pitches.push_back(pitch);
    }
    std::sort(pitches.begin(), pitches.end());
    return pitches;
}

struct Bar {
    double start = 0;             // first beat of the bar
    std::vector<int> chord;       // offsets above the key root
    int chordRoot = 0;            // offset of the chord root
    bool phraseEnd = false;
};

class Composer {
public:
    Composer(Style style, uint64_t seed, double seconds);
    Composition take() { return std::move(m_piece); }

private:
    int addVoice(Instrument instrument, float gain, float reverb, int program, bool drums = false)
    {
        m_piece.voices.push_back({instrument, gain, reverb, program, drums});
        return int(m_piece.voices.size()) - 1;
    }
    void note(double beat, double length, int pitch, float velocity, int voice)
    {
        if (voice >= 0 && length > 0)
            m_piece.notes.push_back({beat, length, pitch, velocity, voice});
    }
    float jitter(float velocity) { return std::clamp(velocity + float(m_random.uniform() - 0.5) * 0.12f, 0.1f, 1.0f); }

    void chooseSound();
    void accompany(const Bar &bar, bool finalBar);
    void drums(const Bar &bar, bool finalBar);
    int nearestChordTone(int index, const std::vector<int> &chord) const;
    int clampIndex(int index) const;
    int melodyStep();
    // Writes one bar of melody; returns the pool index of its last note.
    int melodyBar(const Bar &bar, const Rhythm &rhythm, int previous,
                  const std::vector<int> *contour, std::vector<int> *steps, bool lastPhrase);

    Style m_style;
    Random m_random;
    Composition m_piece;
    Scale m_scale{};
    std::vector<int> m_melodyClasses; // pitch classes above the key root
    int m_keyRoot = 60;               // melody tonic, MIDI note
    int m_bassRoot = 36;
    bool m_minor = false;
    int m_chordTones = 3;
    double m_articulation = 0.92;
    std::vector<int> m_pool;          // melody pitches, ascending
    int m_center = 0;

    int m_lead = -1, m_chords = -1, m_arpeggio = -1, m_bass = -1;
    int m_kick = -1, m_snare = -1, m_hat = -1, m_ride = -1, m_shaker = -1;
    bool m_waltz = false;
};

Composer::Composer(Style style, uint64_t seed, double seconds)
    : m_style(style)
    , m_random(seed * 0x2545F4914F6CDD1Dull + 17)
{
    chooseSound();

    const int pitchClass = m_random.below(12);
    m_keyRoot = 60 + pitchClass;
    if (m_keyRoot > 67)
        m_keyRoot -= 12;
    m_bassRoot = 36 + pitchClass;
    if (m_bassRoot > 43)
        m_bassRoot -= 12;
    for (int pitch = m_keyRoot - 5; pitch <= m_keyRoot + 19; ++pitch) {
        const int offset = ((pitch - m_keyRoot) % 12 + 12) % 12;
        if (std::find(m_melodyClasses.begin(), m_melodyClasses.end(), offset) != m_melodyClasses.end())
            m_pool.push_back(pitch);
    }
    m_center = int(std::lower_bound(m_pool.begin(), m_pool.end(), m_keyRoot + 3) - m_pool.begin());

    // Progressions: one for the A phrases, another for the B phrases.
    const std::vector<Progression> &choices = m_style == Style::Jazz ? kJazzProgressions
        : m_minor ? kMinorProgressions : kMajorProgressions;
    const int count = int(choices.size());
    const int indexA = m_random.below(count);
    const int indexB = (indexA + 1 + m_random.below(count - 1)) % count;
    const Progression progressionA = choices[size_t(indexA)];
    const Progression progressionB = choices[size_t(indexB)];

    const int beats = m_piece.beatsPerBar;
    const double barSeconds = beats * 60.0 / m_piece.tempo;
    // Whole bars, at least five, and never shorter than ten seconds.
    int totalBars = std::max(5, int(seconds / barSeconds));
    while (totalBars * barSeconds + 1.0 < 10.0)
        ++totalBars;
    const int introBars = totalBars >= 8 ? 2 : 1;
    const int bodyBars = totalBars - introBars - 1;

    auto makeBar = [&](int index, const Progression &progression, int slot) {
        Bar bar;
        bar.start = double(index * beats);
        const int degree = progression[size_t(slot % 4)];
        bar.chord = chordOffsets(m_scale, degree, m_chordTones);
        bar.chordRoot = bar.chord.front();
        return bar;
    };

    for (int i = 0; i < introBars; ++i) {
        const Bar bar = makeBar(i, progressionA, i);
        accompany(bar, false);
        drums(bar, false);
    }

    const std::vector<Rhythm> &rhythms = beats == 3 ? kRhythms3 : kRhythms4;
    const std::vector<Rhythm> &cadences = beats == 3 ? kCadences3 : kCadences4;
    auto pick = [&](const std::vector<Rhythm> &from) { return from[size_t(m_random.below(int(from.size())))]; };

    // The first A phrase is kept and repeated: a tune needs recognisable
    // returns, not four bars of wandering after another.
    std::vector<Note> firstA;
    double firstAStart = -1;
    int previous = m_center;
    int bar = introBars;
    int phrase = 0;
    while (bar < introBars + bodyBars) {
        const int length = std::min(4, introBars + bodyBars - bar);
        const bool isA = phrase % 2 == 0;
        const bool lastPhrase = bar + length >= introBars + bodyBars;
        const Progression &progression = isA ? progressionA : progressionB;
        const double phraseStart = double(bar * beats);
        m_piece.phraseBeats.push_back(phraseStart);

        std::vector<Bar> bars;
        for (int i = 0; i < length; ++i) {
            bars.push_back(makeBar(bar + i, progression, i));
            bars.back().phraseEnd = i == length - 1;
        }
        for (const Bar &b : bars) {
            accompany(b, false);
            drums(b, false);
        }

        if (isA && !firstA.empty() && length == 4 && !lastPhrase) {
            for (Note copy : firstA) {
                copy.beat += phraseStart - firstAStart;
                copy.velocity = jitter(copy.velocity);
                m_piece.notes.push_back(copy);
            }
        } else {
            const size_t firstNote = m_piece.notes.size();
            const int savedCenter = m_center;
            if (!isA)
                m_center = clampIndex(m_center + 2); // B phrases sit a little higher
            const Rhythm motif = pick(rhythms);
            const Rhythm answer = pick(rhythms);
            std::vector<int> contour;
            for (int i = 0; i < length; ++i) {
                const bool cadence = i == length - 1;
                if (i == 0)
                    previous = melodyBar(bars[size_t(i)], motif, previous, nullptr, &contour, false);
                else if (i == 2 && !cadence)
                    previous = melodyBar(bars[size_t(i)], motif, previous, &contour, nullptr, false);
                else
                    previous = melodyBar(bars[size_t(i)], cadence ? pick(cadences) : answer, previous,
                                         nullptr, nullptr, cadence && lastPhrase);
            }
            m_center = savedCenter;
            if (isA && firstA.empty() && length == 4) {
                // Only the lead's notes make up the tune to repeat.
                for (size_t n = firstNote; n < m_piece.notes.size(); ++n) {
                    if (m_piece.notes[n].voice == m_lead)
                        firstA.push_back(m_piece.notes[n]);
                }
                firstAStart = phraseStart;
            }
        }
        bar += length;
        ++phrase;
    }

    // Final bar: the tonic chord held, the melody resting on the key note.
    const Bar last = makeBar(introBars + bodyBars, Progression{0, 0, 0, 0}, 0);
    accompany(last, true);
    drums(last, true);
    int tonic = m_center;
    for (int i = 0; i < int(m_pool.size()); ++i) {
        if ((m_pool[size_t(i)] - m_keyRoot) % 12 == 0
            && std::abs(i - previous) < std::abs(tonic - previous))
            tonic = i;
    }
    note(last.start, beats, m_pool[size_t(tonic)], 0.8f, m_lead);
    m_piece.totalBeats = last.start + beats;

    std::sort(m_piece.notes.begin(), m_piece.notes.end(), [](const Note &a, const Note &b) {
        return a.beat != b.beat ? a.beat < b.beat : a.voice < b.voice;
    });
}

void Composer::chooseSound()
{
    Composition &p = m_piece;
    auto pickOf = [&](std::initializer_list<Instrument> options) {
        return *(options.begin() + m_random.below(int(options.size())));
    };
    switch (m_style) {
    case Style::Pop: {
        p.tempo = m_random.between(92, 112);
        m_minor = m_random.chance(0.3);
        m_scale = m_minor ? kMinor : kMajor;
        const Instrument lead = pickOf({Instrument::Flute, Instrument::Vibraphone, Instrument::ElectricPiano});
        m_lead = addVoice(lead, 0.55f, 0.3f, lead == Instrument::Flute ? 73 : lead == Instrument::Vibraphone ? 11 : 4);
        if (m_random.chance(0.5))
            m_chords = addVoice(Instrument::StringPad, 0.2f, 0.4f, 48);
        else
            m_chords = addVoice(Instrument::ElectricPiano, 0.22f, 0.3f, 4);
        if (m_random.chance(0.6))
            m_arpeggio = addVoice(Instrument::NylonGuitar, 0.24f, 0.25f, 24);
        m_bass = addVoice(Instrument::FingerBass, 0.45f, 0.0f, 33);
        m_kick = addVoice(Instrument::Kick, 0.5f, 0.0f, 0, true);
        m_snare = addVoice(Instrument::Snare, 0.28f, 0.15f, 0, true);
        m_hat = addVoice(Instrument::ClosedHat, 0.12f, 0.0f, 0, true);
        break;
    }
    case Style::Rock:
        p.tempo = m_random.between(120, 140);
        m_minor = m_random.chance(0.6);
        m_scale = m_minor ? kMinor : kMajor;
        m_articulation = 0.85;
        m_lead = addVoice(Instrument::SawLead, 0.42f, 0.25f, 81);
        m_chords = addVoice(Instrument::OverdriveGuitar, 0.22f, 0.1f, 29);
        m_bass = addVoice(m_random.chance(0.5) ? Instrument::FingerBass : Instrument::SynthBass, 0.45f, 0.0f, 33);
        m_kick = addVoice(Instrument::Kick, 0.6f, 0.0f, 0, true);
        m_snare = addVoice(Instrument::Snare, 0.38f, 0.15f, 0, true);
        m_hat = addVoice(Instrument::ClosedHat, 0.16f, 0.0f, 0, true);
        break;
    case Style::Folk:
        p.tempo = m_random.between(76, 100);
        m_minor = m_random.chance(0.3);
        m_scale = m_minor ? kMinor : kMajor;
        m_waltz = m_random.chance(0.3);
        m_lead = addVoice(Instrument::Flute, 0.5f, 0.35f, 73);
        m_arpeggio = addVoice(Instrument::NylonGuitar, 0.32f, 0.25f, 24);
        m_bass = addVoice(Instrument::FingerBass, 0.35f, 0.0f, 32);
        if (m_random.chance(0.5))
            m_shaker = addVoice(Instrument::Shaker, 0.08f, 0.0f, 0, true);
        break;
    case Style::Classical:
        p.tempo = m_random.between(66, 92);
        m_minor = m_random.chance(0.4);
        m_scale = m_minor ? kHarmonicMinor : kMajor;
        m_waltz = m_random.chance(0.5);
        {
            const Instrument lead = pickOf({Instrument::Flute, Instrument::Vibraphone, Instrument::NylonGuitar});
            m_lead = addVoice(lead, 0.5f, 0.4f, lead == Instrument::Flute ? 73 : lead == Instrument::Vibraphone ? 8 : 46);
        }
        m_chords = addVoice(m_random.chance(0.7) ? Instrument::StringPad : Instrument::Organ, 0.2f, 0.45f, 48);
        m_arpeggio = addVoice(Instrument::NylonGuitar, 0.26f, 0.35f, 46);
        m_bass = addVoice(Instrument::FingerBass, 0.3f, 0.1f, 42);
        break;
    case Style::Electronic:
        p.tempo = m_random.between(118, 128);
        m_minor = m_random.chance(0.7);
        m_scale = m_minor ? (m_random.chance(0.5) ? kDorian : kMinor) : kMajor;
        m_articulation = 0.8;
        m_lead = addVoice(Instrument::SquareLead, 0.36f, 0.3f, 80);
        m_chords = addVoice(Instrument::StringPad, 0.18f, 0.4f, 89);
        m_arpeggio = addVoice(Instrument::SawLead, 0.1f, 0.3f, 81);
        m_bass = addVoice(Instrument::SynthBass, 0.42f, 0.0f, 38);
        m_kick = addVoice(Instrument::Kick, 0.6f, 0.0f, 0, true);
        m_snare = addVoice(Instrument::Snare, 0.26f, 0.2f, 0, true);
        m_hat = addVoice(Instrument::ClosedHat, 0.14f, 0.0f, 0, true);
        break;
    case Style::Jazz:
        p.tempo = m_random.between(96, 126);
        p.swing = 0.16;
        m_minor = false;
        m_scale = m_random.chance(0.3) ? kDorian : kMajor;
        m_chordTones = 4;
        {
            const Instrument lead = pickOf({Instrument::Vibraphone, Instrument::Flute});
            m_lead = addVoice(lead, 0.5f, 0.3f, lead == Instrument::Flute ? 73 : 11);
        }
        m_chords = addVoice(Instrument::ElectricPiano, 0.22f, 0.3f, 4);
        m_bass = addVoice(Instrument::FingerBass, 0.45f, 0.0f, 32);
        m_ride = addVoice(Instrument::Ride, 0.12f, 0.1f, 0, true);
        m_hat = addVoice(Instrument::ClosedHat, 0.08f, 0.0f, 0, true);
        m_kick = addVoice(Instrument::Kick, 0.25f, 0.0f, 0, true);
        break;
    }
    if (m_waltz)
        p.beatsPerBar = 3;

    // Folk and rock tunes keep to the five-note scale; the others use all seven.
    if (m_style == Style::Folk || m_style == Style::Rock)
        m_melodyClasses = m_minor ? std::vector<int>{0, 3, 5, 7, 10} : std::vector<int>{0, 2, 4, 7, 9};
    else
        m_melodyClasses.assign(m_scale.begin(), m_scale.end());
}

void Composer::accompany(const Bar &bar, bool finalBar)
{
    const int beats = m_piece.beatsPerBar;
    const std::vector<int> chord = voiceChord(bar.chord, m_keyRoot);
    const int bassPitch = m_bassRoot + bar.chordRoot % 12 - (bar.chordRoot % 12 > 7 ? 12 : 0);
    const int fifth = bassPitch + 7;

    if (finalBar) {
        for (int pitch : chord)
            note(bar.start, beats, pitch, 0.7f, m_chords >= 0 ? m_chords : m_arpeggio);
        note(bar.start, beats, bassPitch, 0.8f, m_bass);
        if (m_arpeggio >= 0 && m_chords >= 0)
            note(bar.start, beats, chord.front() + 12, 0.5f, m_arpeggio);
        return;
    }

    // Chords.
    if (m_chords >= 0) {
        switch (m_style) {
        case Style::Rock:
            // Power chords in eighths: root, fifth and octave.
            for (double b = 0; b < beats; b += 0.5) {
                const float velocity = jitter(std::fmod(b, 1.0) == 0 ? 0.8f : 0.6f);
                for (int pitch : {bassPitch + 12, bassPitch + 19, bassPitch + 24})
                    note(bar.start + b, 0.45, pitch, velocity, m_chords);
            }
            break;
        case Style::Jazz:
            // Comping: on the one and on the "and" of three.
            for (int pitch : chord)
                note(bar.start, 1.4, pitch, jitter(0.6f), m_chords);
            for (int pitch : chord)
                note(bar.start + 2.5, 1.0, pitch, jitter(0.5f), m_chords);
            break;
        default:
            for (int pitch : chord)
                note(bar.start, beats, pitch, jitter(0.55f), m_chords);
            break;
        }
    }

    // Broken chords.
    if (m_arpeggio >= 0) {
        std::vector<int> tones = chord;
        tones.push_back(chord.front() + 12);
        if (m_style == Style::Electronic) {
            // Sixteenths up and down the chord.
            const int order[] = {0, 1, 2, 3, 2, 1, 0, 1};
            for (int i = 0; i < beats * 4; ++i)
                note(bar.start + i * 0.25, 0.22, tones[size_t(order[i % 8])] + 12, jitter(0.55f), m_arpeggio);
        } else if (m_waltz) {
            // Bass note on one, the chord on two and three.
            for (int b = 1; b < beats; ++b) {
                for (size_t t = 1; t < tones.size(); ++t)
                    note(bar.start + b, 0.9, tones[t], jitter(0.45f), m_arpeggio);
            }
        } else {
            // Fingerpicking: root, fifth, third, fifth pattern in eighths.
            const int order[] = {0, 2, 1, 2, 3, 2, 1, 2};
            for (int i = 0; i < beats * 2; ++i) {
                const size_t index = size_t(order[i % 8]) % tones.size();
                note(bar.start + i * 0.5, 1.0, tones[index] - (i == 0 ? 12 : 0), jitter(i == 0 ? 0.7f : 0.5f),
                     m_arpeggio);
            }
        }
    }

    // Bass line.
    switch (m_style) {
    case Style::Pop:
        note(bar.start, 1.4, bassPitch, jitter(0.8f), m_bass);
        note(bar.start + 1.5, 0.45, bassPitch, jitter(0.6f), m_bass);
        note(bar.start + 2, 0.9, fifth, jitter(0.7f), m_bass);
        note(bar.start + 3, 0.9, bassPitch + (m_random.chance(0.5) ? 12 : 0), jitter(0.65f), m_bass);
        break;
    case Style::Rock:
        for (double b = 0; b < beats; b += 0.5)
            note(bar.start + b, 0.42, bassPitch, jitter(std::fmod(b, 1.0) == 0 ? 0.8f : 0.65f), m_bass);
        break;
    case Style::Electronic:
        for (double b = 0.5; b < beats; b += 1.0)
            note(bar.start + b, 0.4, bassPitch, jitter(0.8f), m_bass);
        break;
    case Style::Jazz: {
        // Walking bass: chord tones, then a step into the next bar.
        const int walk[] = {bassPitch, bassPitch + bar.chord[1] - bar.chord[0],
                            bassPitch + bar.chord[2] - bar.chord[0],
                            bassPitch + (m_random.chance(0.5) ? 7 : bar.chord.back() - bar.chord[0])};
        for (int b = 0; b < beats; ++b)
            note(bar.start + b, 0.9, walk[b % 4], jitter(b == 0 ? 0.8f : 0.65f), m_bass);
        break;
    }
    default:
        if (m_waltz) {
            note(bar.start, 0.95, bassPitch, jitter(0.75f), m_bass);
        } else {
            note(bar.start, 1.9, bassPitch, jitter(0.75f), m_bass);
            note(bar.start + 2, 1.9, fifth - 12 >= 28 ? fifth - 12 : fifth, jitter(0.65f), m_bass);
        }
        break;
    }
}

void Composer::drums(const Bar &bar, bool finalBar)
{
    constexpr int kKick = 36, kSnare = 38, kHat = 42, kRide = 51, kShaker = 70;
    const int beats = m_piece.beatsPerBar;
    if (finalBar) {
        note(bar.start, 0.5, kKick, 0.8f, m_kick);
        note(bar.start, 0.5, kRide, 0.6f, m_ride);
        return;
    }
    switch (m_style) {
    case Style::Pop:
    case Style::Rock:
        for (int b = 0; b < beats; ++b) {
            if (b % 2 == 0)
                note(bar.start + b, 0.25, kKick, jitter(0.85f), m_kick);
            else
                note(bar.start + b, 0.25, kSnare, jitter(0.8f), m_snare);
        }
        if (m_style == Style::Rock || m_random.chance(0.5))
            note(bar.start + 2.5, 0.25, kKick, jitter(0.6f), m_kick);
        for (double b = 0; b < beats; b += 0.5)
            note(bar.start + b, 0.1, kHat, jitter(std::fmod(b, 1.0) == 0 ? 0.7f : 0.45f), m_hat);
        if (bar.phraseEnd)
            note(bar.start + beats - 0.5, 0.25, kSnare, jitter(0.6f), m_snare);
        break;
    case Style::Electronic:
        for (int b = 0; b < beats; ++b) {
            note(bar.start + b, 0.25, kKick, jitter(0.9f), m_kick);
            note(bar.start + b + 0.5, 0.1, kHat, jitter(0.6f), m_hat);
            if (b % 2 == 1)
                note(bar.start + b, 0.25, kSnare, jitter(0.7f), m_snare);
        }
        break;
    case Style::Jazz:
        for (int b = 0; b < beats; ++b) {
            note(bar.start + b, 0.3, kRide, jitter(b % 2 ? 0.55f : 0.7f), m_ride);
            if (b % 2 == 1) {
                note(bar.start + b + 0.5, 0.2, kRide, jitter(0.45f), m_ride);
                note(bar.start + b, 0.1, kHat, jitter(0.5f), m_hat);
            }
        }
        if (m_random.chance(0.5))
            note(bar.start, 0.3, kKick, jitter(0.5f), m_kick);
        break;
    case Style::Folk:
        for (double b = 0; b < beats; b += 0.5)
            note(bar.start + b, 0.1, kShaker, jitter(std::fmod(b, 1.0) == 0 ? 0.45f : 0.7f), m_shaker);
        break;
    case Style::Classical:
        break;
    }
}

int Composer::clampIndex(int index) const
{
    const int low = std::max(0, m_center - 5);
    const int high = std::min(int(m_pool.size()) - 1, m_center + 7);
    if (index < low)
        return low + (low - index) % 2;
    if (index > high)
        return high - (index - high) % 2;
    return index;
}

int Composer::nearestChordTone(int index, const std::vector<int> &chord) const
{
    for (int distance = 0; distance <= 3; ++distance) {
        for (int candidate : {index - distance, index + distance}) {
            if (candidate >= 0 && candidate < int(m_pool.size())
                && containsPitchClass(chord, m_pool[size_t(candidate)], m_keyRoot))
                return clampIndex(candidate);
        }
    }
    return clampIndex(index);
}

int Composer::melodyStep()
{
    // Mostly steps, sometimes a repeat or a leap.
    static constexpr int kSteps[] = {-1, 1, -1, 1, -2, 2, 0, -1, 1, 3, -3, 2};
    return kSteps[m_random.below(int(std::size(kSteps)))];
}

int Composer::melodyBar(const Bar &bar, const Rhythm &rhythm, int previous,
                        const std::vector<int> *contour, std::vector<int> *steps, bool lastPhrase)
{
    double position = 0;
    int current = previous;
    size_t noteIndex = 0;
    const size_t notes = size_t(std::count_if(rhythm.begin(), rhythm.end(), [](double d) { return d > 0; }));
    for (const double duration : rhythm) {
        const double length = std::abs(duration);
        if (duration > 0) {
            const bool strong = position == 0 || (m_piece.beatsPerBar == 4 && position == 2);
            const bool lastNote = noteIndex + 1 == notes;
            int next;
            if (contour && noteIndex < contour->size()) {
                next = noteIndex == 0 ? nearestChordTone(current + melodyStep(), bar.chord)
                                      : clampIndex(current + (*contour)[noteIndex]);
            } else {
                next = clampIndex(current + melodyStep());
                if (strong || (bar.phraseEnd && lastNote))
                    next = nearestChordTone(next, bar.chord);
            }
            if (lastPhrase && lastNote) {
                // End of the tune: come home to the key note.
                for (int distance = 0; distance < 6; ++distance) {
                    const int down = next - distance;
                    const int up = next + distance;
                    if (down >= 0 && (m_pool[size_t(down)] - m_keyRoot) % 12 == 0) { next = down; break; }
                    if (up < int(m_pool.size()) && (m_pool[size_t(up)] - m_keyRoot) % 12 == 0) { next = up; break; }
                }
            }
            if (steps)
                steps->push_back(next - current);
            const float accent = strong ? 0.85f : 0.72f;
            note(bar.start + position, length * m_articulation, m_pool[size_t(next)], jitter(accent), m_lead);
            current = next;
            ++noteIndex;
        }
        position += length;
    }
    return current;
}

} // namespace

Composition compose(Style style, uint64_t seed, double seconds)
{
    return Composer(style, seed, seconds).take();
}

} // namespace demolib
