#include "Schedule/prereq.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "Schedule/plannerlog.h"
#include "core/drdebug.h"

#define DR_SOURCE_NAME "Schedule/prereq"

namespace {

constexpr uint8_t kKindUnit = 0;
constexpr uint8_t kKindBuilding = 1;

using IdSlots = std::array<uint16_t, kPrereqSlots + 1>;

struct Entry {
    uint8_t kind = kKindUnit;
    void* source = nullptr;
    int8_t side = 0;
    IdSlots reqs{};
    std::vector<uint16_t> allReqs{0};
    IdSlots makers{};
    int group = 0;  // index into the group lists; 0 none
    int count[kPrereqTeams] = {};
    uint8_t preq[kPrereqTeams] = {};
    uint8_t make[kPrereqTeams] = {};
    uint8_t plan[kPrereqTeams] = {};
    uint8_t enabled[kPrereqTeams] = {};
};

struct PrereqState {
    PrereqSource source;
    bool built = false;
    int partCount = 0;
    std::vector<Entry> table;                          // [0] holds no part
    std::vector<std::vector<PrereqGroupMember>> groups;  // [0] unused
};

PrereqState& State() {
    static PrereqState state;
    return state;
}

bool ValidId(int id) { return id >= 1 && id <= State().partCount; }
bool ValidTeam(int team) { return team >= 0 && team < kPrereqTeams; }
Entry* EntryOf(int id) { return ValidId(id) ? &State().table[static_cast<size_t>(id)] : nullptr; }

int TeamSide(int team) {
    const PrereqSource& src = State().source;
    return src.teamSide ? src.teamSide(team) : 0;
}

int8_t BuildingSide(uint32_t flags) { return static_cast<int8_t>(static_cast<uint8_t>((flags >> 2) & 0xFF)); }

// Appends r's prerequisites deepest first, then r; a part already visited is passed over, so a
// cycle ends and every part appears once.
void AppendClosure(int r, std::vector<uint8_t>& visited, std::vector<uint16_t>& out) {
    if (!ValidId(r) || visited[static_cast<size_t>(r)]) return;
    visited[static_cast<size_t>(r)] = 1;
    for (uint16_t a : State().table[static_cast<size_t>(r)].reqs) {
        if (a == 0) break;
        if (a != r) AppendClosure(a, visited, out);
    }
    out.push_back(static_cast<uint16_t>(r));
}

// Raw values through the type map into dense ids; an unknown value becomes 0.
void MapSlots(uint16_t (&raw)[kPrereqSlots], const std::vector<uint16_t>& typeMap, IdSlots& out) {
    for (int i = 0; i < kPrereqSlots; ++i) {
        const uint16_t id = raw[i] == 0 ? 0 : typeMap[raw[i]];
        raw[i] = id;
        out[static_cast<size_t>(i)] = id;
    }
    out[kPrereqSlots] = 0;
}

uint16_t MapGroup(uint16_t raw, std::vector<uint16_t>& groupMap, int& nextGroup) {
    if (raw == 0) return 0;
    if (groupMap[raw] == 0) groupMap[raw] = static_cast<uint16_t>(nextGroup++);
    return groupMap[raw];
}

}  // namespace

uint32_t PREREQ_BuildingFlags(int side, int buildingIndex) {
    return (static_cast<uint32_t>(static_cast<uint8_t>(side)) << 2) |
           (static_cast<uint32_t>(static_cast<uint8_t>(buildingIndex)) << 10);
}

void PREREQ_SetSource(const PrereqSource& source) { State().source = source; }

