#include "platform/program_icon.h"

#include <FL/Fl_RGB_Image.H>

#include <array>

namespace morvik {

namespace {

constexpr int Size = 32;

// Drawn once: a blue square with a white dot and a white dash across it.
std::array<unsigned char, Size * Size * 3> DrawIcon() {
    std::array<unsigned char, Size * Size * 3> pixels{};
    for (int y = 0; y < Size; ++y) {
        for (int x = 0; x < Size; ++x) {
            const bool dot = (x - 8) * (x - 8) + (y - 16) * (y - 16) <= 16;
            const bool dash = x >= 15 && x <= 28 && y >= 13 && y <= 19;
            unsigned char* p = &pixels[static_cast<size_t>((y * Size + x) * 3)];
            p[0] = dot || dash ? 255 : 100;
            p[1] = dot || dash ? 255 : 100;
            p[2] = 255;
        }
    }
    return pixels;
}

}  // namespace

const Fl_RGB_Image* ProgramIcon() {
    static const std::array<unsigned char, Size * Size * 3> pixels = DrawIcon();
    static const Fl_RGB_Image icon(pixels.data(), Size, Size, 3);
    return &icon;
}

}  // namespace morvik
