// Starting the display: the crash-detect record "session.sts", the settling of the 3D-card and
// resolution options, the driver choice (hardware first, software when it fails), the main
// window, the apply steps of the graphics options screen, line-doubled software drawing and the
// see-through column of the translucency table.
#pragma once
#include <cstdint>

#include "render/graphicdriver.h"

struct RenderView;

constexpr const char* kSessionFileName = "session.sts";
constexpr int kSessionRecordSize = 8;
constexpr uint8_t kSessionRunning = 0x55;
constexpr uint8_t kSessionClean = 0xAA;
constexpr uint8_t kSwitchToHardware = 0xF0;
constexpr uint8_t kSwitchToSoftware = 0x0F;

// Bytes of the player settings record read here.
constexpr int kPlayerDefResolution = 64;  // a display-mode number
constexpr int kPlayerDefLineDouble = 66;  // software only
constexpr int kPlayerDefCard = 68;        // 1 = hardware acceleration
constexpr int kPlayerDefDetail = 71;      // the terrain drawing mode

constexpr int kSafeSoftwareMode = 5;  // 640 x 480, 8 bits
constexpr int kSafeHardwareMode = kFirstHardwareMode;

// The in-memory crash-detect record: "QM", run status, pending switch, the 3D-card and resolution
// options this run started with, the asked-for 3D-card value and the resolution at that moment.
extern uint8_t SessionRecord[kSessionRecordSize];
// The "HiRes" key of "render.cfg": nonzero offers modes 1 to 4 to the software driver.
extern int32_t HiResModes;
// The hardware device's render settings; cleared when the hardware attempt fails.
extern uint32_t RenderFlags;
// The vertex shade level the frame's drawing code reads (1.0 = full brightness).
extern float RenderBrightness;

// Reads and rewrites "session.sts" (profile directory) marked running, then settles the 3D-card
// and resolution options and GraphicD3DFlags. 1 when the previous run ended cleanly.
int GraphicOptions_StartRun();
// Resolves a pending 3D-card switch and writes the record marked clean. Returns 1.
int Save_Graphic_Options();

// The graphics options screen's apply steps, in the order it calls them. Each returns 1.
int GraphicOptions_SetResolution(int value);
int GraphicOptions_ApplyByte65(int value);
int GraphicOptions_ApplyByte73(int value);
int GraphicOptions_ApplyDetail(int value);
int GraphicOptions_ApplyByte67(int value);
int GraphicOptions_ApplyByte66(int value);
// Asks for the 3D-card option at the next start (this run keeps its driver); asking for the
// value this run started with takes a pending switch back.
int GraphicOptions_Set3DCard(int value);
int GraphicOptions_ApplyByte70(int value);

// Fills g_graphicDriver with the hardware driver or, when that is off or fails, the software
// driver with its window, and copies the record to out (which is returned). A copy never owns
// the screen's memory. The caller checks errorCode.
GraphicDriver* Graphic_ChooseDriver(GraphicDriver* out, void* instance, const char* className);
// The software driver's window set-up: template, window (created unless there is one), Open.
// 1 on success, 0 with errorCode set.
int Graphic_CreateWindow(GraphicDriver* record, int mode, int windowed, int hasMenu);
// After every successful mode switch: the mouse re-reads its state, the cameras re-project.
void Graphic_AfterModeChange();
void Graphic_ReleaseDrawDC();
// Whether the display-helper device exists; this platform has none.
int Graphic_ProbeGfxDevice();

// The hardware driver's fill: the device, its modes and operations. 1 on success; on failure
// D3D_ErrorText() may say why.
int D3D_FillDriver(GraphicDriver* record, const char* className);
const char* D3D_ErrorText();

// Line-doubled software drawing: a view draws every second row of its buffer at half height.
// Does nothing unless the software path draws and the line-doubling option is on; switching
// off restores what switching on changed.
void View_SetLineDouble(RenderView* view, int on);
// Switches off whatever view is line-doubled (the frame does this once the queue is drawn).
void Render_LineDoublingRestore();
bool Render_LineDoublingActive();
// The mark that an inset view (the target view) is being drawn: set for the inset's drawing and
// cleared after; what draws only into the main view asks it. Cleared by the render reset.
void Render_SetDrawingInset(bool on);
bool Render_DrawingInset();

// Around drawing that must treat colour 255 as see-through: saves column 255 of every
// translucency row and makes blending with 255 keep the other colour; then puts it back.
void Translucency_SaveColumn255(uint8_t saved[256]);
void Translucency_RestoreColumn255(const uint8_t saved[256]);

// The driver choice as the program entry calls it: clears the record, chooses; false when the
// choice reports an error.
bool Render_ChooseDriver(const char* className);
