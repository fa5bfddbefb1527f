// The real program in a real window, under the test session's X server.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "support/morvik_window.h"

namespace morvik::test {
namespace {

const std::string Executable = MORVIK_EXECUTABLE;

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class RealWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr || x.display() == nullptr) {
            GTEST_SKIP() << "no X display (run inside scripts/with-test-session.sh)";
        }
    }

    // Starts the program in a fresh folder; its window is built and in front.
    Window Start(const std::string& settings = {}) {
        morvik.emplace(Executable, x, settings);
        return morvik->window();
    }
    ChildProcess& Program() { return morvik->process(); }
    bool EndsWithCodeZero() { return Program().WaitForExit(10000) == std::optional<int>(0); }

    XConnection x;
    std::optional<RunningMorvik> morvik;
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
    EXPECT_EQ(x.Pixel(w, 5, 5), White);
    EXPECT_EQ(x.Pixel(w, 1275, 695), White);

    ASSERT_TRUE(XDoTool("key Escape"));
    EXPECT_TRUE(EndsWithCodeZero());
}

TEST_F(RealWindow, CloseRequestLeavesTheProgramRunning) {
    const Window w = Start();
    ASSERT_NE(w, 0u);
    x.RequestClose(w);
    ASSERT_TRUE(XDoTool("key alt+F4"));
    EXPECT_FALSE(Program().WaitForExit(1000).has_value());
    EXPECT_TRUE(x.Exists(w));
    ASSERT_TRUE(XDoTool("key Escape"));
    EXPECT_TRUE(EndsWithCodeZero());
}

// Escape counts only while the program has the keyboard.
TEST_F(RealWindow, EscapeElsewhereIsNotSeen) {
    const Window w = Start();
    ASSERT_NE(w, 0u);
    XSetInputFocus(x.display(), PointerRoot, RevertToPointerRoot, CurrentTime);
    XSync(x.display(), False);
    ASSERT_TRUE(XDoTool("key Escape"));
    EXPECT_FALSE(Program().WaitForExit(1000).has_value());
    morvik->Refocus(w);
    ASSERT_TRUE(XDoTool("key Escape"));
    EXPECT_TRUE(EndsWithCodeZero());
}

TEST_F(RealWindow, FirstStartCreatesTheSettingsAndShowsTheLayout) {
    const Window w = Start();
    ASSERT_NE(w, 0u);
    EXPECT_EQ(ReadFile(morvik->folder() + "/morvik.cnf"), SettingsFile());
    // The heading in its blue, a caption label on the dialog face colour,
    // the white surface where nothing is placed.
    EXPECT_TRUE(AnyPixelIs(x, w, 400, 30, 300, 30, 0x6464FF));
    EXPECT_EQ(x.Pixel(w, 310, 265), 0xF0F0F0u);
    EXPECT_EQ(x.Pixel(w, 260, 625), White);
    ASSERT_TRUE(Click(w, QuitSpot));
    EXPECT_TRUE(EndsWithCodeZero());
}

TEST_F(RealWindow, TypedValuesAreSavedAndShownAfterTheRebuild) {
    const Window w = Start();
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(TypeInto(w, ToneSpot, "700"));
    ASSERT_TRUE(TypeInto(w, PortSpot, "com3"));          // upper-case field
    ASSERT_TRUE(TypeInto(w, TextSpot, "sm5 åäö @&"));    // upper-case field
    ASSERT_TRUE(Click(w, SaveSpot));
    const std::string path = morvik->folder() + "/morvik.cnf";
    std::string saved;
    for (int i = 0; i < 100 && saved.find("COM3") == std::string::npos; ++i) {
        Pause(50);
        saved = ReadFile(path);
    }
    EXPECT_EQ(saved, SettingsFile({{"MV001", "700"},
                                   {"MV003", "SM5 \xC3\x85\xC3\x84\xC3\x96 @&"},
                                   {"MV008", "COM3"}}));
    // "Data är sparad" shows while the save beeps for 600 ms; then the
    // window is built afresh, without it, and takes over the keyboard.
    // Escape pressed before that would fall between two polls.
    Pause(100);
    EXPECT_NE(WaitForRebuiltWindow(x), 0u);
    Pause(200);
    EXPECT_TRUE(Program().Running());
    ASSERT_TRUE(XDoTool("key Escape"));
    EXPECT_TRUE(EndsWithCodeZero());
}

TEST_F(RealWindow, InformationWindowIgnoresTheMainWindowUntilClosed) {
    const Window w = Start();
    ASSERT_NE(w, 0u);
    ASSERT_TRUE(Click(w, InfoSpot));
    const Window info = FindInformationWindow(x);
    ASSERT_NE(info, 0u);
    EXPECT_EQ(x.GeometryOf(info).height, 600);

    // "Testa slingan" on the main window starts nothing, then or later: its
    // status label would cover the white surface at (255, 620).
    ASSERT_TRUE(Click(w, TestSpot));
    x.RequestClose(info);
    Pause(500);
    EXPECT_TRUE(x.Exists(info));
    EXPECT_EQ(x.Pixel(w, 260, 625), White);

    // The click on the main window brought it to the front; the operator
    // brings the information window back.
    ASSERT_TRUE(XDoTool("windowraise " + std::to_string(info)));
    ASSERT_TRUE(Click(info, {300, 560}));  // "Avsluta Info"
    for (int i = 0; i < 100 && x.Exists(info); ++i) Pause(20);
    EXPECT_FALSE(x.Exists(info));
    const Window rebuilt = x.WaitForWindow(TitlePrefix, 5000);
    ASSERT_NE(rebuilt, 0u);
    ASSERT_TRUE(WaitUntilBuilt(x, rebuilt));
    Pause(500);
    EXPECT_EQ(x.Pixel(rebuilt, 260, 625), White);
    EXPECT_TRUE(Program().Running());
    morvik->Refocus(rebuilt);
    ASSERT_TRUE(XDoTool("key Escape"));
    EXPECT_TRUE(EndsWithCodeZero());
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
