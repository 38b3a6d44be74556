#include "guided_definitions.h"

#include <cstdio>
#include <tuple>

#include "textfiles.h"

namespace content {

namespace {

constexpr uint32_t kGlowWidth = 0x278d7166u, kGlowLength = 0xf7c7cb9cu, kGlowSprite = 0xb051e2dbu,
                   kGlowFrames = 0x5d27cabau;
constexpr uint32_t kFlareSize = 0x1ceb10c5u, kFlareSprite = 0x14e4e216u, kFlareFrames = 0x91cf383du;
constexpr uint32_t kPuffSpread = 0xf3e8cfc6u, kPuffForward = 0x80c3efaau, kPuffInherit = 0x40a86addu,
                   kPuffSize = 0x8566cba4u, kPuffInterval = 0x01f6a810u, kPuffFrameRate = 0x078049c9u,
                   kPuffSprite = 0x88f1ef89u, kPuffFrames = 0xdd33060cu;
constexpr uint32_t kStreakSprite = 0xfd5bbc6fu, kStreakColour = 0xc74275c8u, kLineDistance = 0xbba723ccu,
                   kStreakLength = 0x67d7c578u, kStreakWidth = 0x8069b6cau;
constexpr uint32_t kTurnRate = 0x4ad4b447u, kSteerGain = 0x21601063u, kAttachTime = 0x43d9e250u,
                   kSwitchTime = 0x25401c88u, kLockAngle = 0xa3f03b49u;
constexpr uint32_t kLockRange = 0x742c80cfu, kLockTime = 0xf7e186b5u, kTrackingIcon = 0x04e2778au,
                   kLockSound = 0x03ab425du, kLockedIcon = 0x748a8151u, kLockedSound = 0x027b5cb2u,
                   kLockFrameCount = 0xc188a147u;
// The stage icons' keys: this text (hash 0xa3a90a78) followed by "01", "02", ...
constexpr const char* kLockFramePrefix = "lockframe_gipagibiliba";
constexpr uint32_t kTagSound = 0xe4cf54dbu, kSalvoDelay = 0x16c2de34u, kSalvoInterval = 0xd76f37dbu,
                   kSalvoCount = 0x9260ea63u;

void WriteRocket(OdfWriter& w, const RocketValues& v) {
    if (v.glowWidth >= 0.0f) w.Float(kGlowWidth, v.glowWidth);
    if (v.glowLength >= 0.0f) w.Float(kGlowLength, v.glowLength);
    if (!v.glowSprite.empty()) w.String(kGlowSprite, v.glowSprite);
    if (v.glowFrames >= 0) w.Int(kGlowFrames, v.glowFrames);
    if (v.flareSize >= 0.0f) w.Float(kFlareSize, v.flareSize);
    if (!v.flareSprite.empty()) w.String(kFlareSprite, v.flareSprite);
    if (v.flareFrames >= 0) w.Int(kFlareFrames, v.flareFrames);
    if (v.puffSpread >= 0.0f) w.Float(kPuffSpread, v.puffSpread);
    if (v.puffForward >= 0.0f) w.Float(kPuffForward, v.puffForward);
    if (v.puffInherit >= 0.0f) w.Float(kPuffInherit, v.puffInherit);
    if (v.puffSize >= 0.0f) w.Float(kPuffSize, v.puffSize);
    if (v.puffInterval > -1e29f) w.Float(kPuffInterval, v.puffInterval);
    if (v.puffSecondsPerFrame > -1e29f) w.Float(kPuffFrameRate, v.puffSecondsPerFrame);
    if (!v.puffSprite.empty()) w.String(kPuffSprite, v.puffSprite);
    if (v.puffFrames >= 0) w.Int(kPuffFrames, v.puffFrames);
}

void WriteGuided(OdfWriter& w, const GuidedValues& v) {
    if (v.turnRate >= 0.0f) w.Float(kTurnRate, v.turnRate);
    if (v.steerGain > -1e29f) w.Float(kSteerGain, v.steerGain);
    if (v.attachTime >= 0.0f) w.Float(kAttachTime, v.attachTime);
    if (v.switchTime >= 0.0f) w.Float(kSwitchTime, v.switchTime);
    if (v.lockAngle > -1e29f) w.Float(kLockAngle, v.lockAngle);
}

bool Finish(const OdfWriter& w, std::string* prefix, std::string* text, std::string* error) {
    if (!w.Ok(error)) return false;
    *text = *prefix + w.Text();
    return true;
}

}  // namespace

bool GuidedOrdnanceText(const OrdnanceValues& base, const RocketValues& rocket, const TracerValues& tracer,
                        const GuidedValues& guided, std::string* text, std::string* error) {
    std::string head;
    if (!OrdnanceDefinitionText(base, &head, error)) return false;
    OdfWriter w;
    WriteRocket(w, rocket);
    if (!tracer.streakSprite.empty()) w.String(kStreakSprite, tracer.streakSprite);
    if (tracer.streakColour >= 0) w.Int(kStreakColour, tracer.streakColour);
    if (tracer.lineDistance >= 0.0f) w.Float(kLineDistance, tracer.lineDistance);
    if (tracer.streakLength >= 0.0f) w.Float(kStreakLength, tracer.streakLength);
    if (tracer.streakWidth >= 0.0f) w.Float(kStreakWidth, tracer.streakWidth);
    WriteGuided(w, guided);
    return Finish(w, &head, text, error);
}

bool LockWeaponText(const WeaponValues& base, const LockValues& v, const OrdnanceValues* shot,
                    const RocketValues* rocket, const GuidedValues* guided, std::string* text, std::string* error) {
    std::string head;
    if (!WeaponDefinitionText(base, &head, error)) return false;
    if (shot) {
        std::string shotText;
        if (!GuidedOrdnanceText(*shot, rocket ? *rocket : RocketValues{}, TracerValues{}, guided ? *guided : GuidedValues{},
                                &shotText, error))
            return false;
        head += shotText;
    }
    OdfWriter w;
    if (v.lockRange >= 0.0f) w.Float(kLockRange, v.lockRange);
    if (v.lockTime > -1e29f) w.Float(kLockTime, v.lockTime);
    if (v.lockAngle > -1e29f) w.Float(kLockAngle, v.lockAngle);
    if (!v.trackingIcon.empty()) w.String(kTrackingIcon, v.trackingIcon);
    if (!v.lockSound.empty()) w.String(kLockSound, v.lockSound);
    if (!v.lockedIcon.empty()) w.String(kLockedIcon, v.lockedIcon);
    if (!v.lockedSound.empty()) w.String(kLockedSound, v.lockedSound);
    if (v.lockFrameCount > -1000) w.Int(kLockFrameCount, v.lockFrameCount);
    for (size_t i = 0; i < v.lockFrames.size(); ++i) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%02d", static_cast<int>(i + 1));
        w.String(std::string(kLockFramePrefix) + digits, v.lockFrames[i]);
    }
    if (!v.tagSound.empty()) w.String(kTagSound, v.tagSound);
    if (v.salvoDelay >= 0.0f) w.Float(kSalvoDelay, v.salvoDelay);
    if (v.salvoInterval > -1e29f) w.Float(kSalvoInterval, v.salvoInterval);
    if (v.salvoCount > -1000) w.Int(kSalvoCount, v.salvoCount);
    return Finish(w, &head, text, error);
}

