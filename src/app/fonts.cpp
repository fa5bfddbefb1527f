#include "app/fonts.h"

#include <cmath>

#include "platform/window_system.h"

namespace morvik {

namespace {

struct FontRow {
    int points;
    bool bold;
};

// Verdana 7 points normal, then 10, 12, 14 and 16 points bold.
constexpr FontRow FontTable[] = {{7, false}, {10, true}, {12, true}, {14, true}, {16, true}};

}  // namespace

int FontPixelSize(int points, double dpi) {
    return static_cast<int>(std::lround(points * dpi / 72.0));
}

void CreateFonts(Program& program) {
    double dpi = program.platform.window->VerticalDpi();
    if (!(dpi > 0.0)) dpi = DefaultDpi;
    int number = 0;
    for (const FontRow& row : FontTable) {
        program.platform.window->CreateFont(number++, "Verdana", FontPixelSize(row.points, dpi),
                                            row.bold);
    }
}

}  // namespace morvik
