#include "platform/window_system_fltk.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <cmath>

#include "platform/fltk_controls.h"
#include "platform/program_icon.h"
#include "platform/text_encoding.h"

namespace morvik {

namespace {

// The system's message font for controls without a font of their own.
constexpr Fl_Fontsize DefaultControlFontSize = 12;

// A program window: fixed size, and deaf to close requests and Escape,
// which FLTK would otherwise take as "close this window".
class ProgramWindow : public Fl_Window {
public:
    ProgramWindow(int x, int y, int w, int h, FltkWindowSystem* owner)
        : Fl_Window(x, y, w, h), owner_(owner) {
        callback(&ProgramWindow::CloseRequested, this);
    }

    int handle(int event) override {
        if (event == FL_SHORTCUT && Fl::event_key() == FL_Escape) return 1;
        return Fl_Window::handle(event);
    }

private:
    static void CloseRequested(Fl_Widget*, void* data) {
        auto* self = static_cast<ProgramWindow*>(data);
        // Escape is polled, never an event; everything else that reaches
        // here is a close request, which the program ignores.
        if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
        self->owner_->Post({EventKind::CloseRequest, 0});
    }

    FltkWindowSystem* owner_;
};

struct ButtonData {
    FltkWindowSystem* owner;
    int control;
};

void ButtonPressed(Fl_Widget* widget, void*) {
    auto* data = static_cast<ButtonData*>(widget->user_data());
    data->owner->Post({EventKind::Control, data->control});
}

// Buttons carry their number; the data is freed with the button.
class PushButton : public Fl_Button {
public:
    PushButton(int x, int y, int w, int h, FltkWindowSystem* owner, int control)
        : Fl_Button(x, y, w, h), data_{owner, control} {
        user_data(&data_);
        callback(ButtonPressed);
        // Labels are shown exactly as given: no "@" symbols, no "&" shortcuts.
        labeltype(FL_NORMAL_LABEL);
        align(FL_ALIGN_CENTER | FL_ALIGN_CLIP | FL_ALIGN_NOWRAP);
    }

    void draw() override {
        draw_box(value() ? down_box() ? down_box() : fl_down(box()) : box(), color());
        fl_font(labelfont(), labelsize());
        fl_color(active_r() ? labelcolor() : fl_inactive(labelcolor()));
        fl_draw(text_.c_str(), x(), y(), w(), h(), FL_ALIGN_CENTER | FL_ALIGN_CLIP, nullptr, 0);
        if (Fl::focus() == this) draw_focus();
    }

