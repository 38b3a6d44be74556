#include "area_definitions.h"

#include <utility>

#include "textfiles.h"

namespace content {

namespace {

constexpr uint32_t kShardCount = 0x46b7241du, kShardClass = 0x3bc0709eu;
constexpr uint32_t kWaveRadius = 0x6ba8d14au, kWaveHeight = 0x5ad61a27u, kLaunchOffset = 0x971beda4u,
                   kRampUpTime = 0x3a74c50du, kRampDownTime = 0x5ba4f6b0u, kTiltSpin = 0xad935b02u,
                   kKickSpeed = 0xbe57c368u, kWobbleRate = 0xdee4f011u, kWobbleSpin = 0xce21ecf8u,
                   kWobbleKick = 0xf57df3d2u, kWalkerFactor = 0x9ebf26a7u, kTurretFactor = 0x3b226d18u,
                   kSpinDamp = 0x2fc331e2u, kLevelSpin = 0x762c10d0u, kBuildingDamage = 0x02168f61u;

bool Append(const std::string& head, const OdfWriter& w, std::string* text, std::string* error) {
    if (!w.Ok(error)) return false;
    *text = head + w.Text();
    return true;
}

ExplosionValues Ring(const char* label, const char* sprite, int frames, float secondsPerFrame, float inner,
                     float outer) {
    ExplosionValues v;
    v.label = label;
    v.firstFrame = sprite;
    v.frameCount = frames;
    v.secondsPerFrame = secondsPerFrame;
    v.innerRadius = inner;
    v.outerRadius = outer;
    return v;
}

}  // namespace

bool QuakeBlastText(const ExplosionValues& base, const QuakeValues& quake, std::string* text, std::string* error) {
    std::string head;
    if (!ExplosionDefinitionText(base, &head, error)) return false;
    OdfWriter w;
    if (quake.shardCount >= 0) w.Int(kShardCount, quake.shardCount);
    if (!quake.shardClass.empty()) w.String(kShardClass, quake.shardClass);
    return Append(head, w, text, error);
}

bool SeismicOrdnanceText(const OrdnanceValues& base, const SeismicValues& v, std::string* text, std::string* error) {
    std::string head;
    if (!OrdnanceDefinitionText(base, &head, error)) return false;
    OdfWriter w;
    const std::pair<uint32_t, float> fields[] = {
        {kWaveRadius, v.waveRadius},     {kWaveHeight, v.waveHeight},     {kLaunchOffset, v.launchOffset},
        {kRampUpTime, v.rampUpTime},     {kRampDownTime, v.rampDownTime}, {kTiltSpin, v.tiltSpin},
        {kKickSpeed, v.kickSpeed},       {kWobbleRate, v.wobbleRate},     {kWobbleSpin, v.wobbleSpin},
        {kWobbleKick, v.wobbleKick},     {kWalkerFactor, v.walkerFactor}, {kTurretFactor, v.turretFactor},
        {kSpinDamp, v.spinDamp},         {kLevelSpin, v.levelSpin},       {kBuildingDamage, v.buildingDamage},
    };
    for (const auto& [key, value] : fields)
        if (value > -1e29f) w.Float(key, value);
    return Append(head, w, text, error);
}

bool AreaDefinitions(std::vector<NamedDefinition>* out, std::string* error) {
    std::string text;
    // A dust ring spreading along the ground from 2 m to 16 m over 1.6 s.
    if (!ExplosionDefinitionText(Ring("planarexpl", "dust.0", 16, 0.1f, 2.0f, 16.0f), &text, error)) return false;
    out->push_back({"xplanar.odf", text});
    // A short blast that shakes the ground for 2 s and throws eight bullets around it.
    ExplosionValues quake = Ring("quakeblast", "lsmoke.12", 20, 0.1f, 3.0f, 12.0f);
    quake.damage[0] = 50;
    quake.writeDamage = true;
    if (!QuakeBlastText(quake, QuakeValues{8, "bullet1"}, &text, error)) return false;
    out->push_back({"xquake.odf", text});
    // A puff whose shock ring grows from 4 m to 30 m in half its 1.2 s.
    if (!ExplosionDefinitionText(Ring("shockblast", "lsmoke.12", 12, 0.1f, 4.0f, 30.0f), &text, error)) return false;
    out->push_back({"xshock.odf", text});

    // The ground wave: 50 m wide, 6 m high, 10 m/s for 8 s; the ramps and the cost are the kind's own.
    OrdnanceValues wave;
    wave.label = "seismic";
    wave.lifetime = 8.0f;
    wave.speed = 10.0f;
    wave.damage[0] = 40;
    wave.writeDamage = true;
    SeismicValues seismic;
    seismic.waveRadius = 50.0f;
    seismic.waveHeight = 6.0f;
    if (!SeismicOrdnanceText(wave, seismic, &text, error)) return false;
    out->push_back({"seis1.odf", text});
    WeaponValues gun;
    gun.label = "cannon";
    gun.ordnance = "seis1";
    gun.fireSound = "h45ch.wav";
    gun.kind = "cannon";
    gun.reloadTime = 10.0f;
    gun.sprites[0] = "reticle_gun", gun.sprites[1] = "icon_cannon", gun.sprites[2] = "ladder.0";
    if (!WeaponDefinitionText(gun, &text, error)) return false;
    out->push_back({"wseismic.odf", text});
    return true;
}

}  // namespace content
