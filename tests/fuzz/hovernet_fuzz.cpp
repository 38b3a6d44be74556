// A hover craft's network state record: any bytes are refused or applied, never read past.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Objkr/entity.h"
#include "core/registration.h"
#include "fun3d/hovercraft.h"
#include "fun3d/objectpool.h"
#include "fun3d/objectslot.h"

namespace {

HoverCraft* FuzzCraft() {
    static HoverCraft* craft = [] {
        GameObject_PoolInit();
        auto* cls = new HoverCraftClass("hover", Signature("HOVR"), kCategoryCraft);
        cls->health = 1000;
        cls->ammo = 100;
        Entity* root = Entity_New(nullptr);
        Entity_SetName(root, "fuzz");
        root->flags |= 0x20;  // keeps its height: no terrain is loaded
        Entity_New(root);     // a part for the flag changes to reach
        return GameObject_New<HoverCraft>(root, cls);
    }();
    return craft;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    HoverCraft* craft = FuzzCraft();
    if (!craft) return 0;
    // An exact copy, so that a read past the record is caught.
    std::vector<uint8_t> record(data, data + size);
    craft->UnpackNetState(record.data(), static_cast<int32_t>(record.size()));
    uint8_t out[64];
    int32_t length = 0;
    craft->PackNetState(out, length);
    return 0;
}
