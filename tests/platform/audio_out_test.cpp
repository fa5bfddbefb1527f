// The real sound output, heard through the monitor of the private PulseAudio
// null sink that scripts/with-test-session.sh provides. Tone lengths are
// judged in recorded samples, which are exact, against the time the test
// itself let pass between keying and unkeying.
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "morse/tone_image.h"
#include "support/sound_recording.h"
#include "platform/audio_out_miniaudio.h"
#include "platform/clock_posix.h"

extern char** environ;

namespace morvik {
namespace {

using test::Amplitude;
using test::FindTones;
using test::NowNs;
using test::NsToSamples;
using test::Rate;
using test::Recorder;
using test::SamplesPerMs;
using test::TestSink;
using test::Tone;
using test::WorstSineError;

// Sample-value slack for the float to 16-bit conversion in the server.
constexpr double SampleSlack = 3;
// The recorded on-time is last - first + 1, which misses the leading zero
// and may miss a trailing zero crossing.
constexpr double EdgeSlack = 2;
constexpr double TimingSlack = SamplesPerMs;  // the promise: well under 1 ms

// One recording runs through all of these; each test hears what was
// recorded since it began. Keeping the monitor busy also keeps the null
// sink awake, so each test's fresh output starts at once.
class AudioOutTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (TestSink() == nullptr) return;
        recorder_ = std::make_unique<Recorder>();
        flowing_ = recorder_->WaitFlowing();
    }

    static void TearDownTestSuite() { recorder_.reset(); }

    void SetUp() override {
        if (TestSink() == nullptr) GTEST_SKIP() << "needs the private sound server of with-test-session.sh";
        ASSERT_TRUE(flowing_) << "parecord delivers nothing";
        ASSERT_TRUE(out_.EnsureStarted());
        ASSERT_TRUE(out_.EnsureStarted());
        markSample_ = recorder_->SampleCount();
        markNs_ = NowNs();
    }

    // Everything sounded since the test began, once the recording has
    // caught up with it; tones are heard some tens of milliseconds after
    // they are keyed.
    std::vector<int16_t> Heard() {
        const auto wanted = markSample_ + static_cast<int64_t>(NsToSamples(NowNs() - markNs_)) + 300 * SamplesPerMs;
        for (int i = 0; i < 300 && recorder_->SampleCount() < wanted; ++i) clock_.SleepMs(10);
        return recorder_->SamplesFrom(markSample_);
    }

    struct Element {
        int64_t onMs;
        int64_t gapMs;
    };

    // Keys the elements as the keyer does, and returns for each one the time
    // between its PlayLooped and Stop calls, and between Stop and the next
    // PlayLooped, as the test saw it.
    std::vector<std::pair<int64_t, int64_t>> Key(int64_t hz, const std::vector<Element>& elements) {
        std::vector<std::pair<int64_t, int64_t>> measured;
        int64_t lastStop = 0;
        for (const Element& e : elements) {
            const std::optional<std::vector<uint8_t>> image = BuildToneBuffer(Rate, hz);
            EXPECT_TRUE(image && out_.MakeSound(*image));
            const int64_t playAt = NowNs();
            out_.PlayLooped();
            clock_.SleepMs(e.onMs);
            const int64_t stopAt = NowNs();
            out_.Stop();
            out_.ReleaseSound();
            if (!measured.empty()) measured.back().second = playAt - lastStop;
            measured.emplace_back(stopAt - playAt, 0);
            lastStop = stopAt;
            clock_.SleepMs(e.gapMs);
        }
        return measured;
    }

    static inline std::unique_ptr<Recorder> recorder_;
    static inline bool flowing_ = false;
    MiniaudioOut out_;
    PosixClock clock_;
    int64_t markSample_ = 0;
    int64_t markNs_ = 0;
};

