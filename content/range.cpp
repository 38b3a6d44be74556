#include "range.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Objkr/classfnc.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Objkr/geometry.h"
#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "core/checksum.h"
#include "core/clock.h"
#include "core/seams/render.h"
#include "core/filesys.h"
#include "core/shake.h"
#include "core/zfs.h"
#include "fun3d/framepasses.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "fun3d/objectslot.h"
#include "fun3d/teamrecord.h"
#include "platform/paths.h"
#include "platform/random.h"
#include "render/billboard.h"
#include "render/graphicbuffer.h"
#include "render/renderqueue.h"
#include "render/view.h"
#include "definitions.h"
#include "terrain_writer.h"
#include "weapons/chunkeffect.h"
#include "weapons/effects.h"
#include "weapons/explosion.h"
#include "weapons/launcher.h"
#include "weapons/ordnance.h"
#include "weapons/sceneeffects.h"
#include "weapons/specialitem.h"
#include "weapons/weapon.h"
#include "weapons/weaponsinstall.h"

namespace content {

namespace {

constexpr uint32_t kRangeSeed = 12345;

FILE* g_out = nullptr;
int g_frame = 0;
// The range's headless view: the lightning places its bolts by the main view.
RenderView* g_view = nullptr;
const Entity* g_lastHitShot = nullptr;

void ShotName(const Entity* e, char out[9]) {
    std::memcpy(out, e->name, 8);
    out[8] = '\0';
}

// The range's targets: they print each hit and keep nothing.
class RangeTarget : public GameObject {
public:
    RangeTarget(Entity* e, GameObjectClass* cls, int index) : GameObject(e, cls), index_(index) {}
    bool TakeDamage(DamageInfo* damage, const Vector*) override {
        if (damage && damage->carrier && damage->carrier->type == kTypeOrdnance) {
            char name[9];
            ShotName(damage->carrier, name);
            std::fprintf(g_out, "%d hit ordnance=%s target=%d\n", g_frame, name, index_);
            g_lastHitShot = damage->carrier;
        }
        std::fprintf(g_out, "%d damage target=%d amount=%.2f\n", g_frame, index_, damage ? damage->amount : 0.0);
        return false;
    }

private:
    int index_;
};

class RangeTargetClass : public GameObjectClass {
public:
    RangeTargetClass() {
        label = "rangetarget";
        std::memcpy(defName, "rtarget", 7);
        health = 1000;
    }
    GameObject* BuildObject(Entity*) override { return nullptr; }
    GameObjectClass* Derive(const char*) override { return nullptr; }
};

bool ParseFloat(const char* text, float* out) {
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || *end) return false;
    *out = static_cast<float>(v);
    return true;
}

// The CRC-32 of the heights (the low 12 bits of each height word) of every vertex of the map, row
// by row. The flatness flags are left out: what clears them leaves their rebuilding to the terrain.
uint32_t HeightsCrc() {
    std::vector<uint8_t> bytes;
    for (int z = TerrainBounds.minZ; z <= TerrainBounds.maxZ; ++z)
        for (int x = TerrainBounds.minX; x <= TerrainBounds.maxX; ++x) {
            const uint16_t h = *Terrain_GetCell(x, z) & kHeightMask;
            bytes.push_back(static_cast<uint8_t>(h & 0xff));
            bytes.push_back(static_cast<uint8_t>(h >> 8));
        }
    return CRC32_Memory(bytes.data(), bytes.size());
}

}  // namespace

