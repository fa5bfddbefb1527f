// Measures, in one run, how precisely Morvik keys its side-tone and its key
// line, how Debian's `cw` (unixcw) keys the same text into the same sound
// sink, how much processor time Morvik takes while it waits, and how fast it
// starts. Prints one table; it judges the figures but asserts nothing.
//
// Run it inside scripts/with-test-session.sh (or through scripts/bench.sh):
//   morvik_bench [path/to/morvik]
#include <sched.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "keying_schedule.h"
#include "process_probe.h"
#include "support/morvik_window.h"
#include "support/pseudo_terminal.h"
#include "support/sound_recording.h"

namespace morvik::bench {

namespace {

using test::NowNs;

constexpr int ToneHz = 800;
constexpr int64_t TonePeriod = test::Rate / ToneHz;
// About this much sending per run.
constexpr double SendingMs = 30'000;
// cw ramps its tone in and out; a tone is where the recording is louder
// than this (of 32767; cw's default volume peaks near 23000).
constexpr int CwThreshold = 300;
constexpr int StartupLaunches = 5;
constexpr int CpuWindowMs = 10'000;

void Pause(int64_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::string Fixed(double v, int decimals = 3) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

std::string Paris(size_t words) {
    std::string text;
    for (size_t i = 0; i < words; ++i) text += i == 0 ? "PARIS" : " PARIS";
    return text;
}

// The words of PARIS that fill about SendingMs at the unit under the rules.
size_t ParisWords(double unitMs, GapRules rules) {
    const auto one = static_cast<double>(ScheduledUnits(Schedule("PARIS", rules)) + rules.word);
    return std::max<size_t>(1, static_cast<size_t>(SendingMs / (one * unitMs) + 0.5));
}

std::string FirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string CpuModel() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    }
    return "?";
}

std::string LoadAverage() {
    std::istringstream s(FirstLine("/proc/loadavg"));
    std::string a, b, c;
    s >> a >> b >> c;
    return a + " " + b + " " + c;
}

// Waits until the recording holds `quietMs` of silence after the last
// sound found by `spans`, or the time runs out; returns what was heard
// from `mark` on.
std::vector<int16_t> WaitForQuiet(test::Recorder& recorder, int64_t mark, int64_t earliestNs,
                                  int64_t timeoutNs, double quietMs,
                                  const std::function<std::vector<Span>(const std::vector<int16_t>&)>& spans) {
    std::vector<int16_t> samples;
    for (;;) {
        const int64_t now = NowNs();
        if (now >= earliestNs) {
            samples = recorder.SamplesFrom(mark);
            const std::vector<Span> found = spans(samples);
            const double heardMs =
                static_cast<double>(samples.size()) * 1000.0 / static_cast<double>(test::Rate);
            if (!found.empty() && heardMs - found.back().stopMs >= quietMs) return samples;
            if (now >= timeoutNs) return samples;
        }
        Pause(200);
    }
}

// With MORVIK_BENCH_DUMP set to a folder, every compared run is written
// there element by element, for a closer look.
void Dump(const std::string& name, const Comparison& c, const std::vector<ScheduledElement>& schedule,
          double unitMs) {
    const char* dir = std::getenv("MORVIK_BENCH_DUMP");
    if (dir == nullptr) return;
    std::string file = std::string(dir) + "/";
    for (const char ch : name) file += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    std::ofstream out(file + ".csv");
    out << "index,on_units,start_ms,stop_ms,on_error_ms,gap_units,gap_error_ms\n";
    for (size_t i = 0; i < c.spans.size(); ++i) {
        const Span& s = c.spans[i];
        out << i << ',';
        if (i < schedule.size()) out << schedule[i].onUnits;
        out << ',' << Fixed(s.startMs) << ',' << Fixed(s.stopMs) << ',';
        if (i < schedule.size()) out << Fixed(s.stopMs - s.startMs - schedule[i].onUnits * unitMs);
        out << ',';
        if (i < schedule.size() && i + 1 < c.spans.size()) {
            out << schedule[i].gapUnits << ','
                << Fixed(c.spans[i + 1].startMs - s.stopMs - schedule[i].gapUnits * unitMs);
        } else {
            out << ',';
        }
        out << '\n';
    }
}

std::vector<Span> MorvikTones(const std::vector<int16_t>& samples) {
    return HardKeyedSpans(test::FindTones(samples), TonePeriod);
}

std::vector<Span> CwTones(const std::vector<int16_t>& samples) {
    return ThresholdSpans(samples, CwThreshold, static_cast<size_t>(TonePeriod));
}

// ---------------------------------------------------------------------------
// The table.

struct Row {
    std::string what;
    std::string speed;
    std::string n;
    std::string median, p95, max;
    std::string dropouts;
    std::string target;
    std::string verdict;
};

std::vector<Row> rows;
std::vector<std::string> notes;
int missed = 0;

std::string Verdict(bool met) {
    if (!met) ++missed;
    return met ? "met" : "MISSED";
}

struct Target {
    double median = -1;  // < 0: none
    double max = -1;
    bool noDropouts = false;
    std::string text;
};

void AddTimingRow(const std::string& what, const std::string& speed, const Comparison& c,
                  const Summary& s, bool showDropouts, const Target& target) {
    Row r{what, speed, std::to_string(s.n), "", "", "", "", target.text, ""};
    if (showDropouts) {
        r.dropouts = std::to_string(c.Dropouts());
        if (!c.aligned) {
            r.dropouts += " (" + std::to_string(c.observed) + " seen)";
        }
    } else {
        r.dropouts = "—";
    }
    if (c.aligned) {
        r.median = Fixed(s.median);
        r.p95 = Fixed(s.p95);
        r.max = Fixed(s.max);
    } else {
        r.n = "—";
        r.median = r.p95 = r.max = "n/a";
    }
    if (target.median < 0 && target.max < 0 && !target.noDropouts) {
        r.verdict = "—";
    } else {
        bool met = c.aligned;
        if (target.median >= 0) met = met && s.median <= target.median;
        if (target.max >= 0) met = met && s.max <= target.max;
        if (target.noDropouts) met = met && c.Dropouts() == 0;
        r.verdict = Verdict(met);
    }
    rows.push_back(r);
}

void AddGapNote(const std::string& what, const std::string& speed, const Comparison& c) {
    if (c.splits + c.shortened > 0 || !c.aligned) {
        notes.push_back(what + " at " + speed + ": " + std::to_string(c.splits) +
                        " tone(s) split, " + std::to_string(c.shortened) + " more than 1 ms short, " +
                        std::to_string(c.observed) + " seen");
    }
    if (!c.aligned) return;
    notes.push_back(what + " at " + speed + ": mean signed error " + Fixed(c.on.meanSigned) +
                    " ms on, gaps " + Fixed(c.elementGap.meanSigned) + " (element) / " +
                    Fixed(c.characterGap.meanSigned) + " (character) / " +
                    Fixed(c.wordGap.meanSigned) + " (word) ms; largest gap error " +
                    Fixed(c.elementGap.max) + " / " + Fixed(c.characterGap.max) + " / " +
                    Fixed(c.wordGap.max) + " ms");
}

void AddFailureRow(const std::string& what, const std::string& speed, const std::string& why,
                   const std::string& target) {
    rows.push_back({what, speed, "—", "n/a", "n/a", "n/a", "—", target, "not measured: " + why});
    if (!target.empty() && target != "—") ++missed;
}

void PrintTable() {
    std::printf("\n| Measure | Speed | n | median | p95 | max | dropouts | target | result |\n");
    std::printf("|---|---|---:|---:|---:|---:|---:|---|---|\n");
    for (const Row& r : rows) {
        std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", r.what.c_str(),
                    r.speed.c_str(), r.n.c_str(), r.median.c_str(), r.p95.c_str(), r.max.c_str(),
                    r.dropouts.c_str(), r.target.c_str(), r.verdict.c_str());
    }
    std::printf("\n");
    for (const std::string& n : notes) std::printf("- %s\n", n.c_str());
    std::printf("\nTargets missed: %d\n", missed);
}

