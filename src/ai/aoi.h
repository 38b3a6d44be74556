// Areas of interest: regions of the map that matter to a team's strategic planner, kept as
// per-team grids of values and forces over the planner's map and rebuilt on the first query
// after any change.
//
// An area is the box of a path's points (inside set: the box itself; clear: the rest of the
// map). Interesting areas write their value into the team's interesting-value grid and their
// force into its force grid; the others write their value into the other-value grid. A force
// of 100 or more means "Attack" with force - 100, a smaller one "Defend".
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class AiPath;

constexpr int32_t kAoiTeams = 8;

class AOI {
public:
    // Appends the area to the list, marks its team and sets the dirty flag.
    AOI(AiPath* area, int32_t team, bool interesting, bool inside, int32_t value, int32_t force);
    // Leaves the list; the team stays marked only while another area of it remains.
    ~AOI();
    AOI(const AOI&) = delete;
    AOI& operator=(const AOI&) = delete;

    // "[AOI]", the area as a saved pointer, then the fields.
    bool Save(FILE* stream);

    AiPath* area;
    int32_t team;
    bool interesting;
    bool inside;
    int32_t value;
    int32_t force;

private:
    AOI() = default;
    friend bool AOIs_Load();
};

// Every area in order of creation.
const std::vector<AOI*>& AOIs();
// The first area whose region is the path; null when none.
AOI* AOI_FindByOwner(const AiPath* area);
// The grid geometry (cells of cellSize metres, height cells along z, width along x). The grids
// are forgotten and rebuilt on the next query for the teams that have areas.
void AOI_SetupGrid(int32_t originX, int32_t originZ, int32_t cellSize, int32_t height, int32_t width);
void AOI_MarkDirty();
bool AOI_TeamMarked(int32_t team);
// The grids (width x height cells, row-major along x), rebuilt first when dirty; null when
// never built or for a team outside 0..7.
const int32_t* AOI_GetValueGrid(int32_t team, bool interesting);
const int32_t* AOI_GetForceGrid(int32_t team);
// Frees every grid and deletes every area.
void AOI_Clear();
// "[AOIs]", "size", then every area.
bool AOIs_Save(FILE* stream);
// Appends the areas of the section; a bad record (a team outside 0..7 among them) fails it.
// The teams read are marked and the grids made dirty.
bool AOIs_Load();

// ---- the mission editor's "Path Options" dialog on a path ---------------------------------
struct PathAreaFields {
    std::string name;
    std::string pathType;     // "Area" or "Path"
    std::string interest;     // "Interesting" or "Boring"
    std::string side;         // "Inside" or "Outside"
    int32_t value = 0;
    std::string unitType;     // "Attack" or "Defend"
    int32_t force = 0;        // without the 100 of "Attack"
    bool cancelled = true;
};
// The dialog's fields for the path and its area (the path becomes the one being edited).
PathAreaFields MissionEditor_ReadPathArea(AiPath* path);
// Confirming: the fields go back to the path and its area (made, changed or deleted).
void MissionEditor_ConfirmPathArea(AiPath* path, PathAreaFields& fields);
// The path the dialog was last opened on.
AiPath* MissionEditor_EditedPath();

// Every area and grid forgotten (tests' reset).
void AOI_Reset();
