// The audio message queue of mission scripts: voice files queued by the script and played one
// after another on the voice channel, with ids by which the script waits for a message or
// cancels it. Its start-up also reads the audio settings file "audio.odf".
#pragma once
#include <cstdio>

class PhaseHook;

int AudioMessage_Play(const char* name);  // the new message's id (1, 2, ... after each reset)
bool AudioMessage_IsDone(int id);
void AudioMessage_Stop(int id);
void AudioMessage_Repeat();
bool AudioMessage_IsPlaying();

// The script state's save and load: "size" (at most 10), then per message "seqNo" and the
// name (14 characters), then "lastMsg" (16 characters). The load reads the same fields from the
// archive being read (version 1024 or later) and stops at the first failed field.
bool AudioMessage_Save(FILE* stream);
bool AudioMessage_Load();

// Reads "audio.odf" into the sound layer's constants (a missing file keeps them).
void Audio_ReadSettings();

// Per-frame work, reset and start-up (the registry member's operations).
void AudioMessage_Update();
void AudioMessage_Reset();
int AudioMessage_Count();  // queued, the playing one first

PhaseHook& AudioMessageQueue_Member();
