#include "fun3d/tugsav.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Objkr/animobj.h"
#include "Objkr/bucketgrid.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Terrain/terrheight.h"
#include "core/fieldarchive.h"
#include "core/registration.h"
#include "core/fixup.h"
#include "core/odf.h"
#include "core/seams/audio.h"
#include "core/seams/net.h"
#include "fun3d/craftservices.h"
#include "fun3d/framepasses.h"
#include "fun3d/objectpool.h"
#include "fun3d/objectslot.h"

namespace {

constexpr float kSavClimbBand = 40.0f;   // h within (-40, 1) ends the climb
constexpr float kSavSoundRange = 150.0f;

Vector ToVec(const DVector& d) { return Vector{static_cast<float>(d.x), static_cast<float>(d.y), static_cast<float>(d.z)}; }

void SetSpeedOf(EntityDynamics& d) {
    d.speed = std::sqrt(Vec3_Dot(d.velocity, d.velocity));
    d.invSpeed = d.speed > 0.0f ? 1.0f / d.speed : 1e30f;
}

void PlaySound(GameObject& object, int which) {
    auto* cls = dynamic_cast<HoverCraftClass*>(object.objClass);
    if (cls && cls->sounds[which][0]) Seam_Audio().soundPlayOnObject(cls->sounds[which], object.entity);
}

// The first node of the type in the tree, depth first, children before the next sibling.
Entity* FindNode(Entity* e, int32_t type) {
    for (Entity* part = e ? e->child : nullptr; part; part = part->next) {
        if (part->type == type) return part;
        if (Entity* found = FindNode(part, type)) return found;
    }
    return nullptr;
}

Entity* FindById(Entity* e, uint32_t id) {
    if (!e) return nullptr;
    if (e->id == id) return e;
    for (Entity* part = e->child; part; part = part->next)
        if (Entity* found = FindById(part, id)) return found;
    return nullptr;
}

bool IsListed(const GameObject* object) {
    if (!object) return false;
    const std::vector<GameObject*>& list = GameObject_List();
    return std::find(list.begin(), list.end(), object) != list.end();
}

}  // namespace

// ---- SAV ------------------------------------------------------------------------------------

SAVClass::SAVClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory)
    : HoverCraftClass(kindLabel, kindSignature, kindCategory) {
    pilotCost = 0;
}

SAVClass::SAVClass(SAVClass* p, const char* name) : HoverCraftClass(p, name) {
    pilotCost = 0;
    OdfFile odf(fileName);
    odf.GetFloat(kOdfSavCruiseAltitude, &cruiseAltitude, p->cruiseAltitude);
}

GameObject* SAVClass::BuildObject(Entity* e) { return GameObject_New<SAV>(e, this); }
GameObjectClass* SAVClass::Derive(const char* name) { return new SAVClass(this, name); }

SAV::SAV(Entity* e, GameObjectClass* cls) : HoverCraft(e, cls) {
    deployState = kSavDescending;
    // The descending state's own target: a SAV made at start settles at its hover height.
    targetAltitude = base.hoverHeight;
}

