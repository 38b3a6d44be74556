#include "interface/hudelement.h"

#include "interface/missiontimer.h"

#include "interface/combathud.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/debug.h"
#include "core/filecache.h"
#include "core/inputsinks.h"
#include "core/seams/cockpit.h"
#include "core/seams/render.h"
#include "core/seams/world.h"
#include "interface/camera.h"
#include "interface/groundmarker.h"
#include "interface/hudbasic.h"
#include "interface/hudcolors.h"
#include "render/draw2d.h"
#include "render/font.h"
#include "render/graphicbuffer.h"
#include "render/sprite.h"
#include "render/view.h"

namespace {

struct LayerEntry {
    int32_t priority;
    HudElement* element;
};
using LayerList = std::vector<LayerEntry>;

// Created on first use, so elements built during static initialisation find them.
struct HudLists {
    std::vector<HudElement*> elements;
    LayerList update[kHudLayerCount];
    LayerList draw[kHudLayerCount];
};
HudLists& Lists() {
    static HudLists lists;
    return lists;
}

HudContext g_context;
bool g_switch = true;

bool ValidLayer(int layer) { return layer >= 0 && layer < kHudLayerCount; }

void Insert(LayerList& list, int32_t priority, HudElement* element) {
    auto at = list.end();
    // A priority below -32768 always goes to the end.
    if (priority >= -32768)
        at = std::find_if(list.begin(), list.end(), [&](const LayerEntry& e) { return e.priority > priority; });
    list.insert(at, LayerEntry{priority, element});
}

void RemoveAll(LayerList& list, const HudElement* element) {
    std::erase_if(list, [&](const LayerEntry& e) { return e.element == element; });
}

int CountIn(const LayerList& list, const HudElement* element) {
    return static_cast<int>(std::count_if(list.begin(), list.end(), [&](const LayerEntry& e) { return e.element == element; }));
}

void NoticeAll(EntityTableRecord* record) {
    for (HudElement* e : std::vector<HudElement*>(Lists().elements)) e->OnEntityNotice(record);
}
void RemovedAll(EntityTableRecord* record) {
    for (HudElement* e : std::vector<HudElement*>(Lists().elements)) e->OnEntityRemoved(record);
}

HudServices MakeServices() {
    HudServices s{};
    s.view = Camera_MainView;
    s.viewState = [] { return Seam_Cockpit().cameraViewState(); };
    s.cameraShowsHud = Camera_IsHudShown;
    s.getDepth = [] { return Seam_Render().getDepthBias(); };
    s.setDepth = [](float depth) { Seam_Render().setDepthBias(depth); };
    s.drawCursor = [](GraphicBuffer* buffer, int sprite, int x, int y) {
        Sprite_Draw(buffer, sprite, x, y, kSpriteCentreX | kSpriteCentreY | kSpriteClip | 1);
    };
    s.addNotice = [](void (*fn)(EntityTableRecord*)) { Seam_World().entitiesAddNotify(fn); };
    s.addRemoveNotice = [](void (*fn)(EntityTableRecord*)) { Seam_World().entitiesAddRemoveNotify(fn); };
    s.defaultFont = Font_Main;
    return s;
}
HudServices g_services = MakeServices();

}  // namespace

HudElement::HudElement() { Lists().elements.push_back(this); }

HudElement::~HudElement() {
    HudLists& lists = Lists();
    std::erase(lists.elements, this);
    for (int i = 0; i < kHudLayerCount; ++i) {
        RemoveAll(lists.update[i], this);
        RemoveAll(lists.draw[i], this);
    }
}

void HudElement::SetLayer(int layer, int32_t priority) {
    AddToUpdateLayer(layer, priority);
    AddToLayer(layer, priority);
}
void HudElement::AddToLayer(int layer, int32_t priority) {
    if (ValidLayer(layer)) Insert(Lists().draw[layer], priority, this);
}
void HudElement::AddToUpdateLayer(int layer, int32_t priority) {
    if (ValidLayer(layer)) Insert(Lists().update[layer], priority, this);
}
void HudElement::RemoveFromLayer(int layer) {
    if (ValidLayer(layer)) RemoveAll(Lists().draw[layer], this);
}
void HudElement::RemoveFromUpdateLayer(int layer) {
    if (ValidLayer(layer)) RemoveAll(Lists().update[layer], this);
}
void HudElement::LeaveLayer(int layer) {
    RemoveFromUpdateLayer(layer);
    RemoveFromLayer(layer);
}

