#pragma once
#include "app/program.h"

namespace morvik {

// One keyed element each: the tone sounds and the keying line is raised for
// the element's on-time, then the element's silence follows. KeyDot first
// polls Escape and, when it was released, restarts instead of keying.
void KeyDot(Program& program);
void KeyDash(Program& program);
void KeyCarrier(Program& program);

// Tone frequencies that give a sine period of at least one sample.
inline constexpr int64_t LowestToneHz = 1;
inline constexpr int64_t HighestToneHz = 48000;

}  // namespace morvik