    void SetText(const std::string& text) { text_ = text; }

private:
    ButtonData data_;
    std::string text_;
};

}  // namespace

FltkWindowSystem::~FltkWindowSystem() { Shutdown(); }

bool FltkWindowSystem::StartSurface() {
    if (started_) return true;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    fl_open_display(display);
    Fl::visual(FL_RGB);
    Fl::set_font(FL_HELVETICA, " Sans");
    started_ = true;
    return true;
}

double FltkWindowSystem::VerticalDpi() {
    if (!started_) return 0.0;
    float h = 0.0f, v = 0.0f;
    Fl::screen_dpi(h, v, 0);
    return v;
}

void FltkWindowSystem::CreateFont(int font, const std::string& family, int pixelSize, bool bold) {
    // FLTK keeps the name's pointer: each font's name lives as long as the
    // program. The first character selects the weight.
    static std::map<int, std::string> names;
    names[font] = (bold ? "B" : " ") + family;
    const int face = FL_FREE_FONT + font;
    Fl::set_font(static_cast<Fl_Font>(face), names[font].c_str());
    fonts_[font] = {face, pixelSize};
}

void FltkWindowSystem::OpenWindow(int window, const std::u16string& title, int clientWidth,
                                  int clientHeight) {
    CloseWindow(window);
    // Whatever was pressed before the window was (re)built starts nothing.
    events_.clear();
    int sx = 0, sy = 0, sw = 0, sh = 0;
    Fl::screen_xywh(sx, sy, sw, sh, 0);
    // Centred on each axis by itself; at the screen's edge where too large.
    const int x = clientWidth > sw ? sx : sx + (sw - clientWidth) / 2;
    const int y = clientHeight > sh ? sy : sy + (sh - clientHeight) / 2;
    auto* w = new ProgramWindow(x, y, clientWidth, clientHeight, this);
    w->end();
    w->copy_label(ToUtf8(title).c_str());
    w->size_range(clientWidth, clientHeight, clientWidth, clientHeight);
    w->color(fl_rgb_color(FaceRed, FaceGreen, FaceBlue));
    w->box(FL_FLAT_BOX);
    w->icon(ProgramIcon());
    w->cursor(FL_CURSOR_ARROW);
    windows_[window] = w;
    w->show();
    w->wait_for_expose();
    // Shown and activated: a rebuilt window takes over the keyboard from the
    // one it replaces, also where no window manager hands it over.
    XRaiseWindow(fl_display, fl_xid(w));
    XSetInputFocus(fl_display, fl_xid(w), RevertToParent, CurrentTime);
    XFlush(fl_display);
}

void FltkWindowSystem::CloseWindow(int window) {
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    StopTimers(window);
    for (auto c = controls_.begin(); c != controls_.end();) {
        c = c->second.window == window ? controls_.erase(c) : std::next(c);
    }
    if (surfaceWindow_ == window) surfaceWindow_ = 0;
    Fl_Window* w = it->second;
    windows_.erase(it);
    w->hide();
    delete w;  // its controls go with it
}

void FltkWindowSystem::TimerTick(void* data) {
    auto* timer = static_cast<Timer*>(data);
    timer->owner->Post({EventKind::Timer, 0});
    Fl::repeat_timeout(timer->period, &FltkWindowSystem::TimerTick, data);
}

void FltkWindowSystem::StartTimer(int window, int timer, int periodMs) {
    auto old = timers_.find(timer);
    if (old != timers_.end()) {
        Fl::remove_timeout(&FltkWindowSystem::TimerTick, old->second);
        delete old->second;
        timers_.erase(old);
    }
    auto* t = new Timer{window, periodMs / 1000.0, this};
    timers_[timer] = t;
    Fl::add_timeout(t->period, &FltkWindowSystem::TimerTick, t);
}

void FltkWindowSystem::StopTimers(int window) {
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (it->second->window == window) {
            Fl::remove_timeout(&FltkWindowSystem::TimerTick, it->second);
            delete it->second;
            it = timers_.erase(it);
        } else {
            ++it;
        }
    }
}

void FltkWindowSystem::OpenSurface(int window, int, int) {
    surfaceWindow_ = windows_.count(window) != 0 ? window : 0;
}

void FltkWindowSystem::ClearSurface(Rgb colour) {
    auto it = windows_.find(surfaceWindow_);
    if (it == windows_.end()) return;
    // The surface is the window's own background, behind every control.
    it->second->color(fl_rgb_color(static_cast<uchar>(colour.r), static_cast<uchar>(colour.g),
                                   static_cast<uchar>(colour.b)));
    it->second->redraw();
}

// The surface is the window's own background, which FLTK draws behind the
// controls whenever needed: there is nothing to begin or end.
void FltkWindowSystem::BeginDraw() {}

void FltkWindowSystem::EndDraw() {}

void FltkWindowSystem::Present() {
    auto it = windows_.find(surfaceWindow_);
    if (it == windows_.end()) return;
    Fl::flush();
}

void FltkWindowSystem::RemoveControl(int control) {
    auto it = controls_.find(control);
    if (it == controls_.end()) return;
    Fl_Widget* widget = it->second.widget;
    controls_.erase(it);
    if (Fl_Group* parent = widget->parent()) {
        parent->remove(widget);
        // Only the area the control covered is drawn again: a status label
        // placed before every character must not repaint the whole window.
        if (Fl_Window* window = parent->as_window()) {
            window->damage(FL_DAMAGE_EXPOSE, widget->x(), widget->y(), widget->w(), widget->h());
        } else {
            parent->redraw();
        }
    }
    if (Fl::focus() == widget) Fl::focus(nullptr);
    delete widget;
}

