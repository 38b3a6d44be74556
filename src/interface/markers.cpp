// Unit and target markers: brackets, labels, range and health on the objects that matter, and
// carets at the screen edge for those off the screen.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "fun3d/gameobject.h"
#include "interface/combathud.h"
#include "interface/hudcolors.h"
#include "render/draw2d.h"
#include "render/graphicbuffer.h"
#include "render/sprite.h"
#include "weapons/weapon.h"

namespace {
const char* const kBaseNames[7] = {"object.W", "select.W", "target.W", "caret_u.W", "caret_l.W", "caret_r.W", "caret_d.W"};
const char* const kBarNames[3] = {"grnbar", "yelbar", "redbar"};
}  // namespace

UnitMarkers::UnitMarkers() { PlaceLayers(); }

void UnitMarkers::PlaceLayers() {
    for (int layer : {0, 2, 1, 7, 3}) SetLayer(layer, -1);
}

void UnitMarkers::Init() {
    for (int i = 0; i < 7; ++i) bases[i] = Sprite_Find(kBaseNames[i]);
    for (int i = 0; i < 3; ++i) bars[i] = Sprite_Find(kBarNames[i]);
}

void UnitMarkers::Start() {
    std::fill(std::begin(colourClass), std::end(colourClass), uint8_t{0});
    const struct {
        int a, b;
        uint8_t cls;
    } pairs[] = {{HudColors.green, HudColors.darkGreen, 1},
                 {HudColors.yellow, HudColors.darkYellow, 2},
                 {HudColors.red, HudColors.darkRed, 3},
                 {HudColors.blue, HudColors.darkBlue, 4}};
    for (const auto& p : pairs) {
        colourClass[p.a & 0xFF] = p.cls;
        colourClass[p.b & 0xFF] = p.cls;
    }
}

int Markers_PlaceOffScreen(int x, int y, int w, int h, bool behind, int* outX, int* outY) {
    const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0;
    const int right = w - 1, bottom = h - 1;
    if (!behind && x >= 0 && x <= right && y >= 0 && y <= bottom) return -1;
    double px = x, py = y;
    int caret = -1;
    // Up or down first, the other coordinate moved along the line from the centre.
    if (py < 0 || py > bottom) {
        const double edge = py < 0 ? 0.0 : double(bottom);
        px = cx + (px - cx) * (edge - cy) / (py - cy);
        py = edge;
        caret = edge == 0.0 ? kCaretUp : kCaretDown;
    }
    if (px < 0 || px > right) {
        const double edge = px < 0 ? 0.0 : double(right);
        if (caret < 0) {
            py = cy + (py - cy) * (edge - cx) / (px - cx);
            caret = edge == 0.0 ? kCaretLeft : kCaretRight;
        }
        px = edge;
    }
    if (caret < 0) caret = kCaretUp;  // behind the eye yet projected on the rectangle
    *outX = std::clamp(static_cast<int>(std::lround(px)), 0, right);
    *outY = std::clamp(static_cast<int>(std::lround(py)), 0, bottom);
    return caret;
}

