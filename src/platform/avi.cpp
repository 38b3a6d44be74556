#include "platform/avi.h"

#include <cstdio>
#include <cstring>

namespace {

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
bool Is(const uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

struct Stream {
    bool video = false;
    bool audio = false;
};

struct Reader {
    const std::vector<uint8_t>& b;
    AviClip& clip;
    std::string& why;
    std::vector<Stream> streams;
    int videoStream = -1;
    int audioStream = -1;
    size_t moviStart = 0;
    bool haveMovi = false;

    bool fail(const char* text) {
        why = text;
        return false;
    }

    // The chunk at pos inside [pos, end): its id, its data and the position after it (padded to
    // an even size).
    bool chunk(size_t pos, size_t end, const uint8_t** id, size_t* dataAt, size_t* dataSize, size_t* next) {
        if (end < pos || end - pos < 8) return fail("a chunk header runs past its list");
        const uint64_t size = U32(&b[pos + 4]);
        if (size > end - pos - 8) return fail("a chunk runs past its list");
        *id = &b[pos];
        *dataAt = pos + 8;
        *dataSize = size_t(size);
        *next = pos + 8 + size_t(size) + (size & 1);
        if (*next > end) *next = end;
        return true;
    }

    bool streamHeader(const uint8_t* d, size_t n) {
        if (n < 48) return fail("a stream header is too short");
        Stream s;
        s.video = Is(d, "vids");
        s.audio = Is(d, "auds");
        if (s.video && videoStream < 0) {
            videoStream = int(streams.size());
            clip.scale = U32(d + 20);
            clip.rate = U32(d + 24);
            if (clip.rate == 0 || clip.scale == 0) return fail("the frame rate is zero");
            const double period = 1000.0 * double(clip.scale) / double(clip.rate);
            if (period < 1.0 || period > 60000.0) return fail("the frame rate is out of range");
        } else if (s.audio && audioStream < 0) {
            audioStream = int(streams.size());
        }
        streams.push_back(s);
        return true;
    }

    bool streamFormat(const uint8_t* d, size_t n) {
        if (streams.empty()) return fail("a stream format comes before its header");
        const int index = int(streams.size()) - 1;
        if (index == videoStream) {
            if (n < 40) return fail("the picture format is too short");
            const uint32_t headerSize = U32(d);
            if (headerSize < 40 || headerSize > n) return fail("the picture format's size is wrong");
            const int32_t width = int32_t(U32(d + 4));
            const int32_t height = int32_t(U32(d + 8));
            const uint16_t bits = U16(d + 14);
            const uint32_t compression = U32(d + 16);
            uint32_t used = U32(d + 32);
            if (width <= 0 || width > kAviMaxWidth) return fail("the frame width is out of range");
            if (height == 0 || height < -kAviMaxHeight || height > kAviMaxHeight)
                return fail("the frame height is out of range");
            clip.width = width;
            clip.height = height < 0 ? -height : height;
            clip.topDown = height < 0;
            if (bits == 8 && (compression == 0 || compression == 1)) {
                clip.runLength = compression == 1;
            } else if (bits == 24 && compression == 0) {
                clip.runLength = false;
            } else {
                return fail("the frames are neither 8-bit, run-length 8-bit nor 24-bit");
            }
            clip.bits = bits;
            if (bits == 8) {
                if (used == 0) used = 256;
                if (used > 256) return fail("the palette has more than 256 colours");
                if (uint64_t(headerSize) + uint64_t(used) * 4 > n) return fail("the palette runs past its chunk");
                for (uint32_t i = 0; i < used; ++i) {
                    const uint8_t* q = d + headerSize + i * 4;  // blue, green, red, spare
                    clip.palette[i * 3] = q[2];
                    clip.palette[i * 3 + 1] = q[1];
                    clip.palette[i * 3 + 2] = q[0];
                }
                clip.paletteCount = int(used);
            }
        } else if (index == audioStream) {
            if (n < 16) return fail("the sound format is too short");
            const uint16_t tag = U16(d);
            const uint16_t channels = U16(d + 2);
            const uint32_t rate = U32(d + 4);
            const uint16_t bits = U16(d + 14);
            if (tag != 1 || (channels != 1 && channels != 2) || (bits != 8 && bits != 16) || rate == 0 ||
                rate > 192000)
                return fail("the sound stream is not 8- or 16-bit PCM");
            clip.hasAudio = true;
            clip.audioFormat = PlatSoundFormat{channels, bits, int(rate)};
        }
        return true;
    }

    bool headerList(size_t pos, size_t end, int depth) {
        while (pos < end) {
            const uint8_t* id;
            size_t at, n, next;
            if (!chunk(pos, end, &id, &at, &n, &next)) return false;
            if (Is(id, "LIST")) {
                if (n < 4) return fail("a list is too short");
                if (depth > 2) return fail("lists nest too deep");
                if (Is(&b[at], "strl") || Is(&b[at], "hdrl"))
                    if (!headerList(at + 4, at + n, depth + 1)) return false;
            } else if (Is(id, "strh")) {
                if (!streamHeader(&b[at], n)) return false;
            } else if (Is(id, "strf")) {
                if (!streamFormat(&b[at], n)) return false;
            }
            pos = next;
        }
        return true;
    }

    // The stream a chunk id such as "00dc" or "01wb" names; -1 when it names none.
    static int StreamOf(const uint8_t* id) {
        if (id[0] < '0' || id[0] > '9' || id[1] < '0' || id[1] > '9') return -1;
        return (id[0] - '0') * 10 + (id[1] - '0');
    }

    bool frameChunk(size_t at, size_t n) {
        if (clip.frames.size() >= 100000) return fail("too many frames");
        if (n > 0 && !clip.runLength) {
            const uint64_t stride = (uint64_t(clip.width) * uint64_t(clip.bits) + 31) / 32 * 4;
            if (uint64_t(n) < stride * uint64_t(clip.height)) return fail("a frame is shorter than its picture");
        }
        clip.frames.push_back(AviClip::Frame{at, n});
        return true;
    }

    bool moviList(size_t pos, size_t end, int depth) {
        while (pos < end) {
            const uint8_t* id;
            size_t at, n, next;
            if (!chunk(pos, end, &id, &at, &n, &next)) return false;
            if (Is(id, "LIST")) {
                if (n < 4) return fail("a list is too short");
                if (depth > 1) return fail("lists nest too deep");
                if (Is(&b[at], "rec ") && !moviList(at + 4, at + n, depth + 1)) return false;
            } else {
                const int stream = StreamOf(id);
                if (stream >= 0 && stream == videoStream && (id[2] == 'd' && (id[3] == 'b' || id[3] == 'c'))) {
                    if (!frameChunk(at, n)) return false;
                } else if (stream >= 0 && stream == audioStream && id[2] == 'w' && id[3] == 'b') {
                    if (clip.audio.size() + n > (size_t(64) << 20)) return fail("the sound stream is too long");
                    clip.audio.insert(clip.audio.end(), b.begin() + long(at), b.begin() + long(at + n));
                }
            }
            pos = next;
        }
        return true;
    }

    bool index(size_t at, size_t n) {
        // Entries: id, flags, offset from the "movi" tag, size. Each must lie inside the file.
        for (size_t e = 0; e + 16 <= n; e += 16) {
            const uint64_t offset = U32(&b[at + e + 8]);
            const uint64_t size = U32(&b[at + e + 12]);
            if (moviStart + offset + 8 + size > b.size()) return fail("the index points outside the file");
        }
        return true;
    }

    bool run() {
        if (b.size() < 12 || !Is(&b[0], "RIFF") || !Is(&b[8], "AVI ")) return fail("not a RIFF AVI file");
        const uint64_t riffSize = U32(&b[4]);
        if (riffSize < 4 || riffSize > b.size() - 8) return fail("the file is shorter than its header says");
        const size_t end = size_t(8 + riffSize);
        size_t pos = 12;
        bool haveHeader = false;
        bool haveIndex = false;
        size_t indexAt = 0, indexSize = 0;
        while (pos < end) {
            const uint8_t* id;
            size_t at, n, next;
            if (!chunk(pos, end, &id, &at, &n, &next)) return false;
            if (Is(id, "LIST") && n >= 4 && Is(&b[at], "hdrl")) {
                if (!headerList(at + 4, at + n, 1)) return false;
                haveHeader = true;
            } else if (Is(id, "LIST") && n >= 4 && Is(&b[at], "movi")) {
                if (!haveHeader || videoStream < 0 || clip.bits == 0) return fail("the file has no video stream");
                moviStart = at;
                if (!moviList(at + 4, at + n, 0)) return false;
                haveMovi = true;
            } else if (Is(id, "idx1")) {
                haveIndex = true;
                indexAt = at;
                indexSize = n;
            }
            pos = next;
        }
        if (!haveMovi) return fail("the file has no frames");
        if (clip.frames.empty()) return fail("the file has no frames");
        if (haveIndex && !index(indexAt, indexSize)) return false;
        if (clip.runLength) {
            std::vector<uint8_t> picture(size_t(clip.width) * size_t(clip.height));
            for (const AviClip::Frame& f : clip.frames)
                if (f.size && !Avi_DecodeRle8(&b[f.offset], f.size, clip.width, clip.height, picture.data()))
                    return fail("a run-length frame is malformed");
        }
        return true;
    }
};

}  // namespace

bool Avi_Parse(std::vector<uint8_t> bytes, AviClip* clip, std::string* reason) {
    std::string why;
    AviClip local;
    local.bytes = std::move(bytes);
    Reader reader{local.bytes, local, why, {}, -1, -1, 0, false};
    const bool ok = reader.run();
    if (!ok) {
        if (reason) *reason = why;
        return false;
    }
    if (clip) *clip = std::move(local);
    return true;
}

bool Avi_Load(const std::string& path, AviClip* clip, std::string* reason) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        if (reason) *reason = "cannot open " + path;
        return false;
    }
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + got);
        if (bytes.size() > (size_t(512) << 20)) break;
    }
    std::fclose(file);
    return Avi_Parse(std::move(bytes), clip, reason);
}

