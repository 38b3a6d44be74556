#include "weapons/refraction.h"

#include <cstring>

#include "Objkr/entitysvc.h"
#include "weapons/launcher.h"

namespace {

// Sets or clears the bits on every descendant of the entity, the entity itself untouched.
void SetBelow(Entity* e, uint32_t bits, bool set) {
    if (!e) return;
    const uint32_t own = e->flags & bits;
    if (set)
        Entity_SetFlagTree(e, bits);
    else
        Entity_ClearFlagTree(e, bits);
    e->flags = (e->flags & ~bits) | own;
}

}  // namespace

std::unique_ptr<WeaponClass> ImageRefract_MakePrototype(const char* label, uint32_t signature) {
    if (std::strcmp(label, "imagerefract") == 0) return std::make_unique<ImageRefractClass>(label, signature);
    return nullptr;
}

WeaponClass* ImageRefractClass::ReadOdf(const ClassName& name) { return new ImageRefractClass(this, name); }
Weapon* ImageRefractClass::MakeObject(Entity* entity) { return new ImageRefract(entity, this); }

ImageRefract::~ImageRefract() {
    if (IsActive()) Deactivate();
}

bool ImageRefract::IsActive() { return root && (root->flags & kEntityUntargetable); }

void ImageRefract::Activate() {
    if (!root) return;
    SetBelow(root, kEntityRefracted, true);
    root->flags |= kEntityUntargetable;
}

void ImageRefract::Deactivate() {
    if (!root) return;
    SetBelow(root, kEntityRefracted, false);
    root->flags &= ~kEntityUntargetable;
}
