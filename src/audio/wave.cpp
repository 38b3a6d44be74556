#include "audio/wave.h"

#include <cstring>

#include "core/bytes.h"

namespace {
constexpr size_t kHeaderBytes = 28;
}

bool Wave_Parse(const uint8_t* data, size_t size, WaveInfo* out) {
    if (!data || !out) return false;
    *out = WaveInfo{};
    std::memset(&out->header, 0xFF, sizeof out->header);
    if (size >= 4 && std::memcmp(data, "GAS0", 4) == 0) {
        if (size < kHeaderBytes) return false;
        out->hasHeader = true;
        std::memcpy(out->header.magic, data, 4);
        int32_t* fields[] = {&out->header.priority, &out->header.maxCopies, &out->header.mode,
                             &out->header.volume, &out->header.randomPitch, &out->header.sampleRate};
        for (size_t i = 0; i < 6; ++i) *fields[i] = int32_t(Bytes_U32(data + 4 + 4 * i));
        data += kHeaderBytes;
        size -= kHeaderBytes;
    }
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) return false;
    size_t at = 12;
    bool haveFormat = false;
    while (size - at >= 8) {
        const uint8_t* chunk = data + at;
        const uint32_t length = Bytes_U32(chunk + 4);
        if (length > size - at - 8) return false;
        const uint8_t* body = chunk + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (length < 14) return false;
            const uint16_t tag = uint16_t(body[0] | body[1] << 8);
            const int channels = body[2] | body[3] << 8;
            const int rate = int(Bytes_U32(body + 4));
            const int align = body[12] | body[13] << 8;
            int bits = length >= 16 ? (body[14] | body[15] << 8) : (channels > 0 ? align * 8 / channels : 0);
            if (tag != 1 || (channels != 1 && channels != 2) || (bits != 8 && bits != 16) || rate <= 0) return false;
            out->format = PlatSoundFormat{channels, bits, rate};
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) return false;
            out->samples = body;
            out->bytes = length;
            return true;
        }
        at += 8 + size_t(length) + (length & 1);
        if (at > size) return false;
    }
    return false;
}
