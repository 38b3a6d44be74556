#include "torpedo_definitions.h"

#include "textfiles.h"

namespace content {

namespace {

constexpr uint32_t kClassLabel = 0x92D04727u;
constexpr uint32_t kGeometryName = 0x0794B13Bu;
constexpr uint32_t kHealth = 0x19971F1Bu;
constexpr uint32_t kHoverHeight = 0x4F358485u;
constexpr uint32_t kLevelGain = 0x0B8ADD2Au;
constexpr uint32_t kSpinDamping = 0x473D5031u;
constexpr uint32_t kCruiseSpeed = 0x9410FCFFu;
constexpr uint32_t kMaxAccel = 0xE94C7C19u;
constexpr uint32_t kTurnRate = 0x4AD4B447u;
constexpr uint32_t kTurnTorque = 0x19B84820u;
constexpr uint32_t kLifetime = 0x7C7C544Bu;
constexpr uint32_t kBlastClass = 0xD61BC22Bu;
constexpr uint32_t kEngineSound = 0x48B2E796u;
constexpr uint32_t kFriendProcess = 0x98D7239Cu;
constexpr uint32_t kEnemyProcess = 0x48AD2AEAu;
constexpr float kUnset = -1e29f;

void OptionalFloat(OdfWriter& w, uint32_t key, float value) {
    if (value > kUnset) w.Float(key, value);
}

}  // namespace

bool TorpedoDefinitionText(const TorpedoValues& v, std::string* text, std::string* error) {
    OdfWriter w;
    w.Section("GameObjectClass").String(kClassLabel, "torpedo");
    if (!v.geometry.empty()) w.String(kGeometryName, v.geometry);
    if (v.health >= 0) w.Int(kHealth, v.health);
    if (!v.process.empty()) w.String(kFriendProcess, v.process).String(kEnemyProcess, v.process);
    w.Section("TorpedoClass");
    OptionalFloat(w, kHoverHeight, v.hoverHeight);
    OptionalFloat(w, kLevelGain, v.levelGain);
    OptionalFloat(w, kSpinDamping, v.spinDamping);
    OptionalFloat(w, kCruiseSpeed, v.cruiseSpeed);
    OptionalFloat(w, kMaxAccel, v.maxAccel);
    OptionalFloat(w, kTurnRate, v.turnRate);
    OptionalFloat(w, kTurnTorque, v.turnTorque);
    OptionalFloat(w, kLifetime, v.lifetime);
    if (!v.blast.empty()) w.String(kBlastClass, v.blast);
    if (!v.engineSound.empty()) w.String(kEngineSound, v.engineSound);
    if (!w.Ok(error)) return false;
    *text = w.Text();
    return true;
}

bool TorpedoDefinitions(std::vector<NamedDefinition>* out, std::string* error) {
    std::string text;
    ExplosionValues blast;
    blast.firstFrame = "lsmoke.12";
    blast.frameCount = 6;
    blast.secondsPerFrame = 0.07f;
    blast.innerRadius = 3.0f;
    blast.outerRadius = 12.0f;
    blast.damage[0] = 400;
    blast.writeDamage = true;
    blast.pushStrength = 4.0f;
    if (!ExplosionDefinitionText(blast, &text, error)) return false;
    out->push_back({"xtorp.odf", text});
    // The torpedo skims 1.5 m over the ground at 30 m/s for 20 s.
    TorpedoValues torpedo;
    torpedo.geometry = "gvtorp";
    torpedo.health = 60;
    torpedo.hoverHeight = 1.5f;
    torpedo.cruiseSpeed = 30.0f;
    torpedo.maxAccel = 12.0f;
    torpedo.turnRate = 1.5f;
    torpedo.lifetime = 20.0f;
    torpedo.blast = "xtorp";
    torpedo.engineSound = "engthrst.wav";
    torpedo.process = "TorpedoProcess";
    if (!TorpedoDefinitionText(torpedo, &text, error)) return false;
    out->push_back({"aptorp.odf", text});
    return true;
}

}  // namespace content
