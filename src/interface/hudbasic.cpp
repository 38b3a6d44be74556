#include "interface/hudbasic.h"
#include "interface/lockdisplay.h"

#include "interface/combathud.h"

#include <cmath>
#include <cstring>

#include "core/clock.h"
#include "core/fieldarchive.h"
#include "core/seams/net.h"
#include "core/seams/render.h"
#include "interface/gamekeys.h"
#include "interface/lensflare.h"
#include "interface/resourcepanel.h"
#include "render/d3dbatch.h"
#include "render/draw2d.h"
#include "render/graphicdriver.h"
#include "render/palette.h"
#include "render/sprite.h"
#include "render/view.h"

// ---- screen tint ----------------------------------------------------------------------------

namespace {

ScreenTintServices MakeTintServices() {
    ScreenTintServices s{};
    s.hardware = [] { return g_graphicDriver.driverKind == kDriverHardware; };
    s.frameTime = Clock_GetFrameTime;
    s.fillHardware = [](uint32_t argb, int left, int top, int right, int bottom) {
        RenderSeam& render = Seam_Render();
        const float depth = render.getDepthBias();
        render.setDepthBias(0.1f);
        D3D_FillRect(argb, float(left), float(top), float(right + 1), float(bottom + 1), true);
        render.setDepthBias(depth);
    };
    s.palette = [] { return static_cast<const uint8_t*>(g_graphicDriver.palette); };
    s.showPalette = [](uint8_t* rgb) {
        Palette_ApplyGamma(rgb, 0, 256, 0);
        if (g_graphicDriver.ApplyPalette) g_graphicDriver.ApplyPalette(&g_graphicDriver, rgb);
    };
    return s;
}
ScreenTintServices g_tintServices = MakeTintServices();

// 0 at or below 0, 224 above 1, else round(value x 224).
int Part(float value) {
    if (value <= 0) return 0;
    if (value > 1) return 224;
    return static_cast<int>(std::lround(value * 224.0f));
}

}  // namespace

ScreenTintServices& ScreenTint_Services() { return g_tintServices; }

ScreenTint::ScreenTint() { PlaceLayers(); }

void ScreenTint::PlaceLayers() {
    for (int layer = 0; layer <= 8; ++layer) SetLayer(layer, 5);
}

void ScreenTint::Start() {
    white = 0;
    level = 0;
}

void ScreenTint::Flash(float amount, float newRate, int red, int green, int blue) {
    level += amount;
    rate = newRate;
    colour[0] = static_cast<uint8_t>(red);
    colour[1] = static_cast<uint8_t>(green);
    colour[2] = static_cast<uint8_t>(blue);
}

void ScreenTint::AddLevel(float amount) { white += amount; }

void ScreenTint::Reset() {
    level = 0;
    rate = 0;
    colour[0] = colour[1] = colour[2] = 0;
}

int ScreenTint_Alpha(int white, int tint) { return white + tint - white * tint / 255; }

void ScreenTint_TintPalette(uint8_t* rgb, int white, int tint, const uint8_t colour[3]) {
    for (int i = 0; i < 768; ++i) {
        int x = rgb[i];
        if (white > 0) x += ((255 - x) * white) / 256;
        if (tint > 0) x += ((colour[i % 3] - x) * tint) / 256;
        rgb[i] = static_cast<uint8_t>(x);
    }
}

void ScreenTint::Draw() {
    const float dt = g_tintServices.frameTime();
    const int w = Part(white);
    white = 0;  // a flash lasts one frame
    const int t = Part(level);
    if (level > 0) {
        level -= dt * level * rate;
        if (level < 0.01f) level = 0;
    }
    lastWhite = w;
    lastTint = t;
    if (g_tintServices.hardware()) {
        const int a = ScreenTint_Alpha(w, t);
        const GraphicBuffer* buffer = Hud_Context().buffer;
        if (a <= 0 || !buffer) return;
        uint32_t argb = uint32_t(a) << 24;
        for (int c = 0; c < 3; ++c) {
            const int channel = (t * colour[c] + w * (255 - t)) / a;
            argb |= uint32_t(channel & 0xFF) << (16 - 8 * c);
        }
        g_tintServices.fillHardware(argb, buffer->clipLeft, buffer->clipTop, buffer->clipRight, buffer->clipBottom);
        return;
    }
    // The palette is shown every frame, so a faded tint leaves the plain palette behind.
    const uint8_t* current = g_tintServices.palette();
    if (!current) return;
    uint8_t rgb[768];
    std::memcpy(rgb, current, sizeof rgb);
    ScreenTint_TintPalette(rgb, w, t, colour);
    g_tintServices.showPalette(rgb);
}

