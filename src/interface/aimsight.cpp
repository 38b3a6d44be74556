// The aiming sight (what the player's weapons point at, and the reticle) and the sniper scope.
#include <algorithm>
#include <cmath>

#include "fun3d/gameobject.h"
#include "interface/combathud.h"
#include "interface/hudcolors.h"
#include "render/billboard.h"
#include "render/draw2d.h"
#include "render/graphicbuffer.h"
#include "render/sprite.h"
#include "weapons/weapon.h"

namespace {

constexpr uint32_t Sig(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) << 24 | uint32_t(uint8_t(b)) << 16 | uint32_t(uint8_t(c)) << 8 | uint8_t(d);
}

Matrix Identity() {
    Matrix m{};
    m.right = Vector{1, 0, 0};
    m.up = Vector{0, 1, 0};
    m.front = Vector{0, 0, 1};
    return m;
}

bool IsCockpitState(int state) { return state == 0 || state == 1 || state == 2 || state == 7; }

// The frame turned by angle about its own right axis (positive lifts the front).
Matrix Pitched(const Matrix& m, float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    Matrix r = m;
    r.front = Vector{m.front.x * c + m.up.x * s, m.front.y * c + m.up.y * s, m.front.z * c + m.up.z * s};
    r.up = Vector{m.up.x * c - m.front.x * s, m.up.y * c - m.front.y * s, m.up.z * c - m.front.z * s};
    return r;
}

DVector Ahead(const Matrix& m, double distance) {
    return DVector{m.posit.x + m.front.x * distance, m.posit.y + m.front.y * distance, m.posit.z + m.front.z * distance};
}

// Score of an object for the aim frame, or 0 when it is not under the aim.
double AimScore(const Matrix& aim, GameObject* object, bool limitDepth) {
    const double dx = object->pos.x - aim.posit.x, dy = object->pos.y - aim.posit.y, dz = object->pos.z - aim.posit.z;
    const double x = dx * aim.right.x + dy * aim.right.y + dz * aim.right.z;
    const double y = dx * aim.up.x + dy * aim.up.y + dz * aim.up.z;
    const double z = dx * aim.front.x + dy * aim.front.y + dz * aim.front.z;
    if (z < 0.0 || (limitDepth && z > 200.0)) return 0.0;
    const double g = x * x + y * y, l = g + z * z;
    const double r = 0.75 * object->radius;
    if (g > r * r && g > 0.01 * l) return 0.0;
    if (l <= 0.0) return 0.0;
    return std::pow(1.0 - g / l, 32.0);
}

AimSight g_sight;

}  // namespace

AimSight& AimSight_Instance() { return g_sight; }
PhaseHook& AimSight_Member() { return g_sight; }

bool AimSight_LevelFrame(const Matrix& aim, Matrix* level) {
    const Vector f = aim.front;
    const float length = std::sqrt(f.x * f.x + f.z * f.z);
    // A front standing upright has no heading: the last level frame stays.
    if (!(length > 1e-4f)) {
        level->posit = aim.posit;
        return false;
    }
    const float c = 1.0f / length;
    level->front = Vector{f.x * c, 0.0f, f.z * c};
    level->up = Vector{0.0f, 1.0f, 0.0f};
    level->right = Vector{f.z * c, 0.0f, -f.x * c};
    level->posit = aim.posit;
    return true;
}

GameObject* AimSight_BestObject(const Matrix& aim, GameObject* craft, GameObject* filter) {
    CombatHudServices& s = CombatHud_Services();
    const DVector centre = Ahead(aim, 100.0);
    std::vector<GameObject*> found;
    s.gridQuery(centre.x - 100.0, centre.z - 100.0, centre.x + 100.0, centre.z + 100.0, &found);
    GameObject* best = nullptr;
    double bestScore = 0.0;
    auto consider = [&](GameObject* object, bool limitDepth) {
        if (!object || object == craft) return;
        if (filter && !s.canTarget(filter, object)) return;
        if (s.hidden(object)) return;
        const double score = AimScore(aim, object, limitDepth);
        if (score > bestScore) {
            bestScore = score;
            best = object;
        }
    };
    for (GameObject* object : found) consider(object, true);
    for (GameObject* object : s.largeObjects()) consider(object, false);
    return best;
}

