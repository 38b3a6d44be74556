#include "audio/radiovoice.h"

#include <cstring>

#include "Objkr/entity.h"
#include "core/helpers.h"
#include "core/seams/audio.h"
#include "core/seams/shell.h"
#include "platform/clock.h"

namespace {

constexpr uint32_t kDeadFlag = 0x200;
constexpr uint32_t kStaleMs = 10000;

struct RadioLine {
    char name[17];
    Entity* speaker;
    SoundInstance* instance;
    int type;
    uint32_t queuedMs;
    RadioLine* next;
};

struct RadioState {
    RadioLine* head = nullptr;
    bool enabled = false;
    uint32_t (*now)() = Plat_Milliseconds;
};

RadioState& R() {
    static RadioState state;
    return state;
}

Entity* UserEntity() {
    EntityTableRecord* record = Entities_GetUser();
    return record ? record->entity : nullptr;
}

int Advance(SoundInstance* instance, int phase);

bool SpeakerDead(const RadioLine* line) { return line->speaker && (line->speaker->flags & kDeadFlag); }

// Plays the line; false when it cannot be played.
bool PlayLine(RadioLine* line) {
    if (line->type == 4 && R().now() - line->queuedMs > kStaleMs) return false;
    SoundParams params;
    SoundParams_Init(&params);
    params.flags |= kSoundSurvivesPause | kSoundVoice;
    params.end = Advance;
    SoundHeader header;
    std::memset(&header, 0xFF, sizeof header);
    header.priority = 10000;
    line->instance = Sound_Play(line->name, nullptr, &params, &header);
    return line->instance != nullptr;
}

void FreeLine(RadioLine* line, bool stop) {
    if (stop && line->instance) Sound_Stop(line->instance);
    delete line;
}

// Plays the head, dropping lines that cannot play, until one plays or the queue is empty.
bool PlayHead() {
    RadioState& r = R();
    while (r.head) {
        if (!SpeakerDead(r.head) && PlayLine(r.head)) return true;
        RadioLine* dead = r.head;
        r.head = dead->next;
        FreeLine(dead, false);
    }
    return false;
}

int Advance(SoundInstance* instance, int) {
    RadioState& r = R();
    if (r.head && r.head->instance == instance) {
        RadioLine* done = r.head;
        r.head = done->next;
        FreeLine(done, true);
        PlayHead();
        return 1;
    }
    // A line no longer owned by the queue plays out and is freed.
    Sound_Stop(instance);
    return 1;
}

}  // namespace

SoundInstance* Sound_PlayOnObject(const char* name, Entity* owner, const SoundParams* params) {
    if (!owner) owner = UserEntity();
    if (!owner || !name || !name[0]) return nullptr;
    return Sound_Play(name, owner, params, nullptr);
}

SoundInstance* Sound_PlayAtObject(const char* name, Entity* owner, const SoundParams* params) {
    SoundParams copy;
    if (params) copy = *params;
    else SoundParams_Init(&copy);
    copy.flags |= kSoundPlaceOnce;
    return Sound_PlayOnObject(name, owner, &copy);
}

void Sound_PlayEffectsSample(int level) {
    AudioSys_SetVolumes(-2, level, -2);
    SoundParams params;
    SoundParams_Init(&params);
    params.flags = 0x12;
    Sound_Play("ping.wav", nullptr, &params, nullptr);
}

void Sound_PlayVoiceSample(int level) {
    AudioSys_SetVolumes(-2, -2, level);
    SoundParams params;
    SoundParams_Init(&params);
    params.flags = 0x14;
    Sound_Play("avconsv9.wav", nullptr, &params, nullptr);
}

void Audio_Suspend() {
    AudioSys_PauseAll();
    Seam_Audio().cdPause();
}

void Audio_Resume() {
    AudioSys_ResumeAll();
    Seam_Audio().cdResume();
}

namespace {

int Queue(const char* name, Entity* speaker, int type, bool checkSpeaker) {
    RadioState& r = R();
    if (!r.enabled || !name) return 0;
    if (Text_CompareNoCase(name, "STOPCBXX") == 0) {
        r.enabled = false;
        return 0;
    }
    if (checkSpeaker && speaker && (speaker->flags & kDeadFlag)) return 0;
    const uint8_t* def = Seam_Shell().playerDef ? Seam_Shell().playerDef() : nullptr;
    if (def && (def[82] == 0 || def[83] == 0)) return 1;
    if (r.head) {
        const int playing = r.head->type;
        if (type == 5) return 0;
        if (type == 6 && playing < 5) return 0;
        if (type == 1 || (type < 5 && playing > 4)) RadioVoice_Clear(0);
    }
    auto* line = new RadioLine{};
    std::strncpy(line->name, name, 16);
    line->speaker = speaker;
    line->type = type;
    line->queuedMs = r.now();
    if (r.head) {
        if (type != 2) {
            RadioLine** tail = &r.head;
            while (*tail) tail = &(*tail)->next;
            *tail = line;
            return 0;
        }
        RadioLine* cut = r.head;
        line->next = cut->next;
        r.head = line;
        FreeLine(cut, true);
    } else {
        r.head = line;
    }
    return PlayHead() ? 1 : 0;
}

}  // namespace

int RadioVoice_Queue(const char* name, Entity* speaker, int type) { return Queue(name, speaker, type, true); }

void RadioVoice_RemoveSpeaker(Entity* speaker) {
    RadioState& r = R();
    if (!speaker || !r.head) return;
    const bool playingIsSpeaker = r.head->speaker == speaker && r.head->instance;
    RadioLine** p = playingIsSpeaker ? &r.head->next : &r.head;
    while (*p) {
        if ((*p)->speaker == speaker) {
            RadioLine* dead = *p;
            *p = dead->next;
            FreeLine(dead, true);
        } else {
            p = &(*p)->next;
        }
    }
    // The dying speaker's line is cut by the click, which belongs to no speaker (the dead one
    // would be skipped).
    if (playingIsSpeaker) Queue("cmike.wav", nullptr, 2, false);
}

void RadioVoice_Clear(int keepPlaying) {
    RadioState& r = R();
    RadioLine* line = r.head;
    r.head = nullptr;
    bool first = true;
    while (line) {
        RadioLine* next = line->next;
        FreeLine(line, !(first && keepPlaying));
        first = false;
        line = next;
    }
}

void RadioVoice_Enable(bool on) { R().enabled = on; }
bool RadioVoice_IsEnabled() { return R().enabled; }

int RadioVoice_Count() {
    int n = 0;
    for (RadioLine* l = R().head; l; l = l->next) ++n;
    return n;
}

const char* RadioVoice_NameAt(int index) {
    for (RadioLine* l = R().head; l; l = l->next)
        if (index-- == 0) return l->name;
    return nullptr;
}

SoundInstance* RadioVoice_Playing() { return R().head ? R().head->instance : nullptr; }

void RadioVoice_SetClock(uint32_t (*now)()) { R().now = now ? now : Plat_Milliseconds; }

void RadioVoice_ResetForTests() {
    RadioVoice_Clear(0);
    R() = RadioState{};
}
