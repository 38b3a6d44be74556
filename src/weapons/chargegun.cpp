#include "weapons/chargegun.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Objkr/entity.h"
#include "core/odf.h"
#include "core/seams/audio.h"
#include "core/seams/render.h"
#include "fun3d/gameobject.h"
#include "weapons/firedue.h"

namespace {

constexpr uint32_t kOdfBasePitch = 0x2E2012E5;
constexpr uint32_t kOdfPitchPerSecond = 0xB9782373;
constexpr uint32_t kOdfBaseVolume = 0xBC8F5A39;
constexpr uint32_t kOdfVolumePerSecond = 0xEDFCC3CB;
constexpr uint32_t kOdfLevelCount = 0x7E82425C;
// Each level's keys continue these over the level's number.
constexpr uint32_t kOdfChargeTime = 0xD9356908;
constexpr uint32_t kOdfSalvoCount = 0x9260EA63;
constexpr uint32_t kOdfSalvoInterval = 0xD76F37DB;
constexpr uint32_t kOdfSound = 0xCFDE2FC0;
constexpr uint32_t kOdfOrdnance = 0x10E6FD23;
constexpr uint32_t kOdfIcon = 0x1A05F72C;

constexpr uint32_t kSalvoSoundFlags = 2048;
constexpr uint32_t kChargeSoundFlags = 8193;
constexpr int kUserSoundHeader = 65;
constexpr int kOtherSoundHeader = 45;

int SoundHeaderOf(const Weapon& w) { return w.root && (w.root->flags & kEntityUser) ? kUserSoundHeader : kOtherSoundHeader; }

void SoundName(const char* field, char out[17]) {
    std::memset(out, 0, 17);
    std::memcpy(out, field, 16);
}

// The entries of a level table: entry 0 at rest, then the levels with their defaults.
std::vector<ChargeGunLevel> DefaultLevels(int32_t count, int classIcon) {
    std::vector<ChargeGunLevel> levels(static_cast<size_t>(count) + 1);
    levels[0].icon = classIcon;
    for (int32_t i = 1; i <= count; ++i) {
        ChargeGunLevel& l = levels[static_cast<size_t>(i)];
        l.chargeTime = 0.2f * static_cast<float>(i);
        l.salvoCount = 1;
        l.salvoInterval = 0.1f;
        l.icon = levels[static_cast<size_t>(i) - 1].icon;
    }
    return levels;
}

}  // namespace

ChargeGunClass::ChargeGunClass(const char* classLabel, uint32_t classSignature) : CannonClass(classLabel, classSignature) {
    std::memset(fireSound, 0, sizeof fireSound);
    std::strncpy(fireSound, "wlflame.wav", sizeof fireSound);
    chargeLevels = DefaultLevels(levelCount, sprite2);
}

ChargeGunClass::ChargeGunClass(ChargeGunClass* from, const ClassName& name) : CannonClass(from, name) {
    OdfFile odf(fileName);
    odf.GetFloat(kOdfBasePitch, &basePitch, from->basePitch);
    odf.GetFloat(kOdfPitchPerSecond, &pitchPerSecond, from->pitchPerSecond);
    odf.GetFloat(kOdfBaseVolume, &baseVolume, from->baseVolume);
    odf.GetFloat(kOdfVolumePerSecond, &volumePerSecond, from->volumePerSecond);
    odf.GetInt(kOdfLevelCount, &levelCount, from->levelCount);
    // The table holds count + 1 entries: a count from a file stays within 0..99.
    levelCount = std::clamp(levelCount, int32_t{0}, kChargeGunMostLevels);
    // The gun fires nothing until it has charged: its own ordnance is entry 0's.
    ordnanceClass = nullptr;
    chargeLevels = DefaultLevels(levelCount, sprite2);
    for (int32_t i = 1; i <= levelCount; ++i) {
        ChargeGunLevel& l = chargeLevels[static_cast<size_t>(i)];
        odf.GetFloat(Text_HashNumbered(kOdfChargeTime, i), &l.chargeTime, l.chargeTime);
        odf.GetInt(Text_HashNumbered(kOdfSalvoCount, i), &l.salvoCount, l.salvoCount);
        odf.GetFloat(Text_HashNumbered(kOdfSalvoInterval, i), &l.salvoInterval, l.salvoInterval);
        odf.GetString(Text_HashNumbered(kOdfSound, i), l.sound, sizeof l.sound, "");
        char ordnance[9] = {};
        const char none[8] = {};
        odf.GetName8(Text_HashNumbered(kOdfOrdnance, i), ordnance, none);
        l.ordnance = ordnance[0] ? OrdnanceClass::Find(ordnance) : nullptr;
        char icon[32];
        const int previous = chargeLevels[static_cast<size_t>(i) - 1].icon;
        if (odf.GetString(Text_HashNumbered(kOdfIcon, i), icon, sizeof icon, ""))
            l.icon = icon[0] ? Seam_Render().spriteFind(icon) : 0;
        else
            l.icon = previous;
    }
}

