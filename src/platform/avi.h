// The reader of the game's movie clips: RIFF "AVI " with one video stream of uncompressed 8-bit
// (palette) or 24-bit frames, or 8-bit run-length frames, and an optional PCM sound stream.
// Every size, count and offset is checked against the file before use; frames above 1024 by
// 768 and palettes beyond 256 colours are refused, and so is a run-length frame that would
// write outside the picture.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/sound.h"

constexpr int kAviMaxWidth = 1024;
constexpr int kAviMaxHeight = 768;

struct AviClip {
    int width = 0;
    int height = 0;
    bool topDown = false;    // rows stored top first (a negative height in the file)
    int bits = 0;            // 8 or 24
    bool runLength = false;  // 8-bit run-length frames
    uint32_t rate = 0;       // frames per second = rate / scale
    uint32_t scale = 1;
    uint8_t palette[768] = {};  // red, green, blue
    int paletteCount = 0;
    struct Frame {
        size_t offset = 0;  // into bytes
        size_t size = 0;    // 0: the frame repeats the one before
    };
    std::vector<Frame> frames;
    bool hasAudio = false;
    PlatSoundFormat audioFormat{};
    std::vector<uint8_t> audio;  // the sound stream's PCM, its chunks joined
    std::vector<uint8_t> bytes;  // the file
    // Milliseconds per frame (at least 1).
    double periodMs() const { return 1000.0 * double(scale) / double(rate); }
};

// Reads the file image; false with the reason when it is refused.
bool Avi_Parse(std::vector<uint8_t> bytes, AviClip* clip, std::string* reason);
bool Avi_Load(const std::string& path, AviClip* clip, std::string* reason);

// Decodes frames into 0x00RRGGBB words, top row first. The 8-bit picture persists between
// frames, so a run-length frame that skips pixels keeps the ones before.
class AviDecoder {
public:
    explicit AviDecoder(const AviClip& clip);
    // false when the index is out of range or the frame is malformed.
    bool decode(int index);
    const std::vector<uint32_t>& pixels() const { return xrgb_; }

private:
    const AviClip& clip_;
    std::vector<uint8_t> indices_;  // bottom row first, as stored
    std::vector<uint32_t> xrgb_;
    uint32_t colours_[256] = {};
};

// The run-length decode of one frame into a width x height picture of palette indices (bottom
// row first); false on a run or a move outside the picture or past the data.
bool Avi_DecodeRle8(const uint8_t* data, size_t size, int width, int height, uint8_t* picture);
