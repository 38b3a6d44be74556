#include "snapshot.h"

#include <cmath>
#include <cstdio>
#include <fstream>

#include "Objkr/animobj.h"
#include "Objkr/bspcache.h"
#include "render/entitydraw.h"
#include "Objkr/classfnc.h"
#include "render/drawpass.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Objkr/geometry.h"
#include "Objkr/objload.h"
#include "Objkr/rendersettings.h"
#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "core/filesys.h"
#include "core/zfs.h"
#include "colortables.h"
#include "frame.h"
#include "models.h"
#include "platform/paths.h"
#include "render/graphicbuffer.h"
#include "render/palette.h"
#include "render/renderqueue.h"
#include "render/texmgr.h"
#include "render/view.h"
#include "terrain_writer.h"

namespace content {

namespace {

constexpr float kSpacing = 14.0f;
constexpr float kStepSeconds = 0.1f;
// The walker's forward stride.
constexpr int32_t kWalkerStrideKey = 4;
constexpr int32_t kCommTowerDishKey = 1;

float StepTime() { return kStepSeconds; }

// Everything the scene set up, released in reverse whatever way drawing ends.
struct SceneLife {
    bool entities = false;
    ~SceneLife() {
        if (!entities) return;
        Entities_RemoveAll();
        AnimObj_Reset();
        BspCache_Reset();
        Shadows_Free();
        Classfnc_Clear();
        GeomCache_FreeAll();
        TexMap_FreeAll();
        EntityAlloc_FreeAll();
        Entities_Reset();
        Geom_ResetServices();
        Objkr_ResetServices();
        RenderSettings_Reset();
    }
};

}  // namespace

void StartEntityWorld() {
    Classfnc_ResetLists();
    Entities_Reset();
    EntityAlloc_Reset();
    GeomCache_Reset();
    TexMgr_Init();
    AnimObj_Init();
    BspCache_Reset();
}

EntityTableRecord* EnterSampleModel(const ModelDef& model, const DVector& position) {
    const std::string stem = model.file.substr(0, model.file.find('.'));
    Entity* root = Entity_New(nullptr);
    Entity_SetName(root, stem.c_str());
    root->type = model.vehicle ? kTypeCraft : kTypeBuilding;
    ObjLoadResult result{};
    const int ok = model.vehicle ? ObjLoad_ReadVdf(root, &result, model.file.c_str())
                                 : ObjLoad_ReadSdf(root, &result, model.file.c_str());
    if (!ok) {
        Entity_Release(root);
        return nullptr;
    }
    root->local.posit = position;
    return Entities_Add(root, 0, nullptr, result.extraGiven ? result.extra : nullptr);
}

bool DrawSnapshot(Snapshot* out, float animationSeconds, std::string* error) {
    SceneLife life;
    const double groundX = kSampleFlatX * 10.0, groundZ = kSampleFlatZ * 10.0;
    FrameRequest request;
    request.map = SampleTerrain().name;
    // Seen from 90 m south of the row, 24 m above the flat ground, looking a little down.
    request.x = groundX;
    request.z = groundZ - 90.0;
    request.eye = 24.0f;
    request.heading = 0.0f;
    request.pitch = static_cast<float>(std::atan2(-20.0, 90.0) * 180.0 / 3.14159265358979323846);
    request.setUp = [&](std::string* why) {
        auto fail = [&](const std::string& text) {
            if (why) *why = text;
            return false;
        };
        StartEntityWorld();
        // As a mission starts: the settings afresh, but the objects keep the map's light.
        RenderSettings_ResetKeepingWorldLight();
        RenderSettings_TakeLodInfo();
        Geom_Services().paletteFindNearest = Palette_FindNearest;
        Objkr_Services().unbindTexture = TexMgr_UnbindEntityHook;
        life.entities = true;
        const float ground = Terrain_GetHeight(groundX, groundZ);
        Shadows_Load();
        const std::vector<ModelDef> models = SampleModels();
        Entity* tower = nullptr;
        Entity* walker = nullptr;
        for (size_t i = 0; i < models.size(); ++i) {
            const ModelDef& model = models[i];
            const float x = float(groundX) + (float(i) - float(models.size() - 1) / 2.0f) * kSpacing;
            EntityTableRecord* record = EnterSampleModel(model, DVector{x, ground, groundZ});
            if (!record) return fail("cannot read " + model.file);
            if (model.file == "gvtower.sdf") tower = record->entity;
            if (model.file == "gvwalker.vdf") walker = record->entity;
        }
        // The walker stands mid-stride: its forward stride, a few frames in.
        if (walker) {
            int slot = -1;
            if (AnimObj_Start(walker, kWalkerStrideKey, &slot) != 0) return fail("the walker's stride is missing");
            Objkr_Services().frameTime = StepTime;
            for (int i = 0; i < 4; ++i) AnimObj_Step();
        }
        if (animationSeconds > 0.0f && tower) {
            int slot = -1;
            if (AnimObj_Start(tower, kCommTowerDishKey, &slot) != 0) return fail("the comm tower's dish sequence is missing");
            Objkr_Services().frameTime = StepTime;
            for (float t = 0.0f; t + kStepSeconds / 2 < animationSeconds; t += kStepSeconds) AnimObj_Step();
        }
        return true;
    };
    request.draw = [](RenderView* view) {
        Entities_DrawWorld(view, nullptr);
        Shadows_Draw(view);
    };
    Frame frame;
    if (!DrawFrame(request, &frame, error)) return false;
    out->pixels = std::move(frame.pixels);
    out->palette = std::move(frame.palette);
    return true;
}

std::string SnapshotPpm(const Snapshot& s) {
    std::string ppm = "P6\n" + std::to_string(kSnapshotWidth) + " " + std::to_string(kSnapshotHeight) + "\n255\n";
    ppm.reserve(ppm.size() + s.pixels.size() * 3);
    for (uint8_t index : s.pixels) {
        ppm.push_back(char(s.palette[size_t(index) * 3]));
        ppm.push_back(char(s.palette[size_t(index) * 3 + 1]));
        ppm.push_back(char(s.palette[size_t(index) * 3 + 2]));
    }
    return ppm;
}

bool WriteSnapshot(const std::string& dataDir, const std::string& outPath, std::string* error) {
    Plat_SetDataRoot(dataDir);
    if (!FileSys_TryStart(0)) {
        if (error) *error = Zfs_LastError();
        return false;
    }
    Snapshot snapshot;
    const bool drawn = DrawSnapshot(&snapshot, 0.0f, error);
    Data_Close();
    if (!drawn) return false;
    std::ofstream file(outPath, std::ios::binary | std::ios::trunc);
    file << SnapshotPpm(snapshot);
    if (!file.flush()) {
        if (error) *error = "cannot write " + outPath;
        return false;
    }
    return true;
}

}  // namespace content
