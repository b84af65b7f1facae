#include "synthesizer.h"

#include <algorithm>
#include <cmath>

namespace demolib {

namespace {

constexpr double kTwoPi = 6.283185307179586;

double midiFrequency(int pitch)
{
    return 440.0 * std::pow(2.0, (pitch - 69) / 12.0);
}

struct Noise {
    uint32_t state;
    float next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return float(state) / 2147483648.0f - 1.0f;
    }
};

// One-pole low-pass filter.
struct LowPass {
    double coefficient = 1;
    double value = 0;
    void setCutoff(double hertz, int sampleRate)
    {
        coefficient = 1.0 - std::exp(-kTwoPi * std::min(hertz, sampleRate * 0.45) / sampleRate);
    }
    double process(double input) { return value += coefficient * (input - value); }
};

double polyBlep(double t, double dt)
{
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

struct Saw {
    double phase = 0;
    double next(double frequency, int sampleRate)
    {
        const double dt = frequency / sampleRate;
        const double value = 2.0 * phase - 1.0 - polyBlep(phase, dt);
        phase += dt;
        if (phase >= 1.0)
            phase -= 1.0;
        return value;
    }
};

struct Square {
    double phase = 0;
    double next(double frequency, int sampleRate)
    {
        const double dt = frequency / sampleRate;
        double value = phase < 0.5 ? 1.0 : -1.0;
        value += polyBlep(phase, dt);
        value -= polyBlep(std::fmod(phase + 0.5, 1.0), dt);
        phase += dt;
        if (phase >= 1.0)
            phase -= 1.0;
        return value;
    }
};

// Attack-decay-sustain-release envelope; the release starts at `held`.
struct Envelope {
    double attack, decay, sustain, release;
    double levelBeforeRelease(double t) const
    {
        if (t < attack)
            return t / attack;
        if (t < attack + decay)
            return 1.0 - (1.0 - sustain) * (t - attack) / decay;
        return sustain;
    }
    double at(double t, double held) const
    {
        if (t < held)
            return levelBeforeRelease(t);
        return levelBeforeRelease(held) * std::exp(-(t - held) * 6.0 / release);
    }
};

// Writes one note into `out` from index 0 (out is pre-sized to the note's
// length including its release).
void synthesize(Instrument instrument, int pitch, float velocity, double held, int sampleRate,
                uint32_t noiseSeed, std::vector<float> &out)
{
    const double f = midiFrequency(pitch);
    const double sr = sampleRate;
    const size_t count = out.size();
    Noise noise{noiseSeed | 1u};

    switch (instrument) {
    case Instrument::Flute: {
        const Envelope env{0.05, 0.12, 0.85, 0.15};
        double phase = 0;
        LowPass breath;
        breath.setCutoff(2500, sampleRate);
        double vibrato = 1.0;
        for (size_t n = 0; n < count; ++n) {
            const double t = n / sr;
            if (n % 32 == 0)
                vibrato = 1.0 + 0.004 * std::sin(kTwoPi * 5.2 * t) * std::min(1.0, t / 0.35);
            phase += kTwoPi * f * vibrato / sr;
            const double tone = std::sin(phase) + 0.22 * std::sin(2 * phase) + 0.07 * std::sin(3 * phase);
            out[n] = float((tone * 0.8 + 0.05 * breath.process(noise.next())) * env.at(t, held) * velocity);
        }
        break;
    }
    case Instrument::NylonGuitar: {
        // Karplus-Strong string: a noise burst circulating through a delay
        // line with an averaging filter; an all-pass tunes the fractional
        // part of the period.
        const double period = sr / f - 0.5;
        const size_t length = std::max<size_t>(2, size_t(period));
        const double fraction = period - double(length);
        const double tuning = (1.0 - fraction) / (1.0 + fraction);
        std::vector<double> line(length);
        LowPass soften;
        soften.setCutoff(1500 + 2500 * velocity, sampleRate);
        for (double &sample : line)
            sample = soften.process(noise.next()) * 1.6;
        double previous = 0, allpassIn = 0, allpassOut = 0;
        size_t index = 0;
        for (size_t n = 0; n < count; ++n) {
            const double t = n / sr;
            const double current = line[index];
            const double averaged = 0.5 * (current + previous);
            previous = current;
            allpassOut = tuning * averaged + allpassIn - tuning * allpassOut;
            allpassIn = averaged;
            line[index] = allpassOut * 0.996;
            index = (index + 1) % length;
            const double damp = t < held ? 1.0 : std::exp(-(t - held) * 30.0);
            out[n] = float(current * damp * velocity * 0.8);
        }
        break;
    }
    case Instrument::ElectricPiano:
    case Instrument::Vibraphone: {
        // Two-operator FM: a tine (ratio 1) or a bar (ratio 3.5).
        const bool piano = instrument == Instrument::ElectricPiano;
        const double ratio = piano ? 1.0 : 3.5;
        const double decay = piano ? 1.1 : 1.6;
        double carrier = 0, modulator = 0;
        // Exponential decays as running products: one multiply per sample.
        double brightness = (piano ? 1.6 : 1.2) * velocity;
        double body = 1.0, release = 1.0;
        const double brightnessStep = std::exp(-3.0 / sr);
        const double bodyStep = std::exp(-decay / sr);
        const double releaseStep = std::exp(-12.0 / sr);
        double tremolo = 1.0;
        for (size_t n = 0; n < count; ++n) {
            const double t = n / sr;
            modulator += kTwoPi * f * ratio / sr;
            carrier += kTwoPi * f / sr;
            if (t > held)
                release *= releaseStep;
            if (!piano && n % 32 == 0)
                tremolo = 1.0 + 0.15 * std::sin(kTwoPi * 5.5 * t);
            const double amplitude = std::min(1.0, t / 0.003) * body * release * tremolo;
            out[n] = float(std::sin(carrier + (brightness + 0.15) * std::sin(modulator)) * amplitude * velocity);
            brightness *= brightnessStep;
            body *= bodyStep;
        }
        break;
    }
    case Instrument::Organ: {
        const double harmonics[][2] = {{1, 1.0}, {2, 0.55}, {3, 0.3}, {4, 0.22}, {6, 0.1}, {8, 0.07}};
        const Envelope env{0.015, 0.05, 0.95, 0.08};
        double total = 0;
        for (const auto &h : harmonics)
            total += h[1];
        double phase = 0;
        for (size_t n = 0; n < count; ++n) {
            const double t = n / sr;
            phase += kTwoPi * f / sr;
            double sum = 0;
            for (const auto &h : harmonics) {
                if (f * h[0] < sr * 0.45)
                    sum += h[1] * std::sin(phase * h[0]);
            }
            const double tremolo = 1.0 + 0.06 * std::sin(kTwoPi * 6.0 * t);
            out[n] = float(sum / total * tremolo * env.at(t, held) * velocity);
        }
        break;
    }
    case Instrument::SawLead:
    case Instrument::OverdriveGuitar: {
        const bool guitar = instrument == Instrument::OverdriveGuitar;
        const Envelope env = guitar ? Envelope{0.004, 0.4, 0.7, 0.08} : Envelope{0.02, 0.25, 0.75, 0.12};
        Saw a, b;
        b.phase = 0.37;
        LowPass filter, filter2;
        filter2.setCutoff(guitar ? 3200 : 5000, sampleRate);
        double vibrato = 1.0;
        for (size_t n = 0; n < count; ++n) {
            const double t = n / sr;
            if (n % 32 == 0) {
                vibrato = guitar ? 1.0 : 1.0 + 0.003 * std::sin(kTwoPi * 5.5 * t) * std::min(1.0, t / 0.3);
                filter.setCutoff(guitar ? 2600 : f * 3 + 2200 * std::exp(-t * 4), sampleRate);
            }
            double x = 0.5 * (a.next(f * vibrato * 1.0035, sampleRate) + b.next(f * vibrato * 0.9965, sampleRate));
            if (guitar)
                x = std::tanh(3.0 * x) * 0.6;
            out[n] = float(filter2.process(filter.process(x)) * env.at(t, held) * velocity);
        }
        break;
    }
    case Instrument::SquareLead: {
        const Envelope env{0.01, 0.2, 0.65, 0.1};
        Square osc;
        LowPass filter;
        filter.setCutoff(2400, sampleRate);
        double vibrato = 1.0;
        for (size_t n = 0; n < count; ++n) {
            const double t = n / sr;
            if (n % 32 == 0)
                vibrato = 1.0 + 0.0035 * std::sin(kTwoPi * 5.0 * t) * std::min(1.0, t / 0.25);
            out[n] = float(filter.process(osc.next(f * vibrato, sampleRate)) * 0.55 * env.at(t, held) * velocity);
        }
        break;
    }
    case Instrument::StringPad: {
        const Envelope env{0.35, 0.3, 0.8, 0.5};
        Saw a, b, c;
        b.phase = 0.31;
        c.phase = 0.67;
        LowPass first, second;
        first.setCutoff(1800, sampleRate);
        second.setCutoff(2200, sampleRate);
        for (size_t n = 0; n < count; ++n) {
            const double t = n / sr;
            const double x = (a.next(f, sampleRate) + b.next(f * 1.0047, sampleRate) + c.next(f * 0.9953, sampleRate)) / 3.0;
            out[n] = float(second.process(first.process(x)) * env.at(t, held) * velocity);
        }
        break;
    }
    case Instrument::FingerBass:
    case Instrument::SynthBass: {
        const bool synth = instrument == Instrument::SynthBass;
        const Envelope env = synth ? Envelope{0.003, 0.2, 0.7, 0.05} : Envelope{0.005, 0.35, 0.55, 0.08};
        double phase = 0;
        Saw saw;
        LowPass filter;
        for (size_t n = 0; n < count; ++n) {
            const double t = n / sr;
            phase += kTwoPi * f / sr;
            if (n % 32 == 0)
                filter.setCutoff(synth ? 300 + 1500 * std::exp(-t * 12) : 700, sampleRate);
            const double body = synth ? filter.process(saw.next(f, sampleRate))
                                      : 0.8 * std::sin(phase) + 0.35 * filter.process(saw.next(f, sampleRate));
            out[n] = float(body * env.at(t, held) * velocity);
        }
        break;
    }
    case Instrument::Kick: {
        double phase = 0, sweep = 110.0, amplitude = 1.0;
        const double sweepStep = std::exp(-30.0 / sr), amplitudeStep = std::exp(-7.0 / sr);
        for (size_t n = 0; n < count; ++n) {
            const double t = n / sr;
            phase += kTwoPi * (45.0 + sweep) / sr;
            const double click = t < 0.003 ? noise.next() * 0.3 : 0.0;
            out[n] = float((std::sin(phase) * amplitude + click) * velocity);
            sweep *= sweepStep;
            amplitude *= amplitudeStep;
        }
        break;
    }
    case Instrument::Snare: {
        double phase = 0, previous = 0;
        for (size_t n = 0; n < count; ++n) {
            const double t = n / sr;
            phase += kTwoPi * 190.0 / sr;
            const double white = noise.next();
            const double bright = white - 0.6 * previous;
            previous = white;
            out[n] = float((0.7 * bright * std::exp(-t * 18.0) + 0.5 * std::sin(phase) * std::exp(-t * 25.0)) * velocity);
        }
        break;
    }
    case Instrument::ClosedHat:
    case Instrument::Shaker: {
        const bool shaker = instrument == Instrument::Shaker;
        double previous = 0;
        LowPass body;
        body.setCutoff(shaker ? 6000 : 12000, sampleRate);
        for (size_t n = 0; n < count; ++n) {
            const double t = n / sr;
            const double white = noise.next();
            const double high = white - previous;
            previous = white;
            const double envelope = shaker ? std::min(1.0, t / 0.01) * std::exp(-t * 40.0) : std::exp(-t * 60.0);
            out[n] = float(body.process(high) * envelope * velocity * 0.6);
        }
        break;
    }
    case Instrument::Ride: {
        double previous = 0;
        for (size_t n = 0; n < count; ++n) {
            const double t = n / sr;
            const double white = noise.next();
            const double high = white - previous;
            previous = white;
            const double metal = std::sin(kTwoPi * 3200 * t) + 0.7 * std::sin(kTwoPi * 4350 * t)
                + 0.5 * std::sin(kTwoPi * 5120 * t);
            out[n] = float((0.35 * high * std::exp(-t * 9.0) + 0.08 * metal * std::exp(-t * 6.0)) * velocity);
        }
        break;
    }
    }
}

double releaseSeconds(Instrument instrument)
{
    switch (instrument) {
    case Instrument::NylonGuitar: return 0.25;
    case Instrument::ElectricPiano:
    case Instrument::Vibraphone: return 0.5;
    case Instrument::StringPad: return 0.6;
    case Instrument::Kick: return 0.45;
    case Instrument::Snare: return 0.3;
    case Instrument::ClosedHat:
    case Instrument::Shaker: return 0.12;
    case Instrument::Ride: return 0.7;
    default: return 0.2;
    }
}

// A small Schroeder reverb: four damped combs in parallel, two all-passes
// in series.
class Reverb {
public:
    explicit Reverb(int sampleRate)
    {
        for (double ms : {29.7, 37.1, 41.1, 43.7})
            m_combs.push_back({std::vector<double>(size_t(ms * sampleRate / 1000.0)), 0, 0});
        for (double ms : {5.0, 1.7})
            m_allpasses.push_back({std::vector<double>(size_t(ms * sampleRate / 1000.0)), 0, 0});
    }
    double process(double input)
    {
        double sum = 0;
        for (Delay &comb : m_combs) {
            const double out = comb.line[comb.index];
            comb.state = out * 0.7 + comb.state * 0.3; // damping in the loop
            comb.line[comb.index] = input + comb.state * 0.8;
            comb.index = (comb.index + 1) % comb.line.size();
            sum += out;
        }
        double x = sum * 0.25;
        for (Delay &allpass : m_allpasses) {
            const double delayed = allpass.line[allpass.index];
            const double out = -0.7 * x + delayed;
            allpass.line[allpass.index] = x + 0.7 * out;
            allpass.index = (allpass.index + 1) % allpass.line.size();
            x = out;
        }
        return x;
    }

private:
    struct Delay {
        std::vector<double> line;
        size_t index;
        double state;
    };
    std::vector<Delay> m_combs;
    std::vector<Delay> m_allpasses;
};

} // namespace

std::vector<float> renderAudio(const Composition &piece, int sampleRate)
{
    const size_t total = size_t(piece.durationSeconds() * sampleRate);
    std::vector<float> dry(total, 0.0f);
    std::vector<float> send(total, 0.0f);
    std::vector<float> buffer;
    // Drum hits differ only in loudness: each drum is rendered once.
    std::vector<std::pair<Instrument, std::vector<float>>> drumHits;

    uint32_t noteNumber = 0;
    for (const Note &note : piece.notes) {
        ++noteNumber;
        const Voice &voice = piece.voices[size_t(note.voice)];
        const double start = piece.secondsAt(note.beat);
        const double held = std::max(0.02, piece.secondsAt(note.beat + note.length) - start);
        const size_t first = size_t(start * sampleRate);
        if (first >= total)
            continue;
        const std::vector<float> *samples = &buffer;
        float level = voice.gain;
        if (voice.drums) {
            auto cached = std::find_if(drumHits.begin(), drumHits.end(),
                                       [&](const auto &hit) { return hit.first == voice.instrument; });
            if (cached == drumHits.end()) {
                std::vector<float> hit(size_t(releaseSeconds(voice.instrument) * sampleRate));
                synthesize(voice.instrument, note.pitch, 1.0f, 0.05, sampleRate, 0x9E3779B9u, hit);
                drumHits.emplace_back(voice.instrument, std::move(hit));
                cached = drumHits.end() - 1;
            }
            samples = &cached->second;
            level *= note.velocity;
        } else {
            const size_t length = size_t((held + releaseSeconds(voice.instrument)) * sampleRate);
            buffer.assign(length, 0.0f);
            synthesize(voice.instrument, note.pitch, note.velocity, held, sampleRate,
                       noteNumber * 2654435761u, buffer);
        }
        const size_t length = std::min(total - first, samples->size());
        for (size_t n = 0; n < length; ++n) {
            const float sample = (*samples)[n] * level;
            dry[first + n] += sample;
            send[first + n] += sample * voice.reverbSend;
        }
    }

    Reverb reverb(sampleRate);
    float peak = 0.0f;
    for (size_t n = 0; n < total; ++n) {
        const double wet = reverb.process(send[n]);
        const double mixed = std::tanh((dry[n] + 0.6 * wet) * 1.1);
        dry[n] = float(mixed);
        peak = std::max(peak, std::abs(dry[n]));
    }

    // Normalise to just under full scale, fade in briefly and fade out.
    const float gain = peak > 0 ? 0.89f / peak : 1.0f;
    const size_t fadeIn = size_t(0.01 * sampleRate);
    const size_t fadeOut = std::min(total, size_t(1.5 * sampleRate));
    for (size_t n = 0; n < total; ++n) {
        float level = gain;
        if (n < fadeIn)
            level *= float(n) / float(fadeIn);
        if (n + fadeOut > total)
            level *= float(total - n) / float(fadeOut);
        dry[n] *= level;
    }
    return dry;
}

std::vector<int16_t> toPcm16(const std::vector<float> &samples)
{
    std::vector<int16_t> pcm(samples.size());
    for (size_t n = 0; n < samples.size(); ++n)
        pcm[n] = int16_t(std::lround(std::clamp(samples[n], -1.0f, 1.0f) * 32767.0f));
    return pcm;
}

} // namespace demolib
