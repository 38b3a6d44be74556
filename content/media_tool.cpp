#include "media_tool.h"

#include <cstdint>
#include <filesystem>
#include <vector>

#include "audio/cdaudio.h"
#include "audio/cddisc.h"
#include "platform/avi.h"
#include "platform/clock.h"

namespace content {

int MovieTool(const std::string& file, const std::string& outDir, FILE* out, FILE* err) {
    AviClip clip;
    std::string reason;
    if (!Avi_Load(file, &clip, &reason)) {
        std::fprintf(err, "gvtool: %s: %s\n", file.c_str(), reason.c_str());
        return 1;
    }
    const double rate = double(clip.rate) / double(clip.scale);
    std::fprintf(out, "frames=%zu width=%d height=%d rate=%g audio=%s\n", clip.frames.size(), clip.width,
                 clip.height, rate, clip.hasAudio ? "yes" : "no");
    if (outDir.empty()) return 0;
    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    AviDecoder decoder(clip);
    for (size_t f = 0; f < clip.frames.size(); ++f) {
        if (!decoder.decode(int(f))) {
            std::fprintf(err, "gvtool: frame %zu cannot be decoded\n", f);
            return 1;
        }
        if (f % 10 != 0) continue;
        char name[32];
        std::snprintf(name, sizeof name, "/frame%04zu.ppm", f);
        FILE* ppm = std::fopen((outDir + name).c_str(), "wb");
        if (!ppm) {
            std::fprintf(err, "gvtool: cannot write %s%s\n", outDir.c_str(), name);
            return 1;
        }
        std::fprintf(ppm, "P6\n%d %d\n255\n", clip.width, clip.height);
        std::vector<uint8_t> rgb;
        rgb.reserve(decoder.pixels().size() * 3);
        for (uint32_t p : decoder.pixels()) {
            rgb.push_back(uint8_t(p >> 16));
            rgb.push_back(uint8_t(p >> 8));
            rgb.push_back(uint8_t(p));
        }
        const bool ok = std::fwrite(rgb.data(), 1, rgb.size(), ppm) == rgb.size();
        if (std::fclose(ppm) != 0 || !ok) {
            std::fprintf(err, "gvtool: cannot write %s%s\n", outDir.c_str(), name);
            return 1;
        }
    }
    return 0;
}

int CdTool(const std::string& dir, int track, FILE* out, FILE* err) {
    Plat_UseVirtualClock(1000);
    CdDisc_SetDirectory(dir);
    CDAudio_PlayTrack(track, true);
    if (!CDAudio_State().playing) {
        std::fprintf(err, "gvtool: track %d does not play from %s\n", track, dir.c_str());
        CdDisc_SetDirectory("");
        return 1;
    }
    int last = 0;
    std::string line;
    for (int step = 0; step < 24 * 3600 * 10; ++step) {  // at most a day of music
        const int now = CdDisc_CurrentTrack();
        if (now == 0) break;
        if (now != last) line += std::to_string(now) + " ";
        last = now;
        Plat_AdvanceVirtualClock(100);
    }
    std::fprintf(out, "%sstopped\n", line.c_str());
    CDAudio_Stop();
    CDAudio_Close();
    CdDisc_SetDirectory("");
    return 0;
}

}  // namespace content
