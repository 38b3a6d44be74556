// The media output: the stream the music and the movies' sound play on, apart from the sound
// service's voices. It plays a list of PCM clips one after another, has a gain of its own
// (0 to 65535, starting at 65535) and outlives the sound service: closing the game's sound
// device does not stop it.
//
// With the sdl backend it plays on an audio device of its own; headless (or when the sound
// service prefers the mixer) it is mixed on the platform clock into the sound service's record,
// by the mixer while that is open and by PlatMedia_Pump otherwise.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/sound.h"

struct PlatMediaClip {
    PlatSoundFormat format{};
    std::vector<uint8_t> data;  // PCM as the file holds it (8-bit unsigned or 16-bit signed)
};

// Replaces whatever plays with the clips, played in order from offsetMs into the first clip.
// Clips with an unusable format or no whole frame are skipped. The ticket names this play.
uint32_t PlatMedia_Play(const std::vector<PlatMediaClip>& clips, uint32_t offsetMs);
void PlatMedia_Stop();
// Stops the play the ticket names, when it is still the one on the output.
void PlatMedia_StopTicket(uint32_t ticket);
bool PlatMedia_IsPlaying();
// The gain, clamped to 0..65535.
void PlatMedia_SetGain(uint32_t gain);
uint32_t PlatMedia_Gain();
// Mixes the time the platform clock moved since the last mix into the record when no mixer of
// the sound service is open to do it. Whoever waits on the output (a movie, the music's
// re-check) calls it.
void PlatMedia_Pump();
// Back to the start: nothing playing, the starting gain, the audio device closed.
void PlatMedia_Reset();
