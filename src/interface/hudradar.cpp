// The radar: a small tilted view around the player's craft with a dot relief of the terrain,
// blips with height stalks, own-unit icons, compass letters and the camera's field of view.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/seams/cockpit.h"
#include "fun3d/gameobject.h"
#include "interface/combathud.h"
#include "interface/hudcolors.h"
#include "render/draw2d.h"
#include "render/graphicbuffer.h"
#include "render/graphicdriver.h"
#include "render/sprite.h"

namespace {

constexpr float kTilt = 0.5235988f;  // 30 degrees

const char* const kIconNames[8] = {"circ_O", "circ_D", "circ_U", "circ_B", "circ_R", "circ_F", "circ_A", "circ_C"};
// Team slot ranges of the icons, in the order above.
const int kIconSlots[8][2] = {{5, 14}, {15, 24}, {25, 34}, {35, 44}, {1, 1}, {2, 2}, {3, 3}, {4, 4}};
const int kPingLevels[14] = {3, 9, 8, 7, 6, 5, 4, 3, 3, 3, 3, 3, 3, 3};

// The frame's screen: the display's drawing buffer once a step has set it, else the driver's.
GraphicBuffer* Screen() {
    if (Hud_Context().buffer) return Hud_Context().buffer;
    return Graphic_IsValid(&g_graphicDriver.screen) ? &g_graphicDriver.screen : nullptr;
}

bool RadarOn() { return Seam_Cockpit().hudIsOn() && Seam_Cockpit().radarIsOn(); }

}  // namespace

uint32_t Radar_IntervalFor(float averageMs, uint32_t current) {
    if (averageMs > 56.0f) return 200;
    if (averageMs < 40.0f) return 0;
    return current;
}

Radar::Radar() { PlaceLayers(); }

void Radar::PlaceLayers() {
    for (int layer : {0, 2, 1, 7, 3}) SetLayer(layer, 2);
}

void Radar::Layout(int H) {
    const int c = std::min(H, 480);
    radius = c * 110 / 480;
    centreX = c * 120 / 480;
    centreY = H - c * 80 / 480;
    frameDx = -112 * c / 480;
    frameDy = -46 * c / 480;
}

void Radar::Init() {
    frameLeft = Sprite_Find("radar_left");
    frameRight = Sprite_Find("radar_right");
    frame5 = Sprite_Find("radar5");
    frame6 = Sprite_Find("radar6");
    for (int i = 0; i < 8; ++i) icons[i] = Sprite_Find(kIconNames[i]);
    for (int i = 0; i < 10; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "circ_%d", (i + 1) % 10);
        numbers[i] = Sprite_Find(name);
    }
    for (int i = 0; i < 14; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "ping.%d", i);
        pings[i] = Sprite_Find(name);
    }
    const char* const letters[4] = {"compas_E", "compas_N", "compas_W", "compas_S"};
    for (int i = 0; i < 4; ++i) compass[i] = Sprite_Find(letters[i]);
    ping = 0;
    lastGrowl = -1e30f;
    interval = 200;
    lastRefresh = 0;
    relief.clear();
    reliefPending = 0;
}

void Radar::Start() {
    GraphicBuffer* buffer = Screen();
    Layout(buffer ? Graphic_ClipHeight(buffer) : 480);
    colours[0] = HudColors.red;
    colours[1] = HudColors.white;
    colours[2] = HudColors.yellow;
    colours[3] = HudColors.green;
    colours[4] = HudColors.red;
    colours[5] = HudColors.grey6;
    for (int i = 0; i < 14; ++i) pingColour[i] = HudShadeTable[kPingLevels[i]][HudColors.green & 0xFF];
}

void Radar::BuildFrame(const Vector& front) {
    float fx = front.x, fz = front.z;
    const float length = std::sqrt(fx * fx + fz * fz);
    if (length > 1e-6f) {
        fx /= length;
        fz /= length;
    } else {
        fx = 0.0f, fz = 1.0f;
    }
    const float c = std::cos(kTilt), s = std::sin(kTilt);
    rows[0] = Vector{fz, 0.0f, -fx};
    rows[1] = Vector{fx * s, c, fz * s};
    rows[2] = Vector{fx * c, -s, fz * c};
}

Vector Radar::ToRadar(const DVector& world) const {
    const double dx = world.x - position.x, dy = world.y - position.y, dz = world.z - position.z;
    return Vector{float(dx * rows[0].x + dy * rows[0].y + dz * rows[0].z), float(dx * rows[1].x + dy * rows[1].y + dz * rows[1].z),
                  float(dx * rows[2].x + dy * rows[2].y + dz * rows[2].z)};
}

HudScreenPoint Radar::Project(const Vector& p) const {
    const float s = float(radius) * 2000.0f / ((p.z + 2000.0f) * range);
    return HudScreenPoint{centreX + int(std::lround(s * p.x)), centreY - int(std::lround(s * p.y))};
}

