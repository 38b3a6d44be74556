// The status panel, the target picker and the target inset.
#include <cmath>
#include <cstdio>

#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "fun3d/gameobject.h"
#include "interface/camera.h"
#include "interface/combathud.h"
#include "interface/hudcolors.h"
#include "render/display.h"
#include "render/draw2d.h"
#include "render/graphicbuffer.h"
#include "render/sprite.h"

namespace {

const char* const kKindIconNames[5] = {"weapon_*", "weapon_C", "weapon_R", "weapon_M", "weapon_S"};

// A fill with the 2-D depth raised for it (the hardware twins order by depth).
void FillRaised(GraphicBuffer* buffer, int l, int t, int r, int b, int colour, float raise) {
    const float depth = OverlayDepth;
    OverlayDepth = depth + raise;
    Graphic_FillRect(buffer, l, t, r, b, colour, 0);
    OverlayDepth = depth;
}

GameObject* TargetOf(GameObject* craft) { return craft->target ? GameObject::FromHandle(craft->target) : nullptr; }

}  // namespace

int32_t StatusPanel_ShotCost(uint32_t signature, bool hasOrdnance, int32_t launcherCost, int32_t ownCost,
                             int32_t ordnanceCost) {
    auto sig = [](const char* t) {
        return uint32_t(uint8_t(t[0])) << 24 | uint32_t(uint8_t(t[1])) << 16 | uint32_t(uint8_t(t[2])) << 8 | uint8_t(t[3]);
    };
    if (signature == sig("DISP") || signature == sig("RDRL")) return hasOrdnance ? launcherCost : 0;
    if (signature == sig("IREF") || signature == sig("RDMP") || signature == sig("TRXP")) return ownCost;
    return hasOrdnance ? ordnanceCost : 0;
}

int StatusPanel_HullColour(float ratio) {
    if (ratio >= 0.5f) return HudColors.green;
    if (ratio >= 0.25f) return HudColors.yellow;
    if (ratio >= 0.0f) return HudColors.red;
    return HudColors.black;
}

// ---- status panel ---------------------------------------------------------------------------

StatusPanel::StatusPanel() { PlaceLayers(); }

void StatusPanel::PlaceLayers() {
    for (int layer : {0, 2, 1, 7}) SetLayer(layer, 1);
}

void StatusPanel::Init() {
    statusLeft = Sprite_Find("status_left");
    statusRight = Sprite_Find("status_right");
    hullIcon = Sprite_Find("hull");
    hullBar = Sprite_Find("hull_bar");
    ammoIcon = Sprite_Find("ammo");
    ammoBar = Sprite_Find("ammo_bar");
    for (int i = 0; i < 5; ++i) kindIcons[i] = Sprite_Find(kKindIconNames[i]);
    hullShown = ammoShown = 0.0f;
    hullWarned = ammoWarned = 0;
}

void StatusPanel::Update(float dt) {
    GameObject* craft = CombatHud_Services().player();
    if (!craft) return;
    const float t = 2.0f * dt;
    hullShown = Math_LerpClamped(hullShown, craft->GetHealthRatio(), t);
    ammoShown = Math_LerpClamped(ammoShown, craft->GetAmmoRatio(), t);
}

