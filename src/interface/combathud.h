// The combat display: the status panel (weapon mounts, hull and ammunition gauges, volleys
// left, spoken warnings), the target picker, the target inset, the aiming sight with its
// reticle and the aimed object or ground point, the sniper scope inset, the unit and target
// markers, and the radar. Everything they read of the world goes through CombatHudServices,
// so tests can stand a small world of their own behind them.
#pragma once
#include <cstdint>
#include <vector>

#include "core/mathlib.h"
#include "core/phasehook.h"
#include "interface/hudelement.h"
#include "render/view.h"

class GameObject;
class OrdnanceClass;
class Weapon;
class WeaponClass;
struct GraphicBuffer;

// ---- what the elements hand to the command layer ------------------------------------------
// A command record of the command menu: what a press of the menu key (primary) or the
// alternate key (secondary) would order.
struct HudCommandRecord {
    int32_t kind = 27;
    GameObject* object = nullptr;
    Vector point{};
    bool hasPoint = false;
};
// PENDING(9.121) the command menu owns these records, its selection and its page state.
HudCommandRecord& CommandMenu_Primary();
HudCommandRecord& CommandMenu_Secondary();
void CommandMenu_SetPrimary(int32_t kind, GameObject* object, const Vector* point);
void CommandMenu_SetSecondary(int32_t kind, GameObject* object, const Vector* point);

// ---- what the elements read --------------------------------------------------------------
struct CombatHudServices {
    GameObject* (*player)();  // the user's object, null while there is none
    float (*time)();          // game time in seconds
    uint32_t (*realMs)();     // the monotonic clock, milliseconds
    uint32_t (*frameCounter)();
    float (*averageFrameMs)();  // the frame loop's average milliseconds per frame
    // The user's craft's values.
    float (*targetingRange)(GameObject* craft);
    float (*radarRange)(GameObject* craft);
    // The aim frame of the craft (its aim entity's world transform, at the craft's position)
    // and its aim pitch in radians.
    void (*aimFrame)(GameObject* craft, Matrix* out);
    float (*aimPitch)(GameObject* craft);
    // The craft's radar record asks for a ping this frame (the request is taken by the answer).
    bool (*pingRequested)(GameObject* craft);
    // The ammunition one shot of the weapon costs, chosen by its class's signature.
    int32_t (*shotCost)(Weapon* weapon);
    int (*weaponIcon)(Weapon* weapon);
    int (*weaponReticle)(Weapon* weapon);  // 0: the weapon has no reticle of its own
    int (*weaponLadder)(Weapon* weapon);   // first of the four pitch-ladder sprites, 0 for none
    uint32_t (*weaponSignature)(Weapon* weapon);
    // The hardpoint part's kind code (the entity type code 70..74), 0 for none.
    int (*hardpointKind)(Entity* hardpoint);
    // Per object.
    bool (*hidden)(GameObject* object);
    bool (*radarVisible)(GameObject* object);
    bool (*sensorActive)(GameObject* object);
    int (*iconSprite)(GameObject* object);
    int (*shownTeam)(GameObject* object);  // the palette index the display colours it with
    int (*classKind)(GameObject* object);
    // Lists: every live object; the large objects; the bucket grid's objects in a square.
    const std::vector<GameObject*>& (*objects)();
    const std::vector<GameObject*>& (*largeObjects)();
    void (*gridQuery)(double minX, double minZ, double maxX, double maxZ, std::vector<GameObject*>* out);
    // The navigation beacon (or any object) in a team slot of the user's team, null when empty.
    GameObject* (*teamSlot)(int32_t slot);
    // The terrain: a ray from o along d (t at most 1 of d); the hit parameter.
    bool (*terrainRay)(const DVector& origin, const Vector& direction, float* t);
    bool (*inPlayableBounds)(double x, double z);
    float (*terrainHeight)(double x, double z);
    // The cells of the relief: height in metres of cell (i, k); the cell size.
    float (*cellHeight)(int i, int k);
    // Input channels.
    bool (*frontalTarget)();
    bool (*cycleBeacon)();
    // The camera.
    int (*viewState)();
    bool (*flatReticle)();
    RenderView* (*view)();
    bool (*hardware)();
    uint32_t (*playerFlags)();  // the player settings' flag word
    bool (*networkGame)();
    bool (*japanese)();  // the game's language is Japanese (some texts sit elsewhere)
    // The command layer. PENDING(9.121) selection and menu; PENDING(9.142) command kinds.
    int (*selectionCount)();
    bool (*menuOpen)();
    GameObject* (*selectedObject)();
    int (*menuState)();
    bool (*canTarget)(GameObject* filter, GameObject* object);
    int32_t (*commandKindForObject)(GameObject* object);
    int32_t (*commandKindForPoint)(const Vector& point);
    // Sounds and spoken lines.
    void (*playSound)(const char* name);
    void (*reportPanel)(GameObject* craft, int message);
    void (*reportCraft)(GameObject* craft, int message);
    // Drawing (software path; the hardware twins stand behind the same calls).
    void (*drawSprite)(GraphicBuffer* buffer, int sprite, int x, int y, uint32_t flags, int colour);
    void (*drawText)(GraphicBuffer* buffer, int x, int y, const char* text, int colour, uint32_t flags);
    void (*drawInset)(RenderView* view, GameObject* target, bool allied);
    // The hardware driver's viewport (x, y, width, height) and a blended fill of a rectangle
    // (inclusive corners) at the current 2-D depth.
    void (*getViewport)(int out[4]);
    void (*setViewport)(const int rect[4]);
    void (*fillBlended)(uint32_t argb, int left, int top, int right, int bottom);
};
CombatHudServices& CombatHud_Services();

