#include "fun3d/scrap.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "Objkr/bucketgrid.h"
#include "Terrain/terramap.h"
#include "collision/collision.h"
#include "core/debug.h"
#include "core/helpers.h"
#include "core/factory.h"
#include "core/phasehook.h"
#include "core/seams/net.h"
#include "core/shake.h"
#include "fun3d/objectpool.h"
#include "fun3d/objectslot.h"
#include "platform/random.h"

namespace {

constexpr int64_t kScrapBudgetBase = 1536;
constexpr float kTwoPi = 6.2831855f;

std::vector<Scrap*> g_scrap;
std::unique_ptr<BucketGrid> g_grid;
bool g_dirty = false;
GameObjectClass* g_classes[kScrapClassCount] = {};
bool g_warnedMissing = false;

struct DropoffEntry {
    GameObject* object = nullptr;
    int32_t count = 0;
};
DropoffEntry g_dropoffs[kDropoffTableSize];

bool InTable(int32_t index) { return index >= 0 && index < kDropoffTableSize; }

class ScrapClass : public BuildingClass {
public:
    using BuildingClass::BuildingClass;
    ScrapClass(ScrapClass* p, const char* name) : BuildingClass(p, name) {}
    GameObject* BuildObject(Entity* entity) override { return GameObject_New<Scrap>(entity, this); }
    GameObjectClass* Derive(const char* name) override { return new ScrapClass(this, name); }
};

class ScrapFieldClass : public BuildingClass {
public:
    using BuildingClass::BuildingClass;
    ScrapFieldClass(ScrapFieldClass* p, const char* name) : BuildingClass(p, name) {}
    GameObject* BuildObject(Entity* entity) override { return GameObject_New<ScrapField>(entity, this); }
    GameObjectClass* Derive(const char* name) override { return new ScrapFieldClass(this, name); }
};

class ScrapDropoffClass : public PowerUpClass {
public:
    using PowerUpClass::PowerUpClass;
    ScrapDropoffClass(ScrapDropoffClass* p, const char* name) : PowerUpClass(p, name) {}
    GameObject* BuildObject(Entity* entity) override { return GameObject_New<ScrapDropoff>(entity, this); }
    GameObjectClass* Derive(const char* name) override { return new ScrapDropoffClass(this, name); }
};

class DropoffTableHook : public PhaseHook {
public:
    void Startup() override { DropoffTable_Clear(); }
};

class ScrapFieldHook : public PhaseHook {
public:
    void MissionSetup() override { Scrap_FindClasses(); }
};

void FillGrid() {
    g_grid->Clear();
    for (Scrap* piece : g_scrap) {
        const uint32_t handle = piece->GetObjHandle();
        if (handle == 0) continue;
        const Vector p = piece->GetPosition();
        g_grid->Insert(handle, p.x, p.z);
    }
    g_grid->EndFill();
    g_dirty = false;
}

}  // namespace

GameObjectClass* Scrap_MakePrototype(const char* label, uint32_t signature, int32_t category) {
    if (!label) return nullptr;
    if (Text_CompareNoCase(label, "scrap") == 0) return new ScrapClass(label, signature, category);
    if (Text_CompareNoCase(label, "scrapfield") == 0) return new ScrapFieldClass(label, signature, category);
    if (Text_CompareNoCase(label, "dropoff") == 0) return new ScrapDropoffClass(label, signature, category);
    return nullptr;
}

// ---- pieces ---------------------------------------------------------------------------------

Scrap::Scrap(Entity* e, GameObjectClass* cls) : Building(e, cls) {
    if (record) DeleteCollisionEntity(record);
    g_scrap.push_back(this);
    g_dirty = true;
}

Scrap::~Scrap() {
    g_scrap.erase(std::remove(g_scrap.begin(), g_scrap.end(), this), g_scrap.end());
    g_dirty = true;
}

const std::vector<Scrap*>& ScrapList() { return g_scrap; }

void ScrapField::Update(float) {
    if (IsRemote()) return;
    if (entity->flags & kEntityDead) {
        TearDown();
        return;
    }
    Scrap_Spawn(pos, objClass->scrapValue);
    TearDown();
}

// ---- the grid -------------------------------------------------------------------------------

void Scrap_CreateGrid() {
    float bounds[6];
    Terrain_GetBounds(bounds);
    g_grid = std::make_unique<BucketGrid>(kScrapGridCell, kScrapGridCell, bounds[2], bounds[5], bounds[0], bounds[3],
                                          kScrapGridCapacity);
    // Filled now: the first searches after a load come before the frame's own refill.
    FillGrid();
}

void Scrap_RefreshGrid() {
    if (!g_grid || !g_dirty) return;
    FillGrid();
}

