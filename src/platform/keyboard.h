#pragma once

namespace morvik {

// Live polling of the keyboard. Escape is the only key the program uses.
class Keyboard {
public:
    virtual ~Keyboard() = default;
    // Checks that the keyboard can be read; false when it cannot.
    virtual bool Start() = 0;
    // Whether Escape is down right now. Reads false while none of the
    // program's windows is in the foreground.
    virtual bool EscapeDown() = 0;
};

}  // namespace morvik
