// The real program in a real window, under the test session's X server.
#include <gtest/gtest.h>

#include <filesystem>

#include "x_session.h"

namespace morvik::test {
namespace {

const std::string Executable = MORVIK_EXECUTABLE;
const std::string TitlePrefix = "Morvik version QX7ZZB-052";

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
        if (w != 0) {
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
    EXPECT_EQ(x.Pixel(w, 5, 5), 0xFFFFFFu);
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
