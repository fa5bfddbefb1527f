#include "ui/status_label.h"

namespace morvik {

void ShowStatus(Program& program, int label, Rect rect, const std::u16string& text,
                ControlKind kind) {
    WindowSystem& w = *program.platform.window;
    w.Place(MainWindow, label, kind, rect, text);
    w.Flush();
}

}  // namespace morvik
