#include "weapons/groundblast.h"

#include <cmath>
#include <cstring>

#include "Objkr/entity.h"
#include "core/seams/render.h"

std::unique_ptr<ExplosionClass> GroundBlast_MakePrototype(const char* label, uint32_t signature) {
    if (std::strcmp(label, "groundblast") == 0) return std::make_unique<GroundBlastClass>(label, signature);
    return nullptr;
}

ExplosionClass* GroundBlastClass::ReadOdf(const ClassName& name) { return new GroundBlastClass(this, name); }
Explosion* GroundBlastClass::MakeObject(Entity* entity) { return new GroundBlast(entity, this); }

void GroundBlast::Render(RenderView* view) {
    const DVector p = Matrix_TransformPoint(entity->boundsCentre, entity->local);
    const float centre[3] = {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
    Seam_Render().queueBillboardFlags(view, centre, entity->boundsRadius, static_cast<int>(std::lround(frame)),
                                      kGroundBlastSpriteFlags);
}
