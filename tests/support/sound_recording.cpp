#include "support/sound_recording.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>

#include "platform/clock_posix.h"

extern char** environ;

namespace morvik::test {

int64_t NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

double NsToSamples(int64_t ns) { return static_cast<double>(ns) * Rate / 1e9; }

const char* TestSink() { return std::getenv("MORVIK_TEST_SINK"); }

Recorder::Recorder() {
    char pattern[] = "/tmp/morvik-audio-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd >= 0) close(fd);
    path_ = pattern;
    const std::string device = std::string(TestSink()) + ".monitor";
    std::vector<std::string> args = {"parecord",     "--raw",        "--format=s16le",
                                     "--rate=48000", "--channels=1", "--latency-msec=10",
                                     "-d",           device,         path_};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawnp(&pid_, "parecord", nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
}

Recorder::~Recorder() {
    if (pid_ > 0) {
        kill(pid_, SIGINT);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    std::remove(path_.c_str());
}

bool Recorder::WaitFlowing() {
    PosixClock clock;
    for (int i = 0; i < 500 && pid_ > 0; ++i) {
        if (SampleCount() >= 50 * SamplesPerMs) return true;
        clock.SleepMs(10);
    }
    return false;
}

int64_t Recorder::SampleCount() const {
    struct stat st {};
    return stat(path_.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size / 2) : 0;
}

std::vector<int16_t> Recorder::SamplesFrom(int64_t first) const {
    std::ifstream in(path_, std::ios::binary);
    in.seekg(2 * first);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        const auto lo = static_cast<uint8_t>(bytes[2 * i]);
        const auto hi = static_cast<uint8_t>(bytes[2 * i + 1]);
        samples[i] = static_cast<int16_t>(static_cast<uint16_t>(lo | (hi << 8)));
    }
    return samples;
}

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

double WorstSineError(const std::vector<int16_t>& s, const Tone& tone, int64_t period) {
    double worst = 0;
    for (size_t i = tone.first; i <= tone.last; ++i) {
        const double phase =
            2 * M_PI * static_cast<double>((static_cast<int64_t>(i - tone.first) + 1) % period) /
            static_cast<double>(period);
        worst = std::max(worst, std::abs(s[i] - Amplitude * std::sin(phase)));
    }
    return worst;
}

}  // namespace morvik::test