HudContext& Hud_Context() { return g_context; }
HudServices& Hud_Services() { return g_services; }

void HudElement_InitAll() {
    g_context.cursorSprite = 0;
    g_context.textX = 20;
    g_context.textY = 20;
    g_context.textFont = g_services.defaultFont();
    for (HudElement* e : std::vector<HudElement*>(Lists().elements)) e->Init();
    // The entity layer empties its notice lists when it is reset, so each mission registers anew.
    g_services.addNotice(NoticeAll);
    g_services.addRemoveNotice(RemovedAll);
}

void HudElement_StartAll() {
    // The mission palette is set by now; the colours follow the map's palette.
    HudColors_Init();
    for (HudElement* e : std::vector<HudElement*>(Lists().elements)) e->Start();
}

void HudElement_EndAll() {
    for (HudElement* e : std::vector<HudElement*>(Lists().elements)) e->End();
}

void HudElement_UpdateLayer(int viewState, float dt) {
    RenderView* view = g_services.view();
    g_context.view = view;
    g_context.buffer = view ? view->buffer : nullptr;
    if (const GraphicBuffer* b = g_context.buffer) {
        const int64_t w = int64_t(b->clipRight) - b->clipLeft + 1;
        const int64_t h = int64_t(b->clipBottom) - b->clipTop + 1;
        g_context.cursorX = static_cast<int32_t>((int64_t(InputSink.cmd_x) * w) >> 16);
        g_context.cursorY = static_cast<int32_t>((int64_t(InputSink.cmd_y) * h) >> 16);
    }
    if (!ValidLayer(viewState)) return;
    // A copy: an element may add or remove other elements' entries while it runs.
    const LayerList list = Lists().update[viewState];
    for (const LayerEntry& e : list) e.element->Update(dt);
}

void HudElement_DrawLayer() {
    if (!Hud_IsOn()) return;
    const int viewState = g_services.viewState();
    if (ValidLayer(viewState)) {
        const float depth = g_services.getDepth();
        const LayerList list = Lists().draw[viewState];
        for (const LayerEntry& e : list) {
            e.element->Draw();
            g_services.setDepth(depth);
        }
    }
    if (g_context.cursorSprite != 0) {
        if (g_context.buffer)
            g_services.drawCursor(g_context.buffer, g_context.cursorSprite, g_context.cursorX, g_context.cursorY);
        g_context.cursorSprite = 0;
    }
}

bool Hud_IsOn() { return g_switch && g_services.cameraShowsHud(); }
void Hud_SetSwitch(bool on) { g_switch = on; }

int HudElement_CountInDraw(const HudElement* element, int layer) {
    return ValidLayer(layer) ? CountIn(Lists().draw[layer], element) : 0;
}
int HudElement_CountInUpdate(const HudElement* element, int layer) {
    return ValidLayer(layer) ? CountIn(Lists().update[layer], element) : 0;
}
int HudElement_Count() { return static_cast<int>(Lists().elements.size()); }
bool HudElement_IsListed(const HudElement* element) {
    const auto& list = Lists().elements;
    return std::find(list.begin(), list.end(), element) != list.end();
}

int Hud_Clamp(int value, int low, int high) { return value < low ? low : std::min(value, high); }

void Hud_DrawTextLine(GraphicBuffer* buffer, int x, int y, int* outRight, int* outBottom, const char* text,
                      BitmapFont* font, int textColour, int fillColour) {
    int width = 0, height = 0;
    if (font) Font_MeasureText(font, text, &width, &height);
    *outRight = x + width;
    *outBottom = y + height;
    if (fillColour >= 0) Graphic_FillRect(buffer, x, y, *outRight, *outBottom, fillColour, 0);
    if (!font) return;
    Font_SetColor(font, textColour);
    Font_DrawText(font, buffer, x, y, text);
}