void PREREQ_Init() {
    PrereqState& s = State();
    if (s.built) return;
    const PrereqSource& src = s.source;
    const int units = src.unitCount && src.unitAt ? src.unitCount() : 0;
    const int buildings = src.buildingCount && src.buildingAt ? src.buildingCount() : 0;
    std::vector<PrereqUnitType*> unitRecs;
    std::vector<PrereqBuildingType*> buildRecs;
    for (int i = 0; i < units; ++i)
        if (PrereqUnitType* u = src.unitAt(i)) unitRecs.push_back(u);
    for (int i = 0; i < buildings; ++i)
        if (PrereqBuildingType* b = src.buildingAt(i)) buildRecs.push_back(b);

    s.table.assign(unitRecs.size() + buildRecs.size() + 1, Entry{});
    std::vector<uint16_t> typeMap(65536, 0);
    std::vector<uint16_t> groupMap(65536, 0);
    int nextId = 1;
    int nextGroup = 1;

    // Dense ids and groups. A repeated raw type shares the first id; its group goes through the
    // group map like any other, so every group stays within the group table.
    for (PrereqUnitType* u : unitRecs) {
        u->group = MapGroup(u->group, groupMap, nextGroup);
        if (u->type != 0 && typeMap[u->type] != 0) {
            PlannerLog_Printf(kPlannerLogSquadErrors, "Duplicate Unit Prereqtype Found : %d", u->type);
            u->type = typeMap[u->type];
            continue;
        }
        if (u->type != 0) typeMap[u->type] = static_cast<uint16_t>(nextId);
        u->type = static_cast<uint16_t>(nextId++);
    }
    for (PrereqBuildingType* b : buildRecs) {
        b->group = MapGroup(b->group, groupMap, nextGroup);
        if (b->type != 0 && typeMap[b->type] != 0) {
            PlannerLog_Printf(kPlannerLogSquadErrors, "Duplicate Building Prereqtype Found : %d", b->type);
            b->type = typeMap[b->type];
            continue;
        }
        if (b->type != 0) typeMap[b->type] = static_cast<uint16_t>(nextId);
        b->type = static_cast<uint16_t>(nextId++);
    }
    s.partCount = nextId - 1;

    // Group lists: each member pushed on the front, units then buildings.
    s.groups.assign(static_cast<size_t>(nextGroup), {});
    for (PrereqUnitType* u : unitRecs)
        if (u->group) s.groups[u->group].push_back({u->type, u->side});
    for (PrereqBuildingType* b : buildRecs)
        if (b->group) s.groups[b->group].push_back({b->type, BuildingSide(b->flags)});
    for (auto& members : s.groups) std::reverse(members.begin(), members.end());

    auto fill = [&](Entry& e) {
        for (int t = 0; t < kPrereqTeams; ++t) {
            e.count[t] = 0;
            e.make[t] = 0;
            e.enabled[t] = 0;
            const bool side = e.side == kPrereqAnySide || e.side == TeamSide(t);
            e.plan[t] = static_cast<uint8_t>(side && e.makers[0] != 0);
        }
    };
    for (PrereqUnitType* u : unitRecs) {
        Entry& e = s.table[u->type];
        e.kind = kKindUnit;
        e.source = u;
        e.side = u->side;
        e.group = u->group;
        MapSlots(u->reqs, typeMap, e.reqs);
        MapSlots(u->makers, typeMap, e.makers);
        fill(e);
    }
    for (PrereqBuildingType* b : buildRecs) {
        Entry& e = s.table[b->type];
        e.kind = kKindBuilding;
        e.source = b;
        e.side = BuildingSide(b->flags);
        e.group = b->group;
        MapSlots(b->reqs, typeMap, e.reqs);
        MapSlots(b->makers, typeMap, e.makers);
        fill(e);
    }

    // Units that make something carry the maker mark.
    for (int id = 1; id <= s.partCount; ++id) {
        for (uint16_t m : s.table[static_cast<size_t>(id)].makers) {
            if (m == 0) break;
            Entry& maker = s.table[m];
            if (maker.kind == kKindUnit && maker.source)
                static_cast<PrereqUnitType*>(maker.source)->flags |= kPrereqMakerFlag;
        }
    }

    // Every prerequisite, transitively, deepest first, each once.
    std::vector<uint8_t> visited(static_cast<size_t>(s.partCount) + 1);
    std::vector<uint16_t> scratch;
    scratch.reserve(static_cast<size_t>(s.partCount) + 1);
    for (int id = 1; id <= s.partCount; ++id) {
        std::fill(visited.begin(), visited.end(), uint8_t{0});
        scratch.clear();
        for (uint16_t r : s.table[static_cast<size_t>(id)].reqs) {
            if (r == 0) break;
            AppendClosure(r, visited, scratch);
        }
        scratch.push_back(0);
        s.table[static_cast<size_t>(id)].allReqs = scratch;
    }

    s.built = true;
    if (src.countTracked) src.countTracked();
}

void PREREQ_Done() {
    PrereqState& s = State();
    s.table.clear();
    s.table.shrink_to_fit();
    s.groups.clear();
    s.groups.shrink_to_fit();
    s.partCount = 0;
    s.built = false;
}

bool PREREQ_IsBuilt() { return State().built; }
int PREREQ_PartCount() { return State().partCount; }

