#include <gtest/gtest.h>

#include "app/startup.h"
#include "fakes/fake_platform.h"
#include "morse/keying.h"

namespace morvik {
namespace {

using fake::FakeWorld;
using Lines = std::vector<std::string>;

const std::vector<std::string> Keying = {"tone", "port", "sleep"};

class KeyingTest : public ::testing::Test {
protected:
    KeyingTest() {
        p.RunParameters.ToneHz = 800;
        p.RunParameters.CarrierMs = 2000;
        p.RunParameters.CarrierPauseMs = 1000;
        p.KeyingTimes = {47, 141, 47, 141, 329};
        p.LoadedSettings.Port = u"COM3";
    }
    Lines Keyed() const { return world.timeline.Lines(Keying); }

    FakeWorld world;
    Program& p = world.program;
};

// The tone starts before the port opens and stops before it closes; the
// gap follows with the tone off and the port closed.
TEST_F(KeyingTest, DotAndDashTimelines) {
    KeyDot(p);
    KeyDash(p);
    EXPECT_EQ(Keyed(), (Lines{"0 tone on 800", "0 port open COM3", "0 sleep 47", "47 tone off",
                              "47 port close", "47 sleep 47", "94 tone on 800",
                              "94 port open COM3", "94 sleep 141", "235 tone off",
                              "235 port close", "235 sleep 47"}));
    EXPECT_EQ(world.audio.soundsAlive, 0);
    EXPECT_EQ(world.keyboard.polls, 1);  // only the dot listens for Escape
}

TEST_F(KeyingTest, CarrierShowsItsTextsAroundTheKeying) {
    KeyCarrier(p);
    EXPECT_EQ(world.timeline.Lines({"tone", "port", "sleep", "place"}),
              (Lines{"0 place 10 label in 7 at 390,400,200,20 \"Bärvåg i 2000 millisekunder\"",
                     "0 tone on 800", "0 port open COM3", "0 sleep 2000", "2000 tone off",
                     "2000 port close", "2000 place 10 label in 7 at 390,400,200,20 \"\"",
                     "2000 place 10 label in 7 at 390,430,200,20 \"Paus mellan bärvåg och text\"",
                     "2000 sleep 1000", "3000 place 10 label in 7 at 390,430,200,20 \"\""}));
    EXPECT_EQ(world.keyboard.polls, 0);
}

TEST_F(KeyingTest, LabelsPlacedDuringARunAreFlushedAtOnce) {
    KeyCarrier(p);
    const Lines lines = world.timeline.Lines({"place", "flush"});
    ASSERT_EQ(lines.size() % 2, 0u);
    for (size_t i = 0; i < lines.size(); i += 2) EXPECT_NE(lines[i + 1].find("flush"), std::string::npos);
}

TEST_F(KeyingTest, EscapeReleasedAtADotRestartsBeforeAnythingIsKeyed) {
    world.keyboard.escapeAtPoll = {true, false};
    KeyDot(p);  // sees Escape down: keys as usual
    world.timeline.entries.clear();
    EXPECT_THROW(KeyDot(p), RestartRequest);
    EXPECT_EQ(Keyed(), Lines{});
    EXPECT_EQ(world.timeline.Lines({"end draw"}).size(), 1u);
    EXPECT_FALSE(world.port.isOpen);
}

TEST_F(KeyingTest, EscapePressAndReleaseBetweenPollsGoesUnnoticed) {
    world.keyboard.escapeAtPoll = {false, false};
    EXPECT_NO_THROW(KeyDot(p));
    EXPECT_NO_THROW(KeyDot(p));
}

TEST_F(KeyingTest, DashesAndCarrierNeverPollEscape) {
    world.keyboard.escapeAtPoll = {true, false};
    p.EscapeWasDown = true;
    EXPECT_NO_THROW(KeyDash(p));
    EXPECT_NO_THROW(KeyCarrier(p));
    EXPECT_EQ(world.keyboard.polls, 0);
}

TEST_F(KeyingTest, AudioThatNeverStartedSpendsNoTimeAndKeysNothing) {
    world.audio.startSucceeds = false;
    KeyDot(p);
    KeyDash(p);
    KeyCarrier(p);
    EXPECT_EQ(Keyed(), Lines{});
    EXPECT_EQ(world.audio.startAttempts, 1);  // settled by the first attempt
    // The carrier's text stays; neither the pause text nor the pause follows.
    EXPECT_EQ(world.timeline.Lines({"place"}),
              Lines{"0 place 10 label in 7 at 390,400,200,20 \"Bärvåg i 2000 millisekunder\""});
}

TEST_F(KeyingTest, ASoundThatCannotBeMadeStillSleepsTheClosingPart) {
    world.audio.makeSucceeds = false;
    KeyDot(p);
    KeyCarrier(p);
    EXPECT_EQ(Keyed(), (Lines{"0 sleep 47", "47 sleep 1000"}));
    EXPECT_EQ(world.timeline.Lines({"place"}).size(), 4u);
}

TEST_F(KeyingTest, APortThatDoesNotOpenLeavesTheToneAlone) {
    world.port.openSucceeds = false;
    KeyDash(p);
    EXPECT_EQ(Keyed(), (Lines{"0 tone on 800", "0 port open COM3 failed", "0 sleep 141",
                              "141 tone off", "141 sleep 47"}));
}

TEST_F(KeyingTest, PortNamesThatOpenNothingAndNamesUsedUntrimmed) {
    struct Case {
        std::u16string name;
        std::string opened;  // empty: no open at all
    };
    const Case cases[] = {
        {u"", ""},
        {u" ", ""},
        {u"\t", ""},  // sorts before the space
        {u" COM3", " COM3"},
        {u"COM3 ", "COM3 "},
        {u"/DEV/TTYUSB0", "/DEV/TTYUSB0"},
        {u"KÖK", "KÖK"},
    };
    for (const Case& c : cases) {
        FakeWorld w;
        w.program.RunParameters.ToneHz = 800;
        w.program.KeyingTimes = {10, 30, 10, 30, 70};
        w.program.LoadedSettings.Port = c.name;
        KeyDot(w.program);
        const Lines opens = w.timeline.Lines({"port open"});
        if (c.opened.empty()) {
            EXPECT_EQ(opens, Lines{});
        } else {
            EXPECT_EQ(opens, Lines{"0 port open " + c.opened});
        }
        EXPECT_EQ(w.timeline.Lines({"tone on"}), Lines{"0 tone on 800"});
    }
}

// The operator may key the transmitter without a side-tone: outside
// 1..48000 Hz the element keys and times as usual and sounds nothing.
TEST_F(KeyingTest, FrequenciesWithoutAToneStillKeyAndTime) {
    for (int64_t hz : {INT64_C(0), INT64_C(-5), INT64_C(48001), INT64_MAX, INT64_MIN}) {
        FakeWorld w;
        w.program.RunParameters.ToneHz = hz;
        w.program.KeyingTimes = {47, 141, 47, 141, 329};
        w.program.LoadedSettings.Port = u"COM3";
        KeyDot(w.program);
        EXPECT_EQ(w.timeline.Lines(Keying),
                  (Lines{"0 port open COM3", "0 sleep 47", "47 port close", "47 sleep 47"}))
            << hz;
    }
}

TEST_F(KeyingTest, SilentHighFrequenciesStillPlayTheirImage) {
    p.RunParameters.ToneHz = 20000;
    KeyDot(p);
    EXPECT_EQ(world.timeline.Lines({"tone on"}), Lines{"0 tone on 24000"});
}

TEST_F(KeyingTest, ZeroAndNegativeLengthsDoNotWait) {
    p.KeyingTimes = {0, 0, -5, 0, 0};
    p.RunParameters.CarrierMs = -1;
    p.RunParameters.CarrierPauseMs = INT64_MIN;
    KeyDot(p);
    KeyCarrier(p);
    EXPECT_EQ(world.timeline.Lines({"sleep"}), Lines{});
    EXPECT_EQ(world.timeline.now, 0);
}

TEST_F(KeyingTest, HugeLengthsAreCappedPerSleep) {
    p.KeyingTimes.DashLength = INT64_MAX;
    p.KeyingTimes.ElementGap = int64_t{1} << 40;
    KeyDash(p);
    EXPECT_EQ(world.timeline.Lines({"sleep"}),
              (Lines{"0 sleep 2147483647", "2147483647 sleep 2147483647"}));
}

}  // namespace
}  // namespace morvik
