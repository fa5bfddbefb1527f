#pragma once
#include <string>

namespace morvik {

// A box with a title, a text and one OK button; returns when it is confirmed.
class MessageBox {
public:
    virtual ~MessageBox() = default;
    virtual void Show(const std::u16string& title, const std::u16string& text) = 0;
};

}  // namespace morvik
