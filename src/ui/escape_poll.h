#pragma once
#include "app/program.h"

namespace morvik {

// Polls the keyboard. Escape counts as released when the previous poll,
// wherever in the program it was made, saw it down and this one sees it up.
bool EscapeReleased(Program& program);

}  // namespace morvik