bool AimSight_UserAimPoint(Vector* out) {
    GameObject* user = CombatHud_Services().player();
    if (!user || !out) return false;
    if (GameObject* target = user->target ? GameObject::FromHandle(user->target) : nullptr) {
        *out = target->GetPosition();
        return true;
    }
    if (g_sight.aimObject) {
        *out = g_sight.aimObject->GetPosition();
        return true;
    }
    if (g_sight.groundPoint) {
        *out = *g_sight.groundPoint;
        return true;
    }
    return false;
}

void AimSight::Startup() {
    dotSprite = Sprite_Find("dot");
    groundSprite = Sprite_Find("ground.G");
    trailSprite = Sprite_Find("dot");
    levelSprite = Sprite_Find("sight");
    reticle = dotSprite;
}

void AimSight::MissionSetup() {
    if (!dotSprite) Startup();
    aimObject = nullptr;
    groundPoint = nullptr;
    GameObject* craft = CombatHud_Services().player();
    if (!craft) {
        aim = aimLevel = Identity();
        return;
    }
    CombatHud_Services().aimFrame(craft, &aim);
    aimLevel = Identity();
    AimSight_LevelFrame(aim, &aimLevel);
}

void AimSight::Simulate(float) {
    CombatHudServices& s = CombatHud_Services();
    GameObject* craft = s.player();
    if (!craft || (craft->entity && (craft->entity->flags & 0x200u))) return;
    s.aimFrame(craft, &aim);
    AimSight_LevelFrame(aim, &aimLevel);
    if (IsCockpitState(s.viewState())) {
        // A turn about the right axis by -0.5 of the aim pitch, in the sense the weapons turn by
        // minus the aim pitch (a positive turn lowers the front): the sight rises as they do.
        const float lift = 0.5f * s.aimPitch(craft);
        aim = Pitched((s.playerFlags() & 0x10u) ? aimLevel : aim, lift);
        GameObject* filter = s.selectionCount() > 0 && !s.menuOpen() ? s.selectedObject() : nullptr;
        aimObject = AimSight_BestObject(aim, craft, filter);
        if (aimObject) {
            groundPoint = nullptr;
            context = s.commandKindForObject(aimObject);
            CommandMenu_SetPrimary(context, aimObject, nullptr);
        } else {
            groundPoint = nullptr;
            const Vector d{aim.front.x * 200.0f, aim.front.y * 200.0f, aim.front.z * 200.0f};
            float t = 1.0f;
            if (s.terrainRay(aim.posit, d, &t)) {
                const Vector p{float(aim.posit.x + d.x * t), float(aim.posit.y + d.y * t), float(aim.posit.z + d.z * t)};
                if (s.inPlayableBounds(p.x, p.z)) {
                    groundHit = p;
                    groundPoint = &groundHit;
                    context = s.commandKindForPoint(groundHit);
                }
            }
            CommandMenu_SetPrimary(context, nullptr, groundPoint);
        }
    } else {
        aimObject = nullptr;
        groundPoint = nullptr;
    }
    reticle = dotSprite;
    ladderBase = 0;
    if (HardpointList* hp = craft->hardpoints) {
        for (int i = 0; i < 5; ++i) {
            if (!((hp->selected >> i) & 1u) || !hp->weapons[i]) continue;
            const int own = s.weaponReticle(hp->weapons[i]);
            if (!own) continue;
            reticle = own;
            ladderBase = s.weaponLadder(hp->weapons[i]);
            break;
        }
    }
}

void AimSight::OnObjectRemoved(GameObject* object) {
    if (object == aimObject) aimObject = nullptr;
}