// Spoken lines of the warning voice.
constexpr int kVoiceHullCritical = 6;
constexpr int kVoiceOutOfAmmo = 8;

// ---- projection ----------------------------------------------------------------------------
struct HudScreenPoint {
    int x, y;
};
// The world point through the view's camera: divided by depth when z > 1, else not; rounded.
// scale (when asked) is focal x / z, or 1e30 at z = 0.
HudScreenPoint Hud_WorldToScreen(const Vector& point, const RenderView* view, float* scale);
HudScreenPoint Hud_WorldToScreenD(const DVector& point, const RenderView* view, float* scale);

// ---- status panel, target picker, target view ---------------------------------------------
class StatusPanel : public HudElement {
public:
    StatusPanel();
    void Init() override;
    void Update(float dt) override;
    void Draw() override;
    void PlaceLayers();

    int statusLeft = 0, statusRight = 0, hullIcon = 0, hullBar = 0;
    float hullShown = 0;
    int ammoIcon = 0, ammoBar = 0;
    float ammoShown = 0;
    uint8_t hullWarned = 0, ammoWarned = 0;
    int kindIcons[5] = {};
    // The last draw's results, for tests and diagnostics.
    int32_t volleyCost = 0;
    uint32_t shortMask = 0;
    int mountColour[5] = {};
};
// The ammunition one shot costs by the weapon class's signature: the dispenser and the radar
// launcher ('DISP', 'RDRL') the ordnance's launcher cost, the image refractor, radar damper and
// terrain expose ('IREF', 'RDMP', 'TRXP') the class's own cost, any other the ordnance's shot
// cost; an ordnance cost is 0 without an ordnance class.
int32_t StatusPanel_ShotCost(uint32_t signature, bool hasOrdnance, int32_t launcherCost, int32_t ownCost,
                             int32_t ordnanceCost);
// The shot cost of a weapon of the class firing the ordnance class (null for none).
int32_t CombatHud_ShotCostOf(const WeaponClass* weaponClass, const OrdnanceClass* ordnance);
// Hull colour of a ratio: green from 0.5, yellow from 0.25, red from 0, black below.
int StatusPanel_HullColour(float ratio);

class TargetPicker : public HudElement {
public:
    TargetPicker();
    void Update(float dt) override;
    void PlaceLayers();
};
// The best object ahead of the craft for the picker (null for none).
GameObject* TargetPicker_BestAhead(GameObject* craft);

class TargetView : public HudElement {
public:
    TargetView();
    void Init() override;
    void Update(float dt) override;
    void Draw() override;
    void PlaceLayers();

    GameObject* target = nullptr;
    uint32_t targetHandle = 0;
    Entity* eyePart = nullptr;  // the target's eye (its part of type 40), null when it has none
    RenderView view{};
    uint8_t pending = 0;
    int frameLeft = 0, frameTop = 0, frameRight = 0, frameBottom = 0;  // the inset of the last draw
};
void TargetView_Render();

// ---- aiming sight and sniper scope ---------------------------------------------------------
class AimSight : public PhaseHook {
public:
    void Startup() override;
    void MissionSetup() override;
    void PostLoad() override { MissionSetup(); }
    void Simulate(float frameTime) override;
    void Render(RenderView* view) override;
    void DrawOverlay() override;
    void OnObjectRemoved(GameObject* object) override;

