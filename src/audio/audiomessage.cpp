#include "audio/audiomessage.h"

#include <algorithm>
#include <cstring>
#include <deque>

#include "audio/audiosys.h"
#include "core/debug.h"
#include "core/fieldarchive.h"
#include "core/helpers.h"
#include "core/odf.h"
#include "core/phasehook.h"

namespace {

constexpr int kSaveLimit = 10;
constexpr size_t kSavedNameSize = 14;

struct Message {
    char name[17];  // a copy: the caller's text need not outlive the message
    int id;
};

struct QueueState {
    std::deque<Message> list;
    int nextId = 1;
    bool playing = false;
    SoundInstance* instance = nullptr;
    int playingId = 0;
    char lastName[17] = {};
};

QueueState& Q() {
    static QueueState state;
    return state;
}

void EndPlaying() {
    QueueState& q = Q();
    SoundInstance* instance = q.instance;
    q.instance = nullptr;
    q.playingId = 0;
    if (!q.list.empty()) q.list.pop_front();
    q.playing = false;
    if (instance) Sound_Stop(instance);
}

// The layer freed the sound without its end (stop-all, shutdown): the message ends all the same,
// so nothing waits for it for ever.
void MessageFreed(SoundInstance* instance) {
    if (instance != Q().instance) return;
    Q().instance = nullptr;
    EndPlaying();
}

int MessageEnded(SoundInstance* instance, int) {
    if (instance == Q().instance) EndPlaying();
    else Sound_Stop(instance);
    return 1;
}

class AudioMessageQueueHook final : public PhaseHook {
public:
    AudioMessageQueueHook() { flags |= kPhaseFlagFrame; }
    void Startup() override {
        Audio_ReadSettings();
        AudioMessage_Reset();
    }
    void MissionCleanup() override { AudioMessage_Reset(); }
    void Frame() override { AudioMessage_Update(); }
};

}  // namespace

int AudioMessage_Play(const char* name) {
    QueueState& q = Q();
    Message m{};
    Text_CopyFixed(m.name, 16, name);
    m.id = q.nextId++;
    q.list.push_back(m);
    return m.id;
}

bool AudioMessage_IsDone(int id) {
    if (id == 0) return true;
    for (const Message& m : Q().list)
        if (m.id == id) return false;
    return Q().playingId != id;
}

void AudioMessage_Stop(int id) {
    QueueState& q = Q();
    if (id == 0) return;
    if (q.playing && id == q.playingId) {
        EndPlaying();
        return;
    }
    for (auto it = q.list.begin(); it != q.list.end(); ++it) {
        if (it->id == id && !(q.playing && it == q.list.begin())) {
            q.list.erase(it);
            return;
        }
    }
}

void AudioMessage_Repeat() {
    if (Q().lastName[0]) AudioMessage_Play(Q().lastName);
}

bool AudioMessage_IsPlaying() { return Q().playing; }
int AudioMessage_Count() { return int(Q().list.size()); }

void AudioMessage_Update() {
    QueueState& q = Q();
    if (q.playing || q.list.empty()) return;
    const Message& front = q.list.front();
    SoundParams params;
    SoundParams_Init(&params);
    params.flags |= kSoundSurvivesPause | kSoundVoice;
    params.end = MessageEnded;
    SoundHeader header;
    std::memset(&header, 0xFF, sizeof header);
    header.priority = 10000;
    SoundInstance* instance = Sound_Play(front.name, nullptr, &params, &header);
    if (!instance) {
        Debug_Printf("AudioMessage %s - not played\n", front.name);
        q.list.pop_front();
        return;
    }
    std::memcpy(q.lastName, front.name, sizeof q.lastName);
    instance->onFree = MessageFreed;
    q.instance = instance;
    q.playingId = front.id;
    q.playing = true;
}

void AudioMessage_Reset() {
    QueueState& q = Q();
    SoundInstance* instance = q.instance;
    q.instance = nullptr;
    q.list.clear();
    q.playing = false;
    q.playingId = 0;
    q.nextId = 1;
    std::memset(q.lastName, 0, sizeof q.lastName);
    if (instance) Sound_Stop(instance);
}

bool AudioMessage_Save(FILE* stream) {
    QueueState& q = Q();
    int32_t size = int32_t(std::min<size_t>(q.list.size(), kSaveLimit));
    if (!Field_WriteLong(stream, &size, sizeof size, "size")) return false;
    for (int32_t i = 0; i < size; ++i) {
        int32_t id = q.list[size_t(i)].id;
        char name[kSavedNameSize] = {};
        Text_CopyFixed(name, kSavedNameSize - 1, q.list[size_t(i)].name);
        if (!Field_WriteLong(stream, &id, sizeof id, "seqNo")) return false;
        if (!Field_WriteString(stream, name, sizeof name, "name")) return false;
    }
    return Field_WriteString(stream, q.lastName, 16, "lastMsg");
}

bool AudioMessage_Load() {
    if (Field_Version() < 1024) return true;
    QueueState& q = Q();
    AudioMessage_Reset();
    int32_t size = 0;
    if (!Field_ReadLong("size", &size, sizeof size)) return false;
    if (size < 0) return false;
    size = std::min<int32_t>(size, kSaveLimit);
    for (int32_t i = 0; i < size; ++i) {
        int32_t id = 0;
        // Room for the terminator after a name of the full 14 characters.
        char name[kSavedNameSize + 1] = {};
        if (!Field_ReadLong("seqNo", &id, sizeof id)) return false;
        if (!Field_ReadString("name", name, kSavedNameSize)) return false;
        Message m{};
        Text_CopyFixed(m.name, kSavedNameSize, name);
        m.id = id;
        q.list.push_back(m);
        q.nextId = id + 1;
    }
    char last[17] = {};
    if (!Field_ReadString("lastMsg", last, 16)) return false;
    std::memcpy(q.lastName, last, sizeof q.lastName);
    return true;
}

void Audio_ReadSettings() {
    OdfFile odf;
    if (!odf.Open("audio.odf")) return;
    AudioConstants& c = Audio_Constants();
    float* floats[] = {&c.distanceFactor[0], &c.rolloff[0],     &c.doppler[0],      &c.distanceFactor[1],
                       &c.rolloff[1],        &c.doppler[1],     &c.minDistance,     &c.maxDistance,
                       &c.placeOnceMin,      &c.placeOnceMax};
    const uint32_t keys[] = {0x37E230BD, 0x6B9DE01C, 0xAF94B358, 0xD5868120, 0x5E165AEF,
                             0x79CFFCBB, 0x0CA24532, 0x7A9FD210, 0x925B352E, 0x92F5BE2C};
    for (size_t i = 0; i < sizeof keys / sizeof keys[0]; ++i) odf.GetFloat(keys[i], floats[i], *floats[i]);
    // Present without its own key, the kind-3 minimum is the plain minimum.
    odf.GetFloat(0x02E50EDC, &c.kind3Min, c.minDistance);
    const uint32_t hover[9] = {0xC7834D4A, 0xDCB07FDC, 0xD58454FB, 0x55188F35, 0x88F86C72,
                               0xE358BDA4, 0x14548923, 0x9074837D, 0xFBE7633A};
    for (int i = 0; i < 9; ++i) odf.GetFloat(hover[i], &c.hoverEngine[i], c.hoverEngine[i]);
    odf.GetFloat(0x863E8495, &c.kind3VolumeFactor, c.kind3VolumeFactor);
    odf.GetInt(0xD2FB08D7, &c.primaryRate, c.primaryRate);
}

PhaseHook& AudioMessageQueue_Member() {
    static AudioMessageQueueHook member;
    return member;
}
