#include "media_writer.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "sound_writer.h"

namespace content {

namespace {

constexpr double kPi = 3.14159265358979323846;

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void PutTag(std::vector<uint8_t>& out, const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(tag[i]));
}
void SetSize(std::vector<uint8_t>& out, size_t at) {
    const uint32_t size = uint32_t(out.size() - at - 4);
    for (int i = 0; i < 4; ++i) out[at + size_t(i)] = uint8_t(size >> (8 * i));
}
// Opens a chunk (or a list with its type); the size is filled in by Close.
size_t Open(std::vector<uint8_t>& out, const char* tag, const char* listType = nullptr) {
    PutTag(out, tag);
    const size_t at = out.size();
    Put32(out, 0);
    if (listType) PutTag(out, listType);
    return at;
}
void Close(std::vector<uint8_t>& out, size_t at) {
    SetSize(out, at);
    if (out.size() & 1) out.push_back(0);
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) {
        if (error) *error = "cannot write " + path;
        return false;
    }
    return true;
}

// A short tune: notes of a minor pentatonic line over the base pitch, with soft ends.
std::vector<float> Tune(float baseHz, float seconds, int rate) {
    static const float kSteps[] = {1.0f, 1.2f, 1.333f, 1.5f, 1.8f, 1.5f, 1.333f, 1.2f};
    const size_t noteLength = size_t(rate) / 4;
    std::vector<float> s(size_t(seconds * float(rate)));
    for (size_t i = 0; i < s.size(); ++i) {
        const size_t note = i / noteLength, inNote = i % noteLength;
        const double hz = baseHz * kSteps[note % 8];
        const double envelope = std::min(1.0, double(inNote) / 200.0) * (1.0 - double(inNote) / double(noteLength));
        s[i] = float(0.45 * envelope * std::sin(2.0 * kPi * hz * double(i) / rate));
    }
    return s;
}

std::vector<uint8_t> ToUnsigned8(const std::vector<float>& samples) {
    std::vector<uint8_t> out;
    out.reserve(samples.size());
    for (float v : samples) out.push_back(uint8_t(std::lround(std::clamp(v, -1.0f, 1.0f) * 127.0f) + 128));
    return out;
}

}  // namespace

std::vector<uint8_t> Rle8Bytes(const std::vector<uint8_t>& picture, int width, int height) {
    std::vector<uint8_t> out;
    for (int row = height - 1; row >= 0; --row) {
        const uint8_t* p = picture.data() + size_t(row) * size_t(width);
        int x = 0;
        while (x < width) {
            int run = 1;
            while (x + run < width && run < 255 && p[x + run] == p[x]) ++run;
            out.push_back(uint8_t(run));
            out.push_back(p[x]);
            x += run;
        }
        out.push_back(0);
        out.push_back(row == 0 ? 1 : 0);  // end of line, or of the picture after the top row
    }
    return out;
}

