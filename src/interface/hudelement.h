// The head-up display's elements: a life cycle driven by the mission load, the world start, the
// frame step, the render pass and the teardown, and placement in update and draw layers. A
// layer index is the camera's view state: an element in layer k runs only while the current
// camera's view state is k. Within a layer, elements run in ascending priority.
#pragma once
#include <cstddef>
#include <cstdint>

struct GraphicBuffer;
struct RenderView;
struct BitmapFont;
struct EntityTableRecord;

constexpr int kHudLayerCount = 12;

class HudElement {
public:
    HudElement();
    virtual ~HudElement();
    HudElement(const HudElement&) = delete;
    HudElement& operator=(const HudElement&) = delete;

    virtual void Init() {}
    virtual void OnEntityNotice(EntityTableRecord*) {}
    virtual void OnEntityRemoved(EntityTableRecord*) {}
    virtual void Start() {}
    virtual void Update(float) {}
    virtual void Draw() {}
    virtual void End() {}

    // Both lists of one layer. A layer outside 0..11 is refused: nothing is inserted or removed.
    void SetLayer(int layer, int32_t priority);
    // Inserts one entry; twice puts the element in the list twice.
    void AddToLayer(int layer, int32_t priority);
    void AddToUpdateLayer(int layer, int32_t priority);
    // Every entry of the element.
    void RemoveFromLayer(int layer);
    void RemoveFromUpdateLayer(int layer);
    void LeaveLayer(int layer);

    uint32_t word = 0;  // free for the element
};

// The drawing context, set each frame before the updates.
struct HudContext {
    GraphicBuffer* buffer = nullptr;  // the current camera's view buffer
    RenderView* view = nullptr;
    int32_t cursorX = 0, cursorY = 0;  // the command cursor in pixels
    int32_t cursorSprite = 0;          // drawn once after the layer, then 0
    int32_t textX = 20, textY = 20;    // the developer text cursor
    BitmapFont* textFont = nullptr;
};
HudContext& Hud_Context();

void HudElement_InitAll();
void HudElement_StartAll();
void HudElement_EndAll();
// Sets the drawing context, then updates the update list of the view state (none outside 0..11).
void HudElement_UpdateLayer(int viewState, float dt);
// Draws the draw list of the current view state while the display is on, then the cursor sprite.
void HudElement_DrawLayer();

// The display switch: on while the "render.cfg" switch and the camera's HUD flag are both on.
bool Hud_IsOn();
void Hud_SetSwitch(bool on);  // the "render.cfg" "Debug" "HUD" key

// What the base reads of its surroundings; tests replace entries.
struct HudServices {
    RenderView* (*view)();    // the current camera's view; null before the camera exists
    int (*viewState)();       // the current camera's view state
    bool (*cameraShowsHud)(); // the camera mode shows the display
    float (*getDepth)();      // the hardware path's 2-D depth
    void (*setDepth)(float depth);
    void (*drawCursor)(GraphicBuffer* buffer, int sprite, int x, int y);
    void (*addNotice)(void (*fn)(EntityTableRecord*));
    void (*addRemoveNotice)(void (*fn)(EntityTableRecord*));
    BitmapFont* (*defaultFont)();
};
HudServices& Hud_Services();

// Layer listing for tests and diagnostics: how many entries of the element stand in the list.
int HudElement_CountInDraw(const HudElement* element, int layer);
int HudElement_CountInUpdate(const HudElement* element, int layer);
int HudElement_Count();
bool HudElement_IsListed(const HudElement* element);

int Hud_Clamp(int value, int low, int high);
// Draws (x, y) to the returned right and bottom: the text, over fillColour when it is 0 or more.
void Hud_DrawTextLine(GraphicBuffer* buffer, int x, int y, int* outRight, int* outBottom, const char* text,
                      BitmapFont* font, int textColour, int fillColour);
// Inclusive rect: left of the split full, from the split on empty; clipped to the buffer. A
// fraction of 1 or more fills the whole bar.
void Hud_DrawFillBar(GraphicBuffer* buffer, float fraction, const int rect[4], int fullColour, int emptyColour);
// A raw image (32-bit width, 32-bit height, pixels) with pixels of its own in out (free it with
// Graphic_FreeBuffer); 1 and an empty descriptor when the file is missing or its size is wrong.
int Hud_LoadBitmap(const char* path, GraphicBuffer* out);
// The same from bytes in memory, without the warning.
int Hud_ReadRawImage(const uint8_t* data, size_t size, GraphicBuffer* out);

// Puts the base's surroundings back and forgets the layers' contents (tests, between runs).
// Elements stay registered.
void Hud_Reset();
// Fills the cockpit seam's display entries (start-up).
void Hud_InstallSeam();
