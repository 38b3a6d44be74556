// The "ANIM" chunk of a model file is outside input: any bytes must be taken or refused, and
// every sequence of a taken block must start, step and pose a small tree without reading
// outside the copy or producing a matrix that is not a number.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "Objkr/animobj.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "core/bytes.h"
#include "core/debug.h"
#include "platform/exit.h"
#include "platform/msgbox.h"
#include "platform/system.h"

namespace {
struct Exited {};
void ThrowOnExit(int) { throw Exited{}; }
float Tick() { return 0.1f; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        Plat_Init(BackendKind::Headless);
        Plat_SetExitHook(ThrowOnExit);
        Debug_SetOutputMode(kDebugOutNone);
        Objkr_Services().frameTime = Tick;
        return true;
    }();
    (void)ready;
    Entities_Reset();
    EntityAlloc_Reset();
    AnimObj_Init();
    // A small tree whose part names the input may hit: a root with "arm" and "hand" below.
    Entity* root = Entity_New(nullptr);
    Entity_SetName(root, "root");
    Entity* arm = Entity_New(root);
    Entity_SetName(arm, "arm");
    Entity_SetName(Entity_New(arm), "hand");
    try {
        AnimObj_Add(data, size, root);
        Entities_Add(root, 0, nullptr, nullptr);
        if (const AnimBlock* block = AnimObj_Block(0)) {
            for (int i = 0; i < block->sequences && i < 8; ++i) {
                int slot = -1;
                AnimObj_Start(root, Bytes_I32(block->sequenceArray + size_t(i) * kAnimSequenceSize), &slot);
            }
            for (int step = 0; step < 20 && AnimObj_ActiveCount() > 0; ++step) AnimObj_Step();
            AnimObj_PoseTree(block, root, size ? float(data[size / 2]) - 64.0f : 0.0f);
        }
    } catch (const Exited&) {
        Error_ResetForTests();
    }
    Entities_RemoveAll();
    AnimObj_Reset();
    EntityAlloc_FreeAll();
    Plat_ClearMessageBoxLog();  // the warnings of a refused chunk
    return 0;
}
