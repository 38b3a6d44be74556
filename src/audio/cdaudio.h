// Music from the disc (cddisc.h): the map's track, the shell's, the slow re-check that restarts
// a track that has ended, and the music's volume on the media output.
#pragma once
#include <cstdint>

// The drive letter found for the disc (0 when there is none).
extern char CDDriveLetter;

constexpr uint32_t kCdVolumeUnchanged = 0xFAAAFAAA;
constexpr uint32_t kCdVolumeRestore = 0xFBBBFBBB;

int CDAudio_Open();  // 1 when open
void CDAudio_Close();
void CDAudio_SetTrack(int track);  // the current map's track (-1 none)
// Plays the track (-1: the stored one); 1 when it plays with the fast re-check, else 0.
int CDAudio_PlayTrack(int track, bool force);
void CDAudio_Stop();
void CDAudio_Pause();
void CDAudio_Resume();
void CDAudio_Recheck();
// Level 0 to 10 (clamped) as the music's gain level * 65535 / 10; kCdVolumeUnchanged changes
// nothing, kCdVolumeRestore brings back the gain found at the first open. 0 when there is no
// output to set (no sound device).
int CDAudio_SetVolume(uint32_t level);
// Remembers the output's gain as the one to restore, unless one is remembered already.
void CDAudio_SaveVolume();

// What tests and tools look at.
struct CdMusicState {
    int track;  // -1 none
    bool playing;
    bool paused;
    bool fast;
    uint32_t nextCheck;
    bool open;
};
CdMusicState CDAudio_State();
void CDAudio_Reset();
