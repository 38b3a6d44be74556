// Sound files of our own: synthesised tones, chirps and noise bursts as RIFF WAVE, some behind
// the 28-byte "GAS0" header, under the names the game plays.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace content {

// Mono samples in -1..1 as a RIFF WAVE image of 8 (unsigned) or 16 (signed) bits; channels 2
// duplicates each sample.
std::vector<uint8_t> WaveBytes(const std::vector<float>& samples, int rate, int bits, int channels = 1);
// The image behind a "GAS0" header: priority, maximum copies, mode, volume, random pitch, rate
// (-1 for the layer's default).
std::vector<uint8_t> WithSoundHeader(const std::vector<uint8_t>& wave, int priority, int maxCopies, int mode,
                                     int volume, int randomPitch, int rate);

std::vector<float> Tone(float hz, float seconds, int rate, float level = 0.5f);
std::vector<float> Chirp(float fromHz, float toHz, float seconds, int rate, float level = 0.5f);
std::vector<float> NoiseBurst(float seconds, int rate, uint32_t seed, float level = 0.6f);

bool WriteSoundWorld(const std::string& dir, std::string* error);

}  // namespace content