void PREREQ_AddPart(uint16_t id, int team) {
    PrereqState& s = State();
    if (!s.built || !ValidId(id) || !ValidTeam(team)) return;
    Entry& e = s.table[id];
    bool changed = false;
    if (e.kind == kKindBuilding && e.source) {
        for (uint16_t extra : static_cast<PrereqBuildingType*>(e.source)->furtherIds) {
            if (!ValidId(extra)) continue;
            if (++s.table[extra].count[team] == 1) changed = true;
        }
    }
    if (++e.count[team] == 1) changed = true;
    if (changed) PREREQ_Update(team);
}

void PREREQ_RemovePart(uint16_t id, int team) {
    PrereqState& s = State();
    if (!s.built || !ValidId(id) || !ValidTeam(team)) return;
    Entry& e = s.table[id];
    bool changed = false;
    if (e.kind == kKindBuilding && e.source) {
        for (uint16_t extra : static_cast<PrereqBuildingType*>(e.source)->furtherIds) {
            if (!ValidId(extra)) continue;
            if (--s.table[extra].count[team] == 0) changed = true;
        }
    }
    if (--e.count[team] == 0) changed = true;
    if (changed) PREREQ_Update(team);
}

void PREREQ_Update(int team) {
    PrereqState& s = State();
    if (!s.built || !ValidTeam(team)) return;
    for (int id = 1; id <= s.partCount; ++id) {
        Entry& e = s.table[static_cast<size_t>(id)];
        e.make[team] = 0;
        e.preq[team] = 0;
        bool all = true;
        for (uint16_t r : e.reqs) {
            if (r == 0) break;
            if (!PREREQ_HasAny(r, team)) {
                all = false;
                break;
            }
        }
        if (!all) continue;
        e.preq[team] = 1;
        for (uint16_t m : e.makers) {
            if (m == 0) break;
            if (PREREQ_HasAny(m, team)) {
                e.make[team] = 1;
                break;
            }
        }
    }
}

void PREREQ_Enable(uint16_t id, int team) {
    Entry* e = EntryOf(id);
    if (!State().built || !e || !ValidTeam(team)) return;
    if (e->plan[team] && e->enabled[team]) return;
    e->plan[team] = 1;
    e->enabled[team] = 1;
    PREREQ_Update(team);
}

void PREREQ_Disable(uint16_t id, int team) {
    Entry* e = EntryOf(id);
    if (!State().built || !e || !ValidTeam(team)) return;
    if (!e->plan[team] && !e->enabled[team]) return;
    e->plan[team] = 0;
    e->enabled[team] = 0;
    PREREQ_Update(team);
}

int PREREQ_IsValid(uint16_t id) { return ValidId(id) ? 1 : 0; }

int PREREQ_IsBuilding(uint16_t id) {
    DR_ASSERT(PREREQ_IsValid(id));
    const Entry* e = EntryOf(id);
    return e && e->kind == kKindBuilding ? 1 : 0;
}

int PREREQ_IsUnit(uint16_t id) {
    DR_Assert(PREREQ_IsValid(id), __LINE__, DR_SOURCE_NAME, "PREREQ_IsValid (id)");
    const Entry* e = EntryOf(id);
    return e && e->kind == kKindUnit ? 1 : 0;
}

PrereqBuildingType* PREREQ_GetBuilding(uint16_t id) {
    const int building = ValidId(id) && State().table[id].kind == kKindBuilding;
    DR_Assert(building, __LINE__, DR_SOURCE_NAME, "PREREQ_IsBuilding (id)");
    return building ? static_cast<PrereqBuildingType*>(State().table[id].source) : nullptr;
}

PrereqUnitType* PREREQ_GetUnit(uint16_t id) {
    const int unit = ValidId(id) && State().table[id].kind == kKindUnit;
    DR_Assert(unit, __LINE__, DR_SOURCE_NAME, "PREREQ_IsUnit (id)");
    return unit ? static_cast<PrereqUnitType*>(State().table[id].source) : nullptr;
}

int PREREQ_GetSide(uint16_t id) {
    const Entry* e = EntryOf(id);
    return e ? e->side : 0;
}

int PREREQ_GetCount(uint16_t id, int team) {
    const Entry* e = EntryOf(id);
    return e && ValidTeam(team) ? e->count[team] : 0;
}

int PREREQ_GetGroupCount(uint16_t id, int team) {
    const Entry* e = EntryOf(id);
    if (!e || !ValidTeam(team)) return 0;
    if (!e->group) return e->count[team];
    int sum = 0;
    for (const PrereqGroupMember& m : State().groups[static_cast<size_t>(e->group)]) sum += PREREQ_GetCount(m.id, team);
    return sum;
}

int PREREQ_CanMake(uint16_t id, int team) {
    const Entry* e = EntryOf(id);
    return e && ValidTeam(team) ? e->make[team] : 0;
}

