#pragma once
#include <cstdint>
#include <vector>

namespace morvik {

// The sound output: one engine, started on first use, that plays sounds
// made from in-memory WAV images.
class AudioOut {
public:
    virtual ~AudioOut() = default;
    // Starts the output on the first call; every later call reports the
    // outcome of that first attempt.
    virtual bool EnsureStarted() = 0;
    // Makes a sound from a RIFF/WAVE image; false when the image cannot be
    // decoded. At most one sound exists at a time.
    virtual bool MakeSound(const std::vector<uint8_t>& image) = 0;
    // Starts the sound made last, looped at full volume, from now on.
    virtual void PlayLooped() = 0;
    // Stops the sound from now on.
    virtual void Stop() = 0;
    // Frees the sound made last.
    virtual void ReleaseSound() = 0;
    // A sine of the given frequency and length; returns when it has ended.
    // Does nothing, at once, when the output could not start.
    virtual void Beep(int64_t frequencyHz, int64_t milliseconds) = 0;
    // Stops and frees the output.
    virtual void Shutdown() = 0;
};

}  // namespace morvik