// ---- mission timer --------------------------------------------------------------------------

namespace {
constexpr int kTimerDrawLayers[] = {0, 2, 1, 7, 3};
}

MissionTimer::MissionTimer() { PlaceLayers(); }

void MissionTimer::PlaceLayers() {
    for (int layer = 0; layer <= 8; ++layer) AddToUpdateLayer(layer, 0);
}

void MissionTimer::Init() {
    labelSprite = Sprite_Find("Mission Time");
    digitSprites[0] = Sprite_Find("bignum_G.0");
    digitSprites[1] = Sprite_Find("bignum_Y.0");
    digitSprites[2] = Sprite_Find("bignum_R.0");
    // A timer still shown from a mission whose teardown never ran would be listed twice at its
    // next show: leave the draw lists first.
    for (int layer : kTimerDrawLayers) RemoveFromLayer(layer);
    frac = 0;
    timer = 0;
    warn = alert = INT32_MIN;
    countdown = 1;
    active = 0;
    show = 0;
}

void MissionTimer::Show() {
    if (show) return;
    show = 1;
    for (int layer : kTimerDrawLayers) AddToLayer(layer, 0);
}

void MissionTimer::Hide() {
    if (!show) return;
    show = 0;
    for (int layer : kTimerDrawLayers) RemoveFromLayer(layer);
}

void MissionTimer::Start() {
    if (!show) return;
    // A loaded game: list the restored clock again.
    show = 0;
    Show();
}

void MissionTimer::End() {
    active = 0;
    Hide();
}

void MissionTimer::Update(float dt) {
    if (!active) return;
    frac -= dt;
    if (frac >= 0) return;
    frac += 1.0f;
    if (countdown) {
        timer -= 1;
        if (timer == 0) active = 0;  // stops on 0; a start at 0 or below runs on
    } else {
        timer += 1;
    }
}

bool MissionTimer::Save(FILE* stream) const {
    return Field_WriteFloat(stream, &frac, sizeof frac, "frac") &&
           Field_WriteLong(stream, &timer, sizeof timer, "timer") &&
           Field_WriteLong(stream, &warn, sizeof warn, "warn") &&
           Field_WriteLong(stream, &alert, sizeof alert, "alert") &&
           Field_WriteBool(stream, &countdown, sizeof countdown, "countdown") &&
           Field_WriteBool(stream, &active, sizeof active, "active") &&
           Field_WriteBool(stream, &show, sizeof show, "show");
}

bool MissionTimer::Load() {
    const bool ok = Field_ReadFloat("frac", &frac, sizeof frac) && Field_ReadLong("timer", &timer, sizeof timer) &&
                    Field_ReadLong("warn", &warn, sizeof warn) && Field_ReadLong("alert", &alert, sizeof alert) &&
                    Field_ReadBool("countdown", &countdown, sizeof countdown) &&
                    Field_ReadBool("active", &active, sizeof active) && Field_ReadBool("show", &show, sizeof show);
    // A damaged remainder would move the clock a second every frame: keep it within one second.
    if (!(frac >= 0.0f)) frac = 0.0f;
    if (frac > 1.0f) frac = 1.0f;
    return ok;
}

int MissionTimer::ColourSet() const {
    if (countdown) return timer > warn ? 0 : timer > alert ? 1 : 2;
    return timer < warn ? 0 : timer < alert ? 1 : 2;
}

void MissionTimer::Digits(int out[4]) const {
    const int32_t t = timer;
    if (t <= 0) {
        out[0] = out[1] = out[2] = out[3] = 0;
        return;
    }
    out[0] = (t / 600) % 6;
    out[1] = (t / 60) % 10;
    out[2] = (t / 10) % 6;
    out[3] = t % 10;
}