int PREREQ_HasPrereqs(uint16_t id, int team) {
    const Entry* e = EntryOf(id);
    return e && ValidTeam(team) ? e->preq[team] : 0;
}

int PREREQ_IsPlanned(uint16_t id, int team) {
    const Entry* e = EntryOf(id);
    return e && ValidTeam(team) ? e->plan[team] : 0;
}

int PREREQ_IsEnabled(uint16_t id, int team) {
    const Entry* e = EntryOf(id);
    return e && ValidTeam(team) ? e->enabled[team] : 0;
}

const uint16_t* PREREQ_GetReqs(uint16_t id) {
    const Entry* e = EntryOf(id);
    return e ? e->reqs.data() : nullptr;
}

const uint16_t* PREREQ_GetAllReqs(uint16_t id) {
    const Entry* e = EntryOf(id);
    return e ? e->allReqs.data() : nullptr;
}

const uint16_t* PREREQ_GetMakers(uint16_t id) {
    const Entry* e = EntryOf(id);
    return e ? e->makers.data() : nullptr;
}

const std::vector<PrereqGroupMember>* PREREQ_GetGroup(uint16_t id) {
    const Entry* e = EntryOf(id);
    return e && e->group ? &State().groups[static_cast<size_t>(e->group)] : nullptr;
}

int PREREQ_HasAny(uint16_t id, int team) {
    const Entry* e = EntryOf(id);
    if (!e || !ValidTeam(team)) return 0;
    if (e->count[team] > 0) return 1;
    if (const auto* group = PREREQ_GetGroup(id))
        for (const PrereqGroupMember& m : *group)
            if (PREREQ_GetCount(m.id, team) > 0) return 1;
    return 0;
}

int PREREQ_InGroup(uint16_t id, uint16_t other) {
    if (id == other) return 1;
    if (const auto* group = PREREQ_GetGroup(id))
        for (const PrereqGroupMember& m : *group)
            if (m.id == other) return 1;
    return 0;
}

int PREREQ_IsMaker(uint16_t maker, uint16_t id) {
    const Entry* e = EntryOf(id);
    if (!e) return 0;
    for (uint16_t m : e->makers) {
        if (m == 0) break;
        if (PREREQ_InGroup(m, maker)) return 1;
    }
    return 0;
}

uint16_t PREREQ_TeamVariant(uint16_t id, int team) {
    const auto* group = PREREQ_GetGroup(id);
    if (!group || !ValidTeam(team)) return id;
    const int side = TeamSide(team);
    for (const PrereqGroupMember& m : *group)
        if (m.id != id && m.side == side) return m.id;
    for (const PrereqGroupMember& m : *group)
        if (m.id != id && PREREQ_IsPlanned(m.id, team)) return m.id;
    return id;
}

uint16_t PREREQ_FindByName(const char* name) {
    if (!name) return 0;
    PrereqState& s = State();
    for (int id = 1; id <= s.partCount; ++id) {
        const Entry& e = s.table[static_cast<size_t>(id)];
        if (!e.source) continue;
        const std::string& own = e.kind == kKindUnit ? static_cast<PrereqUnitType*>(e.source)->name
                                                     : static_cast<PrereqBuildingType*>(e.source)->name;
        if (std::strncmp(own.c_str(), name, kPrereqNameChars) == 0) return static_cast<uint16_t>(id);
    }
    return 0;
}

const char* PREREQ_GetName(uint16_t id) {
    const Entry* e = EntryOf(id);
    if (!e || !e->source) return nullptr;
    return e->kind == kKindUnit ? static_cast<PrereqUnitType*>(e->source)->label.c_str()
                                : static_cast<PrereqBuildingType*>(e->source)->label.c_str();
}

uint32_t PREREQ_GetSerial(uint16_t id) {
    const Entry* e = EntryOf(id);
    if (!e || !e->source) return 0;
    return e->kind == kKindUnit ? static_cast<PrereqUnitType*>(e->source)->serial
                                : static_cast<PrereqBuildingType*>(e->source)->serial;
}

int PREREQ_GetBuildingIndex(uint16_t id) {
    const Entry* e = EntryOf(id);
    if (!e || e->kind != kKindBuilding || !e->source) return -1;
    const uint32_t flags = static_cast<PrereqBuildingType*>(e->source)->flags;
    return static_cast<int8_t>(static_cast<uint8_t>((flags >> 10) & 0xFF));
}

