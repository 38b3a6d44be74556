#include "interface/combathud.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Objkr/bucketgrid.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "core/clock.h"
#include "core/game.h"
#include "core/inputsinks.h"
#include "core/phasehook.h"
#include "core/sysprobe.h"
#include "core/seams/audio.h"
#include "core/seams/cockpit.h"
#include "core/seams/net.h"
#include "core/seams/render.h"
#include "core/seams/shell.h"
#include "core/seams/weapons.h"
#include "core/seams/world.h"
#include "fun3d/craft.h"
#include "fun3d/framepasses.h"
#include "fun3d/gameobject.h"
#include "fun3d/hovercraft.h"
#include "fun3d/objectpool.h"
#include "fun3d/person.h"
#include "fun3d/teamrecord.h"
#include "fun3d/visibility.h"
#include "interface/camera.h"
#include "interface/hudcolors.h"
#include "platform/clock.h"
#include "render/blit.h"
#include "render/d3dbatch.h"
#include "render/d3ddevice.h"
#include "render/font.h"
#include "render/draw2d.h"
#include "render/graphicdriver.h"
#include "render/sprite.h"
#include "weapons/dispenser.h"
#include "weapons/radarlauncher.h"
#include "weapons/effects.h"
#include "weapons/ordnance.h"
#include "weapons/specialitem.h"
#include "weapons/weapon.h"

