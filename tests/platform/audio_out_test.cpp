// The real sound output, heard through the monitor of the private PulseAudio
// null sink that scripts/with-test-session.sh provides. Tone lengths are
// judged in recorded samples, which are exact, against the time the test
// itself let pass between keying and unkeying.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "morse/tone_image.h"
#include "platform/audio_out_miniaudio.h"
#include "platform/clock_posix.h"

extern char** environ;

namespace morvik {
namespace {

constexpr int64_t Rate = 48000;
constexpr int64_t SamplesPerMs = Rate / 1000;
// The sine of every tone, as it reaches a 16-bit recording.
constexpr double Amplitude = 0.8 * 32767.0;

int64_t NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

double NsToSamples(int64_t ns) { return static_cast<double>(ns) * Rate / 1e9; }

const char* TestSink() { return std::getenv("MORVIK_TEST_SINK"); }

// parecord on the null sink's monitor, writing raw mono 16-bit samples.
class Recorder {
public:
    Recorder() {
        char pattern[] = "/tmp/morvik-audio-XXXXXX";
        const int fd = mkstemp(pattern);
        if (fd >= 0) close(fd);
        path_ = pattern;
        const std::string device = std::string(TestSink()) + ".monitor";
        std::vector<std::string> args = {"parecord", "--raw",          "--format=s16le", "--rate=48000",
                                         "--channels=1", "--latency-msec=10", "-d", device, path_};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&pid_, "parecord", nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
    }

    ~Recorder() {
        Finish();
        std::remove(path_.c_str());
    }

    // Waits until samples arrive, so that nothing played afterwards is lost.
    bool WaitRunning() {
        PosixClock clock;
        for (int i = 0; i < 300 && pid_ > 0; ++i) {
            struct stat st {};
            if (stat(path_.c_str(), &st) == 0 && st.st_size >= 2 * 100 * SamplesPerMs) return true;
            clock.SleepMs(10);
        }
        return false;
    }

    std::vector<int16_t> Finish() {
        if (pid_ > 0) {
            kill(pid_, SIGINT);
            int status = 0;
            waitpid(pid_, &status, 0);
            pid_ = -1;
        }
        std::ifstream in(path_, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<int16_t> samples(bytes.size() / 2);
        for (size_t i = 0; i < samples.size(); ++i) {
            const auto lo = static_cast<uint8_t>(bytes[2 * i]);
            const auto hi = static_cast<uint8_t>(bytes[2 * i + 1]);
            samples[i] = static_cast<int16_t>(static_cast<uint16_t>(lo | (hi << 8)));
        }
        return samples;
    }

private:
    std::string path_;
    pid_t pid_ = -1;
};

// One heard tone: its first and last non-zero samples. A hard-keyed sine
// that starts at phase 0 begins with an exact zero, so the tone proper
// starts one sample before `first`.
struct Tone {
    size_t first = 0;
    size_t last = 0;
    int64_t Length() const { return static_cast<int64_t>(last - first + 1); }
};

// Tones are separated by silence; inside one, only the odd sample at a
// zero crossing is exactly 0.
std::vector<Tone> FindTones(const std::vector<int16_t>& s) {
    constexpr size_t MinSilence = 8;
    std::vector<Tone> tones;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == 0) continue;
        if (tones.empty() || i - tones.back().last > MinSilence) {
            tones.push_back({i, i});
        } else {
            tones.back().last = i;
        }
    }
    return tones;
}

// The largest distance between the recorded tone and a sine of the given
// period whose phase is 0 on the sample before the first non-zero one.
double WorstSineError(const std::vector<int16_t>& s, const Tone& tone, int64_t period) {
    double worst = 0;
    for (size_t i = tone.first; i <= tone.last; ++i) {
        const double phase = 2 * M_PI * static_cast<double>((static_cast<int64_t>(i - tone.first) + 1) % period) /
                             static_cast<double>(period);
        worst = std::max(worst, std::abs(s[i] - Amplitude * std::sin(phase)));
    }
    return worst;
}

// Sample-value slack for the float to 16-bit conversion in the server.
constexpr double SampleSlack = 3;
// The recorded on-time is last - first + 1, which misses the leading zero
// and may miss a trailing zero crossing.
constexpr double EdgeSlack = 2;
constexpr double TimingSlack = SamplesPerMs;  // the promise: well under 1 ms

class AudioOutTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (TestSink() == nullptr) GTEST_SKIP() << "needs the private sound server of with-test-session.sh";
        ASSERT_TRUE(out_.EnsureStarted());
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

    MiniaudioOut out_;
    PosixClock clock_;
};