void Hud_DrawFillBar(GraphicBuffer* buffer, float fraction, const int rect[4], int fullColour, int emptyColour) {
    if (!buffer) return;
    const int left = rect[0], top = rect[1], right = rect[2], bottom = rect[3];
    // The split may stand one past the right column, so that a full bar is full to the end.
    const long split = Hud_Clamp(static_cast<int>(left + std::lround(double(right - left + 1) * fraction)), left, right + 1);
    ClipRect r{left, top, right, bottom};
    // 2-D drawing takes coordinates relative to the clip rectangle.
    const ClipRect clip{0, 0, buffer->clipRight - buffer->clipLeft, buffer->clipBottom - buffer->clipTop};
    if (r.left > r.right || r.top > r.bottom || Rect_Clip(&r, clip) < 0) return;
    const int splitAt = static_cast<int>(split);
    if (r.left < splitAt) Graphic_FillRect(buffer, r.left, r.top, std::min(r.right, splitAt - 1), r.bottom, fullColour, 0);
    if (splitAt <= r.right) Graphic_FillRect(buffer, std::max(r.left, splitAt), r.top, r.right, r.bottom, emptyColour, 0);
}

int Hud_ReadRawImage(const uint8_t* data, size_t size, GraphicBuffer* out) {
    *out = GraphicBuffer{};
    if (!data || size < 8) return 1;
    int32_t width = 0, height = 0;
    std::memcpy(&width, data, 4);
    std::memcpy(&height, data + 4, 4);
    // The header's size must match the file: width x height pixels after the 8 bytes.
    if (width <= 0 || height <= 0 || uint64_t(width) * uint64_t(height) + 8 != size) return 1;
    if (!Graphic_InitBuffer(out, width, height, nullptr, kGraphicFormat8)->valid) return 1;
    for (int32_t row = 0; row < height; ++row)
        std::memcpy(out->pixels + size_t(row) * out->width, data + 8 + size_t(row) * width, size_t(width));
    return 0;
}

int Hud_LoadBitmap(const char* path, GraphicBuffer* out) {
    *out = GraphicBuffer{};
    const uint8_t* data = static_cast<const uint8_t*>(Cache_UseItem(path));
    if (!data) {
        Error_Warning("Could not open file \"%s\".", path);
        return 1;
    }
    // Pixels of its own: the cache may purge the item once it is unlocked.
    const int result = Hud_ReadRawImage(data, Cache_GetItemSize(path), out);
    if (result != 0) Error_Warning("Could not open file \"%s\".", path);
    Cache_UnlockItem(path);
    return result;
}

void Hud_Reset() {
    HudLists& lists = Lists();
    for (int i = 0; i < kHudLayerCount; ++i) {
        lists.update[i].clear();
        lists.draw[i].clear();
    }
    g_context = HudContext{};
    g_switch = true;
    g_services = MakeServices();
    HudBasic_Reset();
    GroundMarker_Reset();
    CombatHud_Reset();
}

void Hud_InstallSeam() {
    Hud_CreateElements();
    CockpitSeam& seam = Seam_Cockpit();
    seam.hudInitAll = HudElement_InitAll;
    seam.hudStartAll = HudElement_StartAll;
    seam.hudEndAll = HudElement_EndAll;
    seam.hudStep = HudElement_UpdateLayer;
    seam.hudDrawLayer = HudElement_DrawLayer;
    seam.hudIsOn = Hud_IsOn;
    // The render file's value is what the switch holds; the camera's flag is read as it changes.
    seam.hudSetOn = Hud_SetSwitch;
    seam.screenTintFlash = ScreenTint_Flash;
    seam.screenTintAddLevel = [](float amount) { ScreenTint_Instance().AddLevel(amount); };
    seam.groundMarkerSet = GroundMarker_Set;
    seam.missionTimerSave = MissionTimer_Save;
    seam.missionTimerLoad = MissionTimer_Load;
    seam.missionTimerStart = MissionTimer_Start;
    seam.missionTimerTime = MissionTimer_GetTime;
}
