#include <gtest/gtest.h>

#include <sys/stat.h>

#include "app/startup.h"
#include "fakes/fake_platform.h"
#include "fakes/work_dir.h"
#include "platform/text_encoding.h"
#include "ui/controls.h"
#include "ui/field_number.h"

namespace morvik {
namespace {

using fake::FakeWorld;
using fake::ScriptEnded;
using Lines = std::vector<std::string>;
using Step = std::function<WindowEvent()>;

TEST(FieldNumber, LeadingDecimalNumberInSinglePrecisionRoundedHalfToEven) {
    struct Case {
        std::u16string text;
        int64_t number;
    };
    const Case cases[] = {
        {u"50", 50},         {u"  7", 7},          {u"12abc", 12},
        {u"1,5", 1},         {u"2.5", 2},          {u"3.5", 4},
        {u"1e3", 1000},      {u"-3", -3},          {u"abc", 0},
        {u"", 0},            {u"\t\n 8", 8},       {u"+5", 5},
        {u"0.5", 0},         {u"1.5", 2},          {u"-2.5", -2},
        {u".75", 1},         {u"5.", 5},           {u".", 0},
        {u"-", 0},           {u"1e", 1},           {u"2e+", 2},
        {u"1E2x", 100},      {u"16777217", 16777216},  // single precision
        {u"inf", 0},         {u"-infinity", 0},    {u"nan", 0},
        {u"0x1A", 0},        {u"12x5", 12},        {u"1e400", INT64_MAX},
        {u"-1e30", INT64_MIN}, {u"9223372036854775807", INT64_MAX},
        {u"1e-50", 0},       {u"\u0661\u0662", 0},  // only ASCII digits count
        {u"\u00A07", 0},     // a no-break space is not white space here
    };
    for (const Case& c : cases) EXPECT_EQ(FieldNumber(c.text), c.number);
}

// Runs the real start-up on the fake world in a fresh folder, with the
// settings file made there; the script of window events drives it.
class Commands : public ::testing::Test {
protected:
    Commands() {
        world.clock.start = {2025, 11, 30, 9, 0, 0};
        dir.Write("morvik.cnf", FileWith({}));
    }

    // The settings file with some values replaced.
    static std::string FileWith(std::map<std::string, std::string> values) {
        std::map<std::string, std::string> v = {
            {"MV001", "800"},  {"MV002", "10"},   {"MV003", "E"},     {"MV004", "0"},
            {"MV005", "100"},  {"MV006", "3"},    {"MV007", "0"},     {"MV008", "COM3"},
            {"MV009", "2025-11-30 09:00"}, {"MV010", "2025-11-30 09:00"}};
        for (auto& [k, value] : values) v[k] = value;
        std::string out;
        for (auto& [k, value] : v) out += k + "    " + value + "\r\n";
        return out;
    }

    Step Press(int control) {
        return [control] { return WindowEvent{EventKind::Control, control}; };
    }
    Step Type(int control, std::u16string text) {
        return [this, control, text] {
            world.window.Type(control, text);
            return WindowEvent{EventKind::Other, 0};
        };
    }
    static WindowEvent Tick() { return {EventKind::Timer, 0}; }

    // Runs until the script ends; true when the program shut down by itself.
    bool Run(std::vector<Step> steps) {
        for (auto& s : steps) world.window.script.push_back(std::move(s));
        try {
            StartUp(p);
            return true;
        } catch (const ScriptEnded&) {
            return false;
        }
    }
    Lines Placed(const std::string& prefix) const { return world.timeline.Lines({"place " + prefix}); }
    size_t Messages() const { return world.timeline.Lines({"place 9 label in 7 at 390,460,200,20 \"Pause"}).size(); }

