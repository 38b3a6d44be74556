// The movie device: plays a clip the AVI reader accepts (avi.h) into a rectangle of a window's
// client area, stepping on the platform clock at the clip's frame rate, with its sound on the
// media output (media.h). The window's message queue drives it: whenever messages are looked
// for, the frame that is due is shown (each shown frame counts as a frame of the run, like a
// game frame) and, at the end of a play, the end notice MM_MCINOTIFY (wParam 1, success; lParam
// the device) is posted to the notify window.
#pragma once
#include <cstdint>
#include <string>

#include "platform/avi.h"
#include "platform/window.h"

// A device that plays path for the window; 0 with the reason when the file is refused.
uint32_t PlatMovie_Open(const std::string& path, WindowHandle window, std::string* reason);
bool PlatMovie_Close(uint32_t device);
bool PlatMovie_IsOpen(uint32_t device);
// Where the frames go, in the window's client area (left, top, width, height); the whole client
// area until set.
bool PlatMovie_SetDestination(uint32_t device, int left, int top, int width, int height);
// Plays from frame from to frame to (-1: the last) and then posts the end notice to notify
// (none when 0). The first frame shows at once.
bool PlatMovie_Play(uint32_t device, int from, int to, WindowHandle notify);
bool PlatMovie_Stop(uint32_t device);  // keeps the frame shown; no notice
bool PlatMovie_Seek(uint32_t device, int frame);  // -1: the last frame; stops a play
int PlatMovie_FrameCount(uint32_t device);  // -1 when not open
int PlatMovie_Position(uint32_t device);    // the frame shown last, -1 when none
bool PlatMovie_IsPlaying(uint32_t device);
// Decodes the frame and shows it scaled into the destination (the window's other pixels black).
bool PlatMovie_ShowFrame(uint32_t device, int frame);
// Steps every playing device on the clock; the message queue calls it.
void PlatMovie_Service();
void PlatMovie_Reset();  // closes every device