void SAV::Fly(float dt) {
    const HoverHandling& k = handling;
    Matrix& m = entity->local;
    // 1. Controls.
    const float throttle = controls.boost ? 2.0f : controls.throttle;
    const float strafe = controls.strafe;
    const float steering = controls.steering;
    // 2. Yaw.
    Vector& spin = euler.angularVelocity;
    const float turnRate = k.turnRest + std::min(1.0f, throttle * throttle) * (k.turnSpeed - k.turnRest);
    if (turnRate > 0.0f) spin.y += dt * k.yawGain * std::clamp(steering - spin.y / turnRate, -1.0f, 1.0f);
    // 3. Levelling.
    spin.x -= dt * k.angularDamping * spin.x;
    spin.z -= dt * k.angularDamping * spin.z;
    spin.x -= dt * k.levelStiffness * m.front.y;
    spin.z += dt * k.levelStiffness * m.right.y;
    // 4. Drive in the craft's frame.
    float side = Vec3_Dot(euler.velocity, m.right);
    float vertical = Vec3_Dot(euler.velocity, m.up);
    float forward = Vec3_Dot(euler.velocity, m.front);
    const float accel = k.lateralGrip * dt;
    if (k.topStrafe > 0.0f) side += std::clamp(strafe - side / k.topStrafe, -1.0f, 1.0f) * accel;
    const float top = throttle >= 0.0f ? k.topForward : k.topReverse;
    if (top > 0.0f) forward += std::clamp(throttle - forward / top, -1.0f, 1.0f) * accel;
    vertical *= 1.0f - dt;
    // 5. Altitude.
    const float h = static_cast<float>(m.posit.y) - targetAltitude - Terrain_GetHeight(m.posit.x, m.posit.z);
    vertical = std::clamp(-0.025f * h, -1.0f, 1.0f) * k.liftBoost * dt;
    euler.velocity = Vector{m.right.x * side + m.up.x * vertical + m.front.x * forward,
                            m.right.y * side + m.up.y * vertical + m.front.y * forward,
                            m.right.z * side + m.up.z * vertical + m.front.z * forward};
    // 6. Move.
    Move(dt);
    SetSpeedOf(euler);
    UpdateSphere();
}

void SAV::StepState(float h) {
    auto* cls = dynamic_cast<SAVClass*>(objClass);
    const float cruise = cls ? cls->cruiseAltitude : 150.0f;
    auto descend = [&] {
        controls.deploy = 0;
        deployState = kSavDescending;
        targetAltitude = base.hoverHeight;
        entity->flags &= ~kEntityNotDrawn;
    };
    auto climb = [&] {
        controls.deploy = 0;
        deployState = kSavClimbing;
        PlaySound(*this, kHoverSoundDeploy);
        targetAltitude = cruise;
    };
    switch (deployState) {
        case kSavGround:
            if (controls.deploy) climb();
            break;
        case kSavClimbing:
            if (h > -kSavClimbBand && h < 1.0f) {
                deployState = kSavCruising;
                entity->flags |= kEntityNotDrawn;
            }
            if (controls.deploy) descend();
            break;
        case kSavCruising:
            if (controls.deploy) descend();
            break;
        case kSavDescending:
            if (h > -1.0f && h < kSavClimbBand) {
                deployState = kSavGround;
                PlaySound(*this, kHoverSoundUndeploy);
            }
            if (controls.deploy) climb();
            break;
        default:
            break;
    }
}

void SAV::UpdateThrustSound() {
    if (entity->flags & kEntityDead) return;
    auto* cls = dynamic_cast<HoverCraftClass*>(objClass);
    Vector camera;
    bool near = false;
    if (HoverCraft_CameraPosition(&camera)) {
        const Vector d = Vec3_Sub(pos, camera);
        near = Vec3_Dot(d, d) < kSavSoundRange * kSavSoundRange;
    }
    AudioSeam& audio = Seam_Audio();
    if (near && cls) {
        const float volume = this == GameObject_GetUser() ? 65.0f : 45.0f;
        if (!soundLoops[0]) soundLoops[0] = audio.soundLoopStart(cls->sounds[kHoverSoundThrust], entity, volume);
    } else if (soundLoops[0]) {
        audio.soundLoopStop(soundLoops[0]);
        soundLoops[0] = nullptr;
    }
}

void SAV::Update(float dt) {
    if (dt > 0.0f && !(entity->flags & kEntityDead)) Fly(dt);
    const Matrix& m = entity->local;
    const float h = static_cast<float>(m.posit.y) - targetAltitude - Terrain_GetHeight(m.posit.x, m.posit.z);
    StepState(h);
    UpdateThrustSound();
    Craft::Update(dt);
}

// ---- Tug ------------------------------------------------------------------------------------

TugClass::TugClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory)
    : HoverCraftClass(kindLabel, kindSignature, kindCategory) {
    teamSlotFirst = 25;
    teamSlotLast = 34;
}