namespace {

HudCommandRecord g_primary, g_secondary;

int ShownTeamOf(GameObject* object) {
    // Classes with flag 0x200 show their team's second colour.
    const bool second = object->objClass && (object->objClass->classFlags & 0x200u);
    const uint32_t value = object->teamColours[second ? 1 : 0];
    if (value != 0) return static_cast<int>(value & 0xFF);
    // No colour pair was set for the team: the relation to the user's team decides.
    const int32_t userTeam = GameObject_GetUserTeam();
    if (object->team == 0 || object->team < 0) return HudColors.grey6;
    if (object->team == userTeam) return HudColors.green;
    TeamRecord* record = GameObject_GetUserTeamRecord();
    if (record && record->IsAlly(object->team)) return HudColors.blue;
    return HudColors.red;
}

CombatHudServices MakeServices() {
    CombatHudServices s{};
    s.player = GameObject_GetUser;
    s.time = Clock_GetTime;
    s.realMs = Plat_Milliseconds;
    s.frameCounter = Clock_GetFrameCount;
    s.averageFrameMs = [] {
        const float rate = Clock_GetFrameRate();
        return rate > 0.0f ? 1000.0f / rate : 0.0f;
    };
    s.targetingRange = [](GameObject* craft) {
        auto* cls = dynamic_cast<CraftClass*>(craft ? craft->objClass : nullptr);
        return cls ? cls->targetRange : 0.0f;
    };
    s.radarRange = [](GameObject* craft) {
        auto* cls = dynamic_cast<CraftClass*>(craft ? craft->objClass : nullptr);
        return cls ? cls->radarRange : 0.0f;
    };
    // The weapons sit on the craft's body, so the body is what the sight aims along; the pitch
    // is the one the craft's weapon aim gave its guns this frame.
    s.aimFrame = [](GameObject* craft, Matrix* out) {
        *out = Matrix{};
        if (craft->entity) Entity_GetTransformTo(*out, craft->entity, nullptr);
        out->posit = DVector{craft->pos.x, craft->pos.y, craft->pos.z};
    };
    s.aimPitch = [](GameObject* craft) {
        if (auto* hover = dynamic_cast<HoverCraft*>(craft)) return hover->aimPitch;
        if (auto* person = dynamic_cast<Person*>(craft)) return person->aimPitch;
        return 0.0f;
    };
    // A request is answered by one ping: the radar takes it.
    s.pingRequested = [](GameObject* object) {
        auto* craft = dynamic_cast<Craft*>(object);
        if (!craft || !craft->radarPing) return false;
        craft->radarPing = 0;
        return craft->radarPingValue > 0.0f;
    };
    s.shotCost = [](Weapon* weapon) -> int32_t {
        return weapon ? CombatHud_ShotCostOf(weapon->weaponClass, weapon->ordnanceClass) : 0;
    };
    s.weaponIcon = [](Weapon* weapon) { return weapon && weapon->weaponClass ? weapon->weaponClass->sprite2 : 0; };
    s.weaponReticle = [](Weapon* weapon) { return weapon && weapon->weaponClass ? weapon->weaponClass->sprite1 : 0; };
    s.weaponLadder = [](Weapon* weapon) { return weapon && weapon->weaponClass ? weapon->weaponClass->sprite3 : 0; };
    s.weaponSignature = [](Weapon* weapon) { return weapon && weapon->weaponClass ? weapon->weaponClass->signature : 0u; };
    s.hardpointKind = [](Entity* hardpoint) { return hardpoint ? static_cast<int>(hardpoint->type) : 0; };
    // What is not drawn cannot be aimed at (a pilot inside a craft, a hidden part of a mission).
    s.hidden = [](GameObject* object) { return object->entity && (object->entity->flags & kEntityNotDrawn); };
    s.radarVisible = [](GameObject* object) { return object->illumination > 0.0f; };
    s.sensorActive = [](GameObject* object) {
        return object->aiProcess != nullptr && ObjectSensor::IsActive(object->conceal);
    };
    s.iconSprite = [](GameObject* object) {
        return object->spriteIndex ? object->spriteIndex : (object->objClass ? object->objClass->spriteIndex : 0);
    };
    s.shownTeam = ShownTeamOf;
    s.classKind = [](GameObject* object) { return object->objClass ? static_cast<int>(object->objClass->category) : 0; };
    s.objects = []() -> const std::vector<GameObject*>& { return GameObject_List(); };
    // The big objects: the buildings of the object list, aimed at from any distance.
    s.largeObjects = []() -> const std::vector<GameObject*>& {
        static std::vector<GameObject*> large;
        large.clear();
        for (GameObject* object : GameObject_List())
            if (object && object->objClass && object->objClass->category == kCategoryBuilding) large.push_back(object);
        return large;
    };
    s.gridQuery = [](double minX, double minZ, double maxX, double maxZ, std::vector<GameObject*>* out) {
        out->clear();
        BucketGrid* grid = GameObject_Grid();
        if (!grid) return;
        BucketGridQuery query;
        grid->BeginQuery(minX, minZ, maxX, maxZ, &query);
        const BucketGridEntry* entry = nullptr;
        while (query.Next(&entry))
            if (GameObject* object = GameObject::FromHandle(entry->value)) out->push_back(object);
    };
    s.teamSlot = [](int32_t slot) -> GameObject* {
        TeamRecord* record = GameObject_GetUserTeamRecord();
        return record ? record->GetSlot(slot) : nullptr;
    };
    s.terrainRay = [](const DVector& o, const Vector& d, float* t) {
        *t = 1.0f;
        return Terrain_RayCast(o.x, o.y, o.z, d.x, d.y, d.z, t, nullptr) != 0;
    };
    s.inPlayableBounds = [](double x, double z) {
        return x > TerrainBounds.minXm && x < TerrainBounds.maxXm && z > TerrainBounds.minZm && z < TerrainBounds.maxZm;
    };
    s.terrainHeight = [](double x, double z) { return Terrain_GetHeight(x, z); };
    s.cellHeight = [](int i, int k) { return float(Terrain_GetCellValue(i, k) & 0x0FFF) * 0.1f; };
    s.frontalTarget = [] { return InputSink.frontal_target != 0; };
    s.cycleBeacon = [] { return InputSink.cycle_beacon != 0; };
    s.viewState = [] { return static_cast<int>(Camera_ViewKind()); };
    s.flatReticle = [] { return Camera_Current().flatReticle != 0; };
    s.view = Camera_MainView;
    s.hardware = [] { return Graphic_IsHardwareTarget(Camera_MainView() ? Camera_MainView()->buffer : nullptr); };
    s.playerFlags = [] {
        const uint8_t* def = Seam_Shell().playerDef();
        uint32_t flags = 0;
        if (def) std::memcpy(&flags, def + kPlayerDefFlags, sizeof flags);
        return flags;
    };
    s.networkGame = [] { return Seam_Net().isNetworkGame(); };
    s.japanese = Lang_IsJapanese;
    s.selectionCount = [] { return 0; };                          // PENDING(9.121)
    s.menuOpen = [] { return false; };                            // PENDING(9.121)
    s.selectedObject = []() -> GameObject* { return nullptr; };   // PENDING(9.121)
    s.menuState = [] { return 2; };                               // PENDING(9.121)
    s.canTarget = [](GameObject*, GameObject*) { return true; };  // PENDING(9.121)
    // PENDING(9.142) the command cursor's rules: attack an enemy, follow an ally, else move.
    s.commandKindForObject = [](GameObject* object) -> int32_t {
        GameObject* user = GameObject_GetUser();
        if (!object) return 0;
        if (user && user->IsEnemy(object)) return 4;
        if (object->team == GameObject_GetUserTeam()) return 1;
        return 5;
    };
    s.commandKindForPoint = [](const Vector&) -> int32_t { return 3; };
    s.playSound = [](const char* name) { Seam_Audio().soundPlay(name, nullptr, 0, 0); };
    s.reportPanel = [](GameObject* craft, int message) { Seam_Cockpit().voiceReportPanel(craft, message); };
    s.reportCraft = [](GameObject* craft, int message) { Seam_Cockpit().voiceReportCraft(craft, message); };
    s.drawSprite = [](GraphicBuffer* buffer, int sprite, int x, int y, uint32_t flags, int colour) {
        if (!buffer || sprite <= 0) return;
        if (colour >= 0) TextColour = colour;
        Sprite_Draw(buffer, sprite, x, y, flags);
    };
    s.drawText = [](GraphicBuffer* buffer, int x, int y, const char* text, int colour, uint32_t flags) {
        BitmapFont* font = Font_Main();
        if (!font || !buffer) return;
        int w = 0, h = 0;
        Font_MeasureText(font, text, &w, &h);
        if (flags & kSpriteRight) x -= w;
        if (flags & kSpriteCentreX) x -= w / 2;
        if (flags & kSpriteBottom) y -= h;
        Font_SetColor(font, colour);
        Font_DrawText(font, buffer, x, y, text);
    };
    s.drawInset = [](RenderView*, GameObject*, bool) {};  // replaced at install (the world passes)
    s.getViewport = [](int out[4]) { D3D_GetViewport(&out[0], &out[1], &out[2], &out[3]); };
    s.setViewport = [](const int rect[4]) { D3D_SetViewport(rect[0], rect[1], rect[2], rect[3]); };
    s.fillBlended = [](uint32_t argb, int left, int top, int right, int bottom) {
        D3D_FillRect(argb, float(left), float(top), float(right + 1), float(bottom + 1), true);
    };
    return s;
}

CombatHudServices g_services = MakeServices();

// The world through an inset view: terrain and the world's entities; then ordnance and every
// registered render hook (an ally's eye and the scope) or only the smoke (a chase view); the
// queue flushed.
void DrawInsetWorld(RenderView* view, GameObject*, bool allied) {
    Seam_World().terrainDraw(view);
    Seam_World().entitiesDrawWorld(view, nullptr);
    if (allied) {
        Seam_Weapons().ordnanceRenderAll(view);
        PhaseHook_RenderAll(view);
    } else {
        Smoke_Effect().Render(view);
    }
    Seam_Render().renderQueueFlush();
}

}  // namespace

