#include "audio/cddisc.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "audio/wave.h"
#include "core/debug.h"
#include "platform/clock.h"
#include "platform/media.h"
#include "platform/paths.h"

namespace {

struct Track {
    uint32_t lengthMs = 0;
    PlatMediaClip clip;
};

struct Disc {
    std::string setDir;
    bool open = false;
    std::string dir;
    int last = 0;
    std::vector<Track> tracks;      // index = track number
    std::vector<uint32_t> starts;   // index = track number, last + 1 the end marker
    int mode = kCdStopped;
    uint32_t from = 0, to = 0;      // the play
    uint32_t startMs = 0;
    uint32_t pausedAt = 0;
    uint32_t ticket = 0;
};

Disc& D() {
    static Disc disc;
    return disc;
}

std::string TrackName(int track) {
    char name[16];
    std::snprintf(name, sizeof name, "track%02d.wav", track);
    return name;
}

// The highest-numbered track file in the directory; 0 when none.
int HighestTrack(const std::string& dir) {
    Plat_ForgetDirectoryCache();
    for (int t = kCdMaxTrack; t >= 2; --t)
        if (Plat_FileExists(Plat_ResolvePath(dir + "/" + TrackName(t)))) return t;
    return 0;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* bytes) {
    FILE* file = Plat_OpenFile(path, "rb");
    if (!file) return false;
    uint8_t buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes->insert(bytes->end(), buffer, buffer + got);
        if (bytes->size() > (size_t(64) << 20)) break;
    }
    std::fclose(file);
    return true;
}

bool ReadTable(Disc& d) {
    d.last = HighestTrack(d.dir);
    d.tracks.assign(size_t(d.last) + 2, Track{});
    d.starts.assign(size_t(d.last) + 2, 0);
    for (int t = 2; t <= d.last; ++t) {
        std::vector<uint8_t> bytes;
        WaveInfo info;
        if (!ReadFile(Plat_ResolvePath(d.dir + "/" + TrackName(t)), &bytes) ||
            !Wave_Parse(bytes.data(), bytes.size(), &info)) {
            Debug_Trace("CD: track %d cannot be read\n", t);
            continue;
        }
        Track& track = d.tracks[size_t(t)];
        const uint32_t frameBytes = uint32_t(info.format.channels * info.format.bits / 8);
        const uint64_t frames = info.bytes / frameBytes;
        track.lengthMs = uint32_t(frames * 1000 / uint64_t(info.format.rate));
        track.clip.format = info.format;
        track.clip.data.assign(info.samples, info.samples + size_t(frames) * frameBytes);
    }
    uint32_t at = 0;
    for (int t = 1; t <= d.last + 1; ++t) {
        d.starts[size_t(t)] = at;
        if (t <= d.last) at += d.tracks[size_t(t)].lengthMs;
    }
    return true;
}

// Brings the play up to the clock: a play that reached its end stops.
void Advance(Disc& d) {
    if (d.mode != kCdPlaying) return;
    if (CdDisc_Position() >= d.to) {
        d.mode = kCdStopped;
        d.from = d.to;
        PlatMedia_StopTicket(d.ticket);
    }
}

void StartSound(Disc& d, uint32_t from, uint32_t to) {
    std::vector<PlatMediaClip> clips;
    uint32_t offset = 0;
    for (int t = 1; t <= d.last; ++t) {
        const uint32_t start = d.starts[size_t(t)], end = d.starts[size_t(t) + 1];
        if (end <= from || start >= to || start == end) continue;
        if (clips.empty()) offset = from > start ? from - start : 0;
        clips.push_back(d.tracks[size_t(t)].clip);
    }
    d.ticket = clips.empty() ? 0 : PlatMedia_Play(clips, offset);
}

}  // namespace

void CdDisc_SetDirectory(const std::string& dir) { D().setDir = dir; }