std::vector<uint8_t> AviBytes(const AviPicture& clip) {
    const bool sound = !clip.sound.empty();
    const uint32_t frames = uint32_t(clip.frames.size());
    const uint32_t stride = (uint32_t(clip.width) + 3) / 4 * 4;
    std::vector<uint8_t> out;
    const size_t riff = Open(out, "RIFF", "AVI ");
    const size_t hdrl = Open(out, "LIST", "hdrl");
    const size_t avih = Open(out, "avih");
    Put32(out, uint32_t(1000000 / clip.framesPerSecond));
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0x10);  // has an index
    Put32(out, frames);
    Put32(out, 0);
    Put32(out, sound ? 2 : 1);
    Put32(out, 0);
    Put32(out, uint32_t(clip.width));
    Put32(out, uint32_t(clip.height));
    for (int i = 0; i < 4; ++i) Put32(out, 0);
    Close(out, avih);

    const size_t strl = Open(out, "LIST", "strl");
    const size_t strh = Open(out, "strh");
    PutTag(out, "vids");
    PutTag(out, clip.runLength ? "RLE " : "DIB ");
    Put32(out, 0);
    Put16(out, 0);
    Put16(out, 0);
    Put32(out, 0);
    Put32(out, 1);                                // scale
    Put32(out, uint32_t(clip.framesPerSecond));   // rate
    Put32(out, 0);
    Put32(out, frames);
    Put32(out, 0);
    Put32(out, 0xFFFFFFFF);
    Put32(out, 0);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, uint16_t(clip.width));
    Put16(out, uint16_t(clip.height));
    Close(out, strh);
    const size_t strf = Open(out, "strf");
    Put32(out, 40);
    Put32(out, uint32_t(clip.width));
    Put32(out, uint32_t(clip.height));
    Put16(out, 1);
    Put16(out, 8);
    Put32(out, clip.runLength ? 1 : 0);
    Put32(out, stride * uint32_t(clip.height));
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 256);
    Put32(out, 0);
    for (int i = 0; i < 256; ++i) {
        out.push_back(clip.palette[i * 3 + 2]);
        out.push_back(clip.palette[i * 3 + 1]);
        out.push_back(clip.palette[i * 3]);
        out.push_back(0);
    }
    Close(out, strf);
    Close(out, strl);

    if (sound) {
        const size_t astrl = Open(out, "LIST", "strl");
        const size_t ah = Open(out, "strh");
        PutTag(out, "auds");
        Put32(out, 0);
        Put32(out, 0);
        Put16(out, 0);
        Put16(out, 0);
        Put32(out, 0);
        Put32(out, 1);
        Put32(out, uint32_t(clip.soundRate));
        Put32(out, 0);
        Put32(out, uint32_t(clip.sound.size()));
        Put32(out, 0);
        Put32(out, 0xFFFFFFFF);
        Put32(out, 1);
        for (int i = 0; i < 4; ++i) Put16(out, 0);
        Close(out, ah);
        const size_t af = Open(out, "strf");
        Put16(out, 1);
        Put16(out, 1);
        Put32(out, uint32_t(clip.soundRate));
        Put32(out, uint32_t(clip.soundRate));
        Put16(out, 1);
        Put16(out, 8);
        Put16(out, 0);
        Close(out, af);
        Close(out, astrl);
    }
    Close(out, hdrl);

    struct Entry {
        char id[5];
        uint32_t offset, size;
    };
    std::vector<Entry> index;
    const size_t movi = Open(out, "LIST", "movi");
    const size_t moviTag = movi + 4;
    const size_t soundPerFrame = sound ? (clip.sound.size() + frames - 1) / std::max<uint32_t>(frames, 1) : 0;
    for (uint32_t f = 0; f < frames; ++f) {
        std::vector<uint8_t> data;
        if (clip.runLength) {
            data = Rle8Bytes(clip.frames[f], clip.width, clip.height);
        } else {
            data.assign(size_t(stride) * size_t(clip.height), 0);
            for (int row = 0; row < clip.height; ++row)
                std::copy_n(clip.frames[f].data() + size_t(clip.height - 1 - row) * size_t(clip.width),
                            size_t(clip.width), data.data() + size_t(row) * stride);
        }
        const char* id = clip.runLength ? "00dc" : "00db";
        index.push_back(Entry{{id[0], id[1], id[2], id[3], 0}, uint32_t(out.size() - moviTag), uint32_t(data.size())});
        const size_t chunk = Open(out, id);
        out.insert(out.end(), data.begin(), data.end());
        Close(out, chunk);
        if (sound) {
            const size_t from = std::min(clip.sound.size(), size_t(f) * soundPerFrame);
            const size_t to = std::min(clip.sound.size(), from + soundPerFrame);
            if (to > from) {
                index.push_back(Entry{{'0', '1', 'w', 'b', 0}, uint32_t(out.size() - moviTag), uint32_t(to - from)});
                const size_t a = Open(out, "01wb");
                out.insert(out.end(), clip.sound.begin() + long(from), clip.sound.begin() + long(to));
                Close(out, a);
            }
        }
    }
    Close(out, movi);
    const size_t idx = Open(out, "idx1");
    for (const Entry& e : index) {
        PutTag(out, e.id);
        Put32(out, 0x10);
        Put32(out, e.offset);
        Put32(out, e.size);
    }
    Close(out, idx);
    Close(out, riff);
    return out;
}

