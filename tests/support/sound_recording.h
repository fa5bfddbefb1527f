#pragma once
// The program's sound as heard: a recording of the private PulseAudio null
// sink's monitor (scripts/with-test-session.sh provides the sink), and the
// tones found in it. The tone is hard-keyed and its samples are known, so a
// tone's edges are its first and last non-zero samples.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace morvik::test {

inline constexpr int64_t Rate = 48000;
inline constexpr int64_t SamplesPerMs = Rate / 1000;
// The sine of every tone, as it reaches a 16-bit recording.
inline constexpr double Amplitude = 0.8 * 32767.0;

int64_t NowNs();
double NsToSamples(int64_t ns);
// The null sink to record; nullptr outside the test session.
const char* TestSink();

// parecord on the null sink's monitor, writing raw mono 16-bit samples to a
// file that grows in step with the sink's clock.
class Recorder {
public:
    Recorder();
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;
    // An idle null sink may take a couple of seconds to deliver its first
    // samples; nothing played before that would be heard.
    bool WaitFlowing();
    int64_t SampleCount() const;
    std::vector<int16_t> SamplesFrom(int64_t first) const;

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
std::vector<Tone> FindTones(const std::vector<int16_t>& samples);

// The largest distance between the recorded tone and a sine of the given
// period whose phase is 0 on the sample before the first non-zero one.
double WorstSineError(const std::vector<int16_t>& samples, const Tone& tone, int64_t period);

}  // namespace morvik::test
