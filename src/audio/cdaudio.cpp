#include "audio/cdaudio.h"

#include <algorithm>

#include "audio/cddisc.h"
#include "core/cmdline.h"
#include "core/debug.h"
#include "core/app.h"
#include "core/game.h"
#include "core/seams/shell.h"
#include "platform/clock.h"
#include "platform/media.h"

char CDDriveLetter = 0;

namespace {

constexpr uint32_t kFastRecheckMs = 5000;
constexpr uint32_t kSlowRecheckMs = 60000;
constexpr int kShellModalState = kStateModalShell;

struct CdState {
    bool open = false;
    int lastMode = kCdNotReady;
    int track = -1;
    bool playing = false;
    bool paused = false;
    bool fast = false;
    uint32_t nextCheck = 0;
    bool gainSaved = false;
    uint32_t firstGain = 65535;
};

CdState& C() {
    static CdState state;
    return state;
}

// The player's music level (0 to 10); a new player's 2 when there is no record.
int MusicSetting() {
    const uint8_t* def = Seam_Shell().playerDef ? Seam_Shell().playerDef() : nullptr;
    return def ? def[80] : 2;
}

bool HasOutput() { return !CmdLine_Globals().noDirectSound; }

void SaveGain() {
    CdState& c = C();
    if (c.gainSaved || !HasOutput()) return;
    c.firstGain = PlatMedia_Gain();
    c.gainSaved = true;
}

bool InTable(int track) { return track >= CdDisc_FirstTrack() && track <= CdDisc_LastTrack(); }

// Plays track a on: tracks below 15 run on to the start of 15, later ones end at the next. A
// disc that ends sooner ends the play at its end marker.
void PlayRange(int track) {
    const int last = CdDisc_LastTrack();
    int end = track < 15 ? 15 : track + 1;
    if (end > last + 1) end = last + 1;
    if (CdDisc_Mode() == kCdPlaying) CdDisc_Stop();
    CdDisc_Play(CdDisc_TrackStart(track), CdDisc_TrackStart(end));
}

}  // namespace

int CDAudio_Open() {
    CdState& c = C();
    CDDriveLetter = CdDisc_DriveLetter();
    if (!CDDriveLetter) return 0;
    c.open = CdDisc_Open();
    if (!c.open) return 0;
    if (CdDisc_Mode() == kCdDoorOpen) {
        CDAudio_Close();
        return 0;
    }
    SaveGain();
    CDAudio_SetVolume(uint32_t(MusicSetting()));
    return 1;
}

void CDAudio_Close() {
    CdDisc_Close();
    C().open = false;
}

void CDAudio_SetTrack(int track) { C().track = track; }

int CDAudio_PlayTrack(int track, bool force) {
    CdState& c = C();
    if (c.playing) return 0;
    CDAudio_Close();
    CDAudio_Open();
    if (track != -1) c.track = track;
    if (c.open && CdDisc_Mode() != kCdDoorOpen && InTable(c.track)) {
        if (MusicSetting() != 0 || force) PlayRange(c.track);
        const int mode = CdDisc_Mode();
        if (mode == kCdPlaying) {
            c.playing = true;
            c.paused = false;
            c.lastMode = mode;
            c.fast = Game_GetState() == kShellModalState;
            c.nextCheck = Plat_Milliseconds() + (c.fast ? kFastRecheckMs : kSlowRecheckMs);
            return c.fast ? 1 : 0;
        }
        return 0;
    }
    c.track = -1;
    return 0;
}

void CDAudio_Stop() {
    CdState& c = C();
    if (c.playing && c.track != -1 && c.open) {
        for (int attempt = 0; attempt < 8; ++attempt) {
            const int mode = CdDisc_Mode();
            if (mode != kCdPlaying && mode != kCdPaused) break;
            CdDisc_Stop();
        }
    }
    c.playing = false;
    c.paused = false;
}

void CDAudio_Pause() {
    CdState& c = C();
    if (!c.playing || c.paused) return;
    if (c.track != -1 && MusicSetting() != 0 && c.open) CdDisc_Pause();
    c.paused = true;
}

void CDAudio_Resume() {
    CdState& c = C();
    if (!c.playing || !c.paused) return;
    if (c.open) {
        const int mode = CdDisc_Mode();
        if (mode == kCdPaused)
            CdDisc_Resume();
        else if (mode == kCdStopped && InTable(c.track))
            PlayRange(c.track);
    }
    c.paused = false;
}

void CDAudio_Recheck() {
    CdState& c = C();
    PlatMedia_Pump();
    if (!c.playing) return;
    const uint32_t now = Plat_Milliseconds();
    if (int32_t(now - c.nextCheck) < 0) return;
    c.nextCheck = now + (c.fast ? kFastRecheckMs : kSlowRecheckMs);
    const int mode = c.open ? CdDisc_Mode() : kCdNotReady;
    if (mode == kCdDoorOpen || mode == kCdNotReady) {
        c.playing = false;
        c.paused = false;
        return;
    }
    if (c.paused || MusicSetting() <= 1 || mode == c.lastMode || c.track == -1) return;
    // A changed disc is read again; a failed read is traced and tried up to three times.
    bool read = false;
    for (int attempt = 0; attempt < 3 && !read; ++attempt) {
        read = CdDisc_Open();
        if (!read) Debug_Trace("CD: the disc could not be read again\n");
    }
    c.open = read;
    if (!read) return;
    const int track = c.fast ? c.track : 2;
    if (InTable(track)) PlayRange(track);
    c.lastMode = CdDisc_Mode();
}

int CDAudio_SetVolume(uint32_t level) {
    CdState& c = C();
    if (!HasOutput()) return 0;
    SaveGain();
    if (level == kCdVolumeUnchanged) return 1;
    if (level == kCdVolumeRestore) {
        PlatMedia_SetGain(c.firstGain);
        return 1;
    }
    const uint32_t clamped = std::min<uint32_t>(level, 10);
    PlatMedia_SetGain(clamped * 65535 / 10);
    return 1;
}

void CDAudio_SaveVolume() { SaveGain(); }

CdMusicState CDAudio_State() {
    const CdState& c = C();
    return CdMusicState{c.track, c.playing, c.paused, c.fast, c.nextCheck, c.open};
}

void CDAudio_Reset() {
    CdDisc_Reset();
    C() = CdState{};
    CDDriveLetter = 0;
}
