#pragma once
#include <cstdint>

#include "app/program.h"

namespace morvik {

// A tone of the given frequency and length through the sound output;
// returns when it has ended. Skipped, without waiting, when the sound
// output cannot run.
void SoundBeep(Program& program, int64_t frequencyHz, int64_t milliseconds);

}  // namespace morvik