TEST_F(AudioOutTest, ElementsLastExactlyAsLongAsKeyedAndSoundTheSine) {
    // Lengths that are no multiple of the 10 ms device period, so edges
    // rounded to blocks would show.
    const std::vector<Element> elements = {{47, 23}, {23, 23}, {23, 47}, {47, 0}};
    const auto measured = Key(800, elements);
    // Shutting down at once must not cut the last element short.
    out_.Shutdown();
    const std::vector<int16_t> samples = Heard();

    const std::vector<Tone> tones = FindTones(samples);
    ASSERT_EQ(tones.size(), elements.size());
    for (size_t i = 0; i < tones.size(); ++i) {
        SCOPED_TRACE("element " + std::to_string(i) + " of " + std::to_string(elements[i].onMs) + " ms");
        const double keyed = NsToSamples(measured[i].first);
        const double heard = static_cast<double>(tones[i].Length());
        // The tone proper includes its leading zero.
        RecordProperty("on_time_error_samples_" + std::to_string(i), std::to_string(heard + 1 - keyed));
        EXPECT_NEAR(heard, keyed, TimingSlack + EdgeSlack);
        EXPECT_LE(WorstSineError(samples, tones[i], Rate / 800), SampleSlack);
        if (i + 1 < tones.size()) {
            // The silence between tones is exact too: it ends on the zero
            // sample before the next tone's first non-zero one.
            const double gap = static_cast<double>(tones[i + 1].first - 1 - tones[i].last - 1);
            EXPECT_NEAR(gap, NsToSamples(measured[i].second), TimingSlack + EdgeSlack);
        }
    }
}

TEST_F(AudioOutTest, BackToBackAndEmptyElementsFollowTheKeyingWithoutOverlap) {
    // No gaps but the few microseconds the caller takes between elements,
    // and elements with no on-time: each tone must take over where the
    // previous one ended, from its own phase 0, never mixed with it.
    const std::vector<Element> elements = {{11, 0}, {0, 0}, {0, 0}, {17, 0}, {0, 0}, {9, 0}, {0, 0}};
    const auto measured = Key(700, elements);
    const std::vector<int16_t> samples = Heard();

    const std::vector<Tone> tones = FindTones(samples);
    ASSERT_FALSE(tones.empty());
    // The recording should be the keyed schedule, laid from the first
    // tone's phase-0 sample on. Each edge may fall a sample or two either
    // way of where the test's clock puts it; apart from that every sample
    // must match: the sine from phase 0 inside each element, silence
    // elsewhere.
    constexpr int64_t Period = Rate / 700;
    constexpr int64_t EdgeZone = 3;
    struct Span {
        int64_t start, stop;
    };
    std::vector<Span> spans;
    double at = 0;
    for (const auto& [on, gap] : measured) {
        spans.push_back({std::llround(at), std::llround(at + NsToSamples(on))});
        at += NsToSamples(on) + NsToSamples(gap);
    }
    const auto origin = static_cast<int64_t>(tones.front().first) - 1;
    const int64_t end = spans.back().stop + 50 * SamplesPerMs;
    ASSERT_LE(origin + end, static_cast<int64_t>(samples.size()));
    const auto heard = [&](int64_t i) { return static_cast<double>(samples[static_cast<size_t>(origin + i)]); };
    const auto nearEdge = [&](int64_t i) {
        for (const Span& span : spans) {
            if (std::abs(i - span.start) < EdgeZone || std::abs(i - span.stop) < EdgeZone) return true;
        }
        return false;
    };
    for (const Span& span : spans) {
        if (span.stop - span.start <= 2 * EdgeZone) continue;
        double best = 1e9;
        for (int64_t shift = -EdgeZone + 1; shift < EdgeZone; ++shift) {
            double worst = 0;
            for (int64_t i = span.start + EdgeZone; i < span.stop - EdgeZone; ++i) {
                const double phase = 2 * M_PI * static_cast<double>((i - span.start - shift) % Period) / Period;
                worst = std::max(worst, std::abs(heard(i) - Amplitude * std::sin(phase)));
            }
            best = std::min(best, worst);
        }
        EXPECT_LE(best, SampleSlack) << "the element keyed at sample " << span.start;
    }
    for (int64_t i = 0; i < end; ++i) {
        const bool keyed = std::any_of(spans.begin(), spans.end(), [&](const Span& s) { return i >= s.start && i < s.stop; });
        if (!keyed && !nearEdge(i)) {
            ASSERT_EQ(heard(i), 0) << "sample " << i << " between elements";
        }
    }
}

