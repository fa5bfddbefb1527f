#pragma once

class Fl_RGB_Image;

namespace morvik {

// The program's icon: a dot and a dash on a key-lever blue, 32 by 32.
const Fl_RGB_Image* ProgramIcon();

}  // namespace morvik
