#include "platform/fltk_controls.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <cstring>
#include <string>

#include "platform/text_encoding.h"
#include "platform/upper_case.h"

namespace morvik {

namespace {

// Fields hold up to 1,048,576 characters (UTF-16 code units). FLTK counts
// bytes, and a character takes up to four of them in UTF-8; the count of
// characters is checked after each edit.
constexpr size_t FieldCapacity = 1048576;
constexpr int FieldCapacityBytes = 4 * static_cast<int>(FieldCapacity);

bool OverCapacity(const char* utf8) {
    // Only a text of more bytes than characters allowed can be too long.
    const size_t bytes = std::strlen(utf8);
    return bytes > FieldCapacity && FromUtf8(std::string(utf8, bytes)).size() > FieldCapacity;
}

}  // namespace

PlainLabel::PlainLabel(int x, int y, int w, int h, bool bordered)
    : Fl_Box(bordered ? FL_DOWN_BOX : FL_FLAT_BOX, x, y, w, h, nullptr) {
    color(fl_rgb_color(FaceRed, FaceGreen, FaceBlue));
}

void PlainLabel::draw() {
    draw_box();
    const int inset = box() == FL_DOWN_BOX ? Fl::box_dx(box()) : 0;
    const int x0 = x() + inset, y0 = y() + inset;
    const int w0 = w() - 2 * inset, h0 = h() - 2 * inset;
    fl_push_clip(x0, y0, w0, h0);
    fl_font(labelfont(), labelsize());
    fl_color(labelcolor());
    fl_draw(text_.c_str(), x0, y0, w0, h0,
            FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP | FL_ALIGN_CLIP, nullptr, 0);
    fl_pop_clip();
}

TextField::TextField(int x, int y, int w, int h, bool upperCase)
    : Fl_Input(x, y, w, h), upperCase_(upperCase) {
    maximum_size(FieldCapacityBytes);
    when(FL_WHEN_NEVER);
}

int TextField::handle(int event) {
    const bool editing = event == FL_KEYBOARD || event == FL_PASTE;
    const size_t adding = event == FL_PASTE ? static_cast<size_t>(Fl::event_length()) : 4;
    const bool nearlyFull = editing && static_cast<size_t>(size()) + adding > FieldCapacity;
    const std::string before = nearlyFull ? std::string(value(), static_cast<size_t>(size())) : "";
    const int handled = Fl_Input::handle(event);
    if (nearlyFull && OverCapacity(value())) {
        // An edit that would go beyond the field's capacity is refused.
        value(before.c_str(), static_cast<int>(before.size()));
        return handled;
    }
    if (upperCase_ && editing) ApplyUpperCase();
    return handled;
}

void TextField::SetText(const char* utf8) {
    value(utf8);
    if (upperCase_) ApplyUpperCase();
    // A placed text is shown from its start, as it reads.
    position(0);
}

void TextField::ApplyUpperCase() {
    const std::string before = value();
    const std::string after = UpperCaseUtf8(before);
    if (after == before) return;
    // Keep the cursor and selection where they were, as far as the byte
    // lengths allow (upper-casing can change them in rare cases).
    const int pos = position(), markPos = mark();
    value(after.c_str());
    const int limit = static_cast<int>(after.size());
    position(pos < limit ? pos : limit, markPos < limit ? markPos : limit);
}

}  // namespace morvik
