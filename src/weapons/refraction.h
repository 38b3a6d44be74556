// Image refraction: a special item whose effect hides its craft from the image and heat
// seekers. While it works every part below the craft's root entity carries bit 0x1 and the
// root carries the untargetable bit 0x400; the root's own bit 0x1 is the radar damper's and is
// left as it is.
#pragma once
#include <cstdint>
#include <memory>

#include "weapons/specialitem.h"

class ImageRefractClass : public SpecialItemClass {
public:
    using SpecialItemClass::SpecialItemClass;
    ImageRefractClass(ImageRefractClass* from, const ClassName& name) : SpecialItemClass(from, name) {}
    WeaponClass* ReadOdf(const ClassName& name) override;
    Weapon* MakeObject(Entity* entity) override;
};

class ImageRefract : public SpecialItem {
public:
    using SpecialItem::SpecialItem;
    // A refraction destroyed while it works takes both bits back.
    ~ImageRefract() override;
    bool IsActive() override;
    void Activate() override;
    void Deactivate() override;
};

// The bit image refraction sets on the parts below the craft's root.
constexpr uint32_t kEntityRefracted = 0x1;

// The "imagerefract" prototype; null for other labels.
std::unique_ptr<WeaponClass> ImageRefract_MakePrototype(const char* label, uint32_t signature);