    Matrix aim{};
    Matrix aimLevel{};
    Vector* groundPoint = nullptr;
    GameObject* aimObject = nullptr;
    int32_t context = 0;
    int dotSprite = 0, groundSprite = 0, trailSprite = 0, levelSprite = 0;
    int reticle = 0, ladderBase = 0;
    Vector groundHit{};
};
AimSight& AimSight_Instance();
PhaseHook& AimSight_Member();
// The frame with the front laid flat; keeps level when the front stands (nearly) upright.
bool AimSight_LevelFrame(const Matrix& aim, Matrix* level);
// The best object under the aim frame (grid and large objects), null for none.
GameObject* AimSight_BestObject(const Matrix& aim, GameObject* craft, GameObject* filter);
// Where the user aims: the position of the user's selected target, else of the object the sight
// rests on, else the ground point under it; false when there is none.
bool AimSight_UserAimPoint(Vector* out);

class SniperScope : public HudElement {
public:
    SniperScope();
    void Init() override;
    void Update(float dt) override;
    void Draw() override;
    void PlaceLayers();

    int sightSprite = 0, markSprite = 0;
    RenderView view{};
    uint8_t pending = 0, large = 0;
    int rectLeft = 0, rectTop = 0, rectRight = 0, rectBottom = 0;  // the last drawn rectangle
};
void SniperScope_Render();
// The scope rectangle for a main view; false when nothing of it is on the buffer.
bool SniperScope_Rect(const RenderView* mainView, bool large, int out[4]);

// ---- unit and target markers ---------------------------------------------------------------
class UnitMarkers : public HudElement {
public:
    UnitMarkers();
    void Init() override;
    void Start() override;
    void Draw() override;
    void PlaceLayers();

    int bases[7] = {};  // object, select, target, caret up, left, right, down
    int bars[3] = {};   // green, yellow, red
    uint8_t colourClass[256] = {};
};
enum MarkerBase : int { kMarkObject, kMarkSelect, kMarkTarget, kCaretUp, kCaretLeft, kCaretRight, kCaretDown };
// Placement of a flagged object off the clip rectangle: the caret (MarkerBase) and the edge
// point; -1 when it lies on the rectangle.
int Markers_PlaceOffScreen(int x, int y, int clipWidth, int clipHeight, bool behind, int* outX, int* outY);

// ---- radar -----------------------------------------------------------------------------
constexpr int kRadarReliefMax = 16384;
class Radar : public HudElement {
public:
    Radar();
    void Init() override;
    void Start() override;
    void Update(float dt) override;
    void Draw() override;
    void PlaceLayers();
    // Geometry from the screen height.
    void Layout(int screenHeight);
    // The screen point of a point in the radar frame.
    HudScreenPoint Project(const Vector& p) const;
    void BuildFrame(const Vector& front);
    Vector ToRadar(const DVector& world) const;

    GameObject* player = nullptr;
    float range = 0, rangeSq = 0;
    int32_t team = 0;
    DVector position{};
    Vector rows[3]{};  // the radar frame
    float ping = 0;
    struct Point {
        int16_t x, y;
    };
    std::vector<Point> relief;
    uint8_t reliefPending = 0;
    uint32_t lastRefresh = 0, interval = 200;
    float lastGrowl = -1e30f;
    int radius = 110, centreX = 120, centreY = 400, frameDx = -112, frameDy = -46;
    int frameLeft = 0, frameRight = 0, frame5 = 0, frame6 = 0;
    int icons[8] = {};  // O D U B R F A C
    int numbers[10] = {};
    int pings[14] = {};
    int pingColour[14] = {};
    int compass[4] = {};  // E N W S
    int colours[6] = {};
    // The last draw: blips in drawing order and how many chevrons.
    std::vector<GameObject*> drawn;
    int chevrons = 0;
};
Radar& Radar_Instance();
void Radar_DrawFrame();
void Radar_DrawSweep();
// The refresh interval after a frame-time average.
uint32_t Radar_IntervalFor(float averageMs, uint32_t current);

// ---- the instances -------------------------------------------------------------------------
StatusPanel& StatusPanel_Instance();
TargetPicker& TargetPicker_Instance();
TargetView& TargetView_Instance();
SniperScope& SniperScope_Instance();
UnitMarkers& UnitMarkers_Instance();
// Builds the elements placed before the timer in the display table (radar, markers) or after
// the counters (gauges, scope): Hud_CreateElements calls both, once.
void CombatHud_CreateFirst();
void CombatHud_CreateLast();
// Fills the cockpit seam's radar and sight entries.
void CombatHud_InstallSeam();
// Services, records and elements back to program start (tests).
void CombatHud_Reset();
