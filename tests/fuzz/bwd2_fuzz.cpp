// Structure and vehicle definition files are outside input: any chunk run must read into an
// entity tree, or be refused, without reading outside the bytes; the tree must release cleanly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "Objkr/animobj.h"
#include "Objkr/classfnc.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Objkr/geometry.h"
#include "Objkr/objload.h"
#include "core/debug.h"
#include "platform/exit.h"
#include "platform/msgbox.h"
#include "platform/system.h"

namespace {
struct Exited {};
void ThrowOnExit(int) { throw Exited{}; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        Plat_Init(BackendKind::Headless);
        Plat_SetExitHook(ThrowOnExit);
        Debug_SetOutputMode(kDebugOutNone);
        Geom_Services().fileExists = [](const char*) { return false; };
        Geom_Services().paletteFindNearest = [](float, float, float) { return 0; };
        return true;
    }();
    (void)ready;
    if (size < 1) return 0;
    const uint8_t mode = data[0];
    const uint8_t* begin = data + 1;
    const uint8_t* end = data + size;

    Classfnc_ResetLists();
    Entities_Reset();
    EntityAlloc_Reset();
    GeomCache_Reset();
    Entity* root = Entity_New(nullptr);
    if (mode & 1) Classfnc_SetClass(root, kTypeCraft);
    ObjLoadResult result{};
    result.root = root;
    result.extraData = result.extra;
    const bool vehicle = mode & 2;
    try {
        ObjLoadChunkEntry header[2] = {kObjLoadHeaderTable[0], kObjLoadHeaderTable[1]};
        const uint8_t* at = (mode & 4) ? begin : ObjLoad_ReadChunks(begin, end, header, 2, &result, vehicle ? "f.vdf" : "f.sdf");
        if (at) {
            if (vehicle) {
                ObjLoadChunkEntry body[14];
                for (int i = 0; i < 14; ++i) body[i] = kObjLoadVehicleTable[i];
                ObjLoad_ReadChunks(at, end, body, 14, &result, "f.vdf");
            } else {
                ObjLoadChunkEntry body[7];
                for (int i = 0; i < 7; ++i) body[i] = kObjLoadStructureTable[i];
                ObjLoad_ReadChunks(at, end, body, 7, &result, "f.sdf");
            }
        }
    } catch (const Exited&) {
        Error_ResetForTests();
    }
    if (result.collisionGiven) std::free(ObjLoad_NewMatrix(result));
    Classfnc_Clear();
    Entity_Release(root);
    AnimObj_Reset();
    GeomCache_FreeAll();
    EntityAlloc_FreeAll();
    Plat_ClearMessageBoxLog();  // the warnings of a refused chunk
    return 0;
}
