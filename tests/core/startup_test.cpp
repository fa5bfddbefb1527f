#include <gtest/gtest.h>

#include "app/fonts.h"
#include "app/startup.h"
#include "fakes/fake_platform.h"
#include "fakes/work_dir.h"
#include "ui/main_window.h"

namespace morvik {
namespace {

using fake::FakeWorld;
using fake::ScriptEnded;
using Lines = std::vector<std::string>;

WindowEvent Tick() { return {EventKind::Timer, 0}; }

TEST(StartUp, FailedSurfaceShowsErrorAndEndsWithCodeZero) {
    fake::ScopedWorkDir dir;
    FakeWorld w;
    w.window.surfaceStarts = false;
    EXPECT_EQ(StartUp(w.program), 0);
    EXPECT_EQ(w.timeline.Lines({"box", "open window", "font "}),
              Lines{"0 box Error: InitSprite() command failed."});
    // Everything is released on the way out.
    EXPECT_EQ(w.timeline.Lines({"audio shutdown", "window shutdown"}),
              (Lines{"0 audio shutdown", "0 window shutdown"}));
}

TEST(StartUp, FailedKeyboardShowsErrorAndEndsWithCodeZero) {
    fake::ScopedWorkDir dir;
    FakeWorld w;
    w.keyboard.startSucceeds = false;
    EXPECT_EQ(StartUp(w.program), 0);
    EXPECT_EQ(w.timeline.Lines({"box", "open window", "font "}),
              Lines{"0 box Error: InitKeyboard() command failed."});
}

TEST(StartUp, FontsFollowTheDisplayResolution) {
    struct Case {
        double dpi;
        Lines fonts;
    };
    const Case cases[] = {
        {96, {"0 font 0 Verdana 9", "0 font 1 Verdana 13 bold", "0 font 2 Verdana 16 bold",
              "0 font 3 Verdana 19 bold", "0 font 4 Verdana 21 bold"}},
        {0, {"0 font 0 Verdana 9", "0 font 1 Verdana 13 bold", "0 font 2 Verdana 16 bold",
             "0 font 3 Verdana 19 bold", "0 font 4 Verdana 21 bold"}},  // unknown: 96
        {120, {"0 font 0 Verdana 12", "0 font 1 Verdana 17 bold", "0 font 2 Verdana 20 bold",
               "0 font 3 Verdana 23 bold", "0 font 4 Verdana 27 bold"}},
    };
    for (const Case& c : cases) {
        FakeWorld w;
        w.window.dpi = c.dpi;
        CreateFonts(w.program);
        EXPECT_EQ(w.timeline.Lines({"font "}), c.fonts) << c.dpi;
    }
}

TEST(StartUp, BuildsTheMainWindowAndEndsOnEscapeReleased) {
    fake::ScopedWorkDir dir;
    FakeWorld w;
    w.window.script = {Tick, Tick, Tick};
    w.keyboard.escapeAtPoll = {false, true, false};
    EXPECT_EQ(StartUp(w.program), 0);
    const Lines build = w.timeline.Lines({"open window", "timer", "surface", "clear", "begin"});
    EXPECT_EQ(build, (Lines{"0 open window 7 1280x700 \"Morvik version QX7ZZB-052" +
                                std::string(90, ' ') + "\"",
                            "0 timer 123 on 7 every 250", "0 surface on 7 1280x700",
                            "0 clear 255,255,255", "0 begin draw"}));
    EXPECT_EQ(w.keyboard.polls, 3);
    EXPECT_EQ(w.timeline.entries.back().what, "window shutdown");
}

TEST(StartUp, CloseRequestsAreIgnored) {
    fake::ScopedWorkDir dir;
    FakeWorld w;
    w.window.script = {[] { return WindowEvent{EventKind::CloseRequest, 0}; },
                       [] { return WindowEvent{EventKind::CloseRequest, 0}; }};
    EXPECT_THROW(StartUp(w.program), ScriptEnded);
    EXPECT_EQ(w.timeline.Lines({"window shutdown"}), Lines{});
}

// Each restart unwinds to the top before the main window is built again, so
// the event loop always waits at the same depth, and only one window exists.
TEST(StartUp, RestartsDoNotNest) {
    fake::ScopedWorkDir dir;
    FakeWorld w;
    Program& p = w.program;
    for (int i = 0; i < 100; ++i) {
        w.window.script.push_back([&p]() -> WindowEvent { Restart(p); });
    }
    w.window.script.push_back(Tick);
    w.keyboard.escapeAtPoll = {true, false};
    w.window.script.push_back(Tick);
    EXPECT_EQ(StartUp(p), 0);
    ASSERT_EQ(w.window.waitStackMarks.size(), 102u);
    for (uintptr_t mark : w.window.waitStackMarks) EXPECT_EQ(mark, w.window.waitStackMarks[0]);
    EXPECT_EQ(w.timeline.Lines({"open window"}).size(), 101u);
    // Program-wide values are kept across restarts.
    EXPECT_EQ(w.timeline.Lines({"end draw"}).size(), 100u);
}

TEST(StartUp, ProgramWideValuesSurviveARestart) {
    fake::ScopedWorkDir dir;
    FakeWorld w;
    Program& p = w.program;
    w.window.script = {[&p]() -> WindowEvent {
                           p.MessageCounter = 4;
                           p.SentCountText = u" 3";
                           Restart(p);
                       },
                       Tick, Tick};
    w.keyboard.escapeAtPoll = {true, false};
    EXPECT_EQ(StartUp(p), 0);
    EXPECT_EQ(p.MessageCounter, 4);
    EXPECT_EQ(p.SentCountText, u" 3");
}

}  // namespace
}  // namespace morvik