WeaponClass* ChargeGunClass::ReadOdf(const ClassName& name) { return new ChargeGunClass(this, name); }
Weapon* ChargeGunClass::MakeObject(Entity* entity) { return new ChargeGun(entity, this); }

ChargeGun::ChargeGun(Entity* e, ChargeGunClass* cls) : Cannon(e, cls) {
    lastEntry = cls->levelCount;
    ordnanceClass = nullptr;
    sprite2 = Level().icon;
}

void ChargeGun::BackToRest() {
    current = 0;
    shotsLeft = 0;
    shotClock = 0.0f;
    ordnanceClass = nullptr;
    salvoSoundDue = false;
}

void ChargeGun::Update(float dt) {
    const ChargeGunClass& cls = Class();
    const auto& levels = cls.chargeLevels;
    const int32_t ammo = ownerObject ? ownerObject->curAmmo : 0;
    if (shotsLeft > 0) {
        // A salvo waits while the muzzle is under the ground; the trigger is not read meanwhile.
        if (IsMuzzleAboveGround()) {
            const ChargeGunLevel& level = Level();
            if (salvoSoundDue) {
                salvoSoundDue = false;
                if (level.sound[0]) {
                    char name[17];
                    SoundName(level.sound, name);
                    Seam_Audio().soundPlay(name, entity, kSalvoSoundFlags, SoundHeaderOf(*this));
                }
            }
            shotClock += dt;
            // The shots that fell due, each from where the craft was when it fell due.
            float clock = -shotClock;
            int fired = 0;
            auto fire = [&] {
                OrdnanceClass* shotClass = level.ordnance;
                const int32_t cost = shotClass ? shotClass->ordIntParam : 0;
                if (!shotClass || (ownerObject ? ownerObject->curAmmo : 0) < cost) {
                    shotsLeft = 0;
                    return;
                }
                if (ownerObject) ownerObject->AddAmmo(-cost);
                const float overdue = -clock;
                if (Ordnance* shot = shotClass->Build(MuzzleWhenDue(overdue, ownerObject), root)) shot->catchUp = overdue - dt;
                --shotsLeft;
            };
            while (shotsLeft > 0 && fired < kMostShotsPerUpdate && FireDue(clock, level.salvoInterval, 1, fire) == 1)
                ++fired;
            shotClock = -clock;
            if (shotsLeft <= 0)
                BackToRest();
            else if (fired == kMostShotsPerUpdate && shotClock > 0.0f)
                shotClock = 0.0f;  // what is due past the most shots of one update is dropped
        }
    } else if (trigger) {
        // Charging: the clock grows only while the next level's ordnance is affordable.
        auto affordable = [&](int32_t entry) {
            const OrdnanceClass* next = levels[static_cast<size_t>(entry)].ordnance;
            return !next || ammo >= next->ordIntParam;
        };
        if (current < lastEntry && affordable(current + 1)) {
            shotClock += dt;
            while (current < lastEntry && affordable(current + 1) &&
                   shotClock >= levels[static_cast<size_t>(current) + 1].chargeTime) {
                ++current;
                ordnanceClass = Level().ordnance;
            }
        }
        if (current >= lastEntry) shotClock = Level().chargeTime;
        AudioSeam& audio = Seam_Audio();
        if (!chargeSound && cls.fireSound[0]) {
            char name[17];
            SoundName(cls.fireSound, name);
            chargeSound = audio.soundPlay(name, entity, kChargeSoundFlags, SoundHeaderOf(*this));
        }
        if (chargeSound) {
            const long pitch = std::lround(cls.basePitch + cls.pitchPerSecond * shotClock);
            const long volume = std::lround(cls.baseVolume + cls.volumePerSecond * shotClock);
            audio.soundSetPitchVolume(chargeSound, static_cast<int>(pitch), static_cast<int>(volume));
        }
    } else if (shotClock > 0.0f) {
        // Let go: the reached level's salvo starts next frame.
        if (chargeSound) Seam_Audio().soundLoopStop(chargeSound);
        chargeSound = nullptr;
        shotClock = 0.0f;
        shotsLeft = std::max(Level().salvoCount, int32_t{0});
        if (shotsLeft == 0)
            BackToRest();
        else
            salvoSoundDue = true;
    }
    sprite2 = Level().icon;
    trigger = 0;
}
