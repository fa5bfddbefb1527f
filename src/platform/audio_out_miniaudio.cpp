#include "platform/audio_out_miniaudio.h"

#include <miniaudio.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <ctime>
#include <mutex>
#include <optional>

namespace morvik {

namespace {

constexpr int64_t SampleRate = 48000;
constexpr int64_t FramesPerMs = SampleRate / 1000;
// One frame lasts 1e9 / 48000 = 62500 / 3 ns; kept as a fraction so that
// frame <-> time conversions stay exact integers.
constexpr int64_t NsPerFrameNum = 62500;
constexpr int64_t NsPerFrameDen = 3;
// The device period. miniaudio asks PulseAudio for a target buffer of one
// period, so the period is all the slack the audio thread has: when it runs
// later than that (a busy machine), the server runs dry, inserts silence
// into the tone that is sounding and plays everything after it later. With
// 10 ms, callbacks that came 15-19 ms apart split tones and shifted edges by
// 20 ms and more on a loaded two-core machine; 30 ms rides that out, at
// the cost of a later (but no less exact) side-tone.
constexpr uint32_t PeriodMs = 30;
// How far ahead of the audio thread's estimated position an edge is
// placed, so that the frame it lands on has not been rendered yet: one
// device period plus room for a callback that comes earlier than any seen
// lately. Start and stop edges both get it, so on-times are unaffected.
constexpr int64_t SafetyFrames = (PeriodMs + 10) * FramesPerMs;
// The anchor is the least-late callback over this much recent history.
constexpr int64_t AnchorWindowNs = 2'000'000'000;
// When the least-late callback drops out of the window, the anchor moves
// later by at most 1 ms per second, so that an edge pair straddling the
// change is off by at most 0.1 % of its distance (47 µs on a 47 ms dash).
constexpr int64_t AnchorRiseDivisor = 1000;
// But when every callback for a while has come this much later than the
// anchor, the output has fallen behind for good (a stalled start, an
// underrun): its past says nothing about where it is now.
constexpr int64_t SlipNs = 20'000'000;
constexpr size_t SlipMinCallbacks = 4;
// Long enough to hold that many callbacks.
constexpr int64_t SlipWindowNs =
    std::max<int64_t>(100'000'000, (SlipMinCallbacks + 1) * PeriodMs * 1'000'000);
constexpr size_t AnchorHistory = 512;  // more than a window's worth of callbacks
// Starting waits until the output has consumed this much in step with the
// clock (or gives up waiting after StartWaitNs), so that the first tone is
// placed by a settled anchor rather than by the burst that fills the
// device's buffer at start.
constexpr int64_t SettleFrames = 250 * FramesPerMs;
constexpr int64_t StartWaitNs = 3'000'000'000;
constexpr float BeepAmplitude = 0.8f;
// A decoded image longer than this is surely not one tone period.
constexpr size_t MaxSoundFrames = SampleRate * 60;
constexpr int64_t Open = INT64_MAX;  // the stop frame of a tone not stopped yet

int64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void SleepUntilNs(int64_t deadlineNs) {
    timespec deadline{};
    deadline.tv_sec = static_cast<time_t>(deadlineNs / 1'000'000'000);
    deadline.tv_nsec = static_cast<long>(deadlineNs % 1'000'000'000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

int64_t SaturatingAdd(int64_t a, int64_t b) {
    int64_t r = 0;
    return __builtin_add_overflow(a, b, &r) ? INT64_MAX : r;
}

int64_t SaturatingMul(int64_t a, int64_t b) {
    int64_t r = 0;
    return __builtin_mul_overflow(a, b, &r) ? INT64_MAX : r;
}

int64_t FloorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

using Samples = std::shared_ptr<const std::vector<float>>;

// A stretch of frames [start, stop) that sounds the looped period; the
// period's phase is 0 at start.
struct Segment {
    Samples samples;
    int64_t start = 0;
    int64_t stop = Open;
};

// The sample-exact gate between the UI thread, which opens and closes
// tones, and the audio thread, which renders them and keeps the
// clock-to-frame anchor current.
class Gate {
public:
    // Audio thread: renders the frames that follow the ones already
    // rendered; silence wherever no tone is keyed.
    void Render(float* out, int64_t frameCount) {
        std::fill(out, out + frameCount, 0.0f);
        std::lock_guard<std::mutex> hold(lock_);
        const int64_t begin = rendered_.load(std::memory_order_relaxed);
        const int64_t end = begin + frameCount;
        for (const Segment& s : segments_) {
            const int64_t from = std::max(s.start, begin);
            const int64_t to = std::min(s.stop, end);
            if (from >= to) continue;
            const std::vector<float>& period = *s.samples;
            const int64_t length = static_cast<int64_t>(period.size());
            size_t phase = static_cast<size_t>((from - s.start) % length);
            for (int64_t f = from; f < to; ++f) {
                out[f - begin] = period[phase];
                if (++phase == period.size()) phase = 0;
            }
        }
        rendered_.store(end, std::memory_order_release);
    }

    // Audio thread, after each block: pairs the frames rendered so far with
    // the time now. Callbacks come late by scheduling, never early, so the
    // least-late one over the recent past (the smallest time-minus-frames
    // offset) is the best estimate of the true relation.
    void Anchor(int64_t nowNs, int64_t frames) {
        const int64_t offset = nowNs - frames * NsPerFrameNum / NsPerFrameDen;
        history_[next_] = {nowNs, offset};
        next_ = (next_ + 1) % history_.size();
        count_ = std::min(count_ + 1, history_.size());
        int64_t lowest = offset;
        int64_t recentLowest = offset;
        size_t recent = 0;
        for (size_t i = 0; i < count_; ++i) {
            const Sample& h = history_[i];
            const int64_t age = nowNs - h.timeNs;
            if (h.timeNs < forgetBeforeNs_ || age > AnchorWindowNs) continue;
            lowest = std::min(lowest, h.offsetNs);
            if (age <= SlipWindowNs) {
                recentLowest = std::min(recentLowest, h.offsetNs);
                ++recent;
            }
        }
        if (!anchored_.load(std::memory_order_relaxed) || lowest <= published_) {
            // Moving earlier at once keeps edges ahead of the audio thread.
            published_ = lowest;
        } else if (recent >= SlipMinCallbacks && recentLowest - published_ > SlipNs) {
            published_ = recentLowest;
            forgetBeforeNs_ = nowNs - SlipWindowNs;
        } else {
            const int64_t rise = (nowNs - lastAnchorNs_) / AnchorRiseDivisor;
            published_ = std::min(lowest, SaturatingAdd(published_, rise));
        }
        lastAnchorNs_ = nowNs;
        offsetNs_.store(published_, std::memory_order_release);
        anchored_.store(true, std::memory_order_release);
    }

    bool Anchored() const { return anchored_.load(std::memory_order_acquire); }
    int64_t Rendered() const { return rendered_.load(std::memory_order_acquire); }

    // The frame on which an edge keyed at the given time sounds.
    int64_t FrameAt(int64_t timeNs) const {
        if (!Anchored()) return Rendered() + SafetyFrames;
        const int64_t sinceOrigin = timeNs - offsetNs_.load(std::memory_order_acquire);
        return FloorDiv(sinceOrigin * NsPerFrameDen, NsPerFrameNum) + SafetyFrames;
    }

    // UI thread: keys a tone from the given frame for the given number of
    // frames (Open: until Close). A tone still sounding there is cut where
    // the new one starts, and the new one never starts before the previous
    // one's end, so tones cannot overlap. Returns the new tone's stop frame.
    int64_t Add(Samples samples, int64_t start, int64_t frames) {
        std::lock_guard<std::mutex> hold(lock_);
        const int64_t rendered = rendered_.load(std::memory_order_acquire);
        // Tones already rendered are dropped here rather than on the audio
        // thread, so that their samples are never freed there.
        std::erase_if(segments_, [&](const Segment& s) { return s.stop <= rendered; });
        start = std::max(start, rendered);
        if (!segments_.empty()) {
            Segment& last = segments_.back();
            if (last.stop == Open) last.stop = std::max(last.start, start);
            start = std::max(start, last.stop);
        }
        const int64_t stop = frames == Open ? Open : SaturatingAdd(start, frames);
        segments_.push_back({std::move(samples), start, stop});
        return stop;
    }

    // UI thread: ends the open tone, if any, at the given frame.
    void Close(int64_t stop) {
        std::lock_guard<std::mutex> hold(lock_);
        if (!segments_.empty() && segments_.back().stop == Open) {
            Segment& last = segments_.back();
            last.stop = std::max(stop, last.start);
        }
    }

    // The end of the last tone keyed, or Open.
    int64_t LastStop() {
        std::lock_guard<std::mutex> hold(lock_);
        return segments_.empty() ? 0 : segments_.back().stop;
    }

    void Clear() {
        std::lock_guard<std::mutex> hold(lock_);
        segments_.clear();
    }

    void Reserve() { segments_.reserve(16); }

private:
    struct Sample {
        int64_t timeNs = 0;
        int64_t offsetNs = 0;
    };

    std::mutex lock_;
    std::vector<Segment> segments_;  // in time order, not overlapping
    std::atomic<int64_t> rendered_{0};
    std::atomic<int64_t> offsetNs_{0};
    std::atomic<bool> anchored_{false};
    // The audio thread's own bookkeeping.
    std::array<Sample, AnchorHistory> history_{};
    size_t next_ = 0;
    size_t count_ = 0;
    int64_t published_ = 0;
    int64_t lastAnchorNs_ = 0;
    int64_t forgetBeforeNs_ = INT64_MIN;
};

// miniaudio's view of the gate: a data source of mono float frames at the
// engine's rate that never ends. The base must come first, since miniaudio
// hands the data source back as a pointer to it.
struct GateSource {
    ma_data_source_base base;
    Gate* gate;
};

ma_result GateRead(ma_data_source* source, void* out, ma_uint64 frameCount, ma_uint64* framesRead) {
    auto* self = static_cast<GateSource*>(source);
    self->gate->Render(static_cast<float*>(out), static_cast<int64_t>(frameCount));
    if (framesRead != nullptr) *framesRead = frameCount;
    return MA_SUCCESS;
}

ma_result GateSeek(ma_data_source*, ma_uint64) {
    // The gate is a clock, not a recording: there is nothing to seek.
    return MA_SUCCESS;
}

ma_result GateFormat(ma_data_source*, ma_format* format, ma_uint32* channels, ma_uint32* sampleRate,
                     ma_channel* channelMap, size_t channelMapCap) {
    *format = ma_format_f32;
    *channels = 1;
    *sampleRate = static_cast<ma_uint32>(SampleRate);
    if (channelMap != nullptr && channelMapCap > 0) channelMap[0] = MA_CHANNEL_MONO;
    return MA_SUCCESS;
}

const ma_data_source_vtable GateVtable = {
    GateRead, GateSeek, GateFormat, nullptr, nullptr, nullptr,
    // No range or loop points apply; miniaudio must not ask for a cursor.
    MA_DATA_SOURCE_SELF_MANAGED_RANGE_AND_LOOP_POINT,
};

void OnEngineProcess(void* user, float*, ma_uint64) {
    auto* gate = static_cast<Gate*>(user);
    gate->Anchor(MonotonicNs(), gate->Rendered());
}

std::optional<std::vector<float>> Decode(const std::vector<uint8_t>& image) {
    if (image.empty()) return std::nullopt;
    const ma_decoder_config config = ma_decoder_config_init(ma_format_f32, 1, static_cast<ma_uint32>(SampleRate));
    ma_decoder decoder;
    if (ma_decoder_init_memory(image.data(), image.size(), &config, &decoder) != MA_SUCCESS) {
        return std::nullopt;
    }
    std::vector<float> samples;
    std::array<float, 4096> chunk{};
    while (samples.size() < MaxSoundFrames) {
        ma_uint64 got = 0;
        const ma_result result = ma_decoder_read_pcm_frames(&decoder, chunk.data(), chunk.size(), &got);
        samples.insert(samples.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
        if (result != MA_SUCCESS || got == 0) break;
    }
    ma_decoder_uninit(&decoder);
    if (samples.empty()) return std::nullopt;
    return samples;
}

}  // namespace

struct MiniaudioOut::State {
    Gate gate;
    GateSource source{};
    ma_context context{};
    ma_engine engine{};
    ma_sound sound{};
    std::optional<bool> started;  // the settled outcome of the first attempt
    bool running = false;         // engine up and not shut down
    Samples current;              // the sound made last
    // How far the audio thread's count runs ahead of what has left the
    // device: its whole buffer.
    int64_t bufferFrames = 3 * PeriodMs * FramesPerMs;

    bool Start();
    // Waits until the frames before `stop` have been played out of the
    // device, or until the given time.
    void WaitPlayed(int64_t stop, int64_t giveUpNs);
};

bool MiniaudioOut::State::Start() {
    gate.Reserve();
    ma_data_source_config sourceConfig = ma_data_source_config_init();
    sourceConfig.vtable = &GateVtable;
    if (ma_data_source_init(&sourceConfig, &source.base) != MA_SUCCESS) return false;
    source.gate = &gate;

    // Every real backend, but not miniaudio's null device: a keyer that
    // "plays" into nothing should report that it has no sound instead.
    std::vector<ma_backend> backends;
    for (int b = 0; b < static_cast<int>(ma_backend_custom); ++b) backends.push_back(static_cast<ma_backend>(b));
    const ma_context_config contextConfig = ma_context_config_init();
    if (ma_context_init(backends.data(), static_cast<ma_uint32>(backends.size()), &contextConfig, &context) !=
        MA_SUCCESS) {
        ma_data_source_uninit(&source.base);
        return false;
    }

    ma_engine_config config = ma_engine_config_init();
    config.pContext = &context;
    config.channels = 1;
    config.sampleRate = static_cast<ma_uint32>(SampleRate);
    config.periodSizeInMilliseconds = PeriodMs;
    config.noAutoStart = MA_TRUE;
    config.onProcess = OnEngineProcess;
    config.pProcessUserData = &gate;
    if (ma_engine_init(&config, &engine) != MA_SUCCESS) {
        ma_context_uninit(&context);
        ma_data_source_uninit(&source.base);
        return false;
    }
    // Without pitch or spatialisation, and at the engine's own rate, the
    // sound passes the gate's frames through one for one.
    const ma_uint32 flags = MA_SOUND_FLAG_NO_SPATIALIZATION | MA_SOUND_FLAG_NO_PITCH;
    if (ma_sound_init_from_data_source(&engine, &source, flags, nullptr, &sound) != MA_SUCCESS) {
        ma_engine_uninit(&engine);
        ma_context_uninit(&context);
        ma_data_source_uninit(&source.base);
        return false;
    }
    if (ma_sound_start(&sound) != MA_SUCCESS || ma_engine_start(&engine) != MA_SUCCESS) {
        ma_sound_uninit(&sound);
        ma_engine_uninit(&engine);
        ma_context_uninit(&context);
        ma_data_source_uninit(&source.base);
        return false;
    }
    if (const ma_device* device = ma_engine_get_device(&engine); device != nullptr) {
        const int64_t frames = static_cast<int64_t>(device->playback.internalPeriodSizeInFrames) *
                               static_cast<int64_t>(device->playback.internalPeriods);
        if (frames > 0) bufferFrames = frames;
    }
    const int64_t deadline = MonotonicNs() + StartWaitNs;
    while (gate.Rendered() < SettleFrames && MonotonicNs() < deadline) SleepUntilNs(MonotonicNs() + 2'000'000);
    running = true;
    return true;
}

void MiniaudioOut::State::WaitPlayed(int64_t stop, int64_t giveUpNs) {
    const int64_t played = SaturatingAdd(stop, bufferFrames);
    while (gate.Rendered() < played && MonotonicNs() < giveUpNs) SleepUntilNs(MonotonicNs() + 1'000'000);
}

MiniaudioOut::MiniaudioOut() : state_(std::make_unique<State>()) {}

MiniaudioOut::~MiniaudioOut() { Shutdown(); }

bool MiniaudioOut::EnsureStarted() {
    if (!state_->started) state_->started = state_->Start();
    return *state_->started;
}

bool MiniaudioOut::MakeSound(const std::vector<uint8_t>& image) {
    ReleaseSound();
    std::optional<std::vector<float>> samples = Decode(image);
    if (!samples) return false;
    state_->current = std::make_shared<const std::vector<float>>(std::move(*samples));
    return true;
}

void MiniaudioOut::PlayLooped() {
    if (!state_->running || !state_->current) return;
    Gate& gate = state_->gate;
    gate.Add(state_->current, gate.FrameAt(MonotonicNs()), Open);
}

void MiniaudioOut::Stop() {
    if (!state_->running) return;
    Gate& gate = state_->gate;
    gate.Close(gate.FrameAt(MonotonicNs()));
}

void MiniaudioOut::ReleaseSound() {
    // A sound that goes away stops sounding.
    if (state_->current) Stop();
    state_->current.reset();
}

void MiniaudioOut::Beep(int64_t frequencyHz, int64_t milliseconds) {
    if (!state_->running || frequencyHz < 1 || frequencyHz > SampleRate || milliseconds <= 0) return;
    const int64_t t0 = MonotonicNs();
    const size_t n = static_cast<size_t>(SampleRate / frequencyHz);
    auto period = std::make_shared<std::vector<float>>(n);
    for (size_t k = 0; k < n; ++k) {
        (*period)[k] = BeepAmplitude * static_cast<float>(std::sin(6.283185307179586 * static_cast<double>(k) /
                                                                   static_cast<double>(n)));
    }
    Gate& gate = state_->gate;
    const int64_t stop = gate.Add(std::move(period), gate.FrameAt(t0), SaturatingMul(milliseconds, FramesPerMs));

    // Sleep through most of the tone, then watch for its end to leave the
    // device, but never hang on an output that has stopped moving.
    const int64_t lengthNs = SaturatingMul(milliseconds, 1'000'000);
    SleepUntilNs(SaturatingAdd(t0, lengthNs));
    state_->WaitPlayed(stop, SaturatingAdd(SaturatingAdd(t0, lengthNs), 1'000'000'000));
}

void MiniaudioOut::Shutdown() {
    State& s = *state_;
    if (!s.started) s.started = false;  // a shut-down output never starts later
    if (!s.running) return;
    s.running = false;
    // A tone keyed just before is still ahead of the audio thread; let it
    // finish rather than cut it short. A tone never stopped ends here.
    if (const int64_t stop = s.gate.LastStop(); stop != Open) s.WaitPlayed(stop, MonotonicNs() + 1'000'000'000);
    ma_engine_stop(&s.engine);
    ma_sound_uninit(&s.sound);
    ma_engine_uninit(&s.engine);
    ma_context_uninit(&s.context);
    ma_data_source_uninit(&s.source.base);
    s.gate.Clear();
}

}  // namespace morvik