bool GuidedDefinitions(std::vector<NamedDefinition>* out, std::string* error) {
    std::string text;
    // The shots share the bullets' hit puffs; striking a craft, a missile bursts in its own small
    // blast, not the blast of a craft dying.
    OrdnanceValues shot;
    shot.explosionGround = "xbulgnd";
    shot.explosionVehicle = "xmslxpl";
    shot.explosionBuilding = "xbldxpl";
    shot.ammoCost = 5;
    shot.lifetime = 4.0f;
    shot.speed = 120.0f;
    shot.damage[0] = 80;
    shot.writeDamage = true;

    RocketValues trail;
    trail.glowWidth = 0.3f;
    trail.glowLength = 1.5f;
    trail.glowSprite = "rglow.0";
    trail.glowFrames = 4;
    trail.flareSize = 0.6f;
    trail.flareSprite = "rflare.0";
    trail.flareFrames = 4;
    trail.puffSpread = 0.4f;
    trail.puffForward = 0.2f;
    trail.puffInherit = 0.1f;
    // Puffs 2 m across: drawn as round sprites out to about 80 m, where the renderer's level of
    // detail starts to show a sprite of 8 pixels or less as a plain square.
    trail.puffSize = 1.0f;
    trail.puffInterval = 0.02f;
    trail.puffSecondsPerFrame = 0.1f;
    trail.puffSprite = "rpuff.0";
    trail.puffFrames = 8;

    OrdnanceValues rocket = shot;
    rocket.label = "rocket";
    // A rocket striking a craft bursts in its own small blast, not the blast of a craft dying.
    rocket.explosionVehicle = "xrckxpl";
    OrdnanceValues rocket3 = rocket;
    rocket3.speed = 90.0f;
    rocket3.damage[0] = 120;
    RocketValues trail3 = trail;
    trail3.glowWidth = 0.5f;
    trail3.puffSize = 1.4f;
    trail3.puffInterval = 0.04f;

    OrdnanceValues tracer = shot;
    tracer.label = "tracer";
    tracer.explosionVehicle = "xbulcar";  // a light round: the bullets' strike
    tracer.ammoCost = 1;
    tracer.speed = 300.0f;
    tracer.lifetime = 1.5f;
    tracer.damage[0] = 8;
    TracerValues streak;
    streak.streakSprite = "streak.0";
    streak.lineDistance = 60.0f;
    streak.streakLength = 8.0f;
    streak.streakWidth = 0.08f;

    OrdnanceValues missile = shot;
    missile.label = "missile";
    missile.ammoCost = 10;
    missile.lifetime = 5.0f;
    missile.speed = 100.0f;
    missile.damage[0] = 150;
    missile.reportHits = 1;
    GuidedValues steer;
    steer.turnRate = 2.0f;
    steer.steerGain = 2000.0f;
    OrdnanceValues imageMissile = missile;
    imageMissile.label = "imagemissile";
    OrdnanceValues thermalMissile = missile;
    thermalMissile.label = "thermalmissile";
    GuidedValues heat = steer;
    heat.lockAngle = 0.35f;

    OrdnanceValues switcher = shot;
    switcher.label = "switcher";
    switcher.damage[0] = 0;
    switcher.ammoCost = 20;
    GuidedValues switchTime;
    switchTime.switchTime = 8.0f;

    const struct {
        const char* file;
        const OrdnanceValues* base;
        const RocketValues* rocket;
        const TracerValues* tracer;
        const GuidedValues* guided;
    } shots[] = {
        {"rocket.odf", &rocket, &trail, nullptr, nullptr},
        {"rocket3.odf", &rocket3, &trail3, nullptr, nullptr},
        {"tracer.odf", &tracer, nullptr, &streak, nullptr},
        {"missile1.odf", &missile, &trail, nullptr, &steer},
        {"imissile.odf", &imageMissile, &trail, nullptr, &steer},
        {"tmissile.odf", &thermalMissile, &trail, nullptr, &heat},
        {"switch1.odf", &switcher, &trail, nullptr, &switchTime},
    };
    for (const auto& s : shots) {
        if (!GuidedOrdnanceText(*s.base, s.rocket ? *s.rocket : RocketValues{}, s.tracer ? *s.tracer : TracerValues{},
                                s.guided ? *s.guided : GuidedValues{}, &text, error))
            return false;
        out->push_back({s.file, text});
    }

    // The launchers: a missile at 100 m/s for 5 s; a full lock in 1 s over 4 stages within 300 m.
    WeaponValues launcher;
    launcher.label = "launcher";
    launcher.ordnance = "missile1";
    launcher.fireSound = "wrock.wav";
    launcher.kind = "rocket";
    launcher.sprites[1] = "icon_gun";
    LockValues lock;
    lock.lockRange = 300.0f;
    lock.lockTime = 1.0f;
    lock.trackingIcon = "tracking.0";
    lock.lockedIcon = "locked.0";
    lock.lockFrameCount = 4;
    lock.lockFrames = {"lockstage.1", "lockstage.2", "lockstage.3", "lockstage.4"};
    WeaponValues imageLauncher = launcher;
    imageLauncher.label = "imagelauncher";
    imageLauncher.ordnance = "imissile";
    WeaponValues thermalLauncher = launcher;
    thermalLauncher.label = "thermallauncher";
    thermalLauncher.ordnance = "tmissile";
    LockValues thermalLock = lock;
    thermalLock.lockAngle = 0.35f;
    for (const auto& [file, weapon, values] : {std::tuple{"wlaunch.odf", &launcher, &lock},
                                               std::tuple{"wilaunch.odf", &imageLauncher, &lock},
                                               std::tuple{"wtlaunch.odf", &thermalLauncher, &thermalLock}}) {
        if (!LockWeaponText(*weapon, *values, nullptr, nullptr, nullptr, &text, error)) return false;
        out->push_back({file, text});
    }

    // The tag gun: one file for the gun (firing "missile1" salvoes) and its tag shot.
    WeaponValues tagGun;
    tagGun.label = "targeting";
    tagGun.ordnance = "missile1";
    tagGun.kind = "rocket";
    tagGun.sprites[1] = "icon_gun";
    LockValues salvo;
    salvo.trackingIcon = "tracking.0";
    salvo.lockedIcon = "locked.0";
    salvo.tagSound = "h45ch.wav";
    salvo.salvoDelay = 0.5f;
    salvo.salvoInterval = 0.25f;
    salvo.salvoCount = 4;
    OrdnanceValues tag = shot;
    tag.label = "targeting";
    tag.ammoCost = 2;
    tag.speed = 150.0f;
    tag.damage[0] = 0;
    GuidedValues attach;
    attach.attachTime = 3.0f;
    if (!LockWeaponText(tagGun, salvo, &tag, &trail, &attach, &text, error)) return false;
    out->push_back({"wtag.odf", text});

    WeaponValues switchGun;
    switchGun.label = "cannon";
    switchGun.ordnance = "switch1";
    switchGun.kind = "special";
    switchGun.reloadTime = 2.0f;
    if (!WeaponDefinitionText(switchGun, &text, error)) return false;
    out->push_back({"wswitch.odf", text});
    return true;
}

}  // namespace content