void MissionTimer::Draw() {
    GraphicBuffer* buffer = Hud_Context().buffer;
    if (!buffer) return;
    const int base = digitSprites[ColourSet()];
    int digits[4];
    Digits(digits);
    const int screenWidth = Graphic_ClipWidth(buffer);
    int g = 0, h = 0, c = 0, ch = 0, m = 0, mh = 0;
    Sprite_GetSize(base, &g, &h);
    Sprite_GetSize(base + 10, &c, &ch);
    Sprite_GetSize(labelSprite, &m, &mh);
    const int x = (screenWidth - c - 4 * g - 9) / 2;
    if (screenWidth > 400) {
        RenderSeam& render = Seam_Render();
        const float depth = render.getDepthBias();
        render.setDepthBias(depth + 0.01f);
        Graphic_FillRect(buffer, x - 2, 8, x + c + 4 * g + 11, h + 22, 0, 0);
        render.setDepthBias(depth);
    }
    Sprite_Draw(buffer, labelSprite, (screenWidth - m) / 2, 10, 1);
    Sprite_Draw(buffer, base + digits[0], x, 20, 4);
    Sprite_Draw(buffer, base + digits[1], x + g + 2, 20, 4);
    const int xc = x + 2 * g + 4;
    Sprite_Draw(buffer, base + 10, xc, 20 + h / 4, 4 | kSpriteCentreY);
    Sprite_Draw(buffer, base + 10, xc, 20 + 3 * h / 4, 4 | kSpriteCentreY);
    Sprite_Draw(buffer, base + digits[2], xc + c + 3, 20, 4);
    Sprite_Draw(buffer, base + digits[3], xc + c + g + 5, 20, 4);
}

// ---- the instances --------------------------------------------------------------------------

namespace {
MissionTimer* g_timer = nullptr;
ScreenTint* g_tint = nullptr;
LensFlare* g_flare = nullptr;
void (*g_tuningListMaker)() = nullptr;
}  // namespace

void Hud_SetTuningListMaker(void (*make)()) { g_tuningListMaker = make; }

void Hud_CreateElements() {
    if (g_timer) return;
    // The display-element table's order: radar and markers, the timer, the tint, the developer
    // tools' tuning list, the counters, the cockpit gauges and the scope, then the lens flare.
    CombatHud_CreateFirst();
    static MissionTimer timer;
    static ScreenTint tint;
    static ResourcePanel counters;
    g_timer = &timer;
    g_tint = &tint;
    if (g_tuningListMaker) g_tuningListMaker();
    ResourcePanel_Register(&counters);
    CombatHud_CreateLast();
    static LensFlare flare;
    g_flare = &flare;
    LockDisplay_Instance();
}

MissionTimer& MissionTimer_Instance() {
    Hud_CreateElements();
    return *g_timer;
}
ScreenTint& ScreenTint_Instance() {
    Hud_CreateElements();
    return *g_tint;
}
LensFlare& LensFlare_Instance() {
    Hud_CreateElements();
    return *g_flare;
}

void ScreenTint_Flash(float amount, float rate, int red, int green, int blue) {
    ScreenTint_Instance().Flash(amount, rate, red, green, blue);
}

void MissionTimer_Start(int32_t seconds, int32_t warn, int32_t alert) {
    MissionTimer& t = MissionTimer_Instance();
    t.timer = seconds;
    t.frac = 1.0f;
    t.warn = warn;
    t.alert = alert;
    t.countdown = 1;
    t.active = 1;
    t.Show();
}
void MissionTimer_Show() { MissionTimer_Instance().Show(); }
void MissionTimer_Hide() { MissionTimer_Instance().Hide(); }
void MissionTimer_Toggle() {
    // Only in a network game without a time limit (its first game setting 0 or less).
    if (!Seam_Net().isNetworkGame() || GameKey_Actions().firstGameSetting() > 0) return;
    MissionTimer& t = MissionTimer_Instance();
    if (t.show)
        t.Hide();
    else
        t.Show();
}

bool MissionTimer_Save(FILE* stream) { return MissionTimer_Instance().Save(stream); }
bool MissionTimer_Load() { return MissionTimer_Instance().Load(); }

void HudBasic_Reset() {
    g_tintServices = MakeTintServices();
    ResourcePanel_Reset();
    if (!g_timer) return;
    // The layers were emptied: back to how the program starts.
    g_timer->Init();
    g_timer->PlaceLayers();
    g_tint->Reset();
    g_tint->Start();
    g_tint->PlaceLayers();
    LensFlare_ResetServices();
    for (int& sprite : g_flare->sprites) sprite = 0;
    g_flare->PlaceLayers();
}
