// The size of an object pool slot: that of the largest object kind. Each kind adds itself to
// the list below when it is added; building a kind checks that it fits.
#pragma once
#include <algorithm>
#include <cstddef>
#include <new>
#include <utility>

#include "fun3d/craft.h"
#include "fun3d/hovercraft.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "fun3d/person.h"
#include "fun3d/powerup.h"
#include "fun3d/tugsav.h"
#include "fun3d/walker.h"

constexpr size_t kObjectSlotSize = std::max({sizeof(GameObject), sizeof(Craft), sizeof(HoverCraft),
                                              sizeof(PowerUp), sizeof(CameraPod),
                                              sizeof(Person),
                                              sizeof(SAV), sizeof(Tug), sizeof(Walker)});

// Builds an object of the kind in a fresh pool slot; null when the pool is exhausted.
template <class Kind, class... Args>
Kind* GameObject_New(Args&&... args) {
    static_assert(sizeof(Kind) <= kObjectSlotSize, "every object kind fits in one pool slot");
    static_assert(alignof(Kind) <= alignof(std::max_align_t));
    void* slot = GameObject_PoolAlloc(sizeof(Kind));
    if (!slot) return nullptr;
    return ::new (slot) Kind(std::forward<Args>(args)...);
}
