#include "fun3d/particlebuffer.h"

namespace {

ParticleRecord g_records[kParticleBufferSize];
int g_count = 0;

// Until a mission's smoke module sets them (each mission start), these keep the kinds harmless.
constexpr ParticleKind kSmokeDefaults[5] = {
    {0.0f, 2.0f, 1.0f, 1.0f, 1.0f},
    {0.0f, 2.0f, 1.0f, 1.0f, 1.5f},
    {0.0f, 2.5f, 1.0f, 1.5f, 1.5f},
    {0.0f, 3.0f, 1.0f, 2.0f, 2.0f},
    {0.0f, 3.5f, 1.0f, 2.5f, 2.5f},
};
ParticleKind g_smoke[5] = {kSmokeDefaults[0], kSmokeDefaults[1], kSmokeDefaults[2], kSmokeDefaults[3],
                           kSmokeDefaults[4]};

}  // namespace

bool ParticleBuffer_Add(const ParticleKind& kind, const Vector& position, const Vector& velocity, float age) {
    if (g_count >= kParticleBufferSize) return false;
    const float start = age * kind.rate + kind.start;
    const float end = kind.start + kind.lifetime;
    if (!(end > start)) return false;
    ParticleRecord& r = g_records[g_count++];
    r.position = position;
    r.velocity = velocity;
    r.start = start;
    r.end = end;
    r.rate = kind.rate;
    r.size = age * kind.growth + kind.size;
    r.growth = kind.growth;
    return true;
}

int ParticleBuffer_Count() { return g_count; }
const ParticleRecord* ParticleBuffer_Records() { return g_records; }
ParticleRecord* ParticleBuffer_MutableRecords() { return g_records; }
void ParticleBuffer_Clear() { g_count = 0; }

void ParticleBuffer_RemoveAt(int i) {
    if (i < 0 || i >= g_count) return;
    g_records[i] = g_records[--g_count];
}

ParticleKind& ParticleKind_CraftSmoke(int level) {
    if (level < 0 || level > 4) level = 0;
    return g_smoke[level];
}

void ParticleKind_ResetCraftSmoke() {
    for (int i = 0; i < 5; ++i) g_smoke[i] = kSmokeDefaults[i];
}
