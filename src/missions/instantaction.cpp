#include "missions/instantaction.h"

#include <algorithm>
#include <cstring>

#include "core/clock.h"
#include "core/factory.h"
#include "core/fieldarchive.h"
#include "core/filesys.h"
#include "core/helpers.h"
#include "core/odf.h"
#include "core/registration.h"
#include "core/savegame.h"
#include "core/seams/cockpit.h"
#include "fun3d/teamrecord.h"

namespace {

// The settings' keys.
constexpr uint32_t kStartSound = 0x3986dd43u;
constexpr uint32_t kObjective = 0x2de2fe6cu;
constexpr uint32_t kVictoryDebrief = 0x198af464u;
constexpr uint32_t kDefeatDebrief = 0xc79eb669u;
constexpr uint32_t kDefeatSwitch = 0x152e9876u;
constexpr uint32_t kVictorySwitch = 0x84d79505u;
constexpr uint32_t kTimeLimitMeaning = 0xb4ef8667u;
constexpr uint32_t kTeam1Pilots = 0x8af01d94u;
constexpr uint32_t kTeam2Pilots = 0xb2ce525cu;
constexpr uint32_t kTeam1Scrap = 0xa5739020u;
constexpr uint32_t kTeam2Scrap = 0xc4283588u;
constexpr uint32_t kTimeLimit = 0x1752b305u;

constexpr float kEndDelay = 5.0f;  // seconds from the decision to the end screen

InstantActionSettings g_settings;
bool g_settingsRead = false;

// The definition file named after the map: the stem up to its first dot (at most 8 characters)
// and ".odf". A missing file leaves every default.
void OpenSettings(OdfFile* file) {
    const char* stem = Mission_MapName();
    if (!stem[0]) return;
    char name[16];
    std::snprintf(name, sizeof name, "%.8s.odf", stem);
    file->Open(name);
}

bool TeamHoldsAny(int32_t team, int32_t first, int32_t last) {
    const TeamRecord* record = TeamRecord::Get(team);
    return record && record->FindUsedSlot(first, last) >= 0;
}

// Raises the capacity to the amount when it is lower, then adds the amount.
void GiveResources(int32_t team, int32_t pilots, int32_t scrap) {
    TeamRecord* record = TeamRecord::Get(team);
    if (!record) return;
    if (record->GetMaxPilots() < pilots) record->AddMaxPilots(pilots - record->GetMaxPilots());
    record->AddPilots(pilots);
    if (record->GetMaxScrap() < scrap) record->AddMaxScrap(scrap - record->GetMaxScrap());
    record->AddScrap(scrap);
}

class Selector : public AiMissionSelector {
public:
    Selector() : AiMissionSelector("UsrMsn") {}
    bool Matches(const char* text) const override {
        return text && Text_CompareNoCaseN(text, name, std::strlen(name)) == 0;
    }
    AiMission* Create() const override { return new Inst4XMission; }
};

Selector& TheSelector() {
    static Selector* selector = nullptr;
    if (!selector) {
        selector = new Selector;  // it joins the list as it is made
    } else {
        std::vector<AiMissionSelector*>& list = AiMission_Selectors();
        if (std::find(list.begin(), list.end(), selector) == list.end()) list.push_back(selector);
    }
    return *selector;
}

}  // namespace

const FactoryReg* Inst4XMission::GetFactory() const { return Factory_Find("Inst4XMission"); }

void Inst4XMission::Begin() {
    firstFrame = false;
    OdfFile file;
    OpenSettings(&file);
    int pilots1 = 0, pilots2 = 0, scrap1 = 0, scrap2 = 0;
    file.GetInt(kTeam1Pilots, &pilots1, 0);
    file.GetInt(kTeam2Pilots, &pilots2, 30);
    file.GetInt(kTeam1Scrap, &scrap1, 30);
    file.GetInt(kTeam2Scrap, &scrap2, 45);
    file.GetFloat(kTimeLimit, &timeLimit, timeLimit);
    GiveResources(1, pilots1, scrap1);
    GiveResources(2, pilots2, scrap2);
    // PENDING(7.102) the script helpers choose the computer's plan (the map's ".aip" or
    // "misn14.aip"), play the start sound and post the objective.
    if (timeLimit >= 0.1f) {
        Seam_Cockpit().missionTimerStart(static_cast<int32_t>(timeLimit), 45, 15);
        timerStarted = true;
    }
}

