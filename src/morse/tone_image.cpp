#include "morse/tone_image.h"

#include <cmath>
#include <new>

namespace morvik {

namespace {

void PutTag(std::vector<uint8_t>& image, size_t at, const char (&tag)[5]) {
    for (size_t i = 0; i < 4; ++i) image[at + i] = static_cast<uint8_t>(tag[i]);
}

void PutLittleEndian(std::vector<uint8_t>& image, size_t at, uint64_t value, size_t width) {
    for (size_t i = 0; i < width; ++i) image[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

std::optional<std::vector<uint8_t>> BuildToneBuffer(int64_t sampleRate, int64_t frequencyHz) {
    if (frequencyHz == 0 || (sampleRate == INT64_MIN && frequencyHz == -1)) return std::nullopt;
    const int64_t n = sampleRate / frequencyHz;
    constexpr int64_t HeaderSize = 44;
    constexpr int64_t Channels = 1;
    constexpr int64_t BitsPerSample = 24;
    constexpr int64_t BlockAlign = Channels * ((BitsPerSample + 7) / 8);
    // A negative count would leave no room for the header; an image too
    // large for the RIFF size field is not made either.
    if (n < 0 || n > (INT64_C(0xFFFFFFFF) - 36) / 3) return std::nullopt;
    const int64_t size = HeaderSize + 3 * n;
    if (size <= 0) return std::nullopt;

    std::vector<uint8_t> image;
    try {
        image.assign(static_cast<size_t>(size), 0);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    PutTag(image, 0, "RIFF");
    PutLittleEndian(image, 4, static_cast<uint64_t>(36 + 3 * n), 4);
    PutTag(image, 8, "WAVE");
    PutTag(image, 12, "fmt ");
    PutLittleEndian(image, 16, 16, 4);
    PutLittleEndian(image, 20, 1, 2);
    PutLittleEndian(image, 22, Channels, 2);
    PutLittleEndian(image, 24, static_cast<uint64_t>(sampleRate), 4);
    PutLittleEndian(image, 28, static_cast<uint64_t>(sampleRate * BlockAlign), 4);
    PutLittleEndian(image, 32, BlockAlign, 2);
    PutLittleEndian(image, 34, BitsPerSample, 2);
    PutTag(image, 36, "data");
    PutLittleEndian(image, 40, static_cast<uint64_t>(3 * n), 4);

    const double step = 6.283185307179586 / static_cast<double>(n);
    double phase = 0.0;
    for (int64_t k = 0; k < n; ++k) {
        // nearbyint rounds halves to even in the default rounding mode.
        const int32_t v = static_cast<int32_t>(std::nearbyint(std::sin(phase) * ToneAmplitude));
        const size_t at = static_cast<size_t>(HeaderSize + 3 * k);
        image[at] = static_cast<uint8_t>(v & 0xFF);
        image[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
        image[at + 2] = static_cast<uint8_t>((v >> 16) & 0xFF);
        phase += step;
    }
    return image;
}

}  // namespace morvik
