#include "ui/sound_beep.h"

#include "platform/audio_out.h"

namespace morvik {

void SoundBeep(Program& program, int64_t frequencyHz, int64_t milliseconds) {
    AudioOut& audio = *program.platform.audio;
    if (audio.EnsureStarted()) audio.Beep(frequencyHz, milliseconds);
}

}  // namespace morvik