// ---------------------------------------------------------------------------
// Morvik sending PARIS through its real window.

const Target SideToneTarget{0.1, 1.0, true, "median ≤ 0.1, max ≤ 1, no dropouts"};
const Target KeyLineOnTarget{0.3, 2.0, false, "median ≤ 0.3, max ≤ 2"};
const Target NoTarget{};

int64_t peakKb = -1;

void MorvikSending(const std::string& executable, test::XConnection& x, test::Recorder& recorder,
                   int unitMs, bool withPort) {
    const std::string speed = std::to_string(1200 / unitMs) + " WPM (" + std::to_string(unitMs) + " ms)";
    const std::string label = withPort ? "Morvik side-tone, port keyed too" : "Morvik side-tone";
    const size_t words = ParisWords(unitMs, MorvikGaps);
    const std::string text = Paris(words);
    const std::vector<ScheduledElement> schedule = Schedule(text, MorvikGaps);
    const int64_t scheduledMs = ScheduledUnits(schedule) * unitMs;

    std::optional<test::PseudoTerminal> pty;
    std::optional<test::KeyLineWatch> watch;
    if (withPort) {
        pty.emplace();
        if (!pty->Ok()) {
            AddFailureRow("Morvik key line", speed, "no pseudo-terminal", KeyLineOnTarget.text);
            return;
        }
        // The watcher stamps an edge when it wakes; where allowed, it runs
        // at a real-time priority (its thread inherits the one set here) so
        // that a busy machine delays it less.
        const sched_param realtime{1};
        const bool raised = sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &realtime) == 0;
        watch.emplace(pty->slave_path());
        if (raised) {
            const sched_param normal{0};
            sched_setscheduler(0, SCHED_OTHER, &normal);
        }
        notes.push_back(std::string("key-line watcher at ") + speed + ": " +
                        (raised ? "real-time priority (SCHED_FIFO 1)" : "ordinary priority"));
    }
    const std::string settings = test::SettingsFile({{"MV001", std::to_string(ToneHz)},
                                                     {"MV002", std::to_string(unitMs)},
                                                     {"MV003", text},
                                                     {"MV004", "0"},
                                                     {"MV005", "100"},
                                                     {"MV006", "1"},
                                                     {"MV007", "0"},
                                                     {"MV008", withPort ? pty->slave_path() : ""}});
    test::RunningMorvik morvik(executable, x, settings);
    if (morvik.window() == 0) {
        AddFailureRow(label, speed, "the window did not come up", SideToneTarget.text);
        return;
    }
    if (const char* slack = std::getenv("MORVIK_BENCH_TIMERSLACK_NS")) {
        // A diagnosis: the main thread's timer slack, which its sleeps may
        // overrun by, set from outside (needs CAP_SYS_NICE).
        std::ofstream("/proc/" + std::to_string(morvik.process().Pid()) + "/timerslack_ns") << slack;
        notes.push_back("diagnosis: Morvik's main thread ran with a timer slack of " +
                        FirstLine("/proc/" + std::to_string(morvik.process().Pid()) + "/timerslack_ns") +
                        " ns (" + label + ", " + speed + ")");
    }
    const int64_t mark = recorder.SampleCount();
    const int64_t clicked = NowNs();
    test::Click(morvik.window(), test::TestSpot);
    const std::vector<int16_t> samples =
        WaitForQuiet(recorder, mark, clicked + (scheduledMs - 500) * 1'000'000,
                     clicked + (scheduledMs + 15'000) * 1'000'000, 600, MorvikTones);
    peakKb = std::max(peakKb, StatusKb(morvik.process().Pid(), "VmHWM"));
    test::Click(morvik.window(), test::QuitSpot);
    morvik.process().WaitForExit(3000);

    std::fprintf(stderr, "bench: %s, %s: %zu words of PARIS, %zu elements scheduled\n",
                 label.c_str(), speed.c_str(), words, schedule.size());
    const Comparison tone = Compare(MorvikTones(samples), schedule, unitMs);
    Dump(label + " " + speed, tone, schedule, unitMs);
    AddTimingRow(label + ": on-time", speed, tone, tone.on, true, SideToneTarget);
    AddTimingRow(label + ": gap", speed, tone, tone.gap, true, SideToneTarget);
    AddGapNote(label, speed, tone);

    if (withPort) {
        std::vector<Span> spans;
        std::vector<bool> untimed;
        for (const auto& [open, close] : watch->Spans()) {
            if (close < 0) continue;
            spans.push_back({static_cast<double>(open) / 1e6, static_cast<double>(close) / 1e6});
            // The watcher stamps the events of one wake-up alike: an open and
            // close read together came while it was kept from running, and
            // their times are unknown.
            untimed.push_back(close == open);
        }
        const Comparison line = Compare(spans, schedule, unitMs, untimed);
        if (line.untimed > 0) {
            notes.push_back("key line at " + speed + ": " + std::to_string(line.untimed) +
                            " element(s) whose open and close reached the watcher in one wake-up "
                            "are left out (their times are unknown)");
        }
        Dump("key line " + speed, line, schedule, unitMs);
        AddTimingRow("Morvik key line (pty): open→close vs on-time", speed, line, line.on, false,
                     KeyLineOnTarget);
        AddTimingRow("Morvik key line (pty): close→open vs gap", speed, line, line.gap, false,
                     NoTarget);
        AddGapNote("Morvik key line", speed, line);
        if (tone.aligned && line.aligned) {
            // The same element heard and keyed: what the sound path adds or
            // takes away, beside the port's own open and close.
            std::vector<double> difference;
            for (size_t i = 0; i < tone.spans.size(); ++i) {
                if (i < untimed.size() && untimed[i]) continue;
                difference.push_back((tone.spans[i].stopMs - tone.spans[i].startMs) -
                                     (line.spans[i].stopMs - line.spans[i].startMs));
            }
            const Summary d = Summarise(difference);
            AddTimingRow("Morvik side-tone on-time minus key-line on-time, per element", speed, line, d,
                         false, NoTarget);
            notes.push_back("side-tone minus key line at " + speed + ": mean " + Fixed(d.meanSigned) +
                            " ms (the tone starts before the port is opened and stops before it is "
                            "closed)");
        }
    }
}

// ---------------------------------------------------------------------------
// The peer: Debian's cw, the same text at the same speed into the same sink.

std::string CwProgram() {
    for (const char* dir : {"/usr/bin/", "/usr/local/bin/", "/bin/"}) {
        const std::string path = std::string(dir) + "cw";
        if (access(path.c_str(), X_OK) == 0) return path;
    }
    return {};
}

void CwSending(test::Recorder& recorder, int wpm) {
    const double unitMs = 1200.0 / wpm;
    const std::string speed = std::to_string(wpm) + " WPM (" + Fixed(unitMs, 0) + " ms)";
    const std::string label = "cw (unixcw) tone, own timing";
    const std::string cw = CwProgram();
    if (cw.empty()) {
        AddFailureRow(label, speed, "cw is not installed (scripts/bench.sh installs it)", "—");
        return;
    }
    // The same words as Morvik sends at this speed.
    const size_t words = ParisWords(unitMs, MorvikGaps);
    const std::string text = Paris(words);
    const std::vector<ScheduledElement> schedule = Schedule(text, TextbookGaps);
    const int64_t scheduledMs = static_cast<int64_t>(static_cast<double>(ScheduledUnits(schedule)) * unitMs);

    const std::string errors = "/tmp/morvik-bench-cw.err";
    const std::string command = cw + " -s pulseaudio -d " + test::TestSink() + " -w " +
                                std::to_string(wpm) + " -t " + std::to_string(ToneHz) +
                                " -e -m 2>" + errors;
    const int64_t mark = recorder.SampleCount();
    const int64_t started = NowNs();
    FILE* pipe = popen(command.c_str(), "w");
    if (pipe == nullptr) {
        AddFailureRow(label, speed, "cw could not be started", "—");
        return;
    }
    std::fputs((text + "\n").c_str(), pipe);
    const int status = pclose(pipe);
    const std::vector<int16_t> samples =
        WaitForQuiet(recorder, mark, std::max(NowNs(), started + (scheduledMs - 500) * 1'000'000),
                     NowNs() + 5'000'000'000, 600, CwTones);
    const std::vector<Span> spans = CwTones(samples);
    if (spans.empty()) {
        std::ifstream in(errors);
        std::string why((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (char& c : why) {
            if (c == '\n' || c == '|') c = ' ';
        }
        AddFailureRow(label, speed,
                      "no sound heard from cw (exit status " + std::to_string(status) + ") " + why,
                      "—");
        std::remove(errors.c_str());
        return;
    }
    std::remove(errors.c_str());
    std::fprintf(stderr, "bench: cw, %s: %zu words of PARIS, %zu elements scheduled\n",
                 speed.c_str(), words, schedule.size());
    const Comparison c = Compare(spans, schedule, unitMs);
    Dump("cw " + speed, c, schedule, unitMs);
    AddTimingRow(label + ": on-time", speed, c, c.on, true, NoTarget);
    AddTimingRow(label + ": gap", speed, c, c.gap, true, NoTarget);
    // Its word gaps are another matter (see the notes): apart, too.
    AddTimingRow(label + ": gaps inside words", speed, c, c.inWordGap, true, NoTarget);
    AddTimingRow(label + ": word gaps", speed, c, c.wordGap, true, NoTarget);
    AddGapNote("cw", speed, c);
    if (c.aligned) {
        notes.push_back("cw at " + speed + ": its word gaps measure " +
                        Fixed((c.wordGap.meanSigned + 7 * unitMs) / unitMs, 2) +
                        " units on average, not the textbook 7");
    }
}

// ---------------------------------------------------------------------------
// Start-up, processor time, memory.

// Polls the last control to be drawn ("Avsluta") every millisecond.
int64_t WaitDrawn(test::XConnection& x, Window w, int timeoutMs) {
    const int64_t end = NowNs() + static_cast<int64_t>(timeoutMs) * 1'000'000;
    while (NowNs() < end) {
        if (x.Pixel(w, 1080, 642) == test::ButtonFace) return NowNs();
        Pause(1);
    }
    return -1;
}

void StartUp(const std::string& executable, test::XConnection& x) {
    std::vector<double> mapped, drawn;
    std::string failure;
    for (int i = 0; i < StartupLaunches; ++i) {
        test::TempDir dir;
        test::WriteFile(dir.path() + "/morvik.cnf", test::SettingsFile());
        MapWatch watch;
        if (!watch.Ok()) {
            failure = "no X display";
            break;
        }
        const int64_t launched = NowNs();
        test::ChildProcess process(executable, dir.path());
        Window w = 0;
        const int64_t at = watch.WaitForMapped(test::TitlePrefix, 10'000, &w);
        if (at < 0) {
            failure = "no window was mapped within 10 s";
            break;
        }
        mapped.push_back(static_cast<double>(at - launched) / 1e6);
        const int64_t done = WaitDrawn(x, w, 10'000);
        if (done > 0) drawn.push_back(static_cast<double>(done - launched) / 1e6);
        peakKb = std::max(peakKb, StatusKb(process.Pid(), "VmHWM"));
        test::Click(w, test::QuitSpot);
        process.WaitForExit(3000);
    }
    const std::string launches = std::to_string(StartupLaunches) + " launches";
    if (mapped.empty()) {
        AddFailureRow("Start-up: launch → main window mapped", "—", failure, "< 300 ms");
        return;
    }
    std::sort(mapped.begin(), mapped.end());
    const double median = mapped[mapped.size() / 2];
    rows.push_back({"Start-up: launch → main window mapped (X MapNotify)", launches,
                    std::to_string(mapped.size()), Fixed(median, 1), "", Fixed(mapped.back(), 1),
                    "—", "< 300 ms", Verdict(mapped.back() < 300)});
    if (!drawn.empty()) {
        std::sort(drawn.begin(), drawn.end());
        rows.push_back({"Start-up: launch → last control drawn", launches,
                        std::to_string(drawn.size()), Fixed(drawn[drawn.size() / 2], 1), "",
                        Fixed(drawn.back(), 1), "—", "—", "—"});
    }
}

struct CpuShare {
    double ticksPercent = -1;
    double nsPercent = -1;
    std::string byThread;  // each thread's share
};

CpuShare MeasureCpu(pid_t pid, int ms) {
    const int64_t t0 = NowNs();
    const int64_t ticks0 = CpuTicks(pid);
    const int64_t ns0 = CpuNs(pid);
    const auto threads0 = CpuNsByThread(pid);
    Pause(ms);
    const int64_t ticks1 = CpuTicks(pid);
    const int64_t ns1 = CpuNs(pid);
    const auto threads1 = CpuNsByThread(pid);
    const double wallNs = static_cast<double>(NowNs() - t0);
    CpuShare share;
    for (const auto& [tid, thread] : threads1) {
        const auto before = threads0.find(tid);
        const int64_t was = before == threads0.end() ? 0 : before->second.second;
        if (!share.byThread.empty()) share.byThread += ", ";
        share.byThread += (tid == pid ? std::string("main thread") : "thread " + std::to_string(tid)) + " " +
                          Fixed(static_cast<double>(thread.second - was) / wallNs * 100.0) + " %";
    }
    if (ticks0 >= 0 && ticks1 >= 0) {
        share.ticksPercent = static_cast<double>(ticks1 - ticks0) / static_cast<double>(sysconf(_SC_CLK_TCK)) /
                             (wallNs / 1e9) * 100.0;
    }
    if (ns0 >= 0 && ns1 >= 0) share.nsPercent = static_cast<double>(ns1 - ns0) / wallNs * 100.0;
    return share;
}

void AddCpuRow(const std::string& what, const CpuShare& share) {
    notes.push_back(what + ", by thread (schedstat): " + share.byThread);
    const std::string n = Fixed(CpuWindowMs / 1000.0, 0) + " s";
    rows.push_back({what, "—", n, Fixed(share.ticksPercent, 2) + " %", "",
                    Fixed(share.nsPercent, 3) + " % (schedstat)", "—", "< 0.5 % of a core",
                    Verdict(share.ticksPercent >= 0 && share.ticksPercent < 0.5)});
}

void ProcessorTime(const std::string& executable, test::XConnection& x) {
    // A start far in the future: the timed run only waits.
    test::RunningMorvik morvik(executable, x,
                               test::SettingsFile({{"MV009", "2099-12-31 23:59"},
                                                   {"MV010", "2099-12-31 23:59"}}));
    if (morvik.window() == 0) {
        AddFailureRow("Processor time", "—", "the window did not come up", "< 0.5 % of a core");
        return;
    }
    const pid_t pid = morvik.process().Pid();
    Pause(1000);
    AddCpuRow("Processor time, idle (utime+stime)", MeasureCpu(pid, CpuWindowMs));
    test::Click(morvik.window(), test::RunTimedSpot);
    // Past the 500 ms beep that opens a timed run.
    Pause(1500);
    AddCpuRow("Processor time, timed run waiting for its start", MeasureCpu(pid, CpuWindowMs));
    peakKb = std::max(peakKb, StatusKb(pid, "VmHWM"));
}

// MORVIK_BENCH_ONLY, e.g. "startup,cpu,tone,port,cw", runs only those
// measurements; MORVIK_BENCH_UNITS, e.g. "20", only those units (ms).
bool Wanted(const std::string& name) {
    const char* only = std::getenv("MORVIK_BENCH_ONLY");
    return only == nullptr || std::string(only).find(name) != std::string::npos;
}

}  // namespace

int Main(int argc, char** argv) {
    // The program is started from a folder of its own, so its path must not
    // be relative.
    const std::string executable =
        std::filesystem::absolute(argc > 1 ? argv[1] : MORVIK_EXECUTABLE).string();
    if (std::getenv("DISPLAY") == nullptr || test::TestSink() == nullptr) {
        std::fprintf(stderr, "morvik_bench: run it inside scripts/with-test-session.sh\n");
        return 2;
    }
    test::XConnection x;
    if (x.display() == nullptr) {
        std::fprintf(stderr, "morvik_bench: no X display\n");
        return 2;
    }
    utsname u{};
    uname(&u);
    const std::string loadBefore = LoadAverage();
    const int64_t began = NowNs();

    if (Wanted("startup")) StartUp(executable, x);
    if (Wanted("cpu")) ProcessorTime(executable, x);

    // One recording for every sending run; a monitor kept busy also keeps
    // the null sink awake.
    test::Recorder recorder;
    if (!recorder.WaitFlowing()) {
        std::fprintf(stderr, "morvik_bench: parecord delivers nothing\n");
        return 2;
    }
    for (const int unitMs : {50, 20}) {
        const char* units = std::getenv("MORVIK_BENCH_UNITS");
        if (units != nullptr && std::string(units).find(std::to_string(unitMs)) == std::string::npos) continue;
        if (Wanted("tone")) MorvikSending(executable, x, recorder, unitMs, false);
        if (Wanted("port")) MorvikSending(executable, x, recorder, unitMs, true);
        if (Wanted("cw")) CwSending(recorder, 1200 / unitMs);
    }
    rows.push_back({"Peak resident memory (VmHWM, largest of all runs)", "—", "—",
                    peakKb < 0 ? "n/a" : Fixed(static_cast<double>(peakKb) / 1024, 1) + " MiB",
                    "", "", "—", "—", "—"});

    notes.push_back("Morvik's schedule: dot 1 unit, dash 3, then 1 unit after an element, 4 after "
                    "a character, 11 after a word; tone edges are the exact first and last "
                    "non-zero samples of the hard-keyed sine (resolution 1/48 ms)");
    notes.push_back("cw is measured against its own textbook timing (unit 1200/WPM ms; gaps 1, 3, "
                    "7 units) and, since it ramps its tone in and out, its tone is where the "
                    "recording is louder than " +
                    std::to_string(CwThreshold) + " of 32767 (cw only)");
    notes.push_back("key line: inotify open/close of the pseudo-terminal's slave, set as MV008");
    notes.push_back("dropouts: tones split by missing samples, tones more than 1 ms short, or a "
                    "tone count unlike the schedule");
    notes.push_back(std::string("machine: ") + u.sysname + " " + u.release + " " + u.machine +
                    ", " + std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " cores, " + CpuModel() +
                    "; load average before " + loadBefore + ", after " + LoadAverage() +
                    "; bench took " + Fixed(static_cast<double>(NowNs() - began) / 1e9, 0) + " s");
    PrintTable();
    return 0;
}

}  // namespace morvik::bench

int main(int argc, char** argv) { return morvik::bench::Main(argc, argv); }