CombatHudServices& CombatHud_Services() { return g_services; }

int32_t CombatHud_ShotCostOf(const WeaponClass* weaponClass, const OrdnanceClass* ordnance) {
    if (!weaponClass) return 0;
    // What a dispenser builds takes the place of its ordnance, at the class's cost.
    if (const auto* dispenser = dynamic_cast<const DispenserClass*>(weaponClass)) {
        const GameObjectClass* made = dispenser->dispenseClass;
        return StatusPanel_ShotCost(weaponClass->signature, made != nullptr, Dispenser_CostOf(made), 0, 0);
    }
    // A radar launcher sends out a pod at the pod class's cost.
    if (const auto* radar = dynamic_cast<const RadarLauncherClass*>(weaponClass))
        return StatusPanel_ShotCost(weaponClass->signature, radar->podClass != nullptr, radar->shotCost, 0, 0);
    // A special item costs what it drains a second.
    const auto* item = dynamic_cast<const SpecialItemClass*>(weaponClass);
    const int32_t ownCost = item ? item->ammoPerSecond : 0;
    return StatusPanel_ShotCost(weaponClass->signature, ordnance != nullptr, 0, ownCost, ordnance ? ordnance->ordIntParam : 0);
}

HudCommandRecord& CommandMenu_Primary() { return g_primary; }
HudCommandRecord& CommandMenu_Secondary() { return g_secondary; }

namespace {
void SetRecord(HudCommandRecord& r, int32_t kind, GameObject* object, const Vector* point) {
    r.kind = kind;
    r.object = object;
    r.hasPoint = point != nullptr;
    r.point = point ? *point : Vector{};
}
}  // namespace

void CommandMenu_SetPrimary(int32_t kind, GameObject* object, const Vector* point) { SetRecord(g_primary, kind, object, point); }
void CommandMenu_SetSecondary(int32_t kind, GameObject* object, const Vector* point) {
    SetRecord(g_secondary, kind, object, point);
}

HudScreenPoint Hud_WorldToScreenD(const DVector& point, const RenderView* view, float* scale) {
    Vector c{};
    View_TransformPoint(&c, view, point.x, point.y, point.z);
    const float focalX = view->scaleX, focalY = view->scaleY;
    float sx, sy;
    if (c.z > 1.0f) {
        sx = view->centreX + c.x * (focalX / c.z);
        sy = view->centreY + c.y * (focalY / c.z);
    } else {
        sx = view->centreX + c.x * focalX;
        sy = view->centreY + c.y * focalY;
    }
    if (scale) *scale = c.z == 0.0f ? 1e30f : focalX / c.z;
    return HudScreenPoint{static_cast<int>(std::lround(sx)), static_cast<int>(std::lround(sy))};
}

