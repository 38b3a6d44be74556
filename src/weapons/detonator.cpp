#include "weapons/detonator.h"

#include <cstring>

#include "Objkr/entity.h"
#include "core/bytes.h"
#include "core/gamesettings.h"
#include "core/odf.h"
#include "core/seams/audio.h"
#include "core/seams/net.h"
#include "core/seams/render.h"
#include "fun3d/gameobject.h"
#include "weapons/ordnance.h"

namespace {

constexpr uint32_t kOdfDetonateIcon = 0x5b8f7784;
constexpr uint32_t kFireSoundFlags = 2048;
constexpr int kUserSoundHeader = 65;
constexpr uint32_t kReliable = 1;

}  // namespace

std::unique_ptr<WeaponClass> Detonator_MakeWeaponPrototype(const char* label, uint32_t signature) {
    if (label && std::strcmp(label, "detonator") == 0) return std::make_unique<DetonatorClass>(label, signature);
    return nullptr;
}

std::vector<uint8_t> Detonator_Message(const std::vector<uint16_t>& serials) {
    std::vector<uint8_t> message;
    if (serials.empty()) return message;
    Bytes_AppendU16(message, kDetonationWord);
    for (uint16_t serial : serials) Bytes_AppendU16(message, serial);
    return message;
}

// ---- the class --------------------------------------------------------------------------------

DetonatorClass::DetonatorClass(DetonatorClass* from, const ClassName& name) : MortarClass(from, name) {
    OdfFile odf(fileName);
    char icon[32];
    odf.GetString(kOdfDetonateIcon, icon, sizeof icon, "");
    detonateIcon = icon[0] ? Seam_Render().spriteFind(icon) : sprite2;
}

WeaponClass* DetonatorClass::ReadOdf(const ClassName& name) { return new DetonatorClass(this, name); }
Weapon* DetonatorClass::MakeObject(Entity* entity) { return new Detonator(entity, this); }

// ---- the gun ----------------------------------------------------------------------------------

Detonator::Detonator(Entity* e, DetonatorClass* cls) : Mortar(e, cls) {}

Detonator::~Detonator() { DetonateAll(); }

void Detonator::UpdateMount(float frameTime) {
    Mortar::UpdateMount(frameTime);
    ownerHandle = GameObject::GetObjHandle(ownerObject);
}

bool Detonator::MultiCharge() const {
    return root && (root->flags & kEntityUser) && Game_Settings().userMultiCharge;
}

int Detonator::LiveCharges() {
    int live = 0;
    for (Slot& slot : charges) {
        if (!slot.shot) continue;
        if (!Ordnance_IsFlight(slot.shot, slot.launches) || slot.shot->IsDead()) {
            slot = Slot{};
            continue;
        }
        ++live;
    }
    return live;
}

Ordnance* Detonator::FirstCharge() {
    LiveCharges();
    for (const Slot& slot : charges)
        if (slot.shot) return slot.shot;
    return nullptr;
}

void Detonator::Update(float dt) {
    shotClock += dt;
    const int live = LiveCharges();
    const bool multi = MultiCharge();
    const DetonatorClass& cls = Class();
    if (!detonateMode || multi) {
        sprite2 = cls.sprite2;
        if (trigger) {
            const int most = multi ? kDetonatorSlots : 1;
            if (live < most && CanFire() && shotClock > 0.0f && IsMuzzleAboveGround()) {
                for (Slot& slot : charges) {
                    if (slot.shot) continue;
                    if (cls.fireSound[0]) {
                        char name[17] = {};
                        std::memcpy(name, cls.fireSound, sizeof cls.fireSound);
                        const int header = root && (root->flags & kEntityUser) ? kUserSoundHeader : 0;
                        Seam_Audio().soundPlay(name, entity, kFireSoundFlags, header);
                    }
                    Matrix muzzle;
                    Matrix_Multiply(muzzle, entity->local, mountMatrix);
                    if (Ordnance* shot = FireAt(muzzle, shotClock - dt)) slot = Slot{shot, shot->launches};
                    shotClock -= ReloadTime();
                    break;
                }
            }
        } else if (live > 0) {
            detonateMode = true;
        }
    }
    if (detonateMode && !multi) {
        sprite2 = cls.detonateIcon;
        if (trigger) DetonateAll();
        if (LiveCharges() == 0) detonateMode = false;
    }
    if (shotClock > 0.0f) shotClock = 0.0f;
    trigger = 0;
}

void Detonator::UserTriggerUp() { DetonateAll(); }

void Detonator::DetonateAll() {
    NetSeam& net = Seam_Net();
    const bool network = net.isNetworkGame();
    // The owner is looked up by its handle: a gun may outlive the craft it was mounted on.
    const GameObject* owner = GameObject::FromHandleRaw(ownerHandle);
    const bool tell = network && owner && !owner->IsRemote();
    std::vector<uint16_t> serials;
    for (Slot& slot : charges) {
        if (slot.shot && Ordnance_IsFlight(slot.shot, slot.launches) && !slot.shot->IsDead()) {
            slot.shot->lifeLeft = 0.0f;
            if (tell && slot.shot->netPlayer != kNoPlayer) serials.push_back(slot.shot->netSerial);
        }
        slot = Slot{};
    }
    if (serials.empty()) return;
    const std::vector<uint8_t> message = Detonator_Message(serials);
    net.sendReliable(0, kReliable, message.data(), static_cast<int>(message.size()));
}