void Inst4XMission::Victory() {
    ended = true;
    // PENDING(7.102) the objective is shown again in green.
    SucceedMission(Clock_GetTime() + kEndDelay, g_settings.victoryDebrief[0] ? g_settings.victoryDebrief : nullptr);
}

void Inst4XMission::Defeat() {
    ended = true;
    // PENDING(7.102) the objective is shown again in red.
    FailMission(Clock_GetTime() + kEndDelay, g_settings.defeatDebrief[0] ? g_settings.defeatDebrief : nullptr);
}

void Inst4XMission::Execute() {
    AiMission::Execute();
    if (!g_settingsRead) {
        g_settingsRead = true;
        OdfFile file;
        OpenSettings(&file);
        file.GetString(kStartSound, g_settings.startSound, sizeof g_settings.startSound, "");
        file.GetString(kObjective, g_settings.objective, sizeof g_settings.objective, "");
        file.GetString(kVictoryDebrief, g_settings.victoryDebrief, sizeof g_settings.victoryDebrief, "");
        file.GetString(kDefeatDebrief, g_settings.defeatDebrief, sizeof g_settings.defeatDebrief, "");
        file.GetInt(kDefeatSwitch, &g_settings.defeatWhenNoBase, 0);
        file.GetInt(kVictorySwitch, &g_settings.victoryWhenNoBase, 0);
        file.GetInt(kTimeLimitMeaning, &g_settings.timeLimitMeansVictory, 0);
    }
    if (firstFrame) Begin();
    if (ended) return;
    if (!TeamHoldsAny(2, 1, 4) && !TeamHoldsAny(2, 5, 14) && !TeamHoldsAny(2, 15, 24)) {
        Victory();
    } else if (g_settings.victoryWhenNoBase == 1 && !TeamHoldsAny(2, 1, 4)) {
        Victory();
    } else if (g_settings.defeatWhenNoBase == 1 && !TeamHoldsAny(1, 1, 4)) {
        Defeat();
    } else if (timerStarted && Seam_Cockpit().missionTimerTime() < 1) {
        if (g_settings.timeLimitMeansVictory == 1) Victory();
        else Defeat();
    }
}

bool Inst4XMission::Save(FILE* stream) {
    if (!SaveGame_IsMissionFile()) {
        const uint8_t flags[3] = {firstFrame, ended, timerStarted};
        const float values[2] = {spare, timeLimit};
        if (!Field_WriteBool(stream, flags, sizeof flags, "b_array") ||
            !Field_WriteFloat(stream, values, sizeof values, "f_array") ||
            !Field_WriteInt(stream, &handle, sizeof handle, "h_array") ||
            !Field_WriteInt(stream, &unused, sizeof unused, "i_array"))
            return false;
    }
    return AiMission::Save(stream);
}

bool Inst4XMission::Load() {
    if (!SaveGame_IsMissionFile()) {
        uint8_t flags[3] = {};
        float values[2] = {};
        if (!Field_ReadBool("b_array", flags, sizeof flags) || !Field_ReadFloat("f_array", values, sizeof values) ||
            !Field_ReadInt("h_array", &handle, sizeof handle) || !Field_ReadInt("i_array", &unused, sizeof unused))
            return false;
        firstFrame = flags[0] != 0;
        ended = flags[1] != 0;
        timerStarted = flags[2] != 0;
        spare = values[0];
        timeLimit = values[1];
    }
    return AiMission::Load();
}

bool Inst4XMission::PostLoad() {
    // The one handle is unused; it resolves to nothing.
    handle = 0;
    return AiMission::PostLoad();
}

void Missions_InstallInstantAction() {
    Registration_SetCreate("Inst4XMission", []() -> sObject* { return new Inst4XMission; });
    TheSelector();
}

const InstantActionSettings& InstantAction_Settings() { return g_settings; }

void InstantAction_Reset() {
    g_settings = InstantActionSettings{};
    g_settingsRead = false;
}
