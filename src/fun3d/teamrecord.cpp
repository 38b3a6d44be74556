#include "fun3d/teamrecord.h"

namespace {

TeamRecord* g_records[kTeamCount] = {};

bool SlotInRange(int32_t slot) { return slot >= 0 && slot < kTeamSlotCount; }
bool TeamBit(uint32_t mask, int32_t t) { return t > 0 && t < 32 && ((mask >> t) & 1u); }

}  // namespace

TeamRecord::TeamRecord(int32_t t) : allies((1u << (t & 7)) | 1u), team(t) {}

TeamRecord* TeamRecord::Get(int32_t t) { return t >= 0 && t < kTeamCount ? g_records[t] : nullptr; }

GameObject* TeamRecord::GetSlot(int32_t slot) const { return SlotInRange(slot) ? slots[slot] : nullptr; }

void TeamRecord::SetSlot(int32_t slot, GameObject* object) {
    if (SlotInRange(slot)) slots[slot] = object;
}

int32_t TeamRecord::FindFreeSlot(int32_t first, int32_t last) const {
    if (first < 0) first = 0;
    if (last >= kTeamSlotCount) last = kTeamSlotCount - 1;
    for (int32_t i = first; i <= last; ++i)
        if (!slots[i]) return i;
    return -1;
}

bool TeamRecord::IsAlly(int32_t t) const { return TeamBit(allies, t); }
bool TeamRecord::IsEnemy(int32_t t) const { return t > 0 && t < 32 && !TeamBit(allies, t); }

void TeamRecord::AddAlly(int32_t t) {
    if (t >= 0 && t < 32) allies |= 1u << t;
}

void TeamRecord::RemoveAlly(int32_t t) {
    if (t >= 0 && t < 32) allies &= ~(1u << t);
}

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
