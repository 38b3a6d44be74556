#include "beam_definitions.h"

#include <cstdio>
#include <utility>

#include "odfkeys.h"
#include "textfiles.h"

namespace content {

namespace {

constexpr uint32_t kBeamWidth = 0x74a4cc84u, kSegmentLength = 0x97bf6bf2u, kJitter = 0xc01fedb1u,
                   kBeamSprite = 0xe30fe0e9u, kShowTime = 0xdee99d9cu;
constexpr uint32_t kPuffSize = 0x278d7166u, kFrameTime = 0xc7dc5ce9u, kFirstFrame = 0xb051e2dbu,
                   kFrameCount = 0x5d27cabau;
constexpr uint32_t kBasePitch = 0x2e2012e5u, kPitchPerSecond = 0xb9782373u, kBaseVolume = 0xbc8f5a39u,
                   kVolumePerSecond = 0xedfcc3cbu, kLevelCount = 0x7e82425cu;
// The level keys' bases; a level's key is the base's text followed by the level's number.
constexpr uint32_t kChargeTime = 0xd9356908u, kSalvoCount = 0x9260ea63u, kSalvoInterval = 0xd76f37dbu,
                   kLevelSound = 0xcfde2fc0u, kLevelOrdnance = 0x10e6fd23u, kLevelIcon = 0x1a05f72cu;

bool Numbered(uint32_t base, size_t level, std::string* key, std::string* error) {
    const std::string& prefix = KeyText(base);
    if (prefix.empty()) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08x", base);
        *error = std::string("no key text for ") + hex;
        return false;
    }
    *key = prefix + std::to_string(level);
    return true;
}

}  // namespace

bool StreakOrdnanceText(const OrdnanceValues& base, const StreakValues& s, const FlameValues& f, std::string* text,
                        std::string* error) {
    std::string head;
    if (!OrdnanceDefinitionText(base, &head, error)) return false;
    OdfWriter w;
    if (s.beamWidth >= 0.0f) w.Float(kBeamWidth, s.beamWidth);
    if (s.segmentLength > -1e29f) w.Float(kSegmentLength, s.segmentLength);
    if (s.jitter > -1e29f) w.Float(kJitter, s.jitter);
    if (s.writeBeamSprite || !s.beamSprite.empty()) w.String(kBeamSprite, s.beamSprite);
    if (s.showTime > -1e29f) w.Float(kShowTime, s.showTime);
    if (f.puffSize >= 0.0f) w.Float(kPuffSize, f.puffSize);
    if (f.frameTime > -1e29f) w.Float(kFrameTime, f.frameTime);
    if (!f.firstFrame.empty()) w.String(kFirstFrame, f.firstFrame);
    if (f.frameCount > -1000) w.Int(kFrameCount, f.frameCount);
    if (!w.Ok(error)) return false;
    *text = head + w.Text();
    return true;
}

bool ChargeGunText(const WeaponValues& base, const ChargeValues& c, std::string* text, std::string* error) {
    std::string head;
    if (!WeaponDefinitionText(base, &head, error)) return false;
    OdfWriter w;
    if (c.basePitch > -1e29f) w.Float(kBasePitch, c.basePitch);
    if (c.pitchPerSecond > -1e29f) w.Float(kPitchPerSecond, c.pitchPerSecond);
    if (c.baseVolume > -1e29f) w.Float(kBaseVolume, c.baseVolume);
    if (c.volumePerSecond > -1e29f) w.Float(kVolumePerSecond, c.volumePerSecond);
    if (c.levelCount > -1000) w.Int(kLevelCount, c.levelCount);
    for (size_t i = 0; i < c.levels.size(); ++i) {
        const ChargeLevelValues& l = c.levels[i];
        std::string key;
        const size_t level = i + 1;
        if (l.chargeTime > -1e29f) {
            if (!Numbered(kChargeTime, level, &key, error)) return false;
            w.Float(key, l.chargeTime);
        }
        if (l.salvoCount > -1000) {
            if (!Numbered(kSalvoCount, level, &key, error)) return false;
            w.Int(key, l.salvoCount);
        }
        if (l.salvoInterval > -1e29f) {
            if (!Numbered(kSalvoInterval, level, &key, error)) return false;
            w.Float(key, l.salvoInterval);
        }
        const std::pair<uint32_t, const std::string*> texts[] = {
            {kLevelSound, &l.sound}, {kLevelOrdnance, &l.ordnance}, {kLevelIcon, &l.icon}};
        for (const auto& [base, value] : texts) {
            if (value->empty()) continue;
            if (!Numbered(base, level, &key, error)) return false;
            w.String(key, *value);
        }
    }
    if (!w.Ok(error)) return false;
    *text = head + w.Text();
    return true;
}