bool Avi_DecodeRle8(const uint8_t* data, size_t size, int width, int height, uint8_t* picture) {
    size_t pos = 0;
    int x = 0, y = 0;
    while (pos + 2 <= size) {
        const uint8_t count = data[pos], value = data[pos + 1];
        pos += 2;
        if (count > 0) {
            if (y >= height || x + count > width) return false;
            std::memset(picture + size_t(y) * size_t(width) + size_t(x), value, count);
            x += count;
            continue;
        }
        switch (value) {
            case 0:  // end of line
                x = 0;
                ++y;
                break;
            case 1:  // end of picture
                return true;
            case 2:  // move right and up
                if (pos + 2 > size) return false;
                x += data[pos];
                y += data[pos + 1];
                pos += 2;
                if (x > width || y > height) return false;
                break;
            default: {  // a literal run, padded to an even length
                const size_t n = value;
                if (pos + n > size || y >= height || x + int(n) > width) return false;
                std::memcpy(picture + size_t(y) * size_t(width) + size_t(x), data + pos, n);
                x += int(n);
                pos += n + (n & 1);
                break;
            }
        }
    }
    return true;  // the data ended without its end mark: what came is kept
}

AviDecoder::AviDecoder(const AviClip& clip) : clip_(clip) {
    indices_.assign(size_t(clip.width) * size_t(clip.height), 0);
    xrgb_.assign(indices_.size(), 0);
    for (int i = 0; i < 256; ++i)
        colours_[i] = (uint32_t(clip.palette[i * 3]) << 16) | (uint32_t(clip.palette[i * 3 + 1]) << 8) |
                      clip.palette[i * 3 + 2];
}

