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
constexpr int32_t kCommTowerDishKey = 1;

bool ReadLoose(const std::string& name, size_t size, std::vector<uint8_t>* out) {
    std::ifstream in(Plat_ResolvePath(Plat_DataPath(name)), std::ios::binary);
    out->assign(size, 0);
    return in && in.read(reinterpret_cast<char*>(out->data()), std::streamsize(size)) && in.gcount() == std::streamsize(size);
}

float StepTime() { return kStepSeconds; }

// Everything the scene set up, released in reverse whatever way drawing ends.
struct SceneLife {
    bool terrain = false;
    GraphicBuffer buffer;
    ~SceneLife() {
        Entities_RemoveAll();
        AnimObj_Reset();
        BspCache_Reset();
        Shadows_Free();
        Classfnc_Clear();
        GeomCache_FreeAll();
        TexMap_FreeAll();
        EntityAlloc_FreeAll();
        Entities_Reset();
        if (terrain) Terrain_FreeAll();
        Graphic_FreeBuffer(&buffer);
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
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    std::vector<uint8_t> luma;
    if (!ReadLoose(kPaletteFile, 768, &out->palette) || !ReadLoose(kLumaFile, 65536, &luma))
        return fail("the sample palette or its luminance table is missing");
    Palette_SetFloatColors(out->palette.data());
    Palette_SetLightTable(luma.data());
    if (!RenderQueue_Current() && !RenderQueue_Init()) return fail("no memory for the render queue");

    SceneLife life;
    StartEntityWorld();
    RenderSettings_Reset();
    RenderSettings_TakeLodInfo();
    Geom_Services().paletteFindNearest = Palette_FindNearest;
    Objkr_Services().unbindTexture = TexMgr_UnbindEntityHook;

    const TerrainMapSpec map = SampleTerrain();
    Terrain_SetFileName(map.name.c_str());
    if (!Terrain_ReadZoneFiles()) return fail("the sample map's terrain files are missing");
    Terrain_LoadZone(nullptr);
    Terrain_Init(0);
    life.terrain = true;
    const double groundX = kSampleFlatX * 10.0, groundZ = kSampleFlatZ * 10.0;
    const float ground = Terrain_GetHeight(groundX, groundZ);
    Shadows_Load();

    const std::vector<ModelDef> models = SampleModels();
    Entity* tower = nullptr;
    for (size_t i = 0; i < models.size(); ++i) {
        const ModelDef& model = models[i];
        const float x = float(groundX) + (float(i) - float(models.size() - 1) / 2.0f) * kSpacing;
        EntityTableRecord* record = EnterSampleModel(model, DVector{x, ground, groundZ});
        if (!record) return fail("cannot read " + model.file);
        if (model.file == "gvtower.sdf") tower = record->entity;
    }
    if (animationSeconds > 0.0f && tower) {
        int slot = -1;
        if (AnimObj_Start(tower, kCommTowerDishKey, &slot) != 0) return fail("the comm tower's dish sequence is missing");
        Objkr_Services().frameTime = StepTime;
        for (float t = 0.0f; t + kStepSeconds / 2 < animationSeconds; t += kStepSeconds) AnimObj_Step();
    }

    Graphic_InitBuffer(&life.buffer, kSnapshotWidth, kSnapshotHeight, nullptr, kGraphicFormat8);
    if (!Graphic_IsValid(&life.buffer)) return fail("no memory for the frame");
    Graphic_Clear(&life.buffer, Palette_FindNearest(0.55f, 0.65f, 0.8f));
    RenderView view;
    View_Init(&view, &life.buffer, kDefaultFieldOfView, 1.0f, 600.0f, 1.0f);
    const DVector eye{groundX, ground + 24.0, groundZ - 90.0};
    const Vector look{0.0f, -20.0f, 90.0f};
    View_SetCameraMatrix(&view, Matrix_FromPositionDirection(eye, look));

    RenderQueue_Reset();
    Entities_DrawWorld(&view, nullptr);
    Shadows_Draw(&view);
    RenderQueue_Flush(&view);
    out->pixels.assign(life.buffer.pixels, life.buffer.pixels + size_t(kSnapshotWidth) * kSnapshotHeight);
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