bool BeamDefinitions(std::vector<NamedDefinition>* out, std::string* error) {
    std::string text;
    // The beam: 100 damage a second and 10 rounds a second while it is held; no explosions.
    OrdnanceValues beam;
    beam.label = "beam";
    beam.ammoCost = 10;
    beam.damage[0] = 100;
    beam.writeDamage = true;
    StreakValues beamLook;
    beamLook.beamWidth = 0.15f;
    beamLook.segmentLength = 2.0f;
    beamLook.jitter = 0.2f;
    beamLook.beamSprite = "beam.0";

    // The bolt strikes across 150 m at once and shows for 0.3 s.
    OrdnanceValues bolt;
    bolt.label = "bolt";
    bolt.explosionGround = "xbulgnd";
    // A bolt striking a craft flashes in its own small blast, not the blast of a craft dying.
    bolt.explosionVehicle = "xbltxpl";
    bolt.explosionBuilding = "xbldxpl";
    bolt.ammoCost = 15;
    bolt.lifetime = 0.75f;
    bolt.speed = 200.0f;
    bolt.damage[0] = 90;
    bolt.writeDamage = true;
    StreakValues boltLook;
    boltLook.beamWidth = 0.4f;
    boltLook.segmentLength = 3.0f;
    boltLook.jitter = 0.6f;
    boltLook.beamSprite = "bolt.0";
    boltLook.showTime = 0.3f;

    // Flame puffs: short-lived, slow, growing through eight frames.
    OrdnanceValues flame;
    flame.label = "flamepuff";
    flame.ammoCost = 1;
    flame.lifetime = 1.0f;
    flame.speed = 40.0f;
    flame.damage[0] = 4;
    flame.writeDamage = true;
    FlameValues flameLook;
    flameLook.puffSize = 1.2f;
    flameLook.frameTime = 0.125f;
    flameLook.firstFrame = "flame.0";
    flameLook.frameCount = 8;

    const struct {
        const char* file;
        const OrdnanceValues* base;
        const StreakValues* streak;
        const FlameValues* flame;
    } shots[] = {
        {"beam.odf", &beam, &beamLook, nullptr},
        {"bolt.odf", &bolt, &boltLook, nullptr},
        {"flame.odf", &flame, nullptr, &flameLook},
    };
    for (const auto& s : shots) {
        if (!StreakOrdnanceText(*s.base, s.streak ? *s.streak : StreakValues{}, s.flame ? *s.flame : FlameValues{},
                                &text, error))
            return false;
        out->push_back({s.file, text});
    }

    // The charge gun's shots: plain bullets, heavier and dearer level by level.
    const struct {
        const char* file;
        int cost, damage;
        float speed;
    } charges[] = {{"charge1.odf", 5, 40, 150.0f}, {"charge2.odf", 10, 100, 170.0f}, {"charge3.odf", 20, 250, 190.0f}};
    for (const auto& c : charges) {
        OrdnanceValues shot;
        shot.explosionGround = "xbulgnd";
        shot.explosionVehicle = "xbulcar";  // a bullet's strike on a craft
        shot.explosionBuilding = "xbldxpl";
        shot.ammoCost = c.cost;
        shot.lifetime = 2.0f;
        shot.speed = c.speed;
        shot.damage[0] = c.damage;
        shot.writeDamage = true;
        if (!OrdnanceDefinitionText(shot, &text, error)) return false;
        out->push_back({c.file, text});
    }

    WeaponValues beamGun;
    beamGun.label = "beamgun";
    beamGun.ordnance = "beam";
    beamGun.kind = "cannon";
    beamGun.sprites[1] = "icon_cannon";
    WeaponValues boltGun = beamGun;
    boltGun.label = "cannon";
    boltGun.ordnance = "bolt";
    boltGun.reloadTime = 1.0f;
    WeaponValues flameGun = beamGun;
    flameGun.label = "machinegun";
    flameGun.ordnance = "flame";
    flameGun.reloadTime = 0.05f;
    for (const auto& [file, values] : {std::pair{"wbeamgun.odf", &beamGun}, std::pair{"wbolt.odf", &boltGun},
                                       std::pair{"wflame.odf", &flameGun}}) {
        if (!WeaponDefinitionText(*values, &text, error)) return false;
        out->push_back({file, text});
    }

    // The charge gun: three levels, 0.5 s apart, of one, two and three shots.
    WeaponValues chargeGun = beamGun;
    chargeGun.label = "chargegun";
    chargeGun.ordnance = "";
    chargeGun.sprites[1] = "chargelevel.0";
    ChargeValues levels;
    levels.basePitch = 8000.0f;
    levels.pitchPerSecond = 4000.0f;
    levels.baseVolume = 60.0f;
    levels.volumePerSecond = 25.0f;
    levels.levelCount = 3;
    for (int i = 1; i <= 3; ++i) {
        ChargeLevelValues l;
        l.chargeTime = 0.5f * static_cast<float>(i);
        l.salvoCount = i;
        l.salvoInterval = 0.2f;
        l.sound = "h45ch.wav";
        l.ordnance = "charge" + std::to_string(i);
        l.icon = "chargelevel." + std::to_string(i);
        levels.levels.push_back(l);
    }
    if (!ChargeGunText(chargeGun, levels, &text, error)) return false;
    out->push_back({"wcharge.odf", text});
    return true;
}

}  // namespace content