bool AviDecoder::decode(int index) {
    if (index < 0 || size_t(index) >= clip_.frames.size()) return false;
    const AviClip::Frame& f = clip_.frames[size_t(index)];
    if (f.size == 0) return true;
    const uint8_t* data = clip_.bytes.data() + f.offset;
    const int w = clip_.width, h = clip_.height;
    auto target = [&](int storedRow) { return clip_.topDown ? storedRow : h - 1 - storedRow; };
    if (clip_.bits == 24) {
        const size_t stride = (size_t(w) * 3 + 3) / 4 * 4;
        for (int row = 0; row < h; ++row) {
            const uint8_t* in = data + size_t(row) * stride;
            uint32_t* out = xrgb_.data() + size_t(target(row)) * size_t(w);
            for (int x = 0; x < w; ++x, in += 3) out[x] = (uint32_t(in[2]) << 16) | (uint32_t(in[1]) << 8) | in[0];
        }
        return true;
    }
    if (clip_.runLength) {
        if (!Avi_DecodeRle8(data, f.size, w, h, indices_.data())) return false;
    } else {
        const size_t stride = (size_t(w) + 3) / 4 * 4;
        for (int row = 0; row < h; ++row)
            std::memcpy(indices_.data() + size_t(row) * size_t(w), data + size_t(row) * stride, size_t(w));
    }
    for (int row = 0; row < h; ++row) {
        const uint8_t* in = indices_.data() + size_t(row) * size_t(w);
        uint32_t* out = xrgb_.data() + size_t(target(row)) * size_t(w);
        for (int x = 0; x < w; ++x) out[x] = colours_[in[x]];
    }
    return true;
}