AviPicture SampleClip(const std::string& which) {
    AviPicture clip;
    clip.width = 320;
    clip.height = 240;
    clip.framesPerSecond = 15;
    clip.runLength = true;
    // Each clip has its own hue: a sky of 64 shades, a ground of 64, 64 colours for the emblem
    // and a few plain ones.
    const float hue = which == "intro" ? 0.0f : which == "outro" ? 1.0f : 2.0f;
    for (int i = 0; i < 64; ++i) {
        const float t = float(i) / 63.0f;
        const uint8_t sky[3] = {uint8_t(20 + 60 * t * (hue == 1)), uint8_t(30 + 80 * t), uint8_t(90 + 160 * t)};
        const uint8_t ground[3] = {uint8_t(60 + 90 * t), uint8_t(40 + 60 * t), uint8_t(20 + 20 * t)};
        const uint8_t emblem[3] = {uint8_t(200 + 55 * t), uint8_t(80 + 150 * t * (hue != 2)), uint8_t(40 + 100 * t * (hue == 2))};
        for (int c = 0; c < 3; ++c) {
            clip.palette[(i)*3 + c] = sky[c];
            clip.palette[(64 + i) * 3 + c] = ground[c];
            clip.palette[(128 + i) * 3 + c] = emblem[c];
        }
    }
    clip.palette[255 * 3] = clip.palette[255 * 3 + 1] = clip.palette[255 * 3 + 2] = 255;
    const int frames = which == "intro" ? 60 : 45;
    for (int f = 0; f < frames; ++f) {
        std::vector<uint8_t> picture(size_t(clip.width) * size_t(clip.height));
        const double t = double(f) / double(frames);
        const int horizon = 150 + int(20 * std::sin(2 * kPi * t));
        // The emblem: a disc that rises and grows, ringed by a bright band.
        const double cx = 40 + 240 * t, cy = 200 - 110 * std::sin(kPi * t), r = 18 + 30 * t;
        for (int y = 0; y < clip.height; ++y) {
            for (int x = 0; x < clip.width; ++x) {
                uint8_t v;
                if (y < horizon)
                    v = uint8_t(63 - y * 63 / std::max(horizon, 1));
                else
                    v = uint8_t(64 + std::min(63, (y - horizon) * 2 + ((x / 16 + f) % 4 == 0 ? 6 : 0)));
                const double dx = x - cx, dy = y - cy, d = std::sqrt(dx * dx + dy * dy);
                if (d < r) v = uint8_t(128 + std::min(63, int(63 * (1.0 - d / r))));
                else if (d < r + 3) v = 255;
                picture[size_t(y) * size_t(clip.width) + size_t(x)] = v;
            }
        }
        clip.frames.push_back(std::move(picture));
    }
    if (which == "intro") clip.sound = ToUnsigned8(Tune(330.0f, float(frames) / 15.0f, clip.soundRate));
    return clip;
}

std::vector<uint8_t> SampleTrack(int track) {
    constexpr int rate = 11025;
    // A semitone apart from track to track.
    const float base = 196.0f * float(std::pow(2.0, double(track - 2) / 12.0));
    return WaveBytes(Tune(base, 3.0f, rate), rate, 8);
}

bool WriteMediaWorld(const std::string& dir, std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(dir + "/movie", ec);
    std::filesystem::create_directories(dir + "/cd", ec);
    if (ec) {
        if (error) *error = "cannot create the movie and cd directories: " + ec.message();
        return false;
    }
    for (const char* which : {"intro", "outro", "credits"})
        if (!WriteBytes(dir + "/movie/" + which + ".avi", AviBytes(SampleClip(which)), error)) return false;
    for (int track = 2; track <= 16; ++track) {
        char name[32];
        std::snprintf(name, sizeof name, "/cd/track%02d.wav", track);
        if (!WriteBytes(dir + name, SampleTrack(track), error)) return false;
    }
    return true;
}

}  // namespace content