void Radar::Update(float dt) {
    if (!RadarOn()) return;
    CombatHudServices& s = CombatHud_Services();
    player = s.player();
    if (!player) return;
    if (s.pingRequested(player)) {
        s.playSound("ping.wav");
        ping = 14.0f;
    }
    ping = std::max(0.0f, ping - 20.0f * dt);
    interval = Radar_IntervalFor(s.averageFrameMs(), interval);
    const uint32_t now = s.realMs();
    if (now - lastRefresh < interval) {
        reliefPending = 1;
        return;
    }
    lastRefresh = now;
    range = s.radarRange(player);
    rangeSq = range * range;
    team = player->team;
    position = DVector{player->pos.x, player->pos.y, player->pos.z};
    BuildFrame(player->entity ? player->entity->local.front : Vector{0, 0, 1});
    relief.clear();
    reliefPending = 1;
    // A craft without a positive range shows no radar.
    if (!(range > 0.0f)) return;
    GraphicBuffer* buffer = Screen();
    const int clipBottom = buffer ? Graphic_ClipHeight(buffer) - 1 : centreY + radius;
    const int i0 = int(std::floor((position.x - range) / 10.0)) & ~1, i1 = int(std::floor((position.x + range) / 10.0));
    const int k0 = int(std::floor((position.z - range) / 10.0)) & ~1, k1 = int(std::floor((position.z + range) / 10.0));
    relief.reserve(kRadarReliefMax);
    for (int k = k0; k <= k1; k += 2) {
        for (int i = i0; i <= i1; i += 2) {
            const double wx = i * 10.0, wz = k * 10.0;
            const double dx = wx - position.x, dz = wz - position.z;
            if (dx * dx + dz * dz > rangeSq) continue;
            const Vector p = ToRadar(DVector{wx, double(s.cellHeight(i, k)), wz});
            if (!(p.z + 2000.0f > 0.0f)) continue;
            HudScreenPoint q = Project(p);
            q.y = std::min(q.y, clipBottom);
            relief.push_back(Point{int16_t(q.x), int16_t(q.y)});
            // The relief holds a bounded number of points; a long range stops filling there.
            if (relief.size() >= size_t(kRadarReliefMax)) return;
        }
    }
}