TugClass::TugClass(TugClass* p, const char* name) : HoverCraftClass(p, name) {
    teamSlotFirst = 25;
    teamSlotLast = 34;
    OdfFile odf(fileName);
    odf.GetFloat(kOdfTugFloat, &tugFloat, p->tugFloat);
    // Text B is the last of the B texts; three texts are read again under keys of their own.
    const char* textB = textsB[11];
    char copy[kCraftTextSize] = {};
    std::memcpy(copy, textB, kCraftTextSize - 1);
    odf.GetString(kOdfTugTextA8, textsA[7], kCraftTextSize, copy);
    odf.GetString(kOdfTugTextB8, textsB[9], kCraftTextSize, copy);
    odf.GetString(kOdfTugTextB9, textsB[10], kCraftTextSize, copy);
}

GameObject* TugClass::BuildObject(Entity* e) { return GameObject_New<Tug>(e, this); }
GameObjectClass* TugClass::Derive(const char* name) { return new TugClass(this, name); }

Tug::Tug(Entity* e, GameObjectClass* cls) : HoverCraft(e, cls) {
    if (auto* tugClass = dynamic_cast<TugClass*>(cls)) tugFloat = tugClass->tugFloat;
    towNode = FindNode(entity, kEntityTypeTowNode);
    if (!towNode) towNode = entity;
}

Tug::~Tug() {
    if (cargo) SetCargo(nullptr);
    if (animSlot >= 0) {
        AnimObjSlot* s = nullptr;
        if (AnimObj_GetActive(animSlot, &s) == 0 && s->block && s->block->owner == entity) AnimObj_Stop(animSlot);
    }
}

uint32_t Tug::GetCargo() const { return cargo ? cargo->GetObjHandle() : 0; }

bool Tug::MayCarry(const GameObject* object) const {
    if (!object || object == this || !IsListed(object)) return false;
    if (object->entity && (object->entity->flags & kEntityDead)) return false;
    if (object->carrier && object->carrier != this) return false;
    // Not a tug that carries this one, however far up the chain.
    int guard = 0;
    for (const GameObject* up = carrier; up && guard < 1024; up = up->carrier, ++guard)
        if (up == object) return false;
    return true;
}

void Tug::SetCargo(GameObject* object) {
    if (object == cargo) return;
    if (GameObject* old = cargo) {
        old->isCargo = 0;
        old->carrier = nullptr;
        const Vector at = ToVec(old->entity->local.posit);
        old->SetPosition(Vector{at.x, Terrain_GetHeight(at.x, at.z), at.z});
    }
    cargo = nullptr;
    cargoEntity = nullptr;
    if (object) {
        object->isCargo = 1;
        object->carrier = this;
        const int32_t ref = object->GetEntityRef();
        cargoEntity = FindById(object->entity, static_cast<uint32_t>(ref));
        if (!cargoEntity) cargoEntity = object->entity;
        cargo = object;
    }
}

void Tug::PickUp() {
    BucketGrid* grid = GameObject_Grid();
    if (!grid) return;
    const Vector at = ToVec(entity->local.posit);
    BucketGridQuery query;
    grid->Query(at.x, at.z, kTugPickupReach, &query);
    GameObject* best = nullptr;
    float bestDist = kTugPickupReach * kTugPickupReach;
    const BucketGridEntry* entry = nullptr;
    while (query.Next(&entry)) {
        GameObject* object = GameObject::FromHandle(entry->value);
        if (!object || !MayCarry(object) || object->isCargo || object->aiProcess) continue;
        if (object->GetEntityRef() == 0) continue;
        const Vector p = ToVec(object->entity->local.posit);
        const float dx = p.x - at.x, dz = p.z - at.z;
        const float d2 = dx * dx + dz * dz;
        if (d2 <= bestDist) {
            bestDist = d2;
            best = object;
        }
    }
    if (best) SetCargo(best);
}

void Tug::SetDown() {
    GameObject* object = cargo;
    if (!object) return;
    Matrix& m = object->entity->local;
    float ground = 0.0f;
    Vector normal{0.0f, 1.0f, 0.0f};
    Terrain_GetHeightNormal(m.posit.x, m.posit.z, &ground, &normal);
    Vector front = m.front;
    if (std::fabs(Vec3_Dot(front, normal)) > 0.99f) front = m.up;
    const DVector posit{m.posit.x, ground, m.posit.z};
    m = Matrix_FromFrontUp(normal, front);
    m.posit = posit;
    EntityDynamics& d = object->euler;
    d.velocity = d.angularVelocity = d.acceleration = d.angularAcceleration = Vector{};
    d.speed = 0.0f;
    d.invSpeed = 1e30f;
    if (auto* craft = dynamic_cast<Craft*>(object); craft && craft->body) craft->body->dynamics = d;
    if (auto* hover = dynamic_cast<HoverCraft*>(object)) hover->force = hover->torque = Vector{};
    SetCargo(nullptr);
}

