#include <gtest/gtest.h>

#include "app/startup.h"
#include "fakes/fake_platform.h"
#include "morse/sender.h"

namespace morvik {
namespace {

using fake::FakeWorld;
using Lines = std::vector<std::string>;
using Spans = std::vector<std::pair<int64_t, int64_t>>;

class SenderTest : public ::testing::Test {
protected:
    SenderTest() {
        p.RunParameters.ToneHz = 800;
        p.RunParameters.UnitMs = 100;
        p.RunParameters.CarrierMs = 0;
        p.RunParameters.CarrierPauseMs = 1000;
        p.RunParameters.TransmissionPauseMs = 0;
        p.MessageCounter = 3;
    }
    Spans Send(const std::u16string& text) {
        p.RunParameters.MessageText = text;
        SendMorseMessage(p);
        return world.timeline.ToneSpans();
    }

    FakeWorld world;
    Program& p = world.program;
};

TEST_F(SenderTest, KeyingTimesAreOneThreeOneThreeAndSevenUnits) {
    struct Case {
        int64_t unit;
        ElementTimes times;
    };
    const Case cases[] = {
        {100, {100, 300, 100, 300, 700}},
        {0, {0, 0, 0, 0, 0}},
        {-4, {-4, -12, -4, -12, -28}},
        {INT64_MAX / 4, {INT64_MAX / 4, INT64_MAX / 4 * 3, INT64_MAX / 4, INT64_MAX / 4 * 3, INT64_MAX}},
        {INT64_MIN, {INT64_MIN, INT64_MIN, INT64_MIN, INT64_MIN, INT64_MIN}},
    };
    for (const Case& c : cases) {
        const ElementTimes t = KeyingTimesFor(c.unit);
        EXPECT_EQ(t.DotLength, c.times.DotLength) << c.unit;
        EXPECT_EQ(t.DashLength, c.times.DashLength) << c.unit;
        EXPECT_EQ(t.ElementGap, c.times.ElementGap) << c.unit;
        EXPECT_EQ(t.CharacterGap, c.times.CharacterGap) << c.unit;
        EXPECT_EQ(t.WordSpace, c.times.WordSpace) << c.unit;
    }
}

// Four units between characters and eleven between words: this keyer's own
// timing, not the textbook's three and seven.
TEST_F(SenderTest, ElementCharacterAndWordGaps) {
    struct Case {
        std::u16string text;
        Spans tones;
        int64_t end;
    };
    const Case cases[] = {
        {u"ET", {{0, 100}, {500, 800}}, 1200},
        {u"E E", {{0, 100}, {1200, 1300}}, 1700},
        {u"E  E", {{0, 100}, {1900, 2000}}, 2400},
        {u"A", {{0, 100}, {200, 500}}, 900},
        {u"-", {{0, 300}, {400, 500}, {600, 700}, {800, 900}, {1000, 1100}, {1200, 1500}}, 1900},
        {u"*", {{0, 100}, {200, 300}, {400, 500}, {600, 900}, {1000, 1100}, {1200, 1500}}, 1900},
    };
    for (const Case& c : cases) {
        FakeWorld w;
        w.program.RunParameters = p.RunParameters;
        w.program.RunParameters.MessageText = c.text;
        SendMorseMessage(w.program);
        EXPECT_EQ(w.timeline.ToneSpans(), c.tones);
        EXPECT_EQ(w.timeline.now, c.end);
    }
}

TEST_F(SenderTest, LabelsOfAMessage) {
    p.RunParameters.TransmissionPauseMs = 2000;
    Send(u"E!");
    EXPECT_EQ(world.timeline.Lines({"place", "sleep", "present", "take"}),
              (Lines{"0 place 9 label in 7 at 390,490,200,20 \"Meddelande nr 3 sänds ut\"",
                     "0 place 17 label in 7 at 950,30,300,40 \"2025-11-27 15:21:07\"",
                     "0 place 12 bordered in 7 at 320,370,800,20 \" E\"",
                     "0 sleep 100", "100 sleep 100", "200 sleep 300",
                     "500 place 9 label in 7 at 390,490,200,20 \"Meddelande nr 3 sänds ut\"",
                     "500 place 12 bordered in 7 at 320,370,800,20 \" E!\"",
                     "500 place 9 label in 7 at 390,490,200,20 \"\"",
                     "500 place 9 label in 7 at 390,460,200,20 \"Pause mellan utsändningarna\"",
                     "500 sleep 2000",
                     "2500 place 9 label in 7 at 390,460,200,20 \"\"",
                     "2500 present", "2500 take event", "2500 present", "2500 take event"}));
}

TEST_F(SenderTest, CharactersWithoutAnEntryTakeNoTimeButAreShown) {
    const std::u16string text = u"e!()\u00DC\U0001F4FB\u00E5";  // the emoji is two code units
    EXPECT_EQ(Send(text), Spans{});
    EXPECT_EQ(world.timeline.now, 0);
    const Lines shown = world.timeline.Lines({"place 12"});
    ASSERT_EQ(shown.size(), 8u);
    EXPECT_EQ(world.timeline.Lines({"place 9 label in 7 at 390,490"}).size(), 9u);
    EXPECT_NE(shown[4].find(" e!()Ü\""), std::string::npos);
}

TEST_F(SenderTest, CarrierComesFirstAndOnlyWhenLongerThanZero) {
    p.RunParameters.CarrierMs = 2000;
    EXPECT_EQ(Send(u"E"), (Spans{{0, 2000}, {3000, 3100}}));
    for (int64_t carrier : {0, -1}) {
        FakeWorld w;
        w.program.RunParameters = p.RunParameters;
        w.program.RunParameters.CarrierMs = carrier;
        w.program.RunParameters.MessageText = u"E";
        SendMorseMessage(w.program);
        EXPECT_EQ(w.timeline.ToneSpans(), (Spans{{0, 100}}));
        EXPECT_EQ(w.timeline.Lines({"place 10"}), Lines{});
    }
}

TEST_F(SenderTest, EmptyMessageKeysOnlyTheCarrierAndStillPauses) {
    p.RunParameters.CarrierMs = 500;
    p.RunParameters.TransmissionPauseMs = 700;
    EXPECT_EQ(Send(u""), (Spans{{0, 500}}));
    EXPECT_EQ(world.timeline.Lines({"place 12"}), Lines{});
    EXPECT_EQ(world.timeline.Lines({"place 9"}),
              (Lines{"1500 place 9 label in 7 at 390,490,200,20 \"\"",
                     "1500 place 9 label in 7 at 390,460,200,20 \"Pause mellan utsändningarna\"",
                     "2200 place 9 label in 7 at 390,460,200,20 \"\""}));
    EXPECT_EQ(world.timeline.Lines({"present"}).size(), 2u);
}

TEST_F(SenderTest, UnitOfZeroOrLessKeysEveryElementWithoutWaiting) {
    for (int64_t unit : {0, -50}) {
        FakeWorld w;
        w.program.RunParameters = p.RunParameters;
        w.program.RunParameters.UnitMs = unit;
        w.program.RunParameters.TransmissionPauseMs = -1;
        w.program.RunParameters.MessageText = u"SOS SOS";
        SendMorseMessage(w.program);
        EXPECT_EQ(w.timeline.ToneSpans().size(), 18u);
        EXPECT_EQ(w.timeline.now, 0);
        EXPECT_EQ(w.timeline.Lines({"place 9 label in 7 at 390,460"}).size(), 2u);
    }
}

TEST_F(SenderTest, EscapeAtADotAbandonsTheRestOfTheMessage) {
    world.keyboard.escapeAtPoll = {false, true, false};
    p.RunParameters.MessageText = u"EEEE";
    EXPECT_THROW(SendMorseMessage(p), RestartRequest);
    EXPECT_EQ(world.timeline.ToneSpans().size(), 2u);
    EXPECT_EQ(world.timeline.Lines({"place 9 label in 7 at 390,460"}), Lines{});
    EXPECT_FALSE(world.port.isOpen);
}

TEST_F(SenderTest, MessagesOfDashesCannotBeAborted) {
    world.keyboard.escapeAtPoll = {true, false, true, false};
    EXPECT_NO_THROW(Send(u"TMO"));
    EXPECT_EQ(world.keyboard.polls, 0);
}

// A long message is checked on the virtual clock in milliseconds.
TEST_F(SenderTest, TenThousandCharacters) {
    world.window.recordTexts = false;
    p.RunParameters.UnitMs = 47;
    std::u16string text;
    for (int i = 0; i < 2000; ++i) text += u"PARIS";
    const Spans tones = Send(text);
    ASSERT_EQ(tones.size(), 2000u * 14);
    // PARIS is 10 dots and 4 dashes (22 units on), a one-unit gap after each
    // of its 14 elements and three more units after each of its 5
    // characters: 51 units, with no space between repetitions here.
    EXPECT_EQ(world.timeline.now, 2000 * 51 * 47);
    EXPECT_EQ(tones[14].first - tones[13].second, 4 * 47);
}

}  // namespace
}  // namespace morvik
