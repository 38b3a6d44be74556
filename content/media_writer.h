// Movies and music of our own: an AVI writer (8-bit frames, raw or run-length, with an optional
// 8-bit PCM sound stream), the intro, outro and credits clips, and the music disc's tracks.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace content {

struct AviPicture {
    int width = 0;
    int height = 0;
    int framesPerSecond = 15;
    bool runLength = true;
    uint8_t palette[768] = {};  // red, green, blue
    std::vector<std::vector<uint8_t>> frames;  // palette indices, top row first, width x height each
    std::vector<uint8_t> sound;  // 8-bit unsigned mono PCM; none when empty
    int soundRate = 11025;
};

// The run-length code of one picture (top row first in, stored bottom row first).
std::vector<uint8_t> Rle8Bytes(const std::vector<uint8_t>& picture, int width, int height);
std::vector<uint8_t> AviBytes(const AviPicture& clip);

// The sample clips: "intro", "outro" or "credits"; 320 by 240, 15 frames a second.
AviPicture SampleClip(const std::string& which);
// The disc's track n (2 to 16): a few seconds of the tune at the track's own pitch, as a wave.
std::vector<uint8_t> SampleTrack(int track);

// "movie\intro.avi", "movie\outro.avi", "movie\credits.avi" and "cd\track02.wav" to
// "cd\track16.wav".
bool WriteMediaWorld(const std::string& dir, std::string* error);

}  // namespace content
