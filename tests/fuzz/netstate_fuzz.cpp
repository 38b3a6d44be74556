// Object states arrive from other players: a record of any length and any bytes must unpack
// without harm. The first byte picks the kind of object; the rest is its state record.
#include <cstddef>
#include <cstdint>

#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "core/debug.h"
#include "core/registration.h"
#include "fun3d/craft.h"
#include "fun3d/objectpool.h"
#include "fun3d/objectslot.h"
#include "fun3d/teamrecord.h"
#include "fun3d/tugsav.h"
#include "fun3d/walker.h"
#include "platform/system.h"

namespace {

Craft* TheCraft() {
    static Craft* craft = nullptr;
    if (!craft) {
        Plat_Init(BackendKind::Headless);
        Debug_SetOutputMode(kDebugOutNone);
        GameObject_PoolInit();
        TeamRecord_CreateAll();
        auto* cls = new CraftClass("craft", Signature("CRFT"), kCategoryCraft);
        cls->health = 1000;
        cls->ammo = 100;
        Entity* root = Entity_New(nullptr);
        Entity_SetName(root, "fuzzcraf");
        Entities_Add(root, 0, nullptr, nullptr);
        craft = GameObject_New<Craft>(root, cls);
    }
    return craft;
}

// A tug, a SAV and a walker on the same team, each built once like the craft.
template <class Kind, class KindClass>
Kind* TheKind(const char* label, const char* signature, const char* name) {
    static Kind* made = nullptr;
    if (!made && TheCraft()) {
        auto* cls = new KindClass(label, Signature(signature), kCategoryCraft);
        cls->health = 1000;
        cls->ammo = 100;
        Entity* root = Entity_New(nullptr);
        Entity_SetName(root, name);
        Entities_Add(root, 0, nullptr, nullptr);
        made = GameObject_New<Kind>(root, cls);
    }
    return made;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    Craft* craft = TheCraft();
    if (!craft) return 0;
    // Each input starts from a whole, living craft.
    craft->entity->flags &= ~0x280u;
    craft->curHealth = craft->maxHealth;
    craft->healthRatio = 1.0f;
    // Kinds: 0 a plain craft, 1 a tug, 2 a SAV, 3 a walker; an unknown kind is read as a plain
    // craft.
    switch (data[0]) {
    case 1:
        if (Tug* tug = TheKind<Tug, TugClass>("tug", "TUG", "fuzztug")) {
            tug->UnpackNetState(data + 1, static_cast<int32_t>(size - 1));
            // The tug never ends up carrying itself.
            if (tug->cargo == tug) __builtin_trap();
        }
        break;
    case 2:
        if (SAV* sav = TheKind<SAV, SAVClass>("sav", "SAV", "fuzzsav")) sav->UnpackNetState(data + 1, static_cast<int32_t>(size - 1));
        break;
    case 3:
        if (Walker* walker = TheKind<Walker, WalkerClass>("walker", "WALK", "fuzzwalk")) {
            walker->entity->flags &= ~0x280u;
            walker->UnpackNetState(data + 1, static_cast<int32_t>(size - 1));
        }
        break;
    case 0:
    default:
        craft->UnpackNetState(data + 1, static_cast<int32_t>(size - 1));
        break;
    }
    return 0;
}
