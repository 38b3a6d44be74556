// Sprites: named rectangles of texture pages, read from one sprite table at start-up, found by
// name and drawn by index (aligned, scaled, or on a 3-D quadrilateral).
//
// Table file ("sprite8.stb"; "spritea.stb" with large assets): 52-byte records, little-endian:
// a 32-byte name, an 8-byte page name, x, y, width, height (16-bit) and 32-bit flags whose bits
// 0-3 pick a colour. Pages ("%.8s.MAP", or "%.8s_%c.MAP" for a colour in software) hold a 16-bit
// row length in bytes, a 16-bit pixel shift (0 8-bit, 1 16-bit), a 32-bit height, then the rows.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "render/graphicbuffer.h"

struct RenderView;
struct RenderVertex;

constexpr int kSpriteLimit = 2048;
constexpr int kSpriteRecordSize = 52;

// Draw flags of Sprite_Draw and Sprite_DrawScaled (the low three bits are the draw mode).
constexpr uint32_t kSpriteCentreX = 0x10000;
constexpr uint32_t kSpriteRight = 0x20000;
constexpr uint32_t kSpriteCentreY = 0x40000;
constexpr uint32_t kSpriteBottom = 0x80000;
constexpr uint32_t kSpriteMirror = 0x100000;  // hardware: u0 and u1 swapped
constexpr uint32_t kSpriteClip = 0x200000;    // hardware: clipped to the target's clip rectangle

struct Sprite {
    int32_t x = 0, y = 0, width = 0, height = 0;
    int32_t flags = 0;
    const uint8_t* page = nullptr;  // the page file's bytes (header first)
};

extern int32_t SpriteCount;
extern const uint32_t SpriteColors[16];
extern const uint32_t SpriteDrawModes[8];
extern const uint32_t SpriteQuadModes[8];
extern float OverlayDepth;
extern uint32_t CurrentTint;

// 1, or 0 when the table file is missing (a warning; only the default sprite remains).
int Sprite_LoadTable();
// Releases every page and empties the table.
void Sprite_FreeTable();
void Sprite_ReleasePages();
void Sprite_ReacquirePages();
int Sprite_Find(const char* name);
const Sprite& Sprite_Get(int index);  // out of range: entry 0
// Page image, rectangle: the new index, or 0 with nothing added when the table is full. The page
// belongs to the caller; the entry has no name.
int Sprite_Append(const uint8_t* page, int x, int y, int width, int height);
// Width and height of a sprite (entry 0 out of range).
void Sprite_GetSize(int index, int* width, int* height);
// Drops the entries appended after start-up ended (the mission reset).
void Sprite_ResetTables();
// Marks the end of start-up: what the table holds now stays through mission resets.
void Sprite_MarkStartupEnd();
const uint8_t* Sprite_GetUV(int index, float* u0, float* v0, float* u1, float* v1);
int Sprite_Draw(GraphicBuffer* target, int index, int x, int y, uint32_t flags);
int Sprite_DrawScaled(const RenderView* view, int index, int x, int y, int depth, int width, int height,
                      uint32_t flags);
int Sprite_DrawQuad3D(const RenderView* view, int index, const float corners[4][3], uint32_t mode);
// Clips to inclusive bounds, moving the texture coordinates in proportion; 0 when nothing is left.
int Sprite_ClipRect(int left, int top, int right, int bottom, int* x, int* y, int* width, int* height, float* u0,
                    float* v0, float* u1, float* v1);
float Sprite_ClampDepth();
void Smoke_QueuePuff(const float position[3], float size);
// The palette index at the centre of a sprite, -1 when it has none (16-bit page).
int Sprite_CentreTexel(int index);

// Page header checks: the pixel shift is 0 or 1 and the rows fit the bytes.
bool Sprite_PageFits(const uint8_t* page, size_t size);
// The page's width in pixels and height (0 for a null page).
int Sprite_PageWidth(const uint8_t* page);
int Sprite_PageHeight(const uint8_t* page);

// The hardware polygon path's hand-over, swapped by tests to record it.
struct SpriteHardware {
    void (*drawDirect)(const RenderVertex* vertices, int count, const uint8_t* page, uint32_t flags);
    void (*drawPolygon)(const RenderView* view, const RenderVertex* vertices, int count, const uint8_t* page,
                        uint32_t flags);
};
void Sprite_SetHardware(const SpriteHardware* hardware);  // null: the stand-ins
// Whether the hardware path draws into this target.
bool Sprite_HardwareTarget(const GraphicBuffer* target);

// Fills the render seam's sprite and font entries (the main font, the table's life, drawing on
// the screen) and the render queue's sprite handlers.
void Sprite_InstallSeam();
// The queued smoke sprite: a view-space position projected, drawn centred at its projected size.
void Sprite_Draw3D(const RenderView* view, int index, float size, const float position[3], uint32_t flags);

// Where the table and its pages come from: the file cache unless replaced (fuzzing, tools).
struct SpriteFiles {
    const uint8_t* (*use)(const char* name, size_t* size);  // locked; null when missing
    void (*release)(const char* name);
};
void Sprite_SetFiles(const SpriteFiles* files);  // null: the file cache

// Every sprite global back as before start-up.
void Sprite_Reset();