HudScreenPoint Hud_WorldToScreen(const Vector& point, const RenderView* view, float* scale) {
    return Hud_WorldToScreenD(DVector{point.x, point.y, point.z}, view, scale);
}

// ---- the instances -------------------------------------------------------------------------

namespace {
Radar* g_radar = nullptr;
UnitMarkers* g_markers = nullptr;
StatusPanel* g_panel = nullptr;
TargetPicker* g_picker = nullptr;
TargetView* g_targetView = nullptr;
SniperScope* g_scope = nullptr;
}  // namespace

void CombatHud_CreateFirst() {
    if (g_radar) return;
    static Radar radar;
    static UnitMarkers markers;
    g_radar = &radar;
    g_markers = &markers;
}

void CombatHud_CreateLast() {
    if (g_panel) return;
    // The cockpit gauges in their creation order, then the scope.
    static StatusPanel panel;
    static TargetView view;
    static TargetPicker picker;
    static SniperScope scope;
    g_panel = &panel;
    g_targetView = &view;
    g_picker = &picker;
    g_scope = &scope;
}

namespace {
void CreateAll() {
    CombatHud_CreateFirst();
    CombatHud_CreateLast();
}
}  // namespace

Radar& Radar_Instance() {
    CreateAll();
    return *g_radar;
}
UnitMarkers& UnitMarkers_Instance() {
    CreateAll();
    return *g_markers;
}
StatusPanel& StatusPanel_Instance() {
    CreateAll();
    return *g_panel;
}
TargetPicker& TargetPicker_Instance() {
    CreateAll();
    return *g_picker;
}
TargetView& TargetView_Instance() {
    CreateAll();
    return *g_targetView;
}
SniperScope& SniperScope_Instance() {
    CreateAll();
    return *g_scope;
}

void CombatHud_InstallSeam() {
    CreateAll();
    CockpitSeam& seam = Seam_Cockpit();
    g_services.drawInset = DrawInsetWorld;
    seam.radarDrawFrame = Radar_DrawFrame;
    seam.radarDrawSweep = Radar_DrawSweep;
    seam.sightPausedStep = [](float dt) { AimSight_Instance().Simulate(dt); };
    seam.userAimPoint = AimSight_UserAimPoint;
    seam.insetViewsRender = [] {
        TargetView_Render();
        SniperScope_Render();
    };
}

void CombatHud_Reset() {
    g_services = MakeServices();
    g_primary = HudCommandRecord{};
    g_secondary = HudCommandRecord{};
    if (!g_radar) return;
    g_radar->PlaceLayers();
    g_markers->PlaceLayers();
    g_panel->PlaceLayers();
    g_targetView->PlaceLayers();
    g_picker->PlaceLayers();
    g_scope->PlaceLayers();
    // What the elements keep between frames goes back to program start too.
    g_radar->relief.clear();
    g_radar->reliefPending = 0;
    g_radar->ping = 0;
    g_radar->range = g_radar->rangeSq = 0;
    g_radar->lastRefresh = 0;
    g_radar->interval = 200;
    g_radar->lastGrowl = -1e30f;
    g_radar->player = nullptr;
    // Sprite indices are looked up again by each mission's init.
    g_radar->frameLeft = g_radar->frameRight = g_radar->frame5 = g_radar->frame6 = 0;
    std::fill(std::begin(g_radar->icons), std::end(g_radar->icons), 0);
    std::fill(std::begin(g_radar->numbers), std::end(g_radar->numbers), 0);
    std::fill(std::begin(g_radar->pings), std::end(g_radar->pings), 0);
    std::fill(std::begin(g_radar->compass), std::end(g_radar->compass), 0);
    std::fill(std::begin(g_markers->bases), std::end(g_markers->bases), 0);
    std::fill(std::begin(g_markers->bars), std::end(g_markers->bars), 0);
    g_panel->statusLeft = g_panel->statusRight = g_panel->hullIcon = g_panel->hullBar = 0;
    g_panel->ammoIcon = g_panel->ammoBar = 0;
    std::fill(std::begin(g_panel->kindIcons), std::end(g_panel->kindIcons), 0);
    g_scope->sightSprite = g_scope->markSprite = 0;
    g_panel->hullShown = g_panel->ammoShown = 0;
    g_panel->hullWarned = g_panel->ammoWarned = 0;
    g_targetView->pending = 0;
    g_targetView->target = nullptr;
    g_targetView->view = RenderView{};
    g_scope->pending = 0;
    g_scope->view = RenderView{};
    AimSight& sight = AimSight_Instance();
    sight.aimObject = nullptr;
    sight.groundPoint = nullptr;
    sight.context = 0;
    sight.dotSprite = sight.groundSprite = sight.trailSprite = sight.levelSprite = 0;
    sight.reticle = sight.ladderBase = 0;
}