void AimSight::Render(RenderView* view) {
    CombatHudServices& s = CombatHud_Services();
    if (!s.player() || view != s.view() || !IsCockpitState(s.viewState()) || s.flatReticle()) return;
    // Screen-facing quads 12 units ahead, sized from the sprites.
    const Matrix& cam = view->viewMatrix;
    const Vector right{cam.right.x, cam.up.x, cam.front.x}, up{cam.right.y, cam.up.y, cam.front.y};
    auto quad = [&](const DVector& c, int sprite, float scale, float shiftX) {
        int w = 0, h = 0;
        Sprite_GetSize(sprite, &w, &h);
        const float hx = w * 0.02f * scale, hy = h * 0.02f * scale;
        const double cx = c.x + right.x * shiftX, cy = c.y + right.y * shiftX, cz = c.z + right.z * shiftX;
        const float corners[4][3] = {
            {float(cx - right.x * hx + up.x * hy), float(cy - right.y * hx + up.y * hy), float(cz - right.z * hx + up.z * hy)},
            {float(cx + right.x * hx + up.x * hy), float(cy + right.y * hx + up.y * hy), float(cz + right.z * hx + up.z * hy)},
            {float(cx + right.x * hx - up.x * hy), float(cy + right.y * hx - up.y * hy), float(cz + right.z * hx - up.z * hy)},
            {float(cx - right.x * hx - up.x * hy), float(cy - right.y * hx - up.y * hy), float(cz - right.z * hx - up.z * hy)}};
        Render_QueueQuad(view, corners, sprite, 4);
    };
    quad(Ahead(aim, 12.0), reticle, 1.0f, 0.0f);
    for (int i = 1; i <= 3; ++i) {
        const DVector p = Ahead(aim, 12.0 - 2.0 * i);
        const float centre[3] = {float(p.x), float(p.y), float(p.z)};
        Render_QueueBillboard(view, centre, 0.1f, trailSprite);
    }
    quad(Ahead(aimLevel, 12.0), levelSprite, 1.0f, 0.0f);
    if (ladderBase) {
        for (int a = -30; a <= 30; a += 5) {
            const Matrix rung = Pitched(aimLevel, float(a) * 0.017453292f);
            const int left = ladderBase + (a != 0 ? 2 : 0);
            quad(Ahead(rung, 12.0), left, 2.0f, -1.0f);
            quad(Ahead(rung, 12.0), left + 1, 2.0f, 1.0f);
        }
    }
    if (groundPoint && context != 0) {
        const float centre[3] = {groundPoint->x, groundPoint->y, groundPoint->z};
        Render_QueueBillboard(view, centre, 1.5f, groundSprite);
        // A white line from the point 2 units up along the aim's up axis, translucent.
        const Vector& up = aim.up;
        const float top[3] = {centre[0] + 2.0f * up.x, centre[1] + 2.0f * up.y, centre[2] + 2.0f * up.z};
        Render_QueueLine(view, centre, top, 0.0f, static_cast<uint32_t>(HudColors.white), HudLineAlpha);
    }
}

void AimSight::DrawOverlay() {
    CombatHudServices& s = CombatHud_Services();
    RenderView* view = s.view();
    if (!s.player() || !view || !view->buffer || !IsCockpitState(s.viewState()) || !s.flatReticle()) return;
    auto project = [&](const DVector& p, HudScreenPoint* out) {
        Vector c{};
        View_TransformPoint(&c, view, p.x, p.y, p.z);
        if (!(c.z > 0.0001f)) return false;
        *out = Hud_WorldToScreenD(p, view, nullptr);
        out->x -= view->buffer->clipLeft;
        out->y -= view->buffer->clipTop;
        return true;
    };
    HudScreenPoint p{};
    if (project(Ahead(aim, 12.0), &p)) s.drawSprite(view->buffer, reticle, p.x, p.y, 0x250004, -1);
    if (!ladderBase) return;
    for (int a = -30; a <= 30; a += 5) {
        if (!project(Ahead(Pitched(aimLevel, float(a) * 0.017453292f), 12.0), &p)) continue;
        const int left = ladderBase + (a != 0 ? 2 : 0);
        s.drawSprite(view->buffer, left, p.x - 40, p.y, 0x240004, -1);
        s.drawSprite(view->buffer, left + 1, p.x + 40, p.y, 0x260004, -1);
    }
}

// ---- sniper scope ------------------------------------------------------------------------------

SniperScope::SniperScope() { PlaceLayers(); }

void SniperScope::PlaceLayers() { SetLayer(0, -1); }

void SniperScope::Init() {
    sightSprite = Sprite_Find("sight");
    markSprite = Sprite_Find("particle.0");
    view = RenderView{};
    pending = 0;
}

void SniperScope::Update(float) {
    CombatHudServices& s = CombatHud_Services();
    GameObject* craft = s.player();
    if (!craft || !craft->objClass || craft->objClass->category != kCategoryPerson || !craft->IsReady() ||
        !craft->hardpoints)
        return;
    // The soviet side's cockpit lays its scope out large.
    large = craft->objClass->side == kSideSoviet ? 1 : 0;
    HardpointList* hp = craft->hardpoints;
    for (int i = 0; i < 5; ++i) {
        Weapon* weapon = hp->weapons[i];
        if (!((hp->selected >> i) & 1u) || !weapon || s.weaponSignature(weapon) != Sig('S', 'N', 'I', 'P')) continue;
        View_SetCameraMatrix(&view, weapon->mountMatrix);
        pending = 1;
    }
}

void SniperScope::Draw() { SniperScope_Render(); }