bool ParseRangeOptions(int argc, char** argv, RangeOptions* out, std::string* error) {
    for (int i = 0; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--dump-heights") {
            out->dumpHeights = true;
            continue;
        }
        if (i + 1 >= argc) {
            *error = "range: " + option + " needs a value";
            return false;
        }
        const char* value = argv[++i];
        if (option == "--targets") {
            out->targets.clear();
            std::string list = value;
            size_t start = 0;
            while (start <= list.size()) {
                const size_t comma = list.find(',', start);
                const std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                float d = 0.0f;
                if (!ParseFloat(item.c_str(), &d)) {
                    *error = "range: bad target distance \"" + item + "\"";
                    return false;
                }
                out->targets.push_back(d);
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
        } else if (option == "--weapon") {
            out->weapon = value;
        } else if (option == "--hold") {
            char* end = nullptr;
            const long n = std::strtol(value, &end, 10);
            if (end == value || *end || n < 0 || n > 100000) {
                *error = std::string("range: bad hold count \"") + value + "\"";
                return false;
            }
            out->hold = static_cast<int>(n);
        } else if (option == "--target-speed") {
            if (!ParseFloat(value, &out->targetSpeed) || !std::isfinite(out->targetSpeed)) {
                *error = std::string("range: bad target speed \"") + value + "\"";
                return false;
            }
        } else if (option == "--explosion") {
            out->explosion = value;
        } else if (option == "--frames") {
            char* end = nullptr;
            const long n = std::strtol(value, &end, 10);
            if (end == value || *end || n < 0 || n > 100000) {
                *error = std::string("range: bad frame count \"") + value + "\"";
                return false;
            }
            out->frames = static_cast<int>(n);
        } else if (option == "--chunks") {
            char* end = nullptr;
            const long n = std::strtol(value, &end, 10);
            if (end == value || *end || n < 0 || n > kChunkMax) {
                *error = std::string("range: bad chunk count \"") + value + "\"";
                return false;
            }
            out->chunks = static_cast<int>(n);
        } else if (option == "--dt") {
            if (!ParseFloat(value, &out->dt) || !(out->dt > 0.0f) || out->dt > 1.0f) {
                *error = std::string("range: bad frame time \"") + value + "\"";
                return false;
            }
        } else {
            *error = "range: unknown option " + option;
            return false;
        }
    }
    return true;
}

