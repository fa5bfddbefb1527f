#pragma once
#include "app/program.h"

namespace morvik {

inline constexpr double DefaultDpi = 96.0;

// A font's character height in pixels for a point size at a resolution.
int FontPixelSize(int points, double dpi);
// Creates fonts 0 to 4; the display's resolution is read once here.
void CreateFonts(Program& program);

}  // namespace morvik