void PREREQ_MissingNames(uint16_t id, int team, std::vector<std::string>& names, int* missingReqs,
                         int* missingMakers) {
    int reqs = 0;
    int makers = 0;
    auto note = [&](uint16_t part, int& counter) {
        const uint16_t variant = PREREQ_TeamVariant(part, team);
        if (PREREQ_GetCount(variant, team) != 0) return;
        const char* name = PREREQ_GetName(variant);
        names.emplace_back(name ? name : "");
        ++counter;
    };
    if (const uint16_t* all = PREREQ_GetAllReqs(id))
        for (; *all; ++all) note(*all, reqs);
    if (const uint16_t* makerList = PREREQ_GetMakers(id))
        for (; *makerList; ++makerList) note(*makerList, makers);
    if (missingReqs) *missingReqs = reqs;
    if (missingMakers) *missingMakers = makers;
}

void PREREQ_Dump(uint16_t id) {
    const Entry* e = EntryOf(id);
    if (!e) return;
    const PrereqSource& src = State().source;
    int team = src.workingTeam ? src.workingTeam() : 0;
    if (!ValidTeam(team)) team = 0;
    PlannerLog_Printf(kPlannerLogPartDump,
                      "TYPE: %d #: %d SIDE: %d PREQ: %d MAKE: %d PLAN: %d REQS: %d %d %d %d MAKERS: %d %d %d %d ",
                      id, e->count[team], e->side, e->preq[team], e->make[team], e->plan[team], e->reqs[0],
                      e->reqs[1], e->reqs[2], e->reqs[3], e->makers[0], e->makers[1], e->makers[2], e->makers[3]);
}

void PREREQ_ResetForTests() {
    PREREQ_Done();
    State().source = PrereqSource{};
}

// ---- Stamped references ---------------------------------------------------------------------

namespace {

template <typename Ref, typename Target>
void RefSet(Ref* ref, Target* target) {
    ref->target = target;
    ref->stamp = target ? static_cast<int32_t>(target->serial) : -1;
}

template <typename Ref>
void RefClear(Ref* ref) {
    ref->target = nullptr;
    ref->stamp = -1;
}

template <typename Ref>
int RefValid(Ref* ref) {
    if (ref->target && static_cast<int32_t>(ref->target->serial) == ref->stamp) return 1;
    RefClear(ref);
    return 0;
}

}  // namespace

void PartId_Clear(PartId* pid) {
    DR_ASSERT(pid);
    if (pid) RefClear(pid);
}
void PartId_Set(PartId* pid, PrereqUnitType* target) {
    DR_ASSERT(pid);
    if (pid) RefSet(pid, target);
}
int PartId_IsValid(PartId* pid) {
    DR_ASSERT(pid);
    return pid ? RefValid(pid) : 0;
}
PrereqUnitType* PartId_GetTarget(PartId* pid) {
    DR_ASSERT(pid);
    return pid && RefValid(pid) ? pid->target : nullptr;
}
int32_t PartId_GetStamp(PartId* pid) {
    DR_ASSERT(pid);
    return pid && RefValid(pid) ? pid->stamp : -1;
}

void UnitId_Clear(UnitId* uid) {
    DR_ASSERT(uid);
    if (uid) RefClear(uid);
}
void UnitId_Set(UnitId* uid, PrereqUnitType* target) {
    DR_ASSERT(uid);
    if (uid) RefSet(uid, target);
}
int UnitId_IsValid(UnitId* uid) {
    DR_ASSERT(uid);
    return uid ? RefValid(uid) : 0;
}
PrereqUnitType* UnitId_GetTarget(UnitId* uid) {
    DR_ASSERT(uid);
    return uid && RefValid(uid) ? uid->target : nullptr;
}
int32_t UnitId_GetStamp(UnitId* uid) {
    DR_ASSERT(uid);
    return uid && RefValid(uid) ? uid->stamp : -1;
}

void BuildId_Clear(BuildId* bid) {
    DR_ASSERT(bid);
    if (bid) RefClear(bid);
}
void BuildId_Set(BuildId* bid, PrereqBuildingType* target) {
    DR_ASSERT(bid);
    if (bid) RefSet(bid, target);
}
int BuildId_IsValid(BuildId* bid) {
    DR_ASSERT(bid);
    return bid ? RefValid(bid) : 0;
}
PrereqBuildingType* BuildId_GetTarget(BuildId* bid) {
    DR_ASSERT(bid);
    return bid && RefValid(bid) ? bid->target : nullptr;
}
int32_t BuildId_GetStamp(BuildId* bid) {
    DR_ASSERT(bid);
    return bid && RefValid(bid) ? bid->stamp : -1;
}
