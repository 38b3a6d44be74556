#include "fun3d/teamrecord.h"

#include <cstdint>

#include "core/fieldarchive.h"
#include "core/savegame.h"
#include "core/seams/cockpit.h"
#include "core/seams/planner.h"
#include "fun3d/gameobject.h"

namespace {

TeamRecord* g_records[kTeamCount] = {};

bool SlotInRange(int32_t slot) { return slot >= 0 && slot < kTeamSlotCount; }
bool TeamInRange(int32_t t) { return t >= 0 && t < kTeamCount; }
bool TeamBit(uint32_t mask, int32_t t) { return TeamInRange(t) && ((mask >> t) & 1u); }

// Sums in 64 bits and keeps the result in the 32-bit range, so that large amounts from
// scripts or the network never wrap round.
int32_t ClampedSum(int32_t a, int32_t b) {
    int64_t sum = int64_t(a) + b;
    if (sum > INT32_MAX) sum = INT32_MAX;
    if (sum < INT32_MIN) sum = INT32_MIN;
    return static_cast<int32_t>(sum);
}

}  // namespace

TeamRecord::TeamRecord(int32_t t) : allies((TeamInRange(t) ? 1u << t : 0u) | 1u), team(t) {}

TeamRecord* TeamRecord::Get(int32_t t) { return TeamInRange(t) ? g_records[t] : nullptr; }

// ---- slots --------------------------------------------------------------------------------

GameObject* TeamRecord::GetSlot(int32_t slot) const { return SlotInRange(slot) ? slots[slot] : nullptr; }

bool TeamRecord::SetSlot(int32_t slot, GameObject* object) {
    if (!SlotInRange(slot)) return false;
    slots[slot] = object;
    return true;
}

int32_t TeamRecord::FindFreeSlot(int32_t first, int32_t last) const {
    if (first < 0) first = 0;
    if (last >= kTeamSlotCount) last = kTeamSlotCount - 1;
    for (int32_t i = first; i <= last; ++i)
        if (!slots[i]) return i;
    return -1;
}

int32_t TeamRecord::FindUsedSlot(int32_t first, int32_t last) const {
    if (first < 0) first = 0;
    if (last >= kTeamSlotCount) last = kTeamSlotCount - 1;
    for (int32_t i = first; i <= last; ++i)
        if (slots[i]) return i;
    return -1;
}

// ---- scrap and pilots ---------------------------------------------------------------------

bool TeamRecord::IsUserTeam() const { return GameObject_GetUserTeamRecord() == this; }

int32_t TeamRecord::AddScrap(int32_t amount) {
    const int32_t old = curScrap;
    int32_t now = ClampedSum(curScrap, amount);
    if (now > maxScrap) now = maxScrap;
    curScrap = now;
    if (amount < 0 && now == 0 && IsUserTeam()) OnScrapExhausted();
    return Seam_Planner().scrapChanged(team, static_cast<int32_t>(int64_t(now) - old));
}

int32_t TeamRecord::AddMaxScrap(int32_t amount) {
    maxScrap = ClampedSum(maxScrap, amount);
    if (maxScrap < curScrap) {
        const int32_t old = curScrap;
        curScrap = maxScrap;
        if (amount < 0 && curScrap == 0 && IsUserTeam()) OnScrapExhausted();
        Seam_Planner().scrapChanged(team, static_cast<int32_t>(int64_t(curScrap) - old));
    }
    return maxScrap;
}

int32_t TeamRecord::AddPilots(int32_t amount) {
    int32_t now = ClampedSum(curPilots, amount);
    if (now > maxPilots) now = maxPilots;
    curPilots = now;
    if (amount < 0 && now == 0 && IsUserTeam()) Seam_Cockpit().queueWarning(kWarningOutOfPilots);
    return maxPilots;
}

void TeamRecord::AddMaxPilots(int32_t amount) {
    maxPilots = ClampedSum(maxPilots, amount);
    if (maxPilots < curPilots) {
        curPilots = maxPilots;
        if (amount < 0 && curPilots == 0 && IsUserTeam()) Seam_Cockpit().queueWarning(kWarningOutOfPilots);
    }
}

// ---- allies -------------------------------------------------------------------------------

bool TeamRecord::IsAlly(int32_t t) const { return t > 0 && TeamBit(allies, t); }
bool TeamRecord::IsEnemy(int32_t t) const { return t > 0 && TeamInRange(t) && !TeamBit(allies, t); }

void TeamRecord::AddAlly(int32_t t) {
    if (TeamInRange(t)) allies |= 1u << t;
}

void TeamRecord::RemoveAlly(int32_t t) {
    if (TeamInRange(t)) allies &= ~(1u << t);
}

// ---- the table ----------------------------------------------------------------------------

void TeamRecord_CreateAll() {
    for (int t = 0; t < kTeamCount; ++t) {
        delete g_records[t];
        g_records[t] = new TeamRecord(t);
    }
}

void TeamRecord_DestroyAll() {
    for (TeamRecord*& record : g_records) {
        delete record;
        record = nullptr;
    }
}

// ---- saving -------------------------------------------------------------------------------

bool TeamRecord_SaveAll(FILE* stream) {
    if (SaveGame_IsMissionFile()) return true;
    for (int t = 0; t < kTeamCount; ++t) {
        const TeamRecord* record = g_records[t];
        const TeamRecord empty(t);
        if (!record) record = &empty;
        const uint32_t allies = record->allies;
        if (!(Field_WriteLong(stream, &record->curScrap, 4, "curScrap") &&
              Field_WriteLong(stream, &record->maxScrap, 4, "maxScrap") &&
              Field_WriteLong(stream, &record->curPilots, 4, "curPilot") &&
              Field_WriteLong(stream, &record->maxPilots, 4, "maxPilot") &&
              Field_WriteHex(stream, &allies, 4, "dwAllies")))
            return false;
    }
    return true;
}

bool TeamRecord_LoadAll() {
    if (SaveGame_IsMissionFile() || Field_Version() < kTeamRecordFirstVersion) return true;
    struct Saved {
        int32_t curScrap, maxScrap, curPilots, maxPilots;
        uint32_t allies;
    } saved[kTeamCount] = {};
    for (Saved& s : saved) {
        if (!(Field_ReadLong("curScrap", &s.curScrap, 4) && Field_ReadLong("maxScrap", &s.maxScrap, 4) &&
              Field_ReadLong("curPilot", &s.curPilots, 4) && Field_ReadLong("maxPilot", &s.maxPilots, 4) &&
              Field_ReadHex("dwAllies", &s.allies, 4)))
            return false;
    }
    for (int t = 0; t < kTeamCount; ++t)
        if (!g_records[t]) return false;
    for (int t = 0; t < kTeamCount; ++t) {
        TeamRecord* record = g_records[t];
        record->curScrap = saved[t].curScrap;
        record->maxScrap = saved[t].maxScrap;
        record->curPilots = saved[t].curPilots;
        record->maxPilots = saved[t].maxPilots;
        record->allies = saved[t].allies;
    }
    return true;
}

bool TeamRecord_PostLoadAll() { return true; }
