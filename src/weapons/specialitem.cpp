#include "weapons/specialitem.h"

#include <cmath>
#include <cstring>

#include "Objkr/entity.h"
#include "core/bytes.h"
#include "core/clock.h"
#include "core/game.h"
#include "core/gamesettings.h"
#include "core/seams/audio.h"
#include "core/seams/cockpit.h"
#include "core/seams/render.h"
#include "core/seams/shell.h"
#include "fun3d/gameobject.h"
#include "weapons/firedue.h"
#include "weapons/refraction.h"
#include "weapons/sniper.h"

namespace {

constexpr uint32_t kOdfAmmoPerSecond = 0xe4af0ab6;
constexpr uint32_t kOdfChargeTime = 0x682cd2b2;
constexpr uint32_t kOdfLoopSound = 0xd46356b6;
constexpr uint32_t kOdfStopSound = 0x06a2f4e9;
constexpr uint32_t kOdfChargeSteps = 0x2c5533ae;

// The player settings' option that makes special items toggle instead of hold.
constexpr uint32_t kPlayerFlagToggleItems = 0x400;

constexpr uint32_t kSoundFlags = 2048;
constexpr uint32_t kLoopSoundFlags = 2049;
constexpr int kUserSoundHeader = 65;

// A charge clock this close below the step counts as having reached it (rounding of summed
// frame times).
constexpr float kChargeReached = kFireDueTolerance;

int SoundHeader(const Entity* root) { return root && (root->flags & kEntityUser) ? kUserSoundHeader : 0; }

void PlaySound(const char (&name)[16], Entity* entity, uint32_t flags, int header) {
    char text[17] = {};
    std::memcpy(text, name, sizeof name);
    if (text[0]) Seam_Audio().soundPlay(text, entity, flags, header);
}

uint32_t PlayerFlags() {
    const uint8_t* def = Seam_Shell().playerDef ? Seam_Shell().playerDef() : nullptr;
    return def ? Bytes_U32(def + kPlayerDefFlags) : 0;
}

}  // namespace

// ---- prototypes -------------------------------------------------------------------------------

class RadarDamperClass : public SpecialItemClass {
public:
    using SpecialItemClass::SpecialItemClass;
    RadarDamperClass(RadarDamperClass* from, const ClassName& name) : SpecialItemClass(from, name) {}
    WeaponClass* ReadOdf(const ClassName& name) override { return new RadarDamperClass(this, name); }
    Weapon* MakeObject(Entity* entity) override { return new RadarDamper(entity, this); }
};

class TerrainExposeClass : public SpecialItemClass {
public:
    using SpecialItemClass::SpecialItemClass;
    TerrainExposeClass(TerrainExposeClass* from, const ClassName& name) : SpecialItemClass(from, name) {}
    WeaponClass* ReadOdf(const ClassName& name) override { return new TerrainExposeClass(this, name); }
    Weapon* MakeObject(Entity* entity) override { return new TerrainExpose(entity, this); }
};

std::unique_ptr<WeaponClass> Special_MakeWeaponPrototype(const char* label, uint32_t signature) {
    if (std::strcmp(label, "specialitem") == 0) return std::make_unique<SpecialItemClass>(label, signature);
    if (std::strcmp(label, "radardamper") == 0) return std::make_unique<RadarDamperClass>(label, signature);
    if (std::strcmp(label, "terrainexpose") == 0) return std::make_unique<TerrainExposeClass>(label, signature);
    if (auto refraction = ImageRefract_MakePrototype(label, signature)) return refraction;
    return SniperGun_MakePrototype(label, signature);
}

// ---- the class --------------------------------------------------------------------------------

SpecialItemClass::SpecialItemClass(const char* classLabel, uint32_t classSignature)
    : WeaponClass(classLabel, classSignature) {}

SpecialItemClass::SpecialItemClass(SpecialItemClass* from, const ClassName& name) : WeaponClass(from, name) {
    OdfFile odf(fileName);
    odf.GetInt(kOdfAmmoPerSecond, &ammoPerSecond, from->ammoPerSecond);
    float total = 0.0f;
    odf.GetFloat(kOdfChargeTime, &total, from->chargeTime * (static_cast<float>(from->chargeSteps) + 1.0f));
    odf.GetString(kOdfLoopSound, loopSound, sizeof loopSound, from->loopSound);
    odf.GetString(kOdfStopSound, stopSound, sizeof stopSound, from->stopSound);
    odf.GetInt(kOdfChargeSteps, &chargeSteps, from->chargeSteps);
    // Counted in floats: a step count near the integer limit cannot overflow, and a count of -1
    // (which never charges) divides by nothing.
    const float parts = static_cast<float>(chargeSteps) + 1.0f;
    chargeTime = parts > 0.0f ? total / parts : total;
}

WeaponClass* SpecialItemClass::ReadOdf(const ClassName& name) { return new SpecialItemClass(this, name); }
Weapon* SpecialItemClass::MakeObject(Entity* entity) { return new SpecialItem(entity, this); }

// ---- the item ---------------------------------------------------------------------------------

SpecialItem::SpecialItem(Entity* e, SpecialItemClass* cls) : Weapon(e, cls) { baseSprite = sprite2; }

SpecialItem::~SpecialItem() = default;

