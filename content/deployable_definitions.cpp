#include "deployable_definitions.h"

#include "textfiles.h"

namespace content {

namespace {

constexpr uint32_t kClassLabel = 0x92D04727u;
constexpr uint32_t kGeometryName = 0x0794B13Bu;
constexpr uint32_t kHealth = 0x19971F1Bu;
constexpr uint32_t kAmmo = 0x21C4FF9Bu;
constexpr uint32_t kLifetime = 0x7C7C544Bu;
constexpr uint32_t kAmbientSound = 0xF1AAD7DCu;
constexpr uint32_t kFlareOrdnance = 0x19D3EBC6u;
constexpr uint32_t kSound = 0xCFDE2FC0u;
constexpr uint32_t kDelay = 0x682CD2B2u;
constexpr uint32_t kReloadTime = 0xD9356908u;
constexpr uint32_t kCone = 0x22C3372Eu;
constexpr uint32_t kRange = 0x66623DD5u;
constexpr uint32_t kCentreForce = 0x6CF48F7Fu;
constexpr uint32_t kEdgeForce = 0xA9B5F7E3u;
constexpr uint32_t kCraftDrag = 0x27970654u;
constexpr uint32_t kShotForce = 0xC829C5ADu;
constexpr uint32_t kShotForceGain = 0x1703FA09u;
constexpr uint32_t kShotDrag = 0x5B205972u;
constexpr uint32_t kWreckerExplosion = 0xD61BC22Bu;
constexpr uint32_t kWreckerValue = 0x1AA6522Fu;
constexpr uint32_t kDispenseClass = 0xFAB4528Au;
constexpr uint32_t kTriggerRange = 0xE3635FF7u;
constexpr uint32_t kSearchPeriod = 0x073A2DE0u;
constexpr uint32_t kDepthWeight = 0xCAAA3778u;
constexpr uint32_t kMineWeapon = 0xFBF47DBAu;
constexpr uint32_t kNeedClearShot = 0x0B30F7ACu;

constexpr float kUnset = -1e29f;

void OptionalFloat(OdfWriter& w, uint32_t key, float value) {
    if (value > kUnset) w.Float(key, value);
}

bool Finish(const OdfWriter& w, std::string* text, std::string* error) {
    if (!w.Ok(error)) return false;
    *text = w.Text();
    return true;
}

}  // namespace

bool MineDefinitionText(const MineValues& v, std::string* text, std::string* error) {
    OdfWriter w;
    w.Section("GameObjectClass").String(kClassLabel, v.label);
    if (!v.geometry.empty()) w.String(kGeometryName, v.geometry);
    if (v.health >= 0) w.Int(kHealth, v.health);
    if (v.ammo >= 0) w.Int(kAmmo, v.ammo);
    if (!v.ambientSound.empty()) w.String(kAmbientSound, v.ambientSound);
    w.Section("MineClass");
    if (v.lifetime >= 0.0f) w.Float(kLifetime, v.lifetime);
    if (!v.ordnance.empty()) w.String(kFlareOrdnance, v.ordnance);
    if (!v.sound.empty()) w.String(kSound, v.sound);
    OptionalFloat(w, kDelay, v.delay);
    OptionalFloat(w, kReloadTime, v.reloadTime);
    OptionalFloat(w, kCone, v.cone);
    OptionalFloat(w, kRange, v.range);
    OptionalFloat(w, kCentreForce, v.centreForce);
    OptionalFloat(w, kEdgeForce, v.edgeForce);
    OptionalFloat(w, kCraftDrag, v.craftDrag);
    OptionalFloat(w, kShotForce, v.shotForce);
    OptionalFloat(w, kShotForceGain, v.shotForceGain);
    OptionalFloat(w, kShotDrag, v.shotDrag);
    OptionalFloat(w, kTriggerRange, v.triggerRange);
    OptionalFloat(w, kSearchPeriod, v.searchPeriod);
    OptionalFloat(w, kDepthWeight, v.depthWeight);
    if (!v.blast.empty()) w.String(kWreckerExplosion, v.blast);
    if (!v.weapon.empty()) w.String(kMineWeapon, v.weapon);
    if (v.needClearShot >= 0) w.Int(kNeedClearShot, v.needClearShot);
    return Finish(w, text, error);
}

bool DayWreckerDefinitionText(const DayWreckerValues& v, std::string* text, std::string* error) {
    OdfWriter w;
    w.Section("GameObjectClass").String(kClassLabel, "daywrecker");
    if (!v.geometry.empty()) w.String(kGeometryName, v.geometry);
    if (v.ammo >= 0) w.Int(kAmmo, v.ammo);
    w.Section("DayWreckerClass");
    if (!v.explosion.empty()) w.String(kWreckerExplosion, v.explosion);
    OptionalFloat(w, kWreckerValue, v.value);
    return Finish(w, text, error);
}

bool DispenserDefinitionText(const DispenserValues& v, std::string* text, std::string* error) {
    OdfWriter w;
    w.Section("WeaponClass").String(kClassLabel, "dispenser");
    if (!v.fireSound.empty()) w.String(kSound, v.fireSound);
    w.Section("DispenserClass");
    if (!v.dispense.empty()) w.String(kDispenseClass, v.dispense);
    OptionalFloat(w, kReloadTime, v.reloadTime);
    return Finish(w, text, error);
}

bool DeployableDefinitions(std::vector<NamedDefinition>* out, std::string* error) {
    std::string text;
    MineValues mine;
    mine.geometry = "gvscrap";
    mine.health = 120;
    mine.ammo = 20;
    mine.lifetime = 180.0f;
    if (!MineDefinitionText(mine, &text, error)) return false;
    out->push_back({"apmine.odf", text});

    // The flare throws slow, harmless sparks upward for half a minute.
    OrdnanceValues spark;
    spark.ammoCost = 0;
    spark.lifetime = 1.5f;
    spark.speed = 25.0f;
    if (!OrdnanceDefinitionText(spark, &text, error)) return false;
    out->push_back({"flrshot.odf", text});
    MineValues flare;
    flare.label = "flare";
    flare.geometry = "gvscrap";
    flare.ammo = 15;
    flare.lifetime = 30.0f;
    flare.ordnance = "flrshot";
    flare.delay = 0.5f;
    flare.reloadTime = 0.2f;
    flare.cone = 0.6f;
    if (!MineDefinitionText(flare, &text, error)) return false;
    out->push_back({"apflare.odf", text});

    MineValues magnet;
    magnet.label = "magnet";
    magnet.geometry = "gvscrap";
    magnet.ammo = 10;
    magnet.lifetime = 40.0f;
    magnet.delay = 1.0f;
    magnet.range = 25.0f;
    magnet.centreForce = 40.0f;
    magnet.edgeForce = 4.0f;
    magnet.craftDrag = 0.3f;
    magnet.shotForce = 80.0f;
    magnet.shotForceGain = 8.0f;
    magnet.shotDrag = 0.5f;
    if (!MineDefinitionText(magnet, &text, error)) return false;
    out->push_back({"apmagnet.odf", text});

    ExplosionValues blast;
    blast.firstFrame = "lsmoke.12";
    blast.frameCount = 10;
    blast.secondsPerFrame = 0.1f;
    blast.innerRadius = 8.0f;
    blast.outerRadius = 40.0f;
    blast.damage[0] = 800;
    blast.writeDamage = true;
    blast.pushStrength = 10.0f;
    if (!ExplosionDefinitionText(blast, &text, error)) return false;
    out->push_back({"xwreck.odf", text});
    DayWreckerValues wrecker;
    wrecker.geometry = "gvrepair";
    wrecker.ammo = 60;
    wrecker.explosion = "xwreck";
    wrecker.value = 5.0f;
    if (!DayWreckerDefinitionText(wrecker, &text, error)) return false;
    out->push_back({"apwrck.odf", text});

    DispenserValues dispenser;
    dispenser.dispense = "apmagnet";
    dispenser.reloadTime = 1.0f;
    if (!DispenserDefinitionText(dispenser, &text, error)) return false;
    out->push_back({"wdisp.odf", text});
    return true;
}

}  // namespace content