bool SniperScope_Rect(const RenderView* main, bool large, int out[4]) {
    const int cx = large ? 421 : 446, cy = large ? 160 : 162;
    // The 640 x 480 reference frame scaled by the view's height and zoom.
    const double k = double(main->zoom) * double(main->windowBottom - main->windowTop + 1.0f) / 480.0;
    const double kv = -k;
    const double x0 = main->centreX, y0 = main->centreY;
    int left = int(std::lround(x0 + (cx - 320) * k)), right = int(std::lround(x0 + (cx - 192) * k)) - 1;
    int top = int(std::lround(y0 - (cy - 240) * kv)), bottom = int(std::lround(y0 - (cy - 112) * kv)) - 1;
    if (top > bottom) std::swap(top, bottom);
    const GraphicBuffer* b = main->buffer;
    const int maxX = b ? b->width - 1 : 0, maxY = b ? b->height - 1 : 0;
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, maxX);
    bottom = std::min(bottom, maxY);
    out[0] = left, out[1] = top, out[2] = right, out[3] = bottom;
    return left <= right && top <= bottom;
}

void SniperScope_Render() {
    SniperScope& scope = SniperScope_Instance();
    if (!scope.pending) return;
    scope.pending = 0;
    CombatHudServices& s = CombatHud_Services();
    RenderView* main = s.view();
    GameObject* craft = s.player();
    if (!main || !main->buffer || !craft) return;
    int r[4];
    if (!SniperScope_Rect(main, scope.large, r)) return;
    scope.rectLeft = r[0], scope.rectTop = r[1], scope.rectRight = r[2], scope.rectBottom = r[3];
    if (scope.view.buffer != main->buffer || int(scope.view.windowLeft) != r[0] || int(scope.view.windowTop) != r[1] ||
        int(scope.view.windowRight) != r[2] || int(scope.view.windowBottom) != r[3]) {
        RenderView fresh{};
        View_Init(&fresh, main->buffer, 1.1257373f, 1.0f, 500.0f, 1.0f);
        View_SetWindow(&fresh, r[0], r[1], r[2], r[3]);
        // Keep the muzzle camera the update set.
        Matrix eye{};
        eye.right = Vector{scope.view.viewMatrix.right.x, scope.view.viewMatrix.up.x, scope.view.viewMatrix.front.x};
        eye.up = Vector{scope.view.viewMatrix.right.y, scope.view.viewMatrix.up.y, scope.view.viewMatrix.front.y};
        eye.front = Vector{scope.view.viewMatrix.right.z, scope.view.viewMatrix.up.z, scope.view.viewMatrix.front.z};
        eye.posit = scope.view.cameraPosition;
        scope.view = fresh;
        View_SetCameraMatrix(&scope.view, eye);
    }
    const bool hardware = s.hardware();
    int savedViewport[4] = {};
    if (hardware) {
        s.getViewport(savedViewport);
        const int inset[4] = {r[0], r[1], r[2] - r[0] + 1, r[3] - r[1] + 1};
        s.setViewport(inset);
    }
    const float depth = OverlayDepth;
    OverlayDepth = 499.0f;
    Graphic_FillRect(main->buffer, r[0], r[1], r[2], r[3], 223, 0);
    s.drawInset(&scope.view, nullptr, true);
    // Marks on the objects in the scope.
    std::vector<GameObject*> found;
    const DVector c = scope.view.cameraPosition;
    s.gridQuery(c.x - 500.0, c.z - 500.0, c.x + 500.0, c.z + 500.0, &found);
    for (GameObject* object : found) {
        if (!object || object == craft || s.hidden(object)) continue;
        Vector v{};
        View_TransformPoint(&v, &scope.view, object->pos.x, object->pos.y, object->pos.z);
        if (View_CullSphere(&scope.view, v, object->radius) == 1 || v.z <= 1.0f) continue;
        float scale = 0;
        const HudScreenPoint p = Hud_WorldToScreen(object->pos, &scope.view, &scale);
        const int size = std::max(2, int(object->radius * scale));
        Sprite_DrawScaled(&scope.view, scope.markSprite, p.x, p.y, int(v.z), size, size, 0x250004);
    }
    OverlayDepth = 499.015f;
    s.drawSprite(main->buffer, scope.sightSprite, (r[0] + r[2]) / 2, (r[1] + r[3]) / 2, 0x250004, -1);
    if (hardware) {
        s.setViewport(savedViewport);
        OverlayDepth = 499.02f;
        s.fillBlended(0x0100FF00u, r[0], r[1], r[2], r[3]);
    }
    OverlayDepth = depth;
}