TEST_F(AudioOutTest, BeepReturnsAfterItsToneHasSounded) {
    const int64_t before = NowNs();
    out_.Beep(600, 100);
    const int64_t after = NowNs();
    const std::vector<int16_t> samples = Heard();

    EXPECT_GE(after - before, 100'000'000);
    const std::vector<Tone> tones = FindTones(samples);
    ASSERT_EQ(tones.size(), 1u);
    // A beep's length is fixed in frames, so it is exact.
    EXPECT_NEAR(static_cast<double>(tones[0].Length()), 100 * SamplesPerMs - 1, EdgeSlack);
    EXPECT_LE(WorstSineError(samples, tones[0], Rate / 600), SampleSlack);
}

TEST_F(AudioOutTest, ShutDownOutputIsSilentAndReturnsAtOnce) {
    out_.Shutdown();
    out_.Shutdown();
    const int64_t before = NowNs();
    out_.Beep(600, 2000);
    const std::optional<std::vector<uint8_t>> image = BuildToneBuffer(Rate, 800);
    ASSERT_TRUE(image);
    out_.MakeSound(*image);
    out_.PlayLooped();
    clock_.SleepMs(50);
    out_.Stop();
    EXPECT_LT(NowNs() - before, 1'000'000'000);
    EXPECT_TRUE(FindTones(Heard()).empty());
}

// What became of an output first started with no sound server to reach.
enum FailedStart { Settled, AnotherBackendAnswered, Retried, WaitedWhileSilent };

FailedStart StartWithoutServer(const std::string& server) {
    setenv("PULSE_SERVER", "unix:/nonexistent/morvik-no-server", 1);
    MiniaudioOut out;
    if (out.EnsureStarted()) return AnotherBackendAnswered;
    // The server is reachable again, but the outcome stays what it was.
    setenv("PULSE_SERVER", server.c_str(), 1);
    if (out.EnsureStarted() || out.EnsureStarted()) return Retried;
    const int64_t before = NowNs();
    out.Beep(600, 3000);
    out.PlayLooped();
    out.Stop();
    return NowNs() - before < 1'000'000'000 ? Settled : WaitedWhileSilent;
}

TEST(AudioOutStartTest, FirstOutcomeIsFinalAndAFailedOutputDoesNothing) {
    if (TestSink() == nullptr) GTEST_SKIP() << "needs the private sound server of with-test-session.sh";
    const std::string server = std::getenv("PULSE_SERVER") != nullptr ? std::getenv("PULSE_SERVER") : "";
    // In a child process: miniaudio 0.11's PulseAudio backend leaks its
    // pa_context when it cannot connect, which would fail the leak check of
    // this whole program, and the child may change its environment freely.
    const pid_t child = fork();
    if (child == 0) std::_Exit(StartWithoutServer(server));
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    switch (WEXITSTATUS(status)) {
        case Settled: break;
        case AnotherBackendAnswered: GTEST_SKIP() << "another sound backend answered without the server";
        case Retried: FAIL() << "a later call started the output after the first had failed";
        case WaitedWhileSilent: FAIL() << "the failed output kept the caller waiting";
        default: FAIL() << "the child ended with " << WEXITSTATUS(status);
    }
}

TEST(AudioOutSoundTest, MakesSoundsOnlyFromDecodableImages) {
    MiniaudioOut out;
    const std::vector<uint8_t> noise = {'R', 'I', 'F', 'F', 1, 2, 3, 4, 'W', 'A', 'V', 'E', 9, 9, 9, 9, 9, 9};
    std::vector<uint8_t> garbage(200);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 37 + 11);
    // A well-formed header whose data chunk holds no frames.
    const std::optional<std::vector<uint8_t>> empty = BuildToneBuffer(Rate, 2 * Rate);
    const std::optional<std::vector<uint8_t>> tone = BuildToneBuffer(Rate, 800);
    ASSERT_TRUE(empty && tone);
    const struct {
        const char* name;
        std::vector<uint8_t> image;
        bool decodes;
    } cases[] = {
        {"nothing", {}, false},
        {"truncated RIFF", noise, false},
        {"no RIFF at all", garbage, false},
        {"no frames", *empty, false},
        {"one period", *tone, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(out.MakeSound(c.image), c.decodes) << c.name;
        out.ReleaseSound();
    }
}

}  // namespace
}  // namespace morvik
