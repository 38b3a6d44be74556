// The sound-file reader: RIFF WAVE, optionally behind the 28-byte "GAS0" header.
#pragma once
#include <cstddef>
#include <cstdint>

#include "audio/audiosys.h"
#include "platform/sound.h"

struct WaveInfo {
    bool hasHeader;
    SoundHeader header;  // the file's own fields (-1 where it gives none)
    PlatSoundFormat format;
    const uint8_t* samples;  // inside the parsed data
    uint32_t bytes;
};

// false for anything but a sound the layer can play: every chunk is checked against the data,
// a "fmt " chunk needs at least 14 bytes, PCM with 1 or 2 channels, 8 or 16 bits and a rate
// above 0, and a "data" chunk must follow. Nothing past size is read.
bool Wave_Parse(const uint8_t* data, size_t size, WaveInfo* out);