void UnitMarkers::Draw() {
    CombatHudServices& s = CombatHud_Services();
    GraphicBuffer* buffer = Hud_Context().buffer;
    RenderView* view = s.view();
    GameObject* player = s.player();
    if (!buffer || !view) return;
    const int viewState = s.viewState();
    const int w = Graphic_ClipWidth(buffer), h = Graphic_ClipHeight(buffer);
    const int ox = buffer->clipLeft, oy = buffer->clipTop;
    const float now = s.time();
    const uint32_t target = player ? player->target : 0;
    for (GameObject* object : s.objects()) {
        if (!object || (object == player && viewState != 3)) continue;
        const bool selected = player && object->isSelected && (object == player || player->IsAlly(object) ||
                                                                object->team == player->team);
        const bool isTarget = target != 0 && object->GetObjHandle() == target;
        const bool marked = object->isObjective != 0;
        const bool hit = now - object->playerShot < 2.0f;
        const bool flagged = selected || isTarget || marked || hit;
        float scale = 0;
        Vector cam{};
        View_TransformPoint(&cam, view, object->pos.x, object->pos.y, object->pos.z);
        const bool behind = cam.z <= 1.0f;
        HudScreenPoint p = Hud_WorldToScreen(object->pos, view, &scale);
        int x = p.x - ox, y = p.y - oy;
        const int colour = s.shownTeam(object);
        const int cls = colourClass[colour & 0xFF];
        const bool onScreen = !behind && x >= 0 && x < w && y >= 0 && y < h;
        if (!flagged && !onScreen) continue;
        const int icon = s.iconSprite(object);
        if (!onScreen) {
            int ex = 0, ey = 0;
            const int caret = Markers_PlaceOffScreen(x, y, w, h, behind, &ex, &ey);
            static const uint32_t kCaretFlags[7] = {0, 0, 0, 0x210004, 0x240004, 0x260004, 0x290004};
            s.drawSprite(buffer, bases[caret] + cls, ex, ey, kCaretFlags[caret], -1);
            if (icon) {
                const int dx = caret == kCaretLeft ? 20 : caret == kCaretRight ? -20 : 0;
                const int dy = caret == kCaretUp ? 20 : caret == kCaretDown ? -20 : 0;
                s.drawSprite(buffer, icon, ex + dx, ey + dy, 0x250005, colour);
            }
            continue;
        }
        if (viewState == 3 && object->GetHealthRatio() > 0.0f) {
            const int level = std::clamp(static_cast<int>(std::lround(object->GetHealthRatio() * 15.0f)), 0, 15);
            const int shade = HudShadeTable[level][colour & 0xFF];
            const float size = object->radius * 2.0f * scale;
            const int half = size > 43.0f ? 24 : 2 + static_cast<int>(size / 2.0f);
            Graphic_DrawRect(buffer, x - half, y - half, x + half, y + half, shade, 0);
            const Vector f = object->entity ? object->entity->local.front : Vector{0, 0, 1};
            const Vector a{object->pos.x + f.x * object->radius, object->pos.y + f.y * object->radius,
                           object->pos.z + f.z * object->radius};
            const Vector b{a.x + f.x * 5.0f, a.y + f.y * 5.0f, a.z + f.z * 5.0f};
            const HudScreenPoint pa = Hud_WorldToScreen(a, view, nullptr), pb = Hud_WorldToScreen(b, view, nullptr);
            Graphic_DrawLine(buffer, pa.x - ox, pa.y - oy, pb.x - ox, pb.y - oy, shade, 0);
        }
        if (!flagged) continue;
        if (selected) s.drawSprite(buffer, bases[kMarkSelect] + cls, x, y, 0x250004, -1);
        if (isTarget || hit) s.drawSprite(buffer, bases[kMarkTarget] + cls, x, y, 0x250004, -1);
        if (marked) s.drawSprite(buffer, bases[kMarkObject] + cls, x, y, 0x250004, -1);
        // PENDING(12.106) the owning player's name above the icon in a network game.
        if ((isTarget || selected || marked) && icon) s.drawSprite(buffer, icon, x, y - 37, 0x290005, colour);
        const bool nearCentre = std::abs(x - w / 2) < w / 8 && std::abs(y - h / 2) < h / 4;
        if (player && (isTarget || selected || (marked && nearCentre))) {
            const double dx = object->pos.x - player->pos.x, dy = object->pos.y - player->pos.y,
                         dz = object->pos.z - player->pos.z;
            char text[32];
            std::snprintf(text, sizeof text, "%dm", static_cast<int>(std::sqrt(dx * dx + dy * dy + dz * dz)));
            s.drawText(buffer, x + 32, y + 37, text, colour, kSpriteRight);
        }
        if (isTarget || selected || hit) {
            const float fraction = std::clamp(object->GetHealthRatio(), 0.0f, 1.0f);
            const int bar = fraction < 0.25f ? bars[2] : fraction < 0.5f ? bars[1] : bars[0];
            int bw = 0, bh = 0;
            Sprite_GetSize(bar, &bw, &bh);
            const int32_t savedTop = buffer->clipTop;
            const int barTop = y - bh / 2;
            const int cut = static_cast<int>(std::lround((1.0f - fraction) * float(bh)));
            // Only the lower part of the bar: the clip top moves down for this draw.
            buffer->clipTop = std::max(buffer->clipTop, oy + barTop + cut);
            if (buffer->clipTop <= buffer->clipBottom)
                s.drawSprite(buffer, bar, x - 37 + ox - buffer->clipLeft, y + oy - buffer->clipTop, 0x260004, -1);
            buffer->clipTop = savedTop;
        }
        if (isTarget && player && (s.playerFlags() & 0x20u) && player->hardpoints) {
            for (Weapon* weapon : player->hardpoints->weapons) {
                if (!weapon) continue;
                Vector aimPoint{};
                weapon->GetAimPoint(&aimPoint, object);
                float k = 0;
                const HudScreenPoint q = Hud_WorldToScreen(aimPoint, view, &k);
                if (!(k > 1.0f)) continue;
                Graphic_DrawDiamond(buffer, q.x - ox, q.y - oy, 5, colour, 0);
                Graphic_DrawDiamond(buffer, q.x - ox, q.y - oy, 3, HudColors.white, 0);
            }
        }
    }
}