void Tug::CarryCargo() {
    if (!cargo) return;
    Matrix tow;
    Entity_GetTransformTo(tow, towNode ? towNode : entity, nullptr);
    Matrix placed = tow;
    if (cargoEntity && cargoEntity != cargo->entity) {
        // The cargo's own offset from the part it is held by.
        Matrix partInRoot, offset;
        Entity_GetTransformTo(partInRoot, cargoEntity, cargo->entity);
        Matrix_Invert(offset, partInRoot);
        Matrix_Multiply(placed, offset, tow);
    }
    cargo->entity->local = placed;
    EntityDynamics& d = cargo->euler;
    d.velocity = euler.velocity;
    d.speed = euler.speed;
    d.invSpeed = euler.invSpeed;
    d.angularVelocity = euler.angularVelocity;
    d.acceleration = force;
    d.angularAcceleration = torque;
    if (auto* hover = dynamic_cast<HoverCraft*>(cargo)) {
        hover->force = force;
        hover->torque = torque;
    }
    cargo->UpdateSphere();
}

void Tug::StartAnim(int32_t key) {
    int slot = -1;
    animSlot = AnimObj_Start(entity, key, &slot) == 0 ? slot : -1;
}

bool Tug::AnimEnded() const {
    AnimObjSlot* s = nullptr;
    return animSlot < 0 || AnimObj_GetActive(animSlot, &s) != 0 || !s->block || s->block->owner != entity ||
           s->state != kAnimPlaying;
}

void Tug::Update(float dt) {
    // 1. A finished animation is stopped.
    if (animSlot >= 0 && AnimEnded()) {
        AnimObjSlot* s = nullptr;
        if (AnimObj_GetActive(animSlot, &s) == 0 && s->block && s->block->owner == entity) AnimObj_Stop(animSlot);
        animSlot = -1;
    }
    // A cargo that died or went is let go of.
    if (cargo && (!IsListed(cargo) || (cargo->entity->flags & kEntityDead))) SetCargo(nullptr);
    // 2. States.
    timer -= dt;
    switch (deployState) {
        case kTugRaised:
            if (controls.deploy) {
                controls.deploy = 0;
                deployState = kTugLowering;
                PlaySound(*this, kHoverSoundDeploy);
                StartAnim(0);
                timer = lowerTime;
            }
            break;
        case kTugLowering:
            if (AnimEnded() && timer <= 0.0f) {
                if (!cargo) PickUp();
                deployState = kTugHooked;
                if (!cargo) timer = kTugEmptyHookWait;
            }
            break;
        case kTugHooked:
            if (!cargo && timer <= 0.0f) controls.deploy = 1;
            if (controls.deploy) {
                controls.deploy = 0;
                deployState = kTugRaising;
                PlaySound(*this, kHoverSoundUndeploy);
                StartAnim(1);
                timer = raiseTime;
            }
            break;
        case kTugRaising:
            if (AnimEnded() && timer <= 0.0f) {
                if (cargo) SetDown();
                deployState = kTugRaised;
            }
            break;
        default:
            break;
    }
    // 3.
    HoverCraft::Update(dt);
    // 4.
    if (!(entity->flags & kEntityDead) && cargo) CarryCargo();
}

bool Tug::HandleRequest(int32_t code) {
    if (code == 4) {
        SetCommandPosition(8, ToVec(entity->local.posit), 0);
        return true;
    }
    return HoverCraft::HandleRequest(code);
}

