// The sound front-end (plain calls that play sounds without building parameter blocks) and the
// radio voice: spoken lines of units played one at a time on the voice channel, in order, with
// urgent lines cutting in and chatter dropped.
#pragma once
#include <cstdint>

#include "audio/audiosys.h"

SoundInstance* Sound_PlayOnObject(const char* name, Entity* owner, const SoundParams* params);
SoundInstance* Sound_PlayAtObject(const char* name, Entity* owner, const SoundParams* params);
void Sound_PlayEffectsSample(int level);
void Sound_PlayVoiceSample(int level);
void Audio_Suspend();
void Audio_Resume();

// 1 when a line started (and when radio voice is muted by the settings), 0 otherwise.
int RadioVoice_Queue(const char* name, Entity* speaker, int type);
void RadioVoice_RemoveSpeaker(Entity* speaker);
void RadioVoice_Clear(int keepPlaying);
void RadioVoice_Enable(bool on);
bool RadioVoice_IsEnabled();

// The lines in the queue, the one playing first (tests).
int RadioVoice_Count();
const char* RadioVoice_NameAt(int index);
SoundInstance* RadioVoice_Playing();

// The queue's clock (monotonic milliseconds); tests replace it.
void RadioVoice_SetClock(uint32_t (*now)());
void RadioVoice_ResetForTests();
