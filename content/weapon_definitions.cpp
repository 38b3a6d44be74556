#include "weapon_definitions.h"

#include "beam_definitions.h"
#include "area_definitions.h"
#include "guided_definitions.h"
#include "special_definitions.h"
#include "lobbed_definitions.h"
#include "charge_definitions.h"
#include "textfiles.h"

namespace content {

namespace {

constexpr uint32_t kClassLabel = 0x92D04727u;

constexpr uint32_t kOrdnanceName = 0x10E6FD23u;
constexpr uint32_t kWeaponSprite[3] = {0xF429D8CFu, 0x1A05F72Cu, 0x48DAE6D8u};
constexpr uint32_t kFireSound = 0xCFDE2FC0u;
constexpr uint32_t kIntParam = 0xD84E3A3Cu;
constexpr uint32_t kWeaponKind = 0xF21CCF2Cu;

constexpr uint32_t kFirstFrame = 0x9C646A05u;
constexpr uint32_t kFrameCount = 0xE67274D5u;
constexpr uint32_t kSecondsPerFrame = 0xC7DC5CE9u;
constexpr uint32_t kInnerRadius = 0x18C612D2u;
constexpr uint32_t kExplosionSound = 0xA38EB173u;
constexpr uint32_t kOuterRadius = 0xB68798A6u;
constexpr uint32_t kDamage[4] = {0x5BE2A777u, 0x7C8A1300u, 0x52FD4A53u, 0x38720D72u};
constexpr uint32_t kPushStrength = 0x63C6A1BEu;
constexpr uint32_t kReloadTime = 0xD9356908u;

constexpr uint32_t kShotGeometry = 0x6F31D8A1u;
constexpr uint32_t kExplosionGround = 0x5ACBA4C4u;
constexpr uint32_t kExplosionVehicle = 0x1564C7E9u;
constexpr uint32_t kExplosionBuilding = 0x427BEB6Fu;
constexpr uint32_t kAmmoCost = 0xE4AF0AB6u;
constexpr uint32_t kLifetime = 0x7C7C544Bu;
constexpr uint32_t kShotSpeed = 0xCAFE92D0u;
constexpr uint32_t kFlightSound = 0x541F3A64u;
constexpr uint32_t kReportHits = 0x092DACBAu;

ExplosionValues Blast(const char* sprite, int frames, float secondsPerFrame, float inner, float outer, int damage,
                      float push) {
    ExplosionValues v;
    v.firstFrame = sprite;
    v.frameCount = frames;
    v.secondsPerFrame = secondsPerFrame;
    v.innerRadius = inner;
    v.outerRadius = outer;
    v.damage[0] = damage;
    v.writeDamage = true;
    v.pushStrength = push;
    return v;
}

}  // namespace

bool ExplosionDefinitionText(const ExplosionValues& v, std::string* text, std::string* error) {
    OdfWriter w;
    w.Section("ExplosionClass").String(kClassLabel, v.label);
    if (!v.firstFrame.empty()) w.String(kFirstFrame, v.firstFrame);
    if (v.frameCount >= 0) w.Int(kFrameCount, v.frameCount);
    if (v.secondsPerFrame > -1e29f) w.Float(kSecondsPerFrame, v.secondsPerFrame);
    if (v.innerRadius >= 0.0f) w.Float(kInnerRadius, v.innerRadius);
    if (!v.sound.empty()) w.String(kExplosionSound, v.sound);
    if (v.outerRadius >= 0.0f) w.Float(kOuterRadius, v.outerRadius);
    if (v.writeDamage)
        for (int i = 0; i < 4; ++i) w.Int(kDamage[i], v.damage[i]);
    if (v.pushStrength >= 0.0f) w.Float(kPushStrength, v.pushStrength);
    if (!w.Ok(error)) return false;
    *text = w.Text();
    return true;
}

bool WeaponDefinitionText(const WeaponValues& v, std::string* text, std::string* error) {
    OdfWriter w;
    w.Section("WeaponClass").String(kClassLabel, v.label);
    if (!v.ordnance.empty()) w.String(kOrdnanceName, v.ordnance);
    if (!v.fireSound.empty()) w.String(kFireSound, v.fireSound);
    for (int i = 0; i < 3; ++i)
        if (!v.sprites[i].empty()) w.String(kWeaponSprite[i], v.sprites[i]);
    if (v.writeIntParam) w.Int(kIntParam, v.intParam);
    if (!v.kind.empty()) w.String(kWeaponKind, v.kind);
    if (v.reloadTime >= 0.0f) w.Float(kReloadTime, v.reloadTime);
    if (!w.Ok(error)) return false;
    *text = w.Text();
    return true;
}

bool OrdnanceDefinitionText(const OrdnanceValues& v, std::string* text, std::string* error) {
    OdfWriter w;
    w.Section("OrdnanceClass").String(kClassLabel, v.label);
    if (!v.geometry.empty()) w.String(kShotGeometry, v.geometry);
    if (!v.explosionGround.empty()) w.String(kExplosionGround, v.explosionGround);
    if (!v.explosionVehicle.empty()) w.String(kExplosionVehicle, v.explosionVehicle);
    if (!v.explosionBuilding.empty()) w.String(kExplosionBuilding, v.explosionBuilding);
    if (v.ammoCost >= 0) w.Int(kAmmoCost, v.ammoCost);
    if (v.lifetime >= 0.0f) w.Float(kLifetime, v.lifetime);
    if (v.speed >= 0.0f) w.Float(kShotSpeed, v.speed);
    if (v.writeDamage)
        for (int i = 0; i < 4; ++i) w.Int(kDamage[i], v.damage[i]);
    if (!v.flightSound.empty()) w.String(kFlightSound, v.flightSound);
    if (v.reportHits >= 0) w.Int(kReportHits, v.reportHits);
    if (!w.Ok(error)) return false;
    *text = w.Text();
    return true;
}

bool WeaponDefinitions(std::vector<NamedDefinition>* out, std::string* error) {
    struct Named {
        const char* file;
        ExplosionValues values;
    };
    // Every blast is a fireball that leaves smoke ("xfire.0" on).
    ExplosionValues range = Blast("xfire.0", 8, 0.1f, 2.0f, 10.0f, 60, 5.0f);
    range.damage[1] = 40;
    ExplosionValues carB = Blast("xfire.0", 6, 0.1f, 3.0f, 12.0f, 200, 4.0f);
    carB.damage[3] = 100;  // a flying wreck hits as impact too
    ExplosionValues groundShake = Blast("xfire.0", 10, 0.12f, 0.0f, 30.0f, 0, 8.0f);
    groundShake.writeDamage = false;
    // The fight's blasts are heard: a rocket striking or a craft blowing up booms, a round's
    // strike pops.
    ExplosionValues buildingBlast = Blast("xfire.0", 8, 0.1f, 6.0f, 20.0f, 400, 0.0f);
    buildingBlast.sound = "xboom.wav";
    ExplosionValues craftBlast = Blast("xfire.0", 6, 0.1f, 3.0f, 12.0f, 200, 3.0f);
    craftBlast.sound = "xboom.wav";
    // A rocket striking a craft: a small fireball whose blast only scorches what stands close.
    ExplosionValues rocketBlast = Blast("xfire.0", 5, 0.1f, 1.5f, 6.0f, 20, 1.0f);
    rocketBlast.sound = "xboom.wav";
    // A guided missile striking a craft: the rocket's fireball, a little larger.
    ExplosionValues missileBlast = Blast("xfire.0", 6, 0.1f, 2.0f, 8.0f, 40, 1.5f);
    missileBlast.sound = "xboom.wav";
    // A bolt striking a craft: a brief flash that pops.
    ExplosionValues boltBlast = Blast("xfire.0", 3, 0.05f, 1.0f, 3.0f, 10, 0.5f);
    boltBlast.sound = "xhit.wav";
    const auto puff = [](float size) {
        ExplosionValues v = Blast("xfire.0", size < 0.6f ? 3 : 4, 0.05f, size, 0.0f, 0, 0.0f);
        v.sound = "xhit.wav";
        return v;
    };
    const std::vector<Named> explosions = {
        {"xbldxpl.odf", buildingBlast},
        {"xcarxpl.odf", craftBlast},
        {"xrckxpl.odf", rocketBlast},
        {"xmslxpl.odf", missileBlast},
        {"xbltxpl.odf", boltBlast},
        {"xsecxpl.odf", Blast("xfire.0", 4, 0.08f, 1.0f, 0.0f, 0, 0.0f)},
        {"xbldxpla.odf", Blast("xfire.0", 12, 0.08f, 6.0f, 24.0f, 400, 2.0f)},
        {"xcarxpla.odf", Blast("xfire.0", 8, 0.08f, 3.0f, 14.0f, 200, 4.0f)},
        {"xsecxpla.odf", Blast("xfire.0", 6, 0.06f, 1.5f, 0.0f, 0, 0.0f)},
        {"xcarxplb.odf", carB},
        {"xgndshk.odf", groundShake},
        {"xrange.odf", range},
        // The bullets' hits: a puff without blast damage.
        {"xbulgnd.odf", puff(0.5f)},
        {"xbulcar.odf", puff(0.8f)},
        {"xbulbld.odf", puff(1.0f)},
    };
    std::vector<NamedDefinition> files;
    for (const Named& named : explosions) {
        std::string text;
        if (!ExplosionDefinitionText(named.values, &text, error)) return false;
        files.push_back({named.file, text});
    }
    WeaponValues plain;
    plain.fireSound = "gblank.wav";
    plain.kind = "special";
    plain.sprites[0] = "reticle_gun", plain.sprites[1] = "icon_gun", plain.sprites[2] = "ladder.0";
    std::string text;
    if (!WeaponDefinitionText(plain, &text, error)) return false;
    files.push_back({"gblank.odf", text});

    // "bullet1" travels as a common-name code, "mgbullet" by its eight name bytes.
    OrdnanceValues bullet1;
    bullet1.explosionGround = "xbulgnd";
    bullet1.explosionVehicle = "xbulcar";
    bullet1.explosionBuilding = "xbulbld";
    bullet1.ammoCost = 1;
    bullet1.lifetime = 2.0f;
    bullet1.speed = 200.0f;
    bullet1.damage[0] = 20;
    bullet1.writeDamage = true;
    OrdnanceValues mgbullet = bullet1;
    mgbullet.lifetime = 1.5f;
    mgbullet.speed = 250.0f;
    mgbullet.damage[0] = 6;
    // The player's own cannon fires faster rounds: they reach a craft at fighting range before it
    // has moved out of the way, so a newcomer who keeps the enemy in the sight hits it. Each round
    // weighs what the enemy's does: a hit pushes a craft by the round's damage times its speed, so
    // a heavy fast round would throw the craft it kills, and the pilot who ejects with it, a few
    // kilometres. The cannon's punch comes from its rate of fire instead.
    OrdnanceValues playerBullet = bullet1;
    playerBullet.lifetime = 1.0f;
    playerBullet.speed = 400.0f;
    for (const auto& [file, values] : {std::pair{"bullet1.odf", bullet1}, std::pair{"mgbullet.odf", mgbullet},
                                       std::pair{"bulletp.odf", playerBullet}}) {
        if (!OrdnanceDefinitionText(values, &text, error)) return false;
        files.push_back({file, text});
    }
    WeaponValues cannon;
    cannon.label = "cannon";
    cannon.ordnance = "bullet1";
    cannon.fireSound = "h45ch.wav";
    cannon.kind = "cannon";
    cannon.reloadTime = 0.5f;
    // The cannon aims through a reticle and pitch ladder of its own; the machine gun through the
    // plain dot.
    cannon.sprites[0] = "reticle_gun", cannon.sprites[1] = "icon_cannon", cannon.sprites[2] = "ladder.0";
    WeaponValues mgun = cannon;
    mgun.label = "machinegun";
    mgun.ordnance = "mgbullet";
    mgun.fireSound = "wlmgun.wav";
    mgun.reloadTime = 0.1f;
    mgun.sprites[0] = "", mgun.sprites[1] = "icon_mgun", mgun.sprites[2] = "";
    // The fight's rocket launcher: one unguided rocket (the sample "rocket", with its trail) each
    // second from the craft's rocket mount.
    WeaponValues rocketLauncher = cannon;
    rocketLauncher.ordnance = "rocket";
    rocketLauncher.fireSound = "wrock.wav";
    rocketLauncher.kind = "rocket";
    rocketLauncher.reloadTime = 1.0f;
    rocketLauncher.sprites[1] = "icon_rocket";
    WeaponValues playerCannon = cannon;
    playerCannon.ordnance = "bulletp";
    playerCannon.reloadTime = 0.05f;
    for (const auto& [file, values] : {std::pair{"wcannon.odf", cannon}, std::pair{"wmgun.odf", mgun},
                                       std::pair{"wrocket.odf", rocketLauncher},
                                       std::pair{"wcannonp.odf", playerCannon}}) {
        if (!WeaponDefinitionText(values, &text, error)) return false;
        files.push_back({file, text});
    }
    if (!GuidedDefinitions(&files, error)) return false;
    if (!SpecialDefinitions(&files, error)) return false;
    if (!BeamDefinitions(&files, error)) return false;
    if (!LobbedDefinitions(&files, error)) return false;
    if (!AreaDefinitions(&files, error)) return false;
    if (!ChargeDefinitions(&files, error)) return false;
    *out = std::move(files);
    return true;
}

}  // namespace content
