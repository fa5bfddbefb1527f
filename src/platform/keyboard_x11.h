#pragma once
#include "platform/keyboard.h"

namespace morvik {

// The live state of the keyboard from the X server.
class X11Keyboard : public Keyboard {
public:
    bool Start() override;
    bool EscapeDown() override;
};

}  // namespace morvik