bool RunRange(const std::string& dataDir, const RangeOptions& options, FILE* out, std::string* error) {
    g_out = out;
    g_frame = 0;
    Plat_SetDataRoot(dataDir);
    if (!FileSys_TryStart(0)) {
        *error = Zfs_LastError();
        return false;
    }
    Random_Seed(kRangeSeed);

    // The world: entities, the sample map, objects, teams and the object grid.
    Classfnc_ResetLists();
    Entities_Reset();
    EntityAlloc_Reset();
    const TerrainMapSpec map = SampleTerrain();
    Terrain_SetFileName(map.name.c_str());
    if (!Terrain_ReadZoneFiles()) {
        Data_Close();
        *error = "the sample map's terrain files are missing";
        return false;
    }
    Terrain_LoadZone(nullptr);
    Terrain_Init(0);
    GameObject_PoolInit();
    GameObject_List().clear();
    TeamRecord_CreateAll();
    GameObject_CreateGrid();
    Weapons_InstallSeam();
    Render_InstallBillboards();
    Clock_SetTime(0.0f);
    Explosion_Manager().MissionSetup();
    Random_FillTable();
    ChunkEffect& chunks = Chunk_Effect();
    Smoke_Effect().MissionSetup();
    chunks.MissionSetup();
    chunks.PostLoad();

    const double originX = kSampleFlatX * 10.0, originZ = kSampleFlatZ * 10.0;
    const double originY = Terrain_GetHeight(originX, originZ);
    RangeTargetClass targetClass;
    // With a gun the targets stand up from the ground and have a body the shots can meet.
    const bool armed = !options.weapon.empty();
    std::vector<GameObject*> targets;
    for (size_t i = 0; i < options.targets.size(); ++i) {
        Entity* e = Entity_New(nullptr);
        Entity_SetName(e, "rtarget");
        e->flags |= 2u << kEntityTeamShift;
        auto* target = GameObject_New<RangeTarget>(e, &targetClass, static_cast<int>(i));
        if (!target) break;
        target->SetPosition(Vector{static_cast<float>(originX + options.targets[i]),
                                   static_cast<float>(originY + (armed ? 1.5 : 0.0)), static_cast<float>(originZ)});
        if (armed) target->radius = 2.0f;
        targets.push_back(target);
    }

    // The shooter: the sample craft whose first hardpoint carries the gun (an object holding only
    // the gun when no sample craft does), with full ammunition and the first target as its target,
    // aimed each frame as an AI gunner aims.
    RangeTargetClass shooterClass;
    shooterClass.ammo = 100000;
    GameObject* shooter = nullptr;
    Weapon* gun = nullptr;
    if (armed) {
        WeaponClass* weaponClass = WeaponClass::Find(options.weapon.c_str());
        const std::string craftName = SampleCraftArmedFirstWith(options.weapon);
        GameObjectClass* craftClass = craftName.empty() ? nullptr : GameObjectClass::Find(craftName.c_str());
        Matrix placement = kIdentityMatrix;
        placement.posit = DVector{originX, originY + 2.0, originZ};
        if (!weaponClass) {
            std::fprintf(out, "0 missing class=%s\n", options.weapon.c_str());
        } else if (craftClass) {
            shooter = GameObjectClass::Build(craftClass, placement, 1, false, 0, nullptr);
            if (shooter && shooter->hardpoints)
                for (Weapon* w : shooter->hardpoints->weapons)
                    if (w && w->weaponClass == weaponClass) {
                        gun = w;
                        break;
                    }
        } else {
            Entity* e = Entity_New(nullptr);
            Entity_SetName(e, "rshooter");
            e->flags |= 1u << kEntityTeamShift;
            e->local = placement;
            Entity* hardpoint = Entity_New(e);
            Entity_SetName(hardpoint, "hp_gun1");
            shooter = GameObject_New<RangeTarget>(e, &shooterClass, -1);
            if (shooter) {
                shooter->radius = 2.0f;
                gun = weaponClass->Build(e, hardpoint);
                // The gun is the shooter's first mount, as on a craft (a beam finds its gun there).
                shooter->hardpoints = new HardpointList(shooter);
                shooter->hardpoints->SetWeapon(0, hardpoint, gun);
            }
        }
        if (shooter) {
            shooter->SetPosition(Vector{static_cast<float>(originX), static_cast<float>(originY + 2.0),
                                        static_cast<float>(originZ)});
            shooter->SetAmmo(shooter->maxAmmo);
            if (!targets.empty()) shooter->SetTarget(targets[0]);
        }
    }

    GraphicBuffer buffer{};
    Graphic_InitBuffer(&buffer, 320, 240, nullptr, kGraphicFormat8);
    RenderView view;
    View_Init(&view, &buffer, kDefaultFieldOfView, 1.0f, 600.0f, 1.0f);
    View_SetCameraMatrix(&view, Matrix_FromPositionDirection(DVector{originX - 40.0, originY + 10.0, originZ},
                                                             Vector{40.0f, -10.0f, 0.0f}));
    const bool queue = RenderQueue_Current() || RenderQueue_Init();
    // The map's storm strikes around the range's view.
    const RenderSeam renderSeam = Seam_Render();
    g_view = &view;
    Seam_Render().mainView = [] { return g_view; };
    LightningEffect& lightning = Lightning_Effect();
    lightning.PostLoad();

    Launcher* launcher = dynamic_cast<Launcher*>(gun);
    int32_t shownStage = 0;
    // A switched item tells when its effect starts and stops.
    SpecialItem* item = dynamic_cast<SpecialItem*>(gun);
    bool itemActive = false;
    if (options.dumpHeights) std::fprintf(out, "heights start crc=%08x\n", HeightsCrc());
    for (g_frame = 0; g_frame < options.frames; ++g_frame) {
        // Moving targets go north and tell the guns how fast.
        if (options.targetSpeed != 0.0f)
            for (GameObject* target : targets) {
                Vector p = target->GetPosition();
                if (g_frame > 0) p.z += options.targetSpeed * options.dt;
                target->SetPosition(p);
                target->SetVelocity(Vector{0.0f, 0.0f, options.targetSpeed});
            }
        GameObject_UpdateGrid();
        if (g_frame == 0 && !options.explosion.empty()) {
            ExplosionClass* cls = ExplosionClass::Find(options.explosion.c_str());
            if (cls) {
                Matrix at = kIdentityMatrix;
                at.posit = DVector{originX, originY, originZ};
                std::fprintf(out, "%d explode class=%s\n", g_frame, options.explosion.c_str());
                cls->Build(at, nullptr);
            } else {
                std::fprintf(out, "%d missing class=%s\n", g_frame, options.explosion.c_str());
            }
        }
        if (g_frame == 0)
            for (int i = 0; i < options.chunks; ++i)
                chunks.Spawn(Vector{static_cast<float>(originX), static_cast<float>(originY) + 1.0f,
                                    static_cast<float>(originZ)},
                             Vector{}, true);
        if (gun && !targets.empty()) {
            // The shooter turns so that the muzzle points at the aim point; the muzzle sits off the
            // craft's centre and moves as it turns, so a second turn corrects the first.
            Vector aim{};
            gun->GetAimPoint(&aim, targets[0]);
            const Vector from = shooter->GetPosition();
            for (int pass = 0; pass < 2; ++pass) {
                Matrix muzzle;
                Entity_GetTransformTo(muzzle, gun->entity, nullptr);
                const Vector toward{aim.x - static_cast<float>(muzzle.posit.x),
                                    aim.y - static_cast<float>(muzzle.posit.y),
                                    aim.z - static_cast<float>(muzzle.posit.z)};
                shooter->entity->local = Matrix_FromPositionDirection(DVector{from.x, from.y, from.z}, toward);
            }
        }
        // The trigger is held from before the mount update, as a gunner's input comes first.
        if (gun && (options.hold < 0 || g_frame < options.hold)) gun->PullTrigger();
        // Let go when the hold ends (a switched item goes off).
        if (gun && g_frame == options.hold) gun->ReleaseTrigger();
        Weapon_UpdateMountAll(options.dt);
        if (launcher && launcher->lockStage != shownStage) {
            shownStage = launcher->lockStage;
            std::fprintf(out, "%d lock weapon=%s stage=%d\n", g_frame, options.weapon.c_str(), shownStage);
        }
        // Shots that burst in their update (an air-burst shell) start explosions here.
        const size_t beforeUpdate = Explosion_LiveList().size();
        Ordnance_UpdateAll(options.dt);
        size_t burstInUpdate = Explosion_LiveList().size() - beforeUpdate;
        for (auto it = Explosion_LiveList().begin(); burstInUpdate > 0; ++it, --burstInUpdate)
            std::fprintf(out, "%d explode class=%s\n", g_frame, (*it)->explosionClass->nameText);
        const size_t shotsBefore = Ordnance_LiveList().size();
        const Ordnance* newestBefore = shotsBefore ? Ordnance_LiveList().front() : nullptr;
        const std::vector<GameObject*> objectsBefore = GameObject_List();
        Weapon_UpdateAll(options.dt);
        if (item && item->IsActive() != itemActive) {
            itemActive = !itemActive;
            std::fprintf(out, "%d %s weapon=%s\n", g_frame, itemActive ? "active" : "inactive", options.weapon.c_str());
        }
        // Objects a weapon built (mines, magnets, pods) are new on the object list.
        for (GameObject* object : GameObject_List()) {
            if (std::find(objectsBefore.begin(), objectsBefore.end(), object) != objectsBefore.end()) continue;
            char name[kClassNameSize + 1];
            object->objClass->GetDefName(name);
            std::fprintf(out, "%d build class=%s\n", g_frame, name);
        }
        for (Ordnance* shot : Ordnance_LiveList()) {
            if (shot == newestBefore) break;
            std::fprintf(out, "%d fire weapon=%s ordnance=%s\n", g_frame, options.weapon.c_str(),
                         shot->ordnanceClass->nameText);
        }
        std::vector<Ordnance*> flying;
        for (Ordnance* shot : Ordnance_LiveList())
            if (!shot->IsDead()) flying.push_back(shot);
        g_lastHitShot = nullptr;
        const size_t beforeShots = Explosion_LiveList().size();
        Ordnance_StepAll(options.dt);
        // The explosions the shots started, newest first.
        size_t started = Explosion_LiveList().size() - beforeShots;
        for (auto it = Explosion_LiveList().begin(); started > 0; ++it, --started)
            std::fprintf(out, "%d explode class=%s\n", g_frame, (*it)->explosionClass->nameText);
        for (Ordnance* shot : flying) {
            if (!shot->IsDead() || shot->entity == g_lastHitShot || !(shot->lifeLeft > 0.0f)) continue;
            const double x = shot->entity->local.posit.x, z = shot->entity->local.posit.z;
            if (x < TerrainBounds.minXm || x > TerrainBounds.maxXm || z < TerrainBounds.minZm || z > TerrainBounds.maxZm)
                continue;
            std::fprintf(out, "%d hit ordnance=%s target=ground\n", g_frame, shot->ordnanceClass->nameText);
        }
        // Chunks that come to rest burst into new explosions, listed first.
        const size_t beforeChunks = Explosion_LiveList().size();
        chunks.Simulate(options.dt);
        size_t burst = Explosion_LiveList().size() - beforeChunks;
        for (auto it = Explosion_LiveList().begin(); burst > 0; ++it, --burst)
            std::fprintf(out, "%d explode class=%s\n", g_frame, (*it)->explosionClass->nameText);
        Smoke_Effect().Simulate(options.dt);
        lightning.Simulate(options.dt);
        const size_t before = Explosion_LiveList().size();
        Explosion_Manager().Simulate(options.dt);
        const size_t after = Explosion_LiveList().size();
        if (after < before) std::fprintf(out, "%d expire count=%zu\n", g_frame, before - after);
        if (queue) {
            RenderQueue_Reset();
            Explosion_Manager().Render(&view);
            Smoke_Effect().Render(&view);
            lightning.Render(&view);
        }
        if (options.chunks > 0 && g_frame % 30 == 0) std::fprintf(out, "%d chunks live=%d\n", g_frame, chunks.LiveCount());
        if (options.dumpHeights && g_frame % 30 == 0) std::fprintf(out, "heights frame=%d crc=%08x\n", g_frame, HeightsCrc());
        Clock_SetTime(static_cast<float>(g_frame + 1) * options.dt);
    }
    if (options.chunks > 0) std::fprintf(out, "%d chunks live=%d\n", g_frame, chunks.LiveCount());
    std::fprintf(out, "%d end live=%zu\n", g_frame, Explosion_LiveList().size());

    // Teardown in the game's order.
    lightning.Shutdown();
    Seam_Render() = renderSeam;
    g_view = nullptr;
    Ordnance_DeleteAll();
    Explosion_Manager().MissionEnd();
    GameObject_RemoveAll();
    Weapon_DeleteAll();
    Explosion_Manager().MissionCleanup();
    chunks.MissionCleanup();
    ParticleBuffer_Clear();
    // The object classes name weapon classes: they go first, so that a second run in the same
    // process loads both afresh.
    GameObjectClass_FreeAll();
    ExplosionClass_FreeAll();
    OrdnanceClass_FreeAll();
    WeaponClass_FreeAll();
    GameObject_FreeGrid();
    TeamRecord_DestroyAll();
    Graphic_FreeBuffer(&buffer);
    if (queue) RenderQueue_Close();
    Classfnc_Clear();
    Entities_RemoveAll();
    chunks.Forget();
    GeomCache_FreeAll();
    if (options.dumpHeights) std::fprintf(out, "heights end crc=%08x\n", HeightsCrc());
    Terrain_FreeAll();
    EntityAlloc_FreeAll();
    Data_Close();
    return true;
}

}  // namespace content
