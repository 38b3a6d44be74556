// The ground blast: an explosion drawn as one camera-facing sprite of its own primitive kind,
// whose frame is the explosion's frame value rounded to the nearest.
#pragma once
#include <cstdint>
#include <memory>

#include "weapons/explosion.h"

class GroundBlastClass : public ExplosionClass {
public:
    using ExplosionClass::ExplosionClass;
    GroundBlastClass(GroundBlastClass* from, const ClassName& name) : ExplosionClass(from, name) {}
    ExplosionClass* ReadOdf(const ClassName& name) override;
    Explosion* MakeObject(Entity* entity) override;
};

class GroundBlast : public Explosion {
public:
    using Explosion::Explosion;
    // A screen sprite (flags 0x90004) for the sphere of the entity's radius about its centre.
    void Render(RenderView* view) override;
};

constexpr uint32_t kGroundBlastSpriteFlags = 0x90004;

// The "groundblast" prototype; null for other labels.
std::unique_ptr<ExplosionClass> GroundBlast_MakePrototype(const char* label, uint32_t signature);
