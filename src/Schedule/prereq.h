// Parts (every unit type and building type a team can own): dense ids, what each needs and what
// makes it, and per team how many it has and whether it can be planned and made.
//
// The table is built from the planner's type records, read through PrereqSource. Init rewrites
// the records' raw types, groups, prerequisites and makers into dense ids. Units get the first
// ids, buildings the following ones; 0 is no part and ends every id list.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr int kPrereqTeams = 8;
constexpr int kPrereqSlots = 4;
constexpr uint32_t kPrereqMakerFlag = 2;  // unit type flags: this unit makes something
constexpr int kPrereqAnySide = -1;
constexpr int kPrereqNameChars = 81;  // FindByName compares this many characters

// What the table reads and writes of a unit type record.
struct PrereqUnitType {
    uint32_t serial = 0;  // the record's stamp (PartId, UnitId, PREREQ_GetSerial)
    int8_t side = 0;      // -1 any side
    uint16_t type = 0;    // raw prerequisite type; the part id after Init
    uint16_t group = 0;   // raw group (0 none); the dense group after Init
    uint16_t reqs[kPrereqSlots] = {};
    uint16_t makers[kPrereqSlots] = {};
    uint32_t flags = 0;
    std::string name;   // looked up by PREREQ_FindByName
    std::string label;  // shown by PREREQ_GetName
};

// What the table reads and writes of a building type record.
struct PrereqBuildingType {
    uint16_t type = 0;
    std::vector<uint16_t> furtherIds;  // more parts a building of this type counts as
    uint32_t serial = 0;               // the record's stamp (BuildId, PREREQ_GetSerial)
    uint16_t group = 0;
    uint16_t reqs[kPrereqSlots] = {};
    uint16_t makers[kPrereqSlots] = {};
    uint32_t flags = 0;  // bits 2-9: the side (signed, all ones any side); bits 10-17: building index
    std::string name;
    std::string label;
};
uint32_t PREREQ_BuildingFlags(int side, int buildingIndex);

// Where the table finds the type records and the teams.
struct PrereqSource {
    int (*unitCount)() = nullptr;
    PrereqUnitType* (*unitAt)(int index) = nullptr;
    int (*buildingCount)() = nullptr;
    PrereqBuildingType* (*buildingAt)(int index) = nullptr;
    int (*teamSide)(int team) = nullptr;  // a team's side
    int (*workingTeam)() = nullptr;       // the team the planner works on (the dump)
    void (*countTracked)() = nullptr;     // calls PREREQ_AddPart for every part already tracked
};
void PREREQ_SetSource(const PrereqSource& source);

struct PrereqGroupMember {
    uint16_t id;
    int16_t side;
};

void PREREQ_Init();
void PREREQ_Done();
bool PREREQ_IsBuilt();
int PREREQ_PartCount();

void PREREQ_AddPart(uint16_t id, int team);
void PREREQ_RemovePart(uint16_t id, int team);
void PREREQ_Update(int team);
void PREREQ_Enable(uint16_t id, int team);
void PREREQ_Disable(uint16_t id, int team);

int PREREQ_IsValid(uint16_t id);
int PREREQ_IsBuilding(uint16_t id);
int PREREQ_IsUnit(uint16_t id);
PrereqBuildingType* PREREQ_GetBuilding(uint16_t id);
PrereqUnitType* PREREQ_GetUnit(uint16_t id);
int PREREQ_GetSide(uint16_t id);
int PREREQ_GetCount(uint16_t id, int team);
int PREREQ_GetGroupCount(uint16_t id, int team);
int PREREQ_CanMake(uint16_t id, int team);
int PREREQ_HasPrereqs(uint16_t id, int team);
int PREREQ_IsPlanned(uint16_t id, int team);
int PREREQ_IsEnabled(uint16_t id, int team);
// Id lists ended by 0; null for an id with no part.
const uint16_t* PREREQ_GetReqs(uint16_t id);
const uint16_t* PREREQ_GetAllReqs(uint16_t id);
const uint16_t* PREREQ_GetMakers(uint16_t id);
// The members of the id's group, this one included; null when it has no group.
const std::vector<PrereqGroupMember>* PREREQ_GetGroup(uint16_t id);
int PREREQ_HasAny(uint16_t id, int team);
int PREREQ_InGroup(uint16_t id, uint16_t other);
int PREREQ_IsMaker(uint16_t maker, uint16_t id);
uint16_t PREREQ_TeamVariant(uint16_t id, int team);
uint16_t PREREQ_FindByName(const char* name);
const char* PREREQ_GetName(uint16_t id);
uint32_t PREREQ_GetSerial(uint16_t id);
int PREREQ_GetBuildingIndex(uint16_t id);
// Names of the team variants of the missing prerequisites, then of the missing makers.
void PREREQ_MissingNames(uint16_t id, int team, std::vector<std::string>& names, int* missingReqs,
                         int* missingMakers);
void PREREQ_Dump(uint16_t id);

// The table torn down and the source forgotten.
void PREREQ_ResetForTests();

// ---- Stamped references -------------------------------------------------------------------
// A target and the stamp it had when the reference was set: the reference holds while the
// target's stamp is unchanged, and clears itself on the first test that finds it changed.

struct PartId {
    PrereqUnitType* target = nullptr;
    int32_t stamp = -1;
};
struct UnitId {
    PrereqUnitType* target = nullptr;
    int32_t stamp = -1;
};
struct BuildId {
    PrereqBuildingType* target = nullptr;
    int32_t stamp = -1;
};

void PartId_Clear(PartId* pid);
void PartId_Set(PartId* pid, PrereqUnitType* target);
int PartId_IsValid(PartId* pid);
PrereqUnitType* PartId_GetTarget(PartId* pid);
int32_t PartId_GetStamp(PartId* pid);

void UnitId_Clear(UnitId* uid);
void UnitId_Set(UnitId* uid, PrereqUnitType* target);
int UnitId_IsValid(UnitId* uid);
PrereqUnitType* UnitId_GetTarget(UnitId* uid);
int32_t UnitId_GetStamp(UnitId* uid);

void BuildId_Clear(BuildId* bid);
void BuildId_Set(BuildId* bid, PrereqBuildingType* target);  // null clears
int BuildId_IsValid(BuildId* bid);
PrereqBuildingType* BuildId_GetTarget(BuildId* bid);
int32_t BuildId_GetStamp(BuildId* bid);
