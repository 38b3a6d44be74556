#include "special_definitions.h"

#include <tuple>

#include "textfiles.h"

namespace content {

namespace {

constexpr uint32_t kAmmoPerSecond = 0xe4af0ab6u, kChargeTime = 0x682cd2b2u, kLoopSound = 0xd46356b6u,
                   kStopSound = 0x06a2f4e9u, kChargeSteps = 0x2c5533aeu;
constexpr uint32_t kPilotReach = 0x935b6321u, kPilotRadius = 0x6981c907u;

bool Finish(const OdfWriter& w, const std::string& prefix, std::string* text, std::string* error) {
    if (!w.Ok(error)) return false;
    *text = prefix + w.Text();
    return true;
}

}  // namespace

bool SpecialItemText(const WeaponValues& base, const SpecialItemValues& v, std::string* text, std::string* error) {
    std::string prefix;
    if (!WeaponDefinitionText(base, &prefix, error)) return false;
    OdfWriter w;
    if (v.ammoPerSecond >= 0) w.Int(kAmmoPerSecond, v.ammoPerSecond);
    if (v.chargeTime > -1e29f) w.Float(kChargeTime, v.chargeTime);
    if (!v.loopSound.empty()) w.String(kLoopSound, v.loopSound);
    if (!v.stopSound.empty()) w.String(kStopSound, v.stopSound);
    if (v.chargeSteps > -1000) w.Int(kChargeSteps, v.chargeSteps);
    return Finish(w, prefix, text, error);
}

bool SniperShellText(const OrdnanceValues& base, const SniperShellValues& v, std::string* text, std::string* error) {
    std::string prefix;
    if (!OrdnanceDefinitionText(base, &prefix, error)) return false;
    OdfWriter w;
    if (v.pilotReach > -1e29f) w.Float(kPilotReach, v.pilotReach);
    if (v.pilotRadius > -1e29f) w.Float(kPilotRadius, v.pilotRadius);
    return Finish(w, prefix, text, error);
}

bool SpecialDefinitions(std::vector<NamedDefinition>* out, std::string* error) {
    std::string text;
    // The switched items: each charges before it works (every item names its steps: an item of
    // none would never start) and drains its carrier's ammunition while on.
    WeaponValues item;
    item.kind = "special";
    item.fireSound = "weapon.wav";
    item.sprites[1] = "icon_gun";
    SpecialItemValues charge;
    charge.stopSound = "ping.wav";
    WeaponValues damper = item, expose = item, refract = item;
    damper.label = "radardamper";
    expose.label = "terrainexpose";
    refract.label = "imagerefract";
    SpecialItemValues damperCharge = charge, exposeCharge = charge, refractCharge = charge;
    damperCharge.ammoPerSecond = 100, damperCharge.chargeTime = 2.0f, damperCharge.chargeSteps = 3;
    exposeCharge.ammoPerSecond = 60, exposeCharge.chargeTime = 1.0f, exposeCharge.chargeSteps = 1;
    refractCharge.ammoPerSecond = 150, refractCharge.chargeTime = 3.0f, refractCharge.chargeSteps = 2;
    for (const auto& [file, weapon, values] : {std::tuple{"wrdamp.odf", &damper, &damperCharge},
                                               std::tuple{"wexpose.odf", &expose, &exposeCharge},
                                               std::tuple{"wrefract.odf", &refract, &refractCharge}}) {
        if (!SpecialItemText(*weapon, *values, &text, error)) return false;
        out->push_back({file, text});
    }

    // The sniper pair: a fast shell ("snipe" travels as common code 128) that kills a pilot up to
    // 4 m ahead of it and a quarter metre off its line.
    OrdnanceValues shell;
    shell.label = "snipershell";
    shell.explosionGround = "xbulgnd";
    shell.explosionVehicle = "xbulcar";
    shell.explosionBuilding = "xbulbld";
    shell.ammoCost = 5;
    shell.lifetime = 2.0f;
    shell.speed = 400.0f;
    shell.damage[0] = 15;
    shell.writeDamage = true;
    SniperShellValues reach;
    reach.pilotReach = 4.0f;
    reach.pilotRadius = 0.25f;
    if (!SniperShellText(shell, reach, &text, error)) return false;
    out->push_back({"snipe.odf", text});
    WeaponValues sniper;
    sniper.label = "snipergun";
    sniper.ordnance = "snipe";
    sniper.fireSound = "h45ch.wav";
    sniper.kind = "cannon";
    sniper.reloadTime = 1.5f;
    sniper.sprites[0] = "reticle_gun", sniper.sprites[1] = "icon_gun";
    if (!WeaponDefinitionText(sniper, &text, error)) return false;
    out->push_back({"wsniper.odf", text});

    // The ground blast: a low puff drawn as one sprite.
    ExplosionValues blast;
    blast.label = "groundblast";
    blast.firstFrame = "lsmoke.12";
    blast.frameCount = 6;
    blast.secondsPerFrame = 0.08f;
    blast.innerRadius = 4.0f;
    blast.outerRadius = 8.0f;
    blast.damage[0] = 80;
    blast.writeDamage = true;
    blast.pushStrength = 2.0f;
    if (!ExplosionDefinitionText(blast, &text, error)) return false;
    out->push_back({"xgblast.odf", text});
    return true;
}

}  // namespace content