int32_t Tug::GetCommandForTarget(GameObject* other) {
    if (!other || commands.Selected() != 1 || other == this) return 0;
    const uint32_t sig = other->objClass->signature;
    if (sig == Signature("SCRP") || sig == Signature("GEIZ")) return 0;
    const int32_t cat = other->objClass->category;
    if (cat == kCategoryBuilding || cat == kCategorySpawnPoint) return !cargo && other->GetEntityRef() != 0 ? 7 : 0;
    if (cat == kCategoryPowerUp) return 3;
    if (!cargo && (cat == kCategoryCraft || cat == kCategoryProducer) && !other->aiProcess) return 7;
    return IsAlly(other) ? 5 : 0;
}

bool Tug::OnContact(Entity* other, CollisionBody* contact, void* extra) {
    if (other && cargo && GameObject_FromEntity(other) == cargo) return false;
    return HoverCraft::OnContact(other, contact, extra);
}

void Tug::BuildCommandList() {
    HoverCraft::BuildCommandList();
    commands.Set(3, 4, cargo != nullptr);
}

void Tug::Explode() {
    if (cargo) SetCargo(nullptr);
    HoverCraft::Explode();
}

bool Tug::Save(FILE* stream) {
    return Field_WritePointer(stream, cargo, kFieldUndefPtr) && HoverCraft::Save(stream);
}

bool Tug::Load() {
    loadedCargo_ = nullptr;
    // The field is taken by position: its saved name is not compared.
    return Field_ReadPointerFixup(kFieldUndefPtr, &loadedCargo_, "Tug", this) && HoverCraft::Load();
}

bool Tug::PostLoad() {
    GameObject* loaded = loadedCargo_;
    loadedCargo_ = nullptr;
    if (loaded && MayCarry(loaded)) {
        SetCargo(loaded);
        // The deploy state is not saved: a tug holding a cargo is hooked, so that it can set
        // the cargo down again.
        deployState = kTugHooked;
    }
    return HoverCraft::PostLoad();
}

void Tug::PackNetState(uint8_t* buffer, int32_t& length) {
    const uint32_t id = cargo ? cargo->GetNetId() : 0;
    const int32_t state = deployState;
    for (int i = 0; i < 4; ++i) buffer[length + i] = static_cast<uint8_t>(id >> (8 * i));
    for (int i = 0; i < 4; ++i) buffer[length + 4 + i] = static_cast<uint8_t>(static_cast<uint32_t>(state) >> (8 * i));
    length += kTugNetStateSize;
    HoverCraft::PackNetState(buffer, length);
}

void Tug::UnpackNetState(const uint8_t* data, int32_t length) {
    // A record too short for the tug's part and the hover craft's changes nothing.
    if (!data || length < kTugNetStateSize + kHoverNetStateSize + 3) return;
    uint32_t id = 0, word = 0;
    for (int i = 0; i < 4; ++i) id |= static_cast<uint32_t>(data[i]) << (8 * i);
    for (int i = 0; i < 4; ++i) word |= static_cast<uint32_t>(data[4 + i]) << (8 * i);
    const int32_t state = static_cast<int32_t>(word);
    if (state == 1 || state == 2) RequestDeploy();
    else if (state == 0 || state == 3) RequestUndeploy();
    if (id == 0) {
        SetCargo(nullptr);
    } else if (!cargo || cargo->GetNetId() != id) {
        NetObject* named = Seam_Net().findObject ? Seam_Net().findObject(id) : nullptr;
        auto* object = dynamic_cast<GameObject*>(named);
        // A peer cannot make a tug carry itself, a tug that carries it, or another's cargo.
        if (object && MayCarry(object)) SetCargo(object);
    }
    HoverCraft::UnpackNetState(data + kTugNetStateSize, length - kTugNetStateSize);
}

void Tug_ForgetCargo(GameObject* tug, GameObject* cargo) {
    auto* carrier = dynamic_cast<Tug*>(tug);
    if (carrier && carrier->cargo == cargo) {
        carrier->cargo = nullptr;
        carrier->cargoEntity = nullptr;
    }
    if (cargo) {
        cargo->isCargo = 0;
        cargo->carrier = nullptr;
    }
}

void Tug_ReleaseCargo(GameObject* tug, GameObject* cargo) {
    auto* carrier = dynamic_cast<Tug*>(tug);
    if (carrier && carrier->cargo == cargo) carrier->SetCargo(nullptr);
}