void StatusPanel::Draw() {
    CombatHudServices& s = CombatHud_Services();
    GameObject* craft = s.player();
    GraphicBuffer* buffer = Hud_Context().buffer;
    if (!craft || !buffer) return;
    const int W = Graphic_ClipWidth(buffer), H = Graphic_ClipHeight(buffer);
    const int X0 = W - 181, Y0 = H - 93;
    const bool wide = W > 400;
    HardpointList* hp = craft->hardpoints;
    volleyCost = 0;
    shortMask = 0;
    const uint32_t selected = hp ? hp->selected : 0, enabled = hp ? hp->enabled : 0;
    for (int i = 0; i < 5; ++i) {
        const int o = 12 * i;
        if (wide) FillRaised(buffer, W - 117, Y0 + 25 + o, W - 16, Y0 + 35 + o, HudColors.black, 0.001f);
        int kindIcon = 0, classIcon = 0;
        int32_t cost = 0;
        if (hp) {
            const int kind = s.hardpointKind(hp->hardpoints[i]);
            if (kind >= 70 && kind <= 74) kindIcon = kindIcons[kind - 70];
            Weapon* weapon = (hp->present >> i) & 1u ? hp->weapons[i] : nullptr;
            if (weapon) {
                classIcon = s.weaponIcon(weapon);
                cost = s.shotCost(weapon);
            }
        }
        if (craft->curAmmo < cost) shortMask |= 1u << i;
        const bool ready = ((enabled >> i) & 1u) && !((shortMask >> i) & 1u);
        int colour;
        if ((selected >> i) & 1u) {
            volleyCost += cost;
            colour = ready ? HudColors.yellow : HudColors.white;
        } else {
            colour = ready ? HudColors.green : HudColors.grey6;
        }
        mountColour[i] = colour;
        if (kindIcon) s.drawSprite(buffer, kindIcon, W - 115, Y0 + 27 + o, 5, colour);
        if (classIcon) s.drawSprite(buffer, classIcon, W - 104, Y0 + 26 + o, 5, colour);
    }
    // Spoken warnings sound once when their condition begins.
    const uint8_t allShort = shortMask != 0 && shortMask == enabled;
    if (allShort && !ammoWarned) s.reportCraft(craft, kVoiceOutOfAmmo);
    ammoWarned = allShort;
    const uint8_t hullLow = craft->GetHealthRatio() < 0.25f;
    if (hullLow && !hullWarned) s.reportPanel(craft, kVoiceHullCritical);
    hullWarned = hullLow;

    if (wide) {
        const float depth = OverlayDepth;
        OverlayDepth = depth + 0.001f;
        int lw = 0, lh = 0;
        Sprite_GetSize(statusLeft, &lw, &lh);
        s.drawSprite(buffer, statusLeft, X0, Y0, 1, -1);
        s.drawSprite(buffer, statusRight, X0 + lw, Y0, 1, -1);
        OverlayDepth = depth;
    }
    const int32_t savedClip[4] = {buffer->clipLeft, buffer->clipTop, buffer->clipRight, buffer->clipBottom};
    const int ox = buffer->clipLeft, oy = buffer->clipTop;
    auto gauge = [&](int icon, int iconX, uint32_t iconFlags, int bar, int left, int right, float shown, uint32_t barFlags,
                     int colour) {
        s.drawSprite(buffer, icon, X0 + iconX, Y0 + 7, iconFlags, colour);
        const int k = static_cast<int>(std::lround(58.0 * (1.0 - double(shown))));
        if (Graphic_SetClipRect(buffer, ox + left, oy + Y0 + 17 + k, ox + right, oy + Y0 + 74) >= 0)
            s.drawSprite(buffer, bar, 0, -k, barFlags, colour);
        buffer->clipLeft = savedClip[0];
        buffer->clipTop = savedClip[1];
        buffer->clipRight = savedClip[2];
        buffer->clipBottom = savedClip[3];
    };
    gauge(hullIcon, 35, 0x20005, hullBar, X0 + 5, X0 + 35, hullShown, 0x200005, StatusPanel_HullColour(hullShown));
    gauge(ammoIcon, 42, 5, ammoBar, X0 + 42, X0 + 55, ammoShown, 0x200001, HudColors.blue);
    if (volleyCost > 0) {
        char text[24];
        std::snprintf(text, sizeof text, "%4d", static_cast<int>(craft->curAmmo / volleyCost));
        // The Japanese font's digits sit lower and further in.
        const bool japanese = s.japanese();
        s.drawText(buffer, W - 116 + (japanese ? 22 : 0), Y0 + 7 + (japanese ? 4 : 0), text, HudColors.white, 0);
    }
    const float f = craft->maxAmmo != 0 ? float(volleyCost) / float(craft->maxAmmo) : 0.0f;
    const float d = ammoShown - f;
    if (d > 0.0f) {
        const int y = static_cast<int>(std::lround(double(Y0) + 74.0 - 56.0 * double(d)));
        Graphic_FillRect(buffer, X0 + 50, y, X0 + 55, y, HudColors.white, 0);
        Graphic_FillRect(buffer, X0 + 52, y + 1, X0 + 55, y + 1, HudColors.white, 0);
        Graphic_FillRect(buffer, X0 + 54, y + 2, X0 + 55, y + 2, HudColors.white, 0);
    }
}

// ---- target picker ----------------------------------------------------------------------------

TargetPicker::TargetPicker() { PlaceLayers(); }

void TargetPicker::PlaceLayers() {
    for (int layer : {0, 2, 1, 3, 7}) SetLayer(layer, -2);
}

