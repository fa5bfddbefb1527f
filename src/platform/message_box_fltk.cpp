#include "platform/message_box_fltk.h"

#include <FL/Fl.H>
#include <FL/fl_ask.H>
#include <FL/x.H>

#include <cstdio>

#include "platform/text_encoding.h"

namespace morvik {

void FltkMessageBox::Show(const std::u16string& title, const std::u16string& text) {
    const std::string t = ToUtf8(title), m = ToUtf8(text);
    if (fl_display == nullptr) {
        std::fprintf(stderr, "%s: %s\n", t.c_str(), m.c_str());
        return;
    }
    fl_close = "OK";
    fl_message_title(t.c_str());
    fl_message_hotspot(0);
    fl_message("%s", m.c_str());
}

}  // namespace morvik
