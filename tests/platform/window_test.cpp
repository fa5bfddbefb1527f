// The real program in a real window, under the test session's X server.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/x_session.h"

namespace morvik::test {
namespace {

const std::string Executable = MORVIK_EXECUTABLE;
const std::string TitlePrefix = "Morvik version QX7ZZB-052";

// Waits for a pixel to take a colour: the window shows before it is drawn.
bool WaitForPixel(XConnection& x, Window w, int px, int py, unsigned long colour,
                  bool equal = true) {
    for (int i = 0; i < 200; ++i) {
        if ((x.Pixel(w, px, py) == colour) == equal) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
}

constexpr unsigned long ButtonFace = 0xC0C0C0;

// Waits until the last control of the layout, "Avsluta", is drawn.
bool WaitUntilBuilt(XConnection& x, Window w) { return WaitForPixel(x, w, 1080, 642, ButtonFace); }

// The main window once it has been built afresh: "Data är sparad" is gone
// from it. A rebuilt window may or may not get the X id of the old one.
Window WaitForRebuiltWindow(XConnection& x) {
    for (int i = 0; i < 200; ++i) {
        const Window w = x.WaitForWindow(TitlePrefix, 100);
        if (w != 0 && x.Pixel(w, 135, 625) == 0xFFFFFF && x.Pixel(w, 1080, 642) == ButtonFace) {
            return w;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return 0;
}

class RealWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr || x.display() == nullptr) {
            GTEST_SKIP() << "no X display (run inside scripts/with-test-session.sh)";
        }
    }

    // Starts the program and waits for its main window.
    Window Start() {
        program.emplace(Executable, dir.path());
        const Window w = x.WaitForWindow(TitlePrefix, 10000);
        // Keys count from the event loop on, once the window is built.
        if (w != 0 && WaitUntilBuilt(x, w)) {
            // Without a window manager nobody gives the window the focus, and
            // the keyboard counts only while the program is in front.
            XDoTool("windowfocus --sync " + std::to_string(w));
        }
        return w;
    }

    TempDir dir;
    XConnection x;
    std::optional<ChildProcess> program;
};

TEST_F(RealWindow, OpensCentredWithItsTitleAndSizeAndEndsOnEscape) {
    const Window w = Start();
    ASSERT_NE(w, 0u);
    EXPECT_EQ(x.Title(w), TitlePrefix + std::string(90, ' '));
    const auto g = x.GeometryOf(w);
    EXPECT_EQ(g.width, 1280);
    EXPECT_EQ(g.height, 700);
    const int screenW = DisplayWidth(x.display(), DefaultScreen(x.display()));
    const int screenH = DisplayHeight(x.display(), DefaultScreen(x.display()));
    EXPECT_EQ(g.x, (screenW - 1280) / 2);
    EXPECT_EQ(g.y, (screenH - 700) / 2);
    // The drawing surface behind the controls is white.
    EXPECT_TRUE(WaitForPixel(x, w, 5, 5, 0xFFFFFF));
    EXPECT_EQ(x.Pixel(w, 1275, 695), 0xFFFFFFu);

    ASSERT_TRUE(XDoTool("key Escape"));
    EXPECT_EQ(program->WaitForExit(10000), std::optional<int>(0));
}

TEST_F(RealWindow, CloseRequestLeavesTheProgramRunning) {
    const Window w = Start();
    ASSERT_NE(w, 0u);
    x.RequestClose(w);
    ASSERT_TRUE(XDoTool("key alt+F4"));
    EXPECT_FALSE(program->WaitForExit(1000).has_value());
    EXPECT_TRUE(x.Exists(w));
    ASSERT_TRUE(XDoTool("key Escape"));
    EXPECT_EQ(program->WaitForExit(10000), std::optional<int>(0));
}

// Escape counts only while the program has the keyboard.
TEST_F(RealWindow, EscapeElsewhereIsNotSeen) {
    const Window w = Start();
    ASSERT_NE(w, 0u);
    XSetInputFocus(x.display(), PointerRoot, RevertToPointerRoot, CurrentTime);
    XSync(x.display(), False);
    ASSERT_TRUE(XDoTool("key Escape"));
    EXPECT_FALSE(program->WaitForExit(1000).has_value());
    XDoTool("windowfocus --sync " + std::to_string(w));
    ASSERT_TRUE(XDoTool("key Escape"));
    EXPECT_EQ(program->WaitForExit(10000), std::optional<int>(0));
}

// Clicks at a point of a window's client area.
bool Click(Window w, int x, int y) {
    return XDoTool("mousemove --window " + std::to_string(w) + " " + std::to_string(x) + " " +
                   std::to_string(y) + " click 1");
}

// Replaces a field's text as an operator would: click, select all, type.
bool TypeInto(Window w, int x, int y, const std::string& text) {
    return Click(w, x, y) && XDoTool("key ctrl+a") && XDoTool("type --delay 20 '" + text + "'");
}

bool AnyPixelIs(XConnection& x, Window w, int x0, int y0, int width, int height,
                unsigned long colour) {
    for (int yy = y0; yy < y0 + height; ++yy) {
        for (int xx = x0; xx < x0 + width; ++xx) {
            if (x.Pixel(w, xx, yy) == colour) return true;
        }
    }
    return false;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

const std::string DefaultSettings =
    "MV001    800\r\nMV002    50\r\nMV003    73 CUAGN + \r\nMV004    2000\r\n"
    "MV005    2000\r\nMV006    73\r\nMV007    1000\r\nMV008    \r\n"
    "MV009    2025-11-27 15:21\r\nMV010    2025-11-30 09:30\r\n";

TEST_F(RealWindow, FirstStartCreatesTheSettingsAndShowsTheLayout) {
    const Window w = Start();
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(WaitUntilBuilt(x, w));
    EXPECT_EQ(ReadFile(dir.path() + "/morvik.cnf"), DefaultSettings);
    // The heading in its blue, a caption label on the dialog face colour,
    // the white surface where nothing is placed.
    EXPECT_TRUE(AnyPixelIs(x, w, 400, 30, 300, 30, 0x6464FF));
    EXPECT_EQ(x.Pixel(w, 310, 265), 0xF0F0F0u);
    EXPECT_EQ(x.Pixel(w, 260, 625), 0xFFFFFFu);
    ASSERT_TRUE(Click(w, 1080, 650));  // "Avsluta"
    EXPECT_EQ(program->WaitForExit(10000), std::optional<int>(0));
}

TEST_F(RealWindow, TypedValuesAreSavedAndShownAfterTheRebuild) {
    const Window w = Start();
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(TypeInto(w, 345, 290, "700"));               // tone
    ASSERT_TRUE(TypeInto(w, 345, 260, "com3"));              // port, upper-case field
    ASSERT_TRUE(TypeInto(w, 700, 350, "sm5 åäö @&"));        // message, upper-case field
    ASSERT_TRUE(Click(w, 170, 650));                         // "Spara"
    const std::string path = dir.path() + "/morvik.cnf";
    std::string saved;
    for (int i = 0; i < 100 && saved.find("COM3") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        saved = ReadFile(path);
    }
    EXPECT_EQ(saved,
              "MV001    700\r\nMV002    50\r\nMV003    SM5 \xC3\x85\xC3\x84\xC3\x96 @&\r\n"
              "MV004    2000\r\nMV005    2000\r\nMV006    73\r\nMV007    1000\r\n"
              "MV008    COM3\r\nMV009    2025-11-27 15:21\r\nMV010    2025-11-30 09:30\r\n");
    // "Data är sparad" shows while the save beeps for 600 ms; then the
    // window is built afresh, without it, and takes over the keyboard.
    // Escape pressed before that would fall between two polls.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_NE(WaitForRebuiltWindow(x), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(program->Running());
    ASSERT_TRUE(XDoTool("key Escape"));
    EXPECT_EQ(program->WaitForExit(10000), std::optional<int>(0));
}

TEST_F(RealWindow, InformationWindowIgnoresTheMainWindowUntilClosed) {
    const Window w = Start();
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(Click(w, 690, 650));  // "Information"
    Window info = 0;
    for (int i = 0; i < 100 && info == 0; ++i) {
        const Window found = x.WaitForWindow(TitlePrefix, 100);
        if (found != 0 && found != w && x.GeometryOf(found).width == 600) info = found;
        if (info == 0) {
            // The main window is listed first; look among all mapped windows.
            Window root = 0, parent = 0, *children = nullptr;
            unsigned int n = 0;
            XQueryTree(x.display(), DefaultRootWindow(x.display()), &root, &parent, &children, &n);
            for (unsigned int k = 0; k < n; ++k) {
                if (children[k] != w && x.Exists(children[k]) &&
                    x.Title(children[k]).rfind(TitlePrefix, 0) == 0) {
                    info = children[k];
                }
            }
            if (children != nullptr) XFree(children);
        }
    }
    ASSERT_NE(info, 0u);
    const auto g = x.GeometryOf(info);
    EXPECT_EQ(g.width, 600);
    EXPECT_EQ(g.height, 600);

    // "Testa slingan" on the main window starts nothing, then or later: its
    // status label would cover the white surface at (255, 620).
    ASSERT_TRUE(Click(w, 300, 650));
    x.RequestClose(info);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(x.Exists(info));
    EXPECT_EQ(x.Pixel(w, 260, 625), 0xFFFFFFu);

    // The click on the main window brought it to the front; the operator
    // brings the information window back.
    ASSERT_TRUE(XDoTool("windowraise " + std::to_string(info)));
    ASSERT_TRUE(Click(info, 300, 560));  // "Avsluta Info"
    for (int i = 0; i < 100 && x.Exists(info); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_FALSE(x.Exists(info));
    const Window rebuilt = x.WaitForWindow(TitlePrefix, 5000);
    ASSERT_NE(rebuilt, 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(x.Pixel(rebuilt, 260, 625), 0xFFFFFFu);
    EXPECT_TRUE(program->Running());
    XDoTool("windowfocus --sync " + std::to_string(rebuilt));
    ASSERT_TRUE(XDoTool("key Escape"));
    EXPECT_EQ(program->WaitForExit(10000), std::optional<int>(0));
}

TEST(NoDisplay, TheErrorGoesToStandardErrorAndTheExitCodeIsZero) {
    TempDir dir;
    ChildProcess program(Executable, dir.path(), {"DISPLAY=:8765", "WAYLAND_DISPLAY"});
    EXPECT_EQ(program.WaitForExit(10000), std::optional<int>(0));
    EXPECT_NE(program.ErrorOutput().find("Error: InitSprite() command failed."), std::string::npos);
    // Nothing was touched: no settings file.
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "/morvik.cnf"));
}

}  // namespace
}  // namespace morvik::test
