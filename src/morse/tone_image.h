#pragma once
#include <cstdint>
#include <optional>
#include <vector>

namespace morvik {

inline constexpr int64_t ToneSampleRate = 48000;
inline constexpr int32_t ToneAmplitude = 6710880;  // about 80 % of 24-bit full scale

// A RIFF/WAVE image of one sine period: 24-bit mono PCM at the given rate,
// rate / frequency samples. Nothing when the image cannot be made (no
// positive size, or no memory).
std::optional<std::vector<uint8_t>> BuildToneBuffer(int64_t sampleRate, int64_t frequencyHz);

}  // namespace morvik