TEST_F(AudioOutTest, ElementsLastExactlyAsLongAsKeyedAndSoundTheSine) {
    // Lengths that are no multiple of the 10 ms device period, so edges
    // rounded to blocks would show.
    const std::vector<Element> elements = {{47, 23}, {23, 23}, {23, 47}, {47, 0}};
    Recorder recorder;
    ASSERT_TRUE(recorder.WaitRunning());
    const auto measured = Key(800, elements);
    clock_.SleepMs(300);
    const std::vector<int16_t> samples = recorder.Finish();

    const std::vector<Tone> tones = FindTones(samples);
    ASSERT_EQ(tones.size(), elements.size());
    for (size_t i = 0; i < tones.size(); ++i) {
        SCOPED_TRACE("element " + std::to_string(i) + " of " + std::to_string(elements[i].onMs) + " ms");
        const double keyed = NsToSamples(measured[i].first);
        const double heard = static_cast<double>(tones[i].Length());
        std::printf("element %zu: keyed %.1f samples, heard %.0f (+1 leading zero), error %+.1f\n", i, keyed, heard,
                    heard + 1 - keyed);
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

TEST_F(AudioOutTest, BackToBackAndEmptyElementsJoinWithoutOverlap) {
    // No gaps at all, and elements with no on-time: each tone must take over
    // exactly where the previous one ended, never mixed with it.
    const std::vector<Element> elements = {{11, 0}, {0, 0}, {0, 0}, {17, 0}, {0, 0}, {9, 0}, {0, 0}};
    Recorder recorder;
    ASSERT_TRUE(recorder.WaitRunning());
    const auto measured = Key(700, elements);
    int64_t keyedNs = 0;
    for (const auto& [on, gap] : measured) keyedNs += on + gap;
    clock_.SleepMs(300);
    const std::vector<int16_t> samples = recorder.Finish();

    const std::vector<Tone> tones = FindTones(samples);
    ASSERT_EQ(tones.size(), 1u);
    EXPECT_NEAR(static_cast<double>(tones[0].Length()), NsToSamples(keyedNs), TimingSlack + EdgeSlack);
    // Every sample is one of the 68 values of a 700 Hz period; two tones
    // sounding at once, or a torn buffer, would show values in between.
    constexpr int64_t Period = Rate / 700;
    for (size_t i = tones[0].first; i <= tones[0].last; ++i) {
        double nearest = 1e9;
        for (int64_t k = 0; k < Period; ++k) {
            nearest = std::min(nearest, std::abs(samples[i] - Amplitude * std::sin(2 * M_PI * k / Period)));
        }
        ASSERT_LE(nearest, SampleSlack) << "sample " << i - tones[0].first << " of the tone";
    }
    // The first tone keeps its phase, with the 68-sample period, up to where
    // the second one takes over.
    Tone opening = tones[0];
    opening.last = opening.first + static_cast<size_t>(NsToSamples(measured[0].first)) - 2 * SamplesPerMs;
    EXPECT_LE(WorstSineError(samples, opening, Period), SampleSlack);
}

TEST_F(AudioOutTest, BeepReturnsAfterItsToneHasSounded) {
    Recorder recorder;
    ASSERT_TRUE(recorder.WaitRunning());
    const int64_t before = NowNs();
    out_.Beep(600, 100);
    const int64_t after = NowNs();
    clock_.SleepMs(300);
    const std::vector<int16_t> samples = recorder.Finish();

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
    Recorder recorder;
    ASSERT_TRUE(recorder.WaitRunning());
    const int64_t before = NowNs();
    out_.Beep(600, 2000);
    const std::optional<std::vector<uint8_t>> image = BuildToneBuffer(Rate, 800);
    ASSERT_TRUE(image);
    out_.MakeSound(*image);
    out_.PlayLooped();
    clock_.SleepMs(50);
    out_.Stop();
    EXPECT_LT(NowNs() - before, 1'000'000'000);
    EXPECT_TRUE(FindTones(recorder.Finish()).empty());
}

TEST(AudioOutStartTest, FirstOutcomeIsFinalAndAFailedOutputDoesNothing) {
    if (TestSink() == nullptr) GTEST_SKIP() << "needs the private sound server of with-test-session.sh";
    const std::string server = std::getenv("PULSE_SERVER") != nullptr ? std::getenv("PULSE_SERVER") : "";
    setenv("PULSE_SERVER", "unix:/nonexistent/morvik-no-server", 1);
    MiniaudioOut out;
    const bool first = out.EnsureStarted();
    setenv("PULSE_SERVER", server.c_str(), 1);
    if (first) GTEST_SKIP() << "another sound backend answered without the server";

    // The server is reachable again, but the outcome stays what it was.
    EXPECT_FALSE(out.EnsureStarted());
    EXPECT_FALSE(out.EnsureStarted());
    const int64_t before = NowNs();
    out.Beep(600, 3000);
    out.PlayLooped();
    out.Stop();
    EXPECT_LT(NowNs() - before, 1'000'000'000);
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