void Radar::Draw() {
    if (!RadarOn()) return;
    CombatHudServices& s = CombatHud_Services();
    GraphicBuffer* buffer = Screen();
    drawn.clear();
    chevrons = 0;
    player = s.player();
    if (!buffer || !player || !(range > 0.0f)) return;
    RenderView* view = s.view();
    // Field of view.
    if (view) {
        const Matrix& m = view->viewMatrix;
        const Vector f{m.right.z, m.up.z, m.front.z}, r{m.right.x, m.up.x, m.front.x};
        const float half = view->fieldOfView / 2.0f, c = std::cos(half), sn = std::sin(half);
        for (int side : {-1, 1}) {
            const Vector d{f.x * c + side * r.x * sn, f.y * c + side * r.y * sn, f.z * c + side * r.z * sn};
            const HudScreenPoint q = Project(ToRadar(
                DVector{position.x + d.x * range, position.y + d.y * range, position.z + d.z * range}));
            Graphic_DrawLine(buffer, centreX, centreY, q.x, q.y, 10, 4);
        }
    }
    // Compass letters.
    const double dirs[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    for (int i = 0; i < 4; ++i) {
        const HudScreenPoint q =
            Project(ToRadar(DVector{position.x + dirs[i][0] * range, position.y, position.z + dirs[i][1] * range}));
        s.drawSprite(buffer, compass[i], q.x, q.y, 0x250001, -1);
    }
    // Candidates, far to near.
    struct Blip {
        GameObject* object;
        int64_t key;
        Vector p;
        bool inRange;
    };
    std::vector<Blip> blips;
    for (GameObject* object : s.objects()) {
        if (!object || !(object->GetHealthRatio() > 0.0f)) continue;
        const double dx = object->pos.x - position.x, dz = object->pos.z - position.z;
        const bool inRange = dx * dx + dz * dz <= double(rangeSq);
        const int kind = s.classKind(object);
        const bool own = object->team == team;
        if (!own && !s.radarVisible(object)) continue;
        if (!(own || kind == 6 || kind == 1 || inRange)) continue;
        const Vector p = ToRadar(DVector{object->pos.x, object->pos.y, object->pos.z});
        blips.push_back(Blip{object, std::llround(double(p.z) * 65536.0), p, inRange});
    }
    std::stable_sort(blips.begin(), blips.end(), [](const Blip& a, const Blip& b) { return a.key > b.key; });
    const float now = s.time();
    const bool blink = (s.frameCounter() & 0x80u) != 0;
    const uint32_t target = player->target;
    for (const Blip& b : blips) {
        GameObject* object = b.object;
        const bool own = object->team == team;
        const bool recentlyHit = own && now - object->enemyShot < 2.0f;
        int colour;
        if (recentlyHit) {
            colour = blink ? colours[0] : HudColors.black;
        } else {
            const int level = std::clamp(int(std::lround(object->GetHealthRatio() * 15.0f)), 0, 15);
            colour = HudShadeTable[level][s.shownTeam(object) & 0xFF];
        }
        if (own && object != player && object->enemyShot > lastGrowl) {
            s.playSound("cgrowl.wav");
            lastGrowl = object->enemyShot + 1.0f;
        }
        HudScreenPoint q;
        if (b.inRange) {
            q = Project(b.p);
            const float ground = s.terrainHeight(object->pos.x, object->pos.z);
            const HudScreenPoint g = Project(ToRadar(DVector{object->pos.x, ground, object->pos.z}));
            if (std::abs(g.x - q.x) > 2 || std::abs(g.y - q.y) > 2) {
                const float depth = OverlayDepth;
                OverlayDepth = depth + 0.005f;
                Graphic_DrawLine(buffer, q.x, q.y, g.x, g.y, HudColors.white, 0);
                OverlayDepth = depth;
            }
        } else {
            // The edge in the object's direction.
            const double dx = object->pos.x - position.x, dz = object->pos.z - position.z;
            const double scale = double(range) / std::sqrt(dx * dx + dz * dz);
            q = Project(ToRadar(DVector{position.x + dx * scale, position.y, position.z + dz * scale}));
        }
        drawn.push_back(object);
        if (object == player) {
            const int frame = std::clamp(int(ping), 0, 13);
            s.drawSprite(buffer, pings[frame], q.x, q.y, 0x250004, pingColour[frame]);
        } else if (b.inRange) {
            // PENDING(9.121) the ties to the command menu's rows (connector lines and numbers).
            const int slot = object->teamSlot;
            if (own && slot >= 1 && slot <= 44) {
                for (int i = 0; i < 8; ++i)
                    if (slot >= kIconSlots[i][0] && slot <= kIconSlots[i][1])
                        s.drawSprite(buffer, icons[i], q.x, q.y, 0x250005, recentlyHit ? colours[0] : colours[3]);
            } else {
                const int kind = s.classKind(object);
                const int half = (kind == 3 || kind == 4 || kind == 5 || kind == 7) ? 1 : 2;
                Graphic_FillRect(buffer, q.x - half, q.y - half, q.x + half, q.y + half, colour, 0);
            }
        } else {
            ++chevrons;
            const double dx = object->pos.x - position.x, dz = object->pos.z - position.z;
            const double angle = std::atan2(dz, dx);
            for (double turn : {0.05, -0.05}) {
                const double a = angle + turn, reach = 0.925 * range;
                const HudScreenPoint e = Project(
                    ToRadar(DVector{position.x + std::cos(a) * reach, position.y, position.z + std::sin(a) * reach}));
                Graphic_DrawLine(buffer, q.x, q.y, e.x, e.y, colour, 0);
            }
        }
        if (object->isSelected || (target && object->GetObjHandle() == target))
            Graphic_DrawDiamond(buffer, q.x, q.y, 6, colour, 0);
    }
}

void Radar_DrawFrame() {
    Radar& radar = Radar_Instance();
    CombatHudServices& s = CombatHud_Services();
    GraphicBuffer* buffer = Screen();
    if (!buffer) return;
    const int W = Graphic_ClipWidth(buffer);
    radar.Layout(Graphic_ClipHeight(buffer));
    if (s.hardware()) {
        const float depth = OverlayDepth;
        OverlayDepth = depth + 0.015f;
        s.drawSprite(buffer, radar.frameLeft, radar.centreX, radar.centreY + 10, 0x60001, -1);
        s.drawSprite(buffer, radar.frameRight, radar.centreX - 1, radar.centreY + 10, 0x140001, -1);
        OverlayDepth = depth;
    } else if (W > 400) {
        s.drawSprite(buffer, W <= 512 ? radar.frame5 : radar.frame6, radar.centreX + radar.frameDx,
                     radar.centreY + radar.frameDy, 1, -1);
    }
}

void Radar_DrawSweep() {
    Radar& radar = Radar_Instance();
    if (!radar.reliefPending) return;
    GraphicBuffer* buffer = Screen();
    if (buffer) {
        const float depth = OverlayDepth;
        OverlayDepth = depth + 0.01f;
        const int colour = HudColors.darkGreen;
        const int w = Graphic_ClipWidth(buffer), h = Graphic_ClipHeight(buffer);
        for (const Radar::Point& p : radar.relief)
            if (p.x >= 0 && p.x < w && p.y >= 0 && p.y < h) Graphic_FillRect(buffer, p.x, p.y, p.x, p.y, colour, 0);
        OverlayDepth = depth;
    }
    radar.reliefPending = 0;
}
