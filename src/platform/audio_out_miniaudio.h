#pragma once
#include <memory>

#include "platform/audio_out.h"

namespace morvik {

// The sound output through miniaudio's engine.
//
// Keying edges must land to the sample, but miniaudio's own start/stop
// times only take effect at device-period boundaries. So one sound plays
// for the whole life of the engine, reading from a source of our own that
// counts the frames it renders and lets tone through only between a start
// and a stop frame. "Now" is turned into a frame through a mapping from
// CLOCK_MONOTONIC to that frame count, anchored on the audio thread.
class MiniaudioOut : public AudioOut {
public:
    MiniaudioOut();
    ~MiniaudioOut() override;
    MiniaudioOut(const MiniaudioOut&) = delete;
    MiniaudioOut& operator=(const MiniaudioOut&) = delete;

    bool EnsureStarted() override;
    bool MakeSound(const std::vector<uint8_t>& image) override;
    void PlayLooped() override;
    void Stop() override;
    void ReleaseSound() override;
    void Beep(int64_t frequencyHz, int64_t milliseconds) override;
    void Shutdown() override;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace morvik
