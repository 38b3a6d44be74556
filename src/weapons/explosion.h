// Explosions: an animated sprite at a point that may deal blast damage once to the objects
// around it (falling off with the square of the distance) and push them about while it burns.
// Explosion classes are class records (classrecord.h); the explosion manager, a member of the
// subsystem registry, updates, draws and clears the live explosions and keeps the five standard
// classes that game objects use for their deaths.
#pragma once
#include <cstdint>
#include <list>
#include <memory>

#include "core/mathlib.h"
#include "core/phasehook.h"
#include "fun3d/damageinfo.h"
#include "weapons/classrecord.h"

struct Entity;
struct RenderView;
class Explosion;

class ExplosionClass : public ClassRecord<ExplosionClass> {
public:
    // A prototype: frame rate the smallest normal float, every other field clear.
    ExplosionClass(const char* classLabel, uint32_t classSignature);
    // A record derived from the prototype: its keys of "<name>.odf", defaults the prototype's.
    ExplosionClass(ExplosionClass* from, const ClassName& name);
    virtual ~ExplosionClass();

    virtual ExplosionClass* ReadOdf(const ClassName& name);
    virtual Explosion* MakeObject(Entity* entity);
    // A pooled explosion of this class, or a new one on a new entity, started at the matrix.
    Explosion* Build(const Matrix& matrix, Entity* owner);

    static void MakePrototypes();

    Entity* poolEntity = nullptr;  // spent explosions wait under it
    int firstFrame = 0;
    int32_t frameCount = 0;
    float frameRate = 0.0f;  // frames per second (the file gives seconds per frame)
    float innerRadius = 0.0f;
    char explosionSound[16] = {};
    float outerRadius = 0.0f;
    int32_t damage[4] = {};
    float pushStrength = 0.0f;
};

class Explosion {
public:
    Explosion(Entity* entity, ExplosionClass* explosionClass);
    virtual ~Explosion();
    Explosion(const Explosion&) = delete;
    Explosion& operator=(const Explosion&) = delete;

    virtual void Start(const Matrix& matrix, Entity* owner);
    virtual void ReleaseOwner();
    // Back to the class's pool: detached, owner dropped, off the live list.
    virtual void Remove();
    virtual void Update(float dt);
    virtual void Render(RenderView* view);

    bool IsLive() const { return listed_; }
    // Forgets the live-list position without touching the list (tests' state reset).
    void ForgetListing() { listed_ = false; }

    ExplosionClass* explosionClass;
    Entity* entity;
    Entity* owner = nullptr;
    float frame = 0.0f;
    float lastFrame = 0.0f;
    DamageInfo damageInfo{};
    float pushLeft = 0.0f;
    float pushDrain = 0.0f;

private:
    std::list<Explosion*>::iterator listPosition_;
    bool listed_ = false;
};

// The prototype of a registered label: the kind's class when it is built, else a plain explosion.
std::unique_ptr<ExplosionClass> Explosion_MakePrototype(const char* label, uint32_t signature);

// The live explosions, newest first.
const std::list<Explosion*>& Explosion_LiveList();
// The record an explosion entity carries; false when the entity carries none.
bool Explosion_GetDamageInfo(const Entity* entity, DamageInfo* out);
void ExplosionClass_FreeAll();

// The entity-level operations of type code 52.
void* Explosion_CreateClassData();
int Explosion_DeleteObject(void* classData);

class ExplosionManager : public PhaseHook {
public:
    // Loads the standard classes: the richer set when the settings flag value 4 is on.
    void MissionSetup() override;
    // Every live explosion drops its owner.
    void MissionEnd() override;
    // Every live explosion goes back to its pool.
    void MissionCleanup() override;
    // Each live explosion's update; a dead one is removed in the same walk.
    void Simulate(float frameTime) override;
    void Render(RenderView* view) override;

    ExplosionClass* stdExplosionBld = nullptr;
    ExplosionClass* stdExplosionCar = nullptr;
    ExplosionClass* stdExplosionSec = nullptr;
    ExplosionClass* stdExplosionCarB = nullptr;
    ExplosionClass* stdExplosionGndShk = nullptr;
};

ExplosionManager& Explosion_Manager();
PhaseHook& ExplosionManager_Member();
// Puts the manager's standard classes back to none, empties the live list and forgets the loaded
// explosion classes without deleting anything (tests' state reset; tests free what they make).
void ExplosionManager_ResetForTest();