void FltkWindowSystem::Place(int window, int control, ControlKind kind, Rect rect,
                             const std::u16string& text) {
    RemoveControl(control);
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    Fl_Window* w = it->second;
    const std::string utf8 = ToUtf8(text);
    Fl_Widget* widget = nullptr;
    switch (kind) {
        case ControlKind::PlainLabel:
        case ControlKind::BorderedLabel: {
            auto* label = new PlainLabel(rect.x, rect.y, rect.w, rect.h,
                                         kind == ControlKind::BorderedLabel);
            label->SetText(utf8.c_str());
            widget = label;
            break;
        }
        case ControlKind::TextField:
        case ControlKind::UpperCaseField: {
            auto* field = new TextField(rect.x, rect.y, rect.w, rect.h,
                                        kind == ControlKind::UpperCaseField);
            field->textsize(DefaultControlFontSize);
            field->SetText(utf8.c_str());
            widget = field;
            break;
        }
        case ControlKind::PushButton: {
            auto* button = new PushButton(rect.x, rect.y, rect.w, rect.h, this, control);
            button->SetText(utf8);
            widget = button;
            break;
        }
    }
    widget->labelfont(FL_HELVETICA);
    widget->labelsize(DefaultControlFontSize);
    widget->labelcolor(FL_BLACK);
    w->add(widget);
    widget->redraw();
    controls_[control] = {widget, window};
}

void FltkWindowSystem::SetFont(int control, int font) {
    auto c = controls_.find(control);
    auto f = fonts_.find(font);
    if (c == controls_.end() || f == fonts_.end()) return;
    c->second.widget->labelfont(static_cast<Fl_Font>(f->second.face));
    c->second.widget->labelsize(f->second.pixelSize);
    c->second.widget->redraw();
}

void FltkWindowSystem::SetTextColor(int control, Rgb colour) {
    auto c = controls_.find(control);
    if (c == controls_.end()) return;
    c->second.widget->labelcolor(fl_rgb_color(static_cast<uchar>(colour.r),
                                              static_cast<uchar>(colour.g),
                                              static_cast<uchar>(colour.b)));
    c->second.widget->redraw();
}

std::u16string FltkWindowSystem::FieldText(int control) {
    auto c = controls_.find(control);
    if (c == controls_.end()) return {};
    auto* field = dynamic_cast<Fl_Input*>(c->second.widget);
    return field != nullptr ? FromUtf8(field->value()) : std::u16string{};
}

WindowEvent FltkWindowSystem::WaitEvent() {
    if (events_.empty()) Fl::wait();
    if (events_.empty()) return {};
    const WindowEvent event = events_.front();
    events_.pop_front();
    return event;
}

bool FltkWindowSystem::TakeEvent() {
    if (events_.empty()) Fl::check();
    if (events_.empty()) return false;
    events_.pop_front();
    return true;
}

void FltkWindowSystem::Flush() { Fl::flush(); }

void FltkWindowSystem::ServiceFor(int maxWaitMs) {
    Fl::wait(maxWaitMs / 1000.0);
    events_.clear();
}

void FltkWindowSystem::DiscardPendingInput() {
    Fl::check();
    events_.clear();
}

void FltkWindowSystem::Shutdown() {
    while (!windows_.empty()) CloseWindow(windows_.begin()->first);
    for (auto& [number, timer] : timers_) {
        Fl::remove_timeout(&FltkWindowSystem::TimerTick, timer);
        delete timer;
    }
    timers_.clear();
    events_.clear();
    if (started_) {
        fl_close_display();
        started_ = false;
    }
}

}  // namespace morvik
