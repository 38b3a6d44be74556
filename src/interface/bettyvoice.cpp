#include "interface/bettyvoice.h"

#include <cstdio>
#include <cstring>

#include "core/clock.h"
#include "core/phasehook.h"
#include "core/seams/audio.h"
#include "core/seams/cockpit.h"
#include "fun3d/craftservices.h"
#include "fun3d/gameobject.h"
#include "fun3d/gameobjectclass.h"
#include "interface/camera.h"

namespace {

constexpr int kMessages = 14;
constexpr int kRing = 64;
constexpr float kQuietSeconds = 30.0f;
constexpr int kCameraStackEmpty = 8;
constexpr uint32_t kScavenger = uint32_t('S') << 24 | uint32_t('C') << 16 | uint32_t('A') << 8 | uint32_t('V');

struct BettyState {
    char names[kMessages][17] = {};
    const char* ring[kRing] = {};
    int read = 0, write = 0, count = 0;
    bool free = true;
    float nextTime = -1e30f;
};

BettyState& B() {
    static BettyState state;
    return state;
}

int Waiting() { return B().count; }

// A report while the ring is full is dropped rather than overwriting the one waiting to be read.
void Push(int message) {
    BettyState& b = B();
    if (b.count == kRing) return;
    b.ring[b.write] = b.names[message];
    b.write = (b.write + 1) % kRing;
    ++b.count;
}

bool OfUserTeam(GameObject* object) {
    return object && GameObject_GetUser() && object->GetTeam() == GameObject_GetUserTeam();
}

bool Qualifies(const GameObject* object) {
    if (!object->objClass) return false;
    const int kind = object->objClass->category;
    const int sub = object->teamSlot;
    if (kind == kCategoryBuilding) return true;
    if (kind != kCategoryCraft && kind != kCategoryProducer) return false;
    return (sub >= 1 && sub <= 3) || (sub >= 80 && sub <= 89);
}

void Done() { B().free = true; }

class WarningVoiceHook final : public PhaseHook {
public:
    void PostLoad() override { BettyVoice_WorldStart(); }
    void Simulate(float) override { BettyVoice_Play(); }
};

}  // namespace

namespace BettyVoice {

void ReportUnit(GameObject* object) {
    if (!OfUserTeam(object)) return;
    const int slot = object->teamSlot;
    if (object->objClass && object->objClass->signature == kScavenger) Push(3);
    else if (slot >= 15 && slot <= 24) Push(1);
    else if (slot >= 5 && slot <= 14) Push(2);
    else Push(0);
}

void ReportBuilding(GameObject* object) {
    if (!OfUserTeam(object) || !object->objClass || object->objClass->category != kCategoryBuilding) return;
    Push(object->teamSlot >= 45 && object->teamSlot <= 54 ? 11 : 13);
}

void ReportPanel(GameObject* object) {
    if (OfUserTeam(object)) Push(object == GameObject_GetUser() ? 6 : 4);
}

void ReportCraft(GameObject* object) {
    if (OfUserTeam(object)) Push(object == GameObject_GetUser() ? 8 : 7);
}

void ReportKind(GameObject* object) {
    if (!OfUserTeam(object)) return;
    const float now = Clock_GetTime();
    if (now < B().nextTime) return;
    B().nextTime = now + kQuietSeconds;
    if (Qualifies(object)) Push(5);
}

void ReportMenu() { Push(9); }
void ReportTower() { Push(12); }
void ReportResource() { Push(10); }

}  // namespace BettyVoice

void BettyVoice_ScrapEmpty() {}

void BettyVoice_WorldStart() {
    BettyState& b = B();
    // Names of an earlier mission's race do not carry over to a craft of another race.
    std::memset(b.names, 0, sizeof b.names);
    GameObject* user = GameObject_GetUser();
    const int race = user && user->objClass ? user->objClass->side : 0;
    if (race == kSideAmerican || race == kSideSoviet)
        for (int k = 0; k < kMessages; ++k)
            std::snprintf(b.names[k], sizeof b.names[k], race == kSideAmerican ? "abetty%d.wav" : "sbetty%d.wav", k + 1);
    b.read = b.write = b.count = 0;
    b.free = true;
    b.nextTime = -1e30f;
}

void BettyVoice_Play() {
    BettyState& b = B();
    if (!b.free || Waiting() == 0) return;
    AudioSeam& audio = Seam_Audio();
    if (audio.audioMessagePlaying() || Camera_StackDepth() < kCameraStackEmpty) return;
    const char* name = b.ring[b.read];
    b.read = (b.read + 1) % kRing;
    --b.count;
    if (!name || !name[0]) return;
    b.free = false;
    if (!audio.voicePlay(name, Done)) b.free = true;
}

int BettyVoice_Waiting() { return Waiting(); }
const char* BettyVoice_Name(int message) { return message >= 0 && message < kMessages ? B().names[message] : ""; }
bool BettyVoice_IsFree() { return B().free; }

PhaseHook& CockpitWarningVoice_Member() {
    static WarningVoiceHook member;
    return member;
}

void BettyVoice_InstallSeam() {
    CockpitSeam& cockpit = Seam_Cockpit();
    cockpit.reportUnderAttack = BettyVoice::ReportKind;
    // The status panel's hull and ammunition lines: the voice picks the message by whose craft it is.
    cockpit.voiceReportPanel = [](GameObject* craft, int) { BettyVoice::ReportPanel(craft); };
    cockpit.voiceReportCraft = [](GameObject* craft, int) { BettyVoice::ReportCraft(craft); };
    cockpit.voiceReportBuilding = BettyVoice::ReportBuilding;
    cockpit.voiceReportTower = BettyVoice::ReportTower;
    cockpit.queueWarning = [](int message) {
        if (message >= 0 && message < kMessages) Push(message);
    };
    Craft_Services().reportUnitLost = BettyVoice::ReportUnit;
}

void BettyVoice_ResetForTests() { B() = BettyState{}; }