GameObject* TargetPicker_BestAhead(GameObject* craft) {
    CombatHudServices& s = CombatHud_Services();
    const float R = s.targetingRange(craft);
    RenderView* view = s.view();
    if (!view || R <= 0.0f) return nullptr;
    // The camera's forward axis and position: the inverse of the world-to-view matrix.
    const Matrix& m = view->viewMatrix;
    const Vector F{m.right.z, m.up.z, m.front.z};
    const DVector C = view->cameraPosition;
    const double cx = C.x + F.x * R / 2, cz = C.z + F.z * R / 2;
    std::vector<GameObject*> found;
    s.gridQuery(cx - R / 2, cz - R / 2, cx + R / 2, cz + R / 2, &found);
    const Vector P = craft->pos;
    GameObject* best = nullptr;
    double bestScore = 0.0;
    for (GameObject* object : found) {
        if (!object || object == craft) continue;
        if (object->entity && (object->entity->flags & 0x201u)) continue;
        const int category = object->objClass ? object->objClass->category : -1;
        if (category != 1 && category != 2 && category != 6) continue;
        const Vector d{object->pos.x - P.x, object->pos.y - P.y, object->pos.z - P.z};
        if (craft->IsEnemy(object) && s.sensorActive(object)) {
            float t = 1.0f;
            if (s.terrainRay(DVector{P.x, P.y, P.z}, d, &t) && t < 1.0f) continue;
        }
        const double sd = double(d.x) * F.x + double(d.y) * F.y + double(d.z) * F.z;
        if (sd < 0.0) continue;
        const double q = double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z;
        if (q > double(R) * R || q <= 0.0) continue;
        const double r = 0.75 * object->radius;
        if (q - sd * sd > r * r && q / 2 > sd * sd) continue;
        const double score = std::pow(sd * sd / q, 32.0);
        if (score > bestScore) {
            bestScore = score;
            best = object;
        }
    }
    return best;
}

void TargetPicker::Update(float) {
    CombatHudServices& s = CombatHud_Services();
    GameObject* craft = s.player();
    if (!craft) return;
    GameObject* T = TargetOf(craft);
    GameObject* result = nullptr;
    if (s.frontalTarget()) {
        result = T ? nullptr : TargetPicker_BestAhead(craft);
    } else if (s.cycleBeacon()) {
        int start = 35, end = 44;
        const bool inRange = T && T->teamSlot >= 35 && T->teamSlot <= 44;
        if (inRange) start = T->teamSlot + 1;
        for (int i = 0; i < 10 && !result; ++i) {
            int slot = start + i;
            if (slot > end) slot -= 10;
            if (!inRange && slot > 44) break;
            result = s.teamSlot(slot);
        }
    } else if (T) {
        result = T;
        if (T->entity && (T->entity->flags & 0x201u)) {
            result = nullptr;
        } else if (!craft->IsAlly(T)) {
            const double dx = T->pos.x - craft->pos.x, dy = T->pos.y - craft->pos.y, dz = T->pos.z - craft->pos.z;
            const double R = s.targetingRange(craft);
            if (dx * dx + dy * dy + dz * dz > R * R) result = nullptr;
        }
    }
    craft->SetTarget(result);
    int32_t k = s.commandKindForObject(result);
    if (k == 1) k = 0;
    CommandMenu_SetSecondary(k, result, result ? &result->pos : nullptr);
}

// ---- target view --------------------------------------------------------------------------------

TargetView::TargetView() { PlaceLayers(); }

void TargetView::PlaceLayers() {
    for (int layer : {0, 2, 1, 7}) SetLayer(layer, 0);
}

void TargetView::Init() {
    // The view is built on the screen buffer at the first draw (the window follows the screen).
    view = RenderView{};
    target = nullptr;
    targetHandle = 0;
    eyePart = nullptr;
    pending = 0;
}

void TargetView::Update(float) { pending = 1; }
void TargetView::Draw() { TargetView_Render(); }