void Scrap_FreeGrid() {
    if (g_grid) g_grid->Free();
    g_grid.reset();
}

BucketGrid* Scrap_Grid() { return g_grid.get(); }
bool Scrap_GridDirty() { return g_dirty; }
void Scrap_MarkGridDirty() { g_dirty = true; }

// ---- spawning -------------------------------------------------------------------------------

void Scrap_FindClasses() {
    static const char* const kNames[kScrapClassCount] = {"npscr1", "npscr2", "npscr3"};
    for (int i = 0; i < kScrapClassCount; ++i) g_classes[i] = GameObjectClass::Find(kNames[i]);
    g_warnedMissing = false;
}

GameObjectClass* Scrap_Class(int i) { return i >= 0 && i < kScrapClassCount ? g_classes[i] : nullptr; }

int32_t Scrap_Budget(int64_t liveObjects) {
    return static_cast<int32_t>((kScrapBudgetBase - 3 * liveObjects) / 4);
}

int32_t Scrap_Spawn(const Vector& centre, int32_t n) {
    n = std::min(n, Scrap_Budget(static_cast<int64_t>(GameObject_List().size())));
    // No room or nothing asked: nothing is made (and no root of a negative count is taken).
    if (n <= 0) return 0;
    const float r = 10.0f * std::sqrt(static_cast<float>(n));
    int32_t made = 0;
    for (int32_t i = 0; i < n; ++i) {
        const float x = centre.x + r * RandomTable_Next();
        const float z = centre.z + r * RandomTable_Next();
        float floor = centre.y;
        Vector normal{0.0f, 1.0f, 0.0f};
        Collision_GetFloorHeight(x, centre.y, z, &floor, &normal);
        const float a = static_cast<float>(Random_Next()) / 32767.0f * kTwoPi;
        Matrix m = Matrix_FromFrontUp(normal, Vector{std::cos(a), 0.0f, std::sin(a)});
        m.posit = DVector{x, floor, z};
        GameObjectClass* cls = g_classes[(Random_Next() >> 8) % kScrapClassCount];
        if (!cls) {
            if (!g_warnedMissing) Debug_Printf("warning: a scrap class (npscr1..npscr3) is missing; pieces skipped\n");
            g_warnedMissing = true;
            continue;
        }
        GameObject* piece = GameObjectClass::Build(cls, m, 0, false, 0, nullptr);
        if (!piece) continue;
        piece->SetTeam(0);
        if (Seam_Net().isNetworkGame()) Seam_Net().registerObject(piece);
        ++made;
    }
    return made;
}

// ---- drop-offs ------------------------------------------------------------------------------

ScrapDropoff::ScrapDropoff(Entity* e, GameObjectClass* cls) : PowerUp(e, cls) {
    for (DropoffEntry& entry : g_dropoffs) {
        if (entry.object || entry.count != 0) continue;
        entry.object = this;
        break;
    }
}

ScrapDropoff::~ScrapDropoff() {
    for (DropoffEntry& entry : g_dropoffs)
        if (entry.object == this) entry.object = nullptr;
}

bool ScrapDropoff::Load() {
    const bool ok = PowerUp::Load();
    delete aiProcess;
    aiProcess = nullptr;
    return ok;
}

void DropoffTable_Clear() {
    for (DropoffEntry& entry : g_dropoffs) entry = DropoffEntry{};
}

GameObject* DropoffTable_Get(int32_t index) { return InTable(index) ? g_dropoffs[index].object : nullptr; }

int32_t DropoffTable_FindIndex(const GameObject* object) {
    if (!object) return -1;
    for (int32_t i = 0; i < kDropoffTableSize; ++i) {
        if (g_dropoffs[i].object != object) continue;
        ++g_dropoffs[i].count;
        return i;
    }
    return -1;
}

void DropoffTable_Release(int32_t index) {
    if (!InTable(index)) return;
    DropoffEntry& entry = g_dropoffs[index];
    if (entry.count > 0) --entry.count;
    if (GameObject* object = entry.object) object->TearDown();
}

int32_t DropoffTable_Count(int32_t index) { return InTable(index) ? g_dropoffs[index].count : 0; }

// ---- registry members -----------------------------------------------------------------------

PhaseHook& DropoffTableHook_Member() {
    static DropoffTableHook member;
    return member;
}

PhaseHook& ScrapFieldHook_Member() {
    static ScrapFieldHook member;
    return member;
}

void Scrap_ResetForTests() {
    g_scrap.clear();
    Scrap_FreeGrid();
    g_dirty = false;
    for (GameObjectClass*& cls : g_classes) cls = nullptr;
    g_warnedMissing = false;
    DropoffTable_Clear();
}
