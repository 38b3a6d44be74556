#include "charge_definitions.h"

#include "lobbed_definitions.h"
#include "textfiles.h"

namespace content {

namespace {

constexpr uint32_t kDetonateIcon = 0x5b8f7784u;
constexpr uint32_t kSeekRange = 0x6a1b2cddu;
constexpr uint32_t kBurstClass = 0x43506756u;
constexpr uint32_t kPayloadClass = 0x5eaf51edu;
constexpr uint32_t kLaunchPitch = 0x1af4cf34u;

}  // namespace

bool DetonatorText(const WeaponValues& base, const std::string& detonateIcon, std::string* text, std::string* error) {
    WeaponValues v = base;
    v.label = "detonator";
    std::string head;
    if (!WeaponDefinitionText(v, &head, error)) return false;
    OdfWriter w;
    if (!detonateIcon.empty()) w.Section("DetonatorClass").String(kDetonateIcon, detonateIcon);
    if (!w.Ok(error)) return false;
    *text = head + w.Text();
    return true;
}

bool PopperText(const OrdnanceValues& base, const RocketValues& rocket, const PopperValues& popper, std::string* text,
                std::string* error) {
    OrdnanceValues v = base;
    v.label = "popper";
    std::string head;
    if (!GuidedOrdnanceText(v, rocket, TracerValues{}, GuidedValues{}, &head, error)) return false;
    OdfWriter w;
    w.Section("PopperClass");
    if (popper.seekRange >= 0.0f) w.Float(kSeekRange, popper.seekRange);
    if (!popper.burstClass.empty()) w.String(kBurstClass, popper.burstClass);
    if (!popper.payloadClass.empty()) w.String(kPayloadClass, popper.payloadClass);
    if (!w.Ok(error)) return false;
    *text = head + w.Text();
    return true;
}

bool PopperGunText(const WeaponValues& base, float launchPitch, std::string* text, std::string* error) {
    WeaponValues v = base;
    v.label = "poppergun";
    std::string head;
    if (!WeaponDefinitionText(v, &head, error)) return false;
    OdfWriter w;
    w.Section("PopperGunClass");
    if (launchPitch > -1e29f) w.Float(kLaunchPitch, launchPitch);
    if (!w.Ok(error)) return false;
    *text = head + w.Text();
    return true;
}

bool ChargeDefinitions(std::vector<NamedDefinition>* out, std::string* error) {
    std::string text;
    // The charge's blast reaches 15 m; the popper's burst is a small puff.
    ExplosionValues blast;
    blast.firstFrame = "lsmoke.12";
    blast.frameCount = 8;
    blast.secondsPerFrame = 0.1f;
    blast.innerRadius = 3.0f;
    blast.outerRadius = 15.0f;
    blast.damage[0] = 300;
    blast.writeDamage = true;
    blast.pushStrength = 4.0f;
    ExplosionValues burst;
    burst.firstFrame = "lsmoke.12";
    burst.frameCount = 4;
    burst.secondsPerFrame = 0.08f;
    burst.innerRadius = 0.5f;
    burst.outerRadius = 2.0f;
    for (const auto& [file, values] : {std::pair{"xcharge.odf", &blast}, std::pair{"xpburst.odf", &burst}}) {
        if (!ExplosionDefinitionText(*values, &text, error)) return false;
        out->push_back({file, text});
    }

    // The charge is lobbed like a bounce bomb and lies where it comes to rest until it is set off.
    OrdnanceValues charge;
    charge.label = "bouncebomb";
    charge.geometry = "gvscrap";
    charge.explosionGround = "xcharge";
    charge.explosionVehicle = "xcharge";
    charge.explosionBuilding = "xcharge";
    charge.ammoCost = 20;
    charge.speed = 25.0f;
    charge.damage[0] = 50;
    charge.writeDamage = true;
    LobbedValues bounce;
    bounce.bounceSound = "bounce.wav";
    if (!LobbedOrdnanceText(charge, RocketValues{}, bounce, &text, error)) return false;
    out->push_back({"rcharge.odf", text});
    WeaponValues detonator;
    detonator.ordnance = "rcharge";
    detonator.fireSound = "wcbl.wav";
    detonator.kind = "mortar";
    detonator.reloadTime = 1.0f;
    detonator.sprites[1] = "icon_gun";
    if (!DetonatorText(detonator, "locked.0", &text, error)) return false;
    out->push_back({"wremote.odf", text});

    // The popper climbs at 0.8 rad, and once it falls it bursts by the nearest enemy within 60 m
    // and fires a fast shell at it.
    OrdnanceValues payload;
    payload.label = "rocket";
    payload.explosionGround = "xbulgnd";
    payload.explosionVehicle = "xbulcar";
    payload.explosionBuilding = "xbulbld";
    payload.ammoCost = 0;
    payload.lifetime = 2.0f;
    payload.speed = 150.0f;
    payload.damage[0] = 60;
    payload.writeDamage = true;
    if (!GuidedOrdnanceText(payload, RocketValues{}, TracerValues{}, GuidedValues{}, &text, error)) return false;
    out->push_back({"ppayload.odf", text});
    OrdnanceValues popper;
    popper.explosionGround = "xmshell";
    popper.explosionVehicle = "xmshell";
    popper.explosionBuilding = "xmshell";
    popper.ammoCost = 15;
    popper.speed = 45.0f;
    popper.damage[0] = 40;
    popper.writeDamage = true;
    PopperValues seek;
    seek.seekRange = 60.0f;
    seek.burstClass = "xpburst";
    seek.payloadClass = "ppayload";
    if (!PopperText(popper, RocketValues{}, seek, &text, error)) return false;
    out->push_back({"popper1.odf", text});
    WeaponValues gun;
    gun.ordnance = "popper1";
    gun.fireSound = "wcbl.wav";
    gun.kind = "mortar";
    gun.reloadTime = 1.5f;
    gun.sprites[1] = "icon_gun";
    if (!PopperGunText(gun, 0.8f, &text, error)) return false;
    out->push_back({"wpopper.odf", text});
    return true;
}

}  // namespace content