void TargetView_Render() {
    TargetView& tv = TargetView_Instance();
    if (!tv.pending) return;
    tv.pending = 0;
    CombatHudServices& s = CombatHud_Services();
    GameObject* craft = s.player();
    RenderView* main = s.view();
    if (!craft || !main || !main->buffer) return;
    GameObject* target = TargetOf(craft);
    // The eye part is looked up once per target; a new object in the same pool slot is a new
    // target, so the handle decides, never the address.
    const uint32_t handle = target ? target->GetObjHandle() : 0;
    if (target != tv.target || handle != tv.targetHandle) {
        tv.target = target;
        tv.targetHandle = handle;
        tv.eyePart = target && target->entity ? Entity_FindType(target->entity, kTypeCockpitPart) : nullptr;
    }
    if (!target) return;
    GraphicBuffer* buffer = main->buffer;
    const int W = Graphic_ClipWidth(buffer), H = Graphic_ClipHeight(buffer);
    const int left = 3 * W / 4 - 10, right = W - 11, bottom = H / 4 + 10;
    tv.frameLeft = left;
    tv.frameTop = 10;
    tv.frameRight = right;
    tv.frameBottom = bottom;
    if (tv.view.buffer != buffer || int(tv.view.windowLeft) != left || int(tv.view.windowTop) != 10 ||
        int(tv.view.windowRight) != right + 1 || int(tv.view.windowBottom) != bottom + 1) {
        View_Init(&tv.view, buffer, 0.87266463f, 1.0f, 250.0f, 1.0f);
        View_SetWindow(&tv.view, left, 10, right + 1, bottom + 1);
    }
    const float depth = OverlayDepth;
    OverlayDepth = 249.0f;
    Graphic_FillRect(buffer, left - 2, 8, right + 2, 9, HudColors.black, 0);
    Graphic_FillRect(buffer, left - 2, 10, left - 1, bottom, HudColors.black, 0);
    Graphic_FillRect(buffer, right + 1, 10, right + 2, bottom, HudColors.black, 0);
    Graphic_FillRect(buffer, left - 2, bottom + 1, right + 2, bottom + 2, HudColors.black, 0);
    // What draws only into the main view leaves the inset alone while this mark is set.
    Render_SetDrawingInset(true);
    // The hardware driver draws the inset's world through a viewport of its own.
    const bool hardware = s.hardware();
    int savedViewport[4] = {};
    if (hardware) {
        s.getViewport(savedViewport);
        const int inset[4] = {left, 10, right - left + 1, bottom - 9};
        s.setViewport(inset);
    }
    const bool allied = craft->IsAlly(target);
    Matrix camera{};
    if (allied && tv.eyePart) {
        // Seen from the target's own eye.
        Entity_GetTransformTo(camera, tv.eyePart, nullptr);
    } else if (allied && target->entity) {
        Entity_GetTransformTo(camera, target->entity, nullptr);
    } else {
        const Vector P = craft->pos, T = target->pos;
        Vector front{T.x - P.x, T.y - P.y, T.z - P.z};
        float len = std::sqrt(front.x * front.x + front.y * front.y + front.z * front.z);
        if (len < 1e-6f) front = Vector{0, 0, 1}, len = 1.0f;
        front = Vector{front.x / len, front.y / len, front.z / len};
        Vector up0 = craft->entity ? craft->entity->local.up : Vector{0, 1, 0};
        Vector right{up0.y * front.z - up0.z * front.y, up0.z * front.x - up0.x * front.z, up0.x * front.y - up0.y * front.x};
        float rl = std::sqrt(right.x * right.x + right.y * right.y + right.z * right.z);
        if (rl < 1e-6f) right = Vector{1, 0, 0}, rl = 1.0f;
        right = Vector{right.x / rl, right.y / rl, right.z / rl};
        Vector up{front.y * right.z - front.z * right.y, front.z * right.x - front.x * right.z,
                  front.x * right.y - front.y * right.x};
        camera.right = right;
        camera.up = up;
        camera.front = front;
        const double r = 2.0 * target->radius;
        camera.posit = DVector{T.x - r * front.x, T.y - r * front.y, T.z - r * front.z};
    }
    View_SetCameraMatrix(&tv.view, camera);
    // The main view's halved lines end here (its queue is drawn); the inset takes its own.
    Render_LineDoublingRestore();
    View_SetLineDouble(&tv.view, 1);
    OverlayDepth = 248.0f;
    if (Render_LineDoublingActive()) Graphic_FillRect(buffer, left, 5, right, bottom / 2, 223, 0);
    else Graphic_FillRect(buffer, left, 10, right, bottom, 223, 0);
    s.drawInset(&tv.view, target, allied);
    View_SetLineDouble(&tv.view, 0);
    const int label = s.iconSprite(target);
    OverlayDepth = depth;
    if (label) s.drawSprite(buffer, label, left + 2, 11, 5, s.shownTeam(target));
    if (hardware) {
        s.setViewport(savedViewport);
        OverlayDepth = depth + 0.01f;
        s.fillBlended(0x0100FF00u, left - 2, 8, right + 2, bottom + 2);
        OverlayDepth = depth;
    }
    Render_SetDrawingInset(false);
}
