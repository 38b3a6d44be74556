#include "effect_definitions.h"

#include <cstdint>

#include "odfkeys.h"
#include "textfiles.h"

namespace content {

namespace {

// Smoke: the shared frames, life, size and growth of the four damage kinds, their sprites, and
// the two single kinds.
constexpr uint32_t kSmokeFrames = 0xdd33060c;
constexpr uint32_t kSmokeLifetime = 0xbcc03185;
constexpr uint32_t kSmokeSize = 0x8566cba4;
constexpr uint32_t kSmokeGrowth = 0x2a532704;
constexpr uint32_t kSmokeSprites[4] = {0xe4e87623, 0x89e40141, 0x55473cb2, 0x68ad0781};
constexpr uint32_t kGroupKeys[2][5] = {{0x170efc31, 0x4225e338, 0x4583bc21, 0xc2c0fe4b, 0x325cf422},
                                       {0xc86d87f8, 0xb6fc11f9, 0x899409c8, 0x978015a0, 0x0b0ca99d}};
// Trails (the chunk's and the fireball's).
constexpr uint32_t kTrailSprite = 0x88f1ef89;
constexpr uint32_t kTrailLifetime = 0x567840fc;
constexpr uint32_t kTrailInterval = 0x01f6a810;
constexpr uint32_t kTrailSpread = 0xbb8ad7d1;
constexpr uint32_t kTrailInherit = 0x40a86add;
// Chunks.
constexpr uint32_t kChunkCount = 0x26c0023a;
constexpr uint32_t kChunkGeometrySeed = 0x3acf08fb;
// Dust.
constexpr uint32_t kDust[5] = {0xc1fe0e54, 0x2e9fa32f, 0xfeb0cc2b, 0x922db093, 0x7bb4f7d1};
// Sparks: sprite, frames, size, delay, seconds per frame.
constexpr uint32_t kSpark[5] = {0x0f50ddfe, 0x9ce7acd5, 0x531e553d, 0xf7e89ce2, 0xc7dc5ce9};
// Construction puffs, exhaust flames and splashes.
constexpr uint32_t kBlob[3] = {0x5df29add, 0xdeb6a738, 0x8df5df5d};
constexpr uint32_t kFlame[3] = {0xb051e2db, 0x5d27caba, 0xf7c7cb9c};
constexpr uint32_t kSplash[4] = {0x7caf4e69, 0xc4ca506c, 0x16194e31, 0x0b421904};
// Fireballs.
constexpr uint32_t kFire[5] = {0xbc5e1073, 0xd045e882, 0x1ceb4a7a, 0x91dcfcce, 0x83a961da};

}  // namespace

bool EffectDefinitions(std::vector<NamedDefinition>* out, std::string* error) {
    std::vector<NamedDefinition> files;
    auto add = [&](const char* name, OdfWriter& w) {
        if (!w.Ok(error)) return false;
        files.push_back({name, w.Text()});
        return true;
    };

    OdfWriter smoke;
    smoke.Section("SmokeEffect").Int(kSmokeFrames, 16).Float(kSmokeLifetime, 1.6f).Float(kSmokeSize, 1.5f);
    smoke.Float(kSmokeGrowth, 2.0f);
    const char* smokeSprites[4] = {"lsmoke.0", "msmoke.0", "dsmoke.0", "bsmoke.0"};
    for (int i = 0; i < 4; ++i) smoke.String(kSmokeSprites[i], smokeSprites[i]);
    const char* groupSprites[2] = {"msmoke.0", "dsmoke.0"};
    for (int g = 0; g < 2; ++g) {
        smoke.Int(kGroupKeys[g][0], 16).Float(kGroupKeys[g][1], 2.0f).Float(kGroupKeys[g][2], 2.0f);
        smoke.Float(kGroupKeys[g][3], 2.5f).String(kGroupKeys[g][4], groupSprites[g]);
    }
    if (!add("smoke.odf", smoke)) return false;

    OdfWriter chunk;
    chunk.Section("ChunkEffect").String(kTrailSprite, "bsmoke.0").Int(kSmokeFrames, 16).Float(kTrailLifetime, 1.6f);
    chunk.Float(kTrailInterval, 0.1f).Float(kSmokeSize, 1.0f).Float(kTrailSpread, 1.0f).Float(kTrailInherit, 0.2f);
    chunk.Int(kChunkCount, 2);
    // The geometry keys are the prefix's text followed by the number.
    const std::string& geometryPrefix = KeyText(kChunkGeometrySeed);
    if (geometryPrefix.empty()) {
        if (error) *error = "no key text for the chunk geometry prefix in " + KeyDictionaryPath();
        return false;
    }
    for (int i = 1; i <= 2; ++i) chunk.String(geometryPrefix + std::to_string(i), "chunk" + std::to_string(i) + ".geo");
    if (!add("chunk.odf", chunk)) return false;

    OdfWriter blob;
    blob.Section("CnstBlobEffect").String(kBlob[0], "bpuff.0").Int(kBlob[1], 14).Int(kBlob[2], 2);
    if (!add("cnstblob.odf", blob)) return false;

    OdfWriter dust;
    dust.Section("DustEffect").String(kDust[0], "dust.0").Int(kDust[1], 32).Float(kDust[2], 1.2f);
    dust.Float(kDust[3], 1.5f).Float(kDust[4], 2.0f);
    if (!add("dust.odf", dust)) return false;

    OdfWriter flame;
    flame.Section("EngineFlameEffect").String(kFlame[0], "exhaust_b.0").Int(kFlame[1], 4).Float(kFlame[2], 2.5f);
    if (!add("engflame.odf", flame)) return false;

    OdfWriter splash;
    splash.Section("EngineSplashEffect").String(kSplash[0], "splash.0").Int(kSplash[1], 14).Int(kSplash[2], 3);
    splash.Float(kSplash[3], 2.0f);
    if (!add("engsplsh.odf", splash)) return false;

    OdfWriter fire;
    fire.Section("FireballEffect").String(kFire[0], "particle.0").Int(kFire[1], 16).Float(kFire[2], 5.0f);
    fire.Float(kFire[3], 1.0f).Float(kFire[4], 1.5f);
    fire.String(kTrailSprite, "lsmoke.0").Int(kSmokeFrames, 16).Float(kTrailLifetime, 0.5f).Float(kTrailInterval, 0.05f);
    fire.Float(kSmokeSize, 0.4f).Float(kSmokeGrowth, 2.0f).Float(kTrailSpread, 3.0f).Float(kTrailInherit, 0.8f);
    if (!add("fireball.odf", fire)) return false;

    OdfWriter spark;
    spark.Section("ParticleEffect").String(kSpark[0], "particle.0").Int(kSpark[1], 16).Float(kSpark[2], 0.6f);
    spark.Float(kSpark[3], 0.4f).Float(kSpark[4], 0.08f);
    if (!add("particle.odf", spark)) return false;

    *out = std::move(files);
    return true;
}

}  // namespace content