    fake::ScopedWorkDir dir;
    FakeWorld world;
    Program& p = world.program;
};

TEST_F(Commands, CountedRunOfThree) {
    EXPECT_FALSE(Run({Press(RunCountButton)}));
    EXPECT_EQ(Placed("16"), (Lines{"0 place 16 label in 7 at 385,620,200,20 \"Nu körs n antal TX\"",
                                   "450 place 16 label in 7 at 385,680,200,20 \" \""}));
    // Each message shows its own number while it is sent, and the count after it.
    EXPECT_EQ(world.timeline.Lines({"place 9 label in 7 at 390,490,200,20 \"M", "place 20"}),
              (Lines{"0 place 20 bordered in 7 at 320,520,50,20 \"\"",
                     "0 place 9 label in 7 at 390,490,200,20 \"Meddelande nr 1 sänds ut\"",
                     "150 place 20 bordered in 7 at 320,520,50,20 \" 1\"",
                     "150 place 9 label in 7 at 390,490,200,20 \"Meddelande nr 2 sänds ut\"",
                     "300 place 20 bordered in 7 at 320,520,50,20 \" 2\"",
                     "300 place 9 label in 7 at 390,490,200,20 \"Meddelande nr 3 sänds ut\"",
                     "450 place 20 bordered in 7 at 320,520,50,20 \" 3\""}));
    EXPECT_EQ(Placed("9 label in 7 at 390,520"), Lines{"450 place 9 label in 7 at 390,520,200,20 \"Klart\""});
    EXPECT_EQ(p.MessageCounter, 4);
    EXPECT_EQ(p.SentCountText, u" 3");
    EXPECT_EQ(world.timeline.Lines({"port open"}).size(), 3u);
    // Every message but the test run's is preceded by one PresentSurface.
    EXPECT_EQ(world.timeline.Lines({"present"}).size(), 9u);
}

TEST_F(Commands, CountTexts) {
    struct Case {
        std::u16string count;
        size_t messages;
    };
    for (const Case& c : {Case{u"2.5", 2}, Case{u"3.5", 4}, Case{u"abc", 0}, Case{u"", 0},
                          Case{u"-3", 0}}) {
        fake::ScopedWorkDir d;
        d.Write("morvik.cnf", FileWith({}));
        FakeWorld w;
        w.window.script = {[&w, &c] {
            w.window.Type(CountField, c.count);
            return WindowEvent{EventKind::Control, RunCountButton};
        }};
        EXPECT_THROW(StartUp(w.program), ScriptEnded);
        EXPECT_EQ(w.timeline.Lines({"place 9 label in 7 at 390,460,200,20 \"Pause"}).size(), c.messages);
        EXPECT_EQ(w.timeline.Lines({"place 9 label in 7 at 390,520,200,20 \"Klart\""}).size(), 1u);
        if (c.messages == 0) {
            EXPECT_EQ(w.timeline.Lines({"place 20"}).size(), 1u);  // only the build's
        }
    }
}

TEST_F(Commands, TestRunSendsOnceWhateverTheCount) {
    p.SentCountText = u" 7";
    EXPECT_FALSE(Run({Type(CountField, u"0"), Press(TestButton)}));
    EXPECT_EQ(Messages(), 1u);
    EXPECT_EQ(Placed("20"), Lines{"0 place 20 bordered in 7 at 320,520,50,20 \" 7\""});
    EXPECT_EQ(p.MessageCounter, 1);
    // "Klart" comes after the pause between transmissions.
    EXPECT_EQ(world.timeline.Lines({"sleep 100", "place 9 label in 7 at 390,520", "place 15"}),
              (Lines{"0 place 15 label in 7 at 255,620,200,20 \"Testkörning pågår\"",
                     "50 sleep 100", "150 place 9 label in 7 at 390,520,200,20 \"Klart\"",
                     "150 place 15 label in 7 at 255,680,200,20 \" \""}));
    // Nothing pressed during the run is carried out after it.
    EXPECT_EQ(world.timeline.Lines({"discard input"}), Lines{"150 discard input"});
}

TEST_F(Commands, UnsavedPortAndTimesAreNotUsed) {
    dir.Write("morvik.cnf", FileWith({{"MV009", "2025-11-30 09:01"}}));
    EXPECT_FALSE(Run({Type(PortField, u"COM9"), Type(StartField, u"2025-11-30 09:00"),
                      Press(RunTimedButton)}));
    EXPECT_EQ(world.timeline.Lines({"port open"}).front(), "60000 port open COM3");
}

TEST_F(Commands, TimedRunWhoseStartHasPassedAndStopIsNotLaterSendsOne) {
    EXPECT_FALSE(Run({Press(RunTimedButton)}));
    EXPECT_EQ(world.timeline.Lines({"beep"}), Lines{"0 beep 800 500"});
    EXPECT_EQ(Placed("9 label in 7 at 515"),
              (Lines{"500 place 9 label in 7 at 515,620,200,20 \"Inväntar starttid\"",
                     "500 place 9 label in 7 at 515,680,200,20 \"" + std::string(17, ' ') + "\""}));
    EXPECT_EQ(Messages(), 1u);
    EXPECT_EQ(Placed("20 bordered in 7 at 320,520,50,20 \" "), Lines{"650 place 20 bordered in 7 at 320,520,50,20 \" 1\""});
    EXPECT_EQ(Placed("9 label in 7 at 390,520"), Lines{"650 place 9 label in 7 at 390,520,200,20 \"Klart\""});
    EXPECT_EQ(world.window.servicePasses, 0);
}

TEST_F(Commands, TimedRunStopComparisons) {
    struct Case {
        std::string start, stop;
        LocalTime now;
        std::u16string text;
        size_t messages;
    };
    const Case cases[] = {
        // Begun at 09:29:59, so another follows, begun at 09:30, and is the last.
        {"2025-11-30 09:00", "2025-11-30 09:30", {2025, 11, 30, 9, 29, 58}, u"TTT", 2},
        // 28 messages begin within 09:00 (2.2 s each), the 29th at 09:01.
        {"2025-11-30 09:00", "2025-11-30 09:01", {2025, 11, 30, 9, 0, 0}, u"TTT", 29},
        {"", "", {2025, 11, 30, 9, 0, 0}, u"E", 1},  // empty times: at once, one message
        {"2025-11-30 09:00", "2025-11-30 08:00", {2025, 11, 30, 9, 0, 0}, u"E", 1},
    };
    for (const Case& c : cases) {
        fake::ScopedWorkDir d;
        // TTT at 100 ms a unit and a 100 ms pause: 2.2 s a message.
        d.Write("morvik.cnf", FileWith({{"MV009", c.start}, {"MV010", c.stop}, {"MV002", "100"}}));
        FakeWorld w;
        w.clock.start = c.now;
        w.window.script = {[&w, &c] {
            w.window.Type(TextField, c.text);
            return WindowEvent{EventKind::Control, RunTimedButton};
        }};
        EXPECT_THROW(StartUp(w.program), ScriptEnded);
        EXPECT_EQ(w.timeline.Lines({"place 9 label in 7 at 390,460,200,20 \"Pause"}).size(), c.messages)
            << c.stop;
        EXPECT_EQ(w.program.SentCountText, u" " + DecimalText(static_cast<int64_t>(c.messages)));
    }
}

// Times compare by their characters: 9:30 without its leading zero is later
// than every minute of that day.
TEST_F(Commands, StartTimeWithoutLeadingZeroIsReachedAtMidnight) {
    dir.Write("morvik.cnf", FileWith({{"MV009", "2025-11-30 9:30"}}));
    world.clock.start = {2025, 11, 30, 23, 58, 30};
    EXPECT_FALSE(Run({Press(RunTimedButton)}));
    // 90 s less the 500 ms beep, waited out in passes of 20 ms.
    EXPECT_EQ(world.timeline.Lines({"port open"}).front(), "90000 port open COM3");
    EXPECT_EQ(world.window.servicePasses, 89500 / 20);
}

TEST_F(Commands, EscapeInTheStartWaitRestartsWithNothingSent) {
    dir.Write("morvik.cnf", FileWith({{"MV009", "2025-11-30 10:00"}}));
    world.keyboard.escapeAt = [](int64_t now) { return now >= 1000 && now < 2000; };
    EXPECT_FALSE(Run({Press(RunTimedButton)}));
    EXPECT_EQ(world.timeline.Lines({"port open", "tone"}), Lines{});
    EXPECT_EQ(world.timeline.Lines({"open window 7"}).size(), 2u);
    EXPECT_EQ(world.timeline.Lines({"open window 7"}).back().substr(0, 5), "2000 ");
}

TEST_F(Commands, EscapeAtADotAbandonsTheRunWithoutKlart) {
    dir.Write("morvik.cnf", FileWith({{"MV003", "EEEEEEEEEE"}}));
    // Each E takes 250 ms: down at the second dot's poll, up at the third's.
    world.keyboard.escapeAt = [](int64_t now) { return now >= 200 && now < 300; };
    EXPECT_FALSE(Run({Type(UnitField, u"50"), Press(RunCountButton)}));
    EXPECT_EQ(world.timeline.ToneSpans().size(), 2u);
    EXPECT_EQ(Placed("9 label in 7 at 390,520"), Lines{});
    EXPECT_FALSE(world.port.isOpen);
    // The rebuilt window shows the file's values, not the edited unit.
    EXPECT_EQ(Placed("28").back().substr(Placed("28").back().rfind(' ')), " \"10\"");
}

TEST_F(Commands, MessagesWithoutDotsCannotBeAborted) {
    dir.Write("morvik.cnf", FileWith({{"MV003", "TMO"}}));
    world.keyboard.escapeAtPoll = {false, true, false};
    EXPECT_FALSE(Run({Press(RunCountButton), Tick}));
    EXPECT_EQ(Messages(), 3u);
}

// The keyboard's state is shared by every poll: Escape seen down by the
// run's last dot and released after it ends is a release at the idle loop.
TEST_F(Commands, EscapeHeldAcrossTheEndOfARunEndsTheProgram) {
    // Polls: two idle passes, the two dots, the idle pass after the run.
    world.keyboard.escapeAtPoll = {false, false, false, true, false};
    EXPECT_TRUE(Run({Type(CountField, u"2"), Press(RunCountButton), Tick}));
    EXPECT_EQ(Messages(), 2u);
    EXPECT_EQ(world.timeline.entries.back().what, "window shutdown");
}

TEST_F(Commands, EscapeInTheIdleLoopWinsOverAButtonInTheSamePass) {
    world.keyboard.escapeAtPoll = {false, true, false};
    EXPECT_TRUE(Run({Tick, Tick, Press(TestButton)}));
    EXPECT_EQ(Messages(), 0u);
}

TEST_F(Commands, QuitClosesTheWindowAndEnds) {
    EXPECT_TRUE(Run({Press(QuitButton)}));
    EXPECT_EQ(world.timeline.Lines({"close window", "audio shutdown", "window shutdown"}),
              (Lines{"0 close window 7", "0 audio shutdown", "0 window shutdown"}));
}

TEST_F(Commands, SaveWritesTheFieldsBeepsAndRebuildsFromTheFile) {
    p.SentCountText = u" 3";
    EXPECT_FALSE(Run({Type(ToneField, u" 700 "), Type(PortField, u"COM4"), Press(SaveButton)}));
    EXPECT_EQ(dir.Read("morvik.cnf"),
              "MV001     700 \r\nMV002    10\r\nMV003    E\r\nMV004    0\r\nMV005    100\r\n"
              "MV006    3\r\nMV007    0\r\nMV008    COM4\r\nMV009    2025-11-30 09:00\r\n"
              "MV010    2025-11-30 09:00\r\n");
    EXPECT_EQ(world.timeline.Lines({"beep", "place 13", "open window"}),
              (Lines{"0 open window 7 1280x700 \"Morvik version QX7ZZB-052" + std::string(90, ' ') + "\"",
                     "0 place 13 label in 7 at 130,620,200,20 \"Data är sparad\"",
                     "0 beep 800 300", "300 beep 600 300",
                     "600 place 13 label in 7 at 125,680,200,20 \" \"",
                     "600 open window 7 1280x700 \"Morvik version QX7ZZB-052" + std::string(90, ' ') + "\""}));
    EXPECT_EQ(Placed("26").back(), "600 place 26 field in 7 at 320,280,50,20 \" 700 \"");
    EXPECT_EQ(Placed("20").back(), "600 place 20 bordered in 7 at 320,520,50,20 \" 3\"");
}

TEST_F(Commands, AFailedSaveIsReportedAndChangesNothing) {
    const std::string before = dir.Read("morvik.cnf");
    chmod((dir.path() / "morvik.cnf").c_str(), 0444);
    EXPECT_FALSE(Run({Type(ToneField, u"700"), Press(SaveButton)}));
    EXPECT_EQ(dir.Read("morvik.cnf"), before);
    EXPECT_EQ(world.timeline.Lines({"box", "beep", "place 13", "open window"}),
              (Lines{"0 open window 7 1280x700 \"Morvik version QX7ZZB-052" + std::string(90, ' ') + "\"",
                     "0 box Information: Couldn't save the file"}));
    EXPECT_EQ(world.window.FieldText(ToneField), u"700");
    EXPECT_EQ(p.LoadedSettings.Tone, u"800");
}

TEST_F(Commands, InformationWindowDropsMainWindowPressesAndRebuilds) {
    p.SentCountText = u" 3";
    EXPECT_FALSE(Run({Type(ToneField, u"700"), Press(InfoButton), Press(TestButton),
                      Press(RunCountButton), Press(QuitButton),
                      [] { return WindowEvent{EventKind::CloseRequest, 0}; }, Press(InfoCloseButton)}));
    EXPECT_EQ(world.timeline.Lines({"tone", "close window"}), Lines{"0 close window 52"});
    Lines info;
    for (const std::string& line : world.timeline.Lines({"open window 52", "place"})) {
        if (line.find(" 52") != std::string::npos) info.push_back(line);
    }
    ASSERT_EQ(info.size(), 14u);
    EXPECT_EQ(info[3], "0 place 55 label in 52 at 40,100,550,20 \"A .-   B -...   C -.-.   D -..   E .     "
                       "F ..-.   G --.   H ....   I ..   J .---   K -.-   L .-..   M --   N -.   O ---   P .--.\"");
    EXPECT_EQ(info[13], "0 place 65 button in 52 at 250,550,100,20 \"Avsluta Info\"");
    // The rebuilt window shows the file's values and the kept sent count.
    EXPECT_EQ(world.timeline.Lines({"open window 7"}).size(), 2u);
    EXPECT_EQ(Placed("26").back(), "0 place 26 field in 7 at 320,280,50,20 \"800\"");
    EXPECT_EQ(Placed("20").back(), "0 place 20 bordered in 7 at 320,520,50,20 \" 3\"");
}

TEST_F(Commands, ClockIsPlacedWhenTheSecondChanges) {
    world.window.script = {Tick, Tick, [this] { world.timeline.now += 1000; return Tick(); }, Tick};
    EXPECT_FALSE(Run({}));
    EXPECT_EQ(Placed("17"), (Lines{"0 place 17 label in 7 at 950,30,300,40 \"2025-11-30 09:00:00\"",
                                   "1000 place 17 label in 7 at 950,30,300,40 \"2025-11-30 09:00:01\""}));
    EXPECT_EQ(world.timeline.Lines({"font of 17", "colour of 17"}).size(), 4u);
}

}  // namespace
}  // namespace morvik
