// The music disc: a directory of track files. Audio track n (2 to 50) is "track%02d.wav", a PCM
// wave; track 1 is the data track and has no file. The last track is the highest-numbered file;
// a track without a file is empty. Positions are milliseconds from the start of the disc, each
// track starting where the one before ends. A play runs on the platform clock and is heard on
// the media output.
#pragma once
#include <cstdint>
#include <string>

constexpr int kCdMaxTrack = 50;

enum CdMode {
    kCdDoorOpen = 1,
    kCdStopped = 2,
    kCdPlaying = 3,
    kCdPaused = 4,
    kCdNotReady = 5,
};

// Where the disc is: the directory set here (tests and tools; "" for none set), else the one
// GRAVENHOLT_CD names, else the data root's "cd" directory when it exists; "" when there is no
// drive.
void CdDisc_SetDirectory(const std::string& dir);
std::string CdDisc_Directory();
// The drive's letter: 'D' when there is a drive, else 0.
char CdDisc_DriveLetter();
// A name on the disc ("movie\intro.avi") as a host path; "" without a drive.
std::string CdDisc_Path(const std::string& name);

// Opens the drive and reads its track table; false without a drive or when its directory is
// missing (the door is open).
bool CdDisc_Open();
void CdDisc_Close();  // stops the disc's music
bool CdDisc_IsOpen();
// The drive's mode, read now: a directory gone reports the door open, one without a track file
// not ready; either stops the music.
int CdDisc_Mode();
int CdDisc_FirstTrack();  // 1
int CdDisc_LastTrack();   // 0 when there are none
// The start of track (1 to last + 1, the end marker); 0 outside.
uint32_t CdDisc_TrackStart(int track);
// Plays from position from up to position to.
bool CdDisc_Play(uint32_t from, uint32_t to);
void CdDisc_Stop();
void CdDisc_Pause();   // remembers the position
bool CdDisc_Resume();  // from the remembered position; false when not paused
uint32_t CdDisc_Position();
// The track playing now; 0 when none.
int CdDisc_CurrentTrack();
void CdDisc_Reset();