bool SpecialItem::UsesUserTrigger() const {
    if (!root || !(root->flags & kEntityUser)) return false;
    if (Game_Settings().userState & kUserStateAiTriggers) return false;
    return !(PlayerFlags() & kPlayerFlagToggleItems);
}

bool SpecialItem::CanFire() {
    const int32_t ammo = ownerObject ? ownerObject->curAmmo : 0;
    return static_cast<float>(ammo) >= Clock_GetFrameTime() * static_cast<float>(Class().ammoPerSecond);
}

void SpecialItem::PullTrigger() {
    if (UsesUserTrigger()) return;
    Weapon::PullTrigger();
    if (pressGuard == 0) on = on ? 0 : 1;
    pressGuard = 2;
}

void SpecialItem::ReleaseTrigger() {
    on = 0;
    pressGuard = 0;
}

bool SpecialItem::IsTriggerDown() { return on != 0; }

void SpecialItem::UserTriggerDown() {
    if (UsesUserTrigger()) on = 1;
}

void SpecialItem::UserTriggerUp() {
    if (UsesUserTrigger()) on = 0;
}

void SpecialItem::UpdateMount(float dt) {
    Weapon::UpdateMount(dt);
    if (!ownerObject && root) ownerObject = GameObject_FromEntity(root);
    const int32_t ammo = ownerObject ? ownerObject->curAmmo : 0;
    if (static_cast<float>(ammo) < static_cast<float>(Class().ammoPerSecond) * dt) on = 0;
}

void SpecialItem::Update(float dt) {
    const SpecialItemClass& cls = Class();
    if (pressGuard > 0) --pressGuard;
    if (on) {
        if (chargeCount < cls.chargeSteps) {
            chargeClock += dt;
            // The time left to the next step runs down to the step; the shared loop fires while
            // it is below zero, so the step's own rounding is counted as reached.
            float clock = cls.chargeTime - chargeClock - 2.0f * kChargeReached;
            const int32_t left = cls.chargeSteps - chargeCount;
            const int most = left < kMostChargeStepsPerUpdate ? static_cast<int>(left) : kMostChargeStepsPerUpdate;
            FireDue(clock, cls.chargeTime, most, [&] {
                ++chargeCount;
                if (chargeCount == cls.chargeSteps && !IsActive()) {
                    Activate();
                    running_ = true;
                    PlaySound(cls.fireSound, entity, kSoundFlags, SoundHeader(root));
                    PlaySound(cls.loopSound, entity, kLoopSoundFlags, SoundHeader(root));
                }
            });
            chargeClock = cls.chargeTime - 2.0f * kChargeReached - clock;
            // A backlog past the most steps of one update is dropped.
            if (chargeCount < cls.chargeSteps && chargeClock > cls.chargeTime) chargeClock = 0.0f;
            if (chargeClock < 0.0f) chargeClock = 0.0f;
        }
        sprite2 = baseSprite + chargeCount;
        if (IsActive()) {
            ammoRemainder += static_cast<float>(cls.ammoPerSecond) * dt;
            const float whole = std::floor(ammoRemainder);
            if (ownerObject && whole != 0.0f) ownerObject->AddAmmo(-static_cast<int32_t>(whole));
            ammoRemainder -= whole;
            Sustain(dt);
        }
        return;
    }
    sprite2 = baseSprite;
    chargeClock = 0.0f;
    chargeCount = 0;
    if (IsActive() || running_) {
        if (IsActive() && !(ownerObject && ownerObject->IsRemote())) Deactivate();
        // The sounds belong to a switch-off that follows this item's own start: a remote owner's
        // effect, which stays until its machine ends it, does not replay them every frame.
        if (running_) {
            running_ = false;
            Seam_Audio().soundStopAttached(entity);
            PlaySound(cls.stopSound, entity, kSoundFlags, SoundHeader(root));
        }
    }
}

bool SpecialItem::IsActive() { return false; }
void SpecialItem::Activate() {}
void SpecialItem::Sustain(float) {}
void SpecialItem::Deactivate() {}

// ---- radar damper -----------------------------------------------------------------------------

RadarDamper::~RadarDamper() {
    if (root && (root->flags & kEntityRadarDamped)) root->flags &= ~kEntityRadarDamped;
}

bool RadarDamper::IsActive() { return root && (root->flags & kEntityRadarDamped); }

void RadarDamper::Activate() {
    if (root) root->flags |= kEntityRadarDamped;
}

void RadarDamper::Deactivate() {
    if (root) root->flags &= ~kEntityRadarDamped;
}

// ---- terrain exposure -------------------------------------------------------------------------

namespace {

bool FollowedByCamera(const GameObject* owner) {
    return owner && Seam_Cockpit().cameraTarget && Seam_Cockpit().cameraTarget() == owner;
}

void WhiteFlash() { Seam_Cockpit().screenTintFlash(1.0f, 1.0f, 255, 255, 255); }

}  // namespace

TerrainExpose::~TerrainExpose() {
    if (active) Deactivate();
}

bool TerrainExpose::IsActive() { return active != 0; }

void TerrainExpose::Activate() {
    active = 1;
    if (FollowedByCamera(ownerObject)) WhiteFlash();
}

void TerrainExpose::Sustain(float) {
    if (FollowedByCamera(ownerObject)) Seam_Render().terrainExposureSet();
}

void TerrainExpose::Deactivate() {
    active = 0;
    if (FollowedByCamera(ownerObject)) WhiteFlash();
}
