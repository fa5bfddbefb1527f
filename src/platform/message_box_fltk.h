#pragma once
#include "platform/message_box.h"

namespace morvik {

// A modal box with one OK button; with no display at all the text goes to
// standard error instead, since no box can be shown.
class FltkMessageBox : public MessageBox {
public:
    void Show(const std::u16string& title, const std::u16string& text) override;
};

}  // namespace morvik