std::string CdDisc_Directory() {
    if (!D().setDir.empty()) return D().setDir;
    if (const char* env = std::getenv("GRAVENHOLT_CD"); env && *env) return env;
    const std::string local = Plat_DataPath("cd");
    if (Plat_IsDirectory(local)) return local;
    return "";
}

char CdDisc_DriveLetter() { return CdDisc_Directory().empty() ? 0 : 'D'; }

std::string CdDisc_Path(const std::string& name) {
    const std::string dir = CdDisc_Directory();
    if (dir.empty()) return "";
    return Plat_ResolvePath(dir + "/" + name);
}

bool CdDisc_Open() {
    Disc& d = D();
    CdDisc_Close();
    d.dir = CdDisc_Directory();
    if (d.dir.empty() || !Plat_IsDirectory(Plat_ResolvePath(d.dir))) return false;
    ReadTable(d);
    d.open = true;
    d.mode = kCdStopped;
    return true;
}

void CdDisc_Close() {
    Disc& d = D();
    if (!d.open) return;
    PlatMedia_StopTicket(d.ticket);
    d.ticket = 0;
    d.open = false;
    d.mode = kCdStopped;
    d.last = 0;
    d.tracks.clear();
    d.starts.clear();
}

bool CdDisc_IsOpen() { return D().open; }

int CdDisc_Mode() {
    Disc& d = D();
    if (!d.open) return kCdNotReady;
    Plat_ForgetDirectoryCache();
    int gone = 0;
    if (!Plat_IsDirectory(Plat_ResolvePath(d.dir)))
        gone = kCdDoorOpen;
    else if (HighestTrack(d.dir) == 0)
        gone = kCdNotReady;
    if (gone) {
        PlatMedia_StopTicket(d.ticket);
        if (d.mode == kCdPlaying || d.mode == kCdPaused) d.mode = kCdStopped;
        return gone;
    }
    Advance(d);
    return d.mode;
}

int CdDisc_FirstTrack() { return 1; }
int CdDisc_LastTrack() { return D().open ? D().last : 0; }

uint32_t CdDisc_TrackStart(int track) {
    Disc& d = D();
    if (!d.open || track < 1 || track > d.last + 1) return 0;
    return d.starts[size_t(track)];
}

bool CdDisc_Play(uint32_t from, uint32_t to) {
    Disc& d = D();
    if (!d.open || from >= to) return false;
    PlatMedia_StopTicket(d.ticket);
    d.from = from;
    d.to = to;
    d.startMs = Plat_Milliseconds();
    d.mode = kCdPlaying;
    StartSound(d, from, to);
    return true;
}

void CdDisc_Stop() {
    Disc& d = D();
    if (!d.open) return;
    d.from = CdDisc_Position();
    PlatMedia_StopTicket(d.ticket);
    d.mode = kCdStopped;
}

void CdDisc_Pause() {
    Disc& d = D();
    Advance(d);
    if (d.mode != kCdPlaying) return;
    d.pausedAt = CdDisc_Position();
    PlatMedia_StopTicket(d.ticket);
    d.mode = kCdPaused;
}

bool CdDisc_Resume() {
    Disc& d = D();
    if (d.mode != kCdPaused) return false;
    return CdDisc_Play(d.pausedAt, d.to);
}

uint32_t CdDisc_Position() {
    Disc& d = D();
    if (d.mode == kCdPaused) return d.pausedAt;
    if (d.mode != kCdPlaying) return d.from;
    const uint64_t at = uint64_t(d.from) + (Plat_Milliseconds() - d.startMs);
    return at >= d.to ? d.to : uint32_t(at);
}

int CdDisc_CurrentTrack() {
    Disc& d = D();
    Advance(d);
    if (d.mode != kCdPlaying) return 0;
    const uint32_t at = CdDisc_Position();
    for (int t = 1; t <= d.last; ++t)
        if (at >= d.starts[size_t(t)] && at < d.starts[size_t(t) + 1]) return t;
    return 0;
}

void CdDisc_Reset() {
    CdDisc_Close();
    D() = Disc{};
}
