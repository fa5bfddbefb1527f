#pragma once
#include <FL/Fl_Box.H>
#include <FL/Fl_Input.H>

#include <string>

namespace morvik {

// The dialog face colour behind labels.
inline constexpr unsigned char FaceRed = 240, FaceGreen = 240, FaceBlue = 240;

// A static label: opaque face-coloured background, text left-aligned from
// the top, wrapped at words and clipped at the edges. The text is drawn
// exactly as it is: "@" and "&" are ordinary characters here.
class PlainLabel : public Fl_Box {
public:
    PlainLabel(int x, int y, int w, int h, bool bordered);
    void SetText(const char* utf8) { text_ = utf8; }

protected:
    void draw() override;

private:
    std::string text_;
};

// A single-line text field. In upper-case style every letter typed, pasted
// or placed in it becomes upper case.
class TextField : public Fl_Input {
public:
    TextField(int x, int y, int w, int h, bool upperCase);
    int handle(int event) override;
    void SetText(const char* utf8);

private:
    void ApplyUpperCase();
    bool upperCase_;
};

}  // namespace morvik
