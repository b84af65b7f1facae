#pragma once

#include "composer.h"

#include <cstdint>
#include <vector>

namespace demolib {

// Renders a composition to mono samples: one small synthesizer per
// instrument (plucked strings, FM pianos and bells, band-limited saws and
// squares, drawbar organ, drums from noise and swept sines), a plate-like
// reverb on a send, gentle limiting, peak normalisation and a fade-out.
std::vector<float> renderAudio(const Composition &piece, int sampleRate);

// 16-bit PCM from samples in [-1, 1].
std::vector<int16_t> toPcm16(const std::vector<float> &samples);

} // namespace demolib
