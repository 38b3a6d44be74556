#include "render/display.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Terrain/terramap.h"
#include "core/cmdline.h"
#include "core/debug.h"
#include "core/seams/cockpit.h"
#include "core/seams/shell.h"
#include "platform/exit.h"
#include "platform/ini.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/surface.h"
#include "platform/window.h"
#include "render/palette.h"
#include "render/view.h"

uint8_t SessionRecord[kSessionRecordSize] = {};
int32_t HiResModes = 0;
uint32_t RenderFlags = 0;
float RenderBrightness = 1.0f;

namespace {

constexpr const char* kSessionFailed = "Gravenholt Save_Graphic_Options failed";

uint8_t* PlayerDef() { return Seam_Shell().playerDef(); }

void StampRecord(uint8_t status) {
    SessionRecord[0] = 'Q';
    SessionRecord[1] = 'M';
    SessionRecord[2] = status;
    SessionRecord[3] = 0;
}

// A label from "label.map" or the English text.
std::string Label(const char* entry, const char* english) {
    char text[256];
    std::snprintf(text, sizeof text, "%s", english);
    Seam_Cockpit().labelMapGetLabel("hardware", entry, text);
    text[sizeof text - 1] = '\0';
    return text;
}

// The previous run crashed while the 3D-card option was on: the player picks the driver.
bool AskForHardware() {
    std::string message = Label("message",
                                "The game was not closed properly. Do you wish to run regular Software mode or "
                                "Hardware accelerated mode?");
    std::string software = Label("software", "Software");
    std::string hardware = Label("hardware", "Hardware");
    std::string title = Label("title", "Gravenholt Warning");
    // A dismissed box takes the safe choice.
    return Plat_MessageBoxButtons(0, message.c_str(), title.c_str(), {software, hardware}) == 1;
}

struct LineDoubleSave {
    bool active = false;
    RenderView* view = nullptr;
    RenderView savedView{};
    GraphicBuffer* buffer = nullptr;
    GraphicBuffer savedBuffer{};
    float savedBrightness = 1.0f;
};
LineDoubleSave g_lineDouble;
bool g_drawingInset = false;

}  // namespace

// ---- The crash-detect record ---------------------------------------------------------------

int GraphicOptions_StartRun() {
    // The hardware flag follows the player's 3D-card option unless the command line named a
    // driver; a software choice made in the options screen then holds at the next start.
    uint8_t* playerDef = PlayerDef();
    const CmdLineGlobals& switches = CmdLine_Globals();
    GraphicD3DFlags = switches.driverChosen ? (switches.driverKind != 0 ? 1u : 0u)
                                            : (playerDef[kPlayerDefCard] != 0 ? 1u : 0u);

    const std::string path = Plat_ProfilePath(kSessionFileName);
    FILE* file = Plat_OpenFile(path, "r+b");
    if (!file) file = Plat_OpenFile(path, "w+b");
    if (!file) {
        Error_Fatal("%s", kSessionFailed);
        return 0;
    }
    std::memset(SessionRecord, 0, sizeof SessionRecord);
    const size_t got = std::fread(SessionRecord, 1, sizeof SessionRecord, file);
    const bool clean = got == sizeof SessionRecord && SessionRecord[2] == kSessionClean;
    StampRecord(kSessionRunning);
    std::rewind(file);
    bool written = std::fwrite(SessionRecord, 1, sizeof SessionRecord, file) == sizeof SessionRecord;
    // The record is exactly its 8 bytes, whatever the file held before.
    written = written && Plat_TruncateFile(file, kSessionRecordSize) && Plat_SyncFile(file);
    written = std::fclose(file) == 0 && written;
    if (!written) {
        Error_Fatal("%s", kSessionFailed);
        return 0;
    }

    uint8_t& card = playerDef[kPlayerDefCard];
    if (GraphicD3DFlags != 0)
        card = 1;
    else if (!clean && card == 1)
        card = AskForHardware() ? 1 : 0;
    else
        card = 0;

    uint8_t& resolution = playerDef[kPlayerDefResolution];
    if (card) {
        GraphicD3DFlags = 1;
        if (!clean || resolution < kFirstHardwareMode) resolution = kSafeHardwareMode;
    } else {
        GraphicD3DFlags = 0;
        if (!clean || resolution >= kFirstHardwareMode) resolution = kSafeSoftwareMode;
    }
    Seam_Shell().playerDefWrite();
    SessionRecord[4] = card;
    SessionRecord[5] = resolution;
    return clean ? 1 : 0;
}

int Save_Graphic_Options() {
    uint8_t* playerDef = PlayerDef();
    const uint8_t pending = SessionRecord[3];
    if (pending == kSwitchToHardware) {
        playerDef[kPlayerDefCard] = 1;
        playerDef[kPlayerDefResolution] = kSafeHardwareMode;
    } else if (pending != 0) {
        playerDef[kPlayerDefCard] = 0;
        const uint8_t asked = SessionRecord[7];
        playerDef[kPlayerDefResolution] = asked >= 5 && asked <= 7 ? asked : kSafeSoftwareMode;
    }
    if (pending != 0) Seam_Shell().playerDefWrite();
    StampRecord(kSessionClean);
    SessionRecord[4] = playerDef[kPlayerDefCard];
    SessionRecord[5] = playerDef[kPlayerDefResolution];

    FILE* file = Plat_OpenFile(Plat_ProfilePath(kSessionFileName), "wb");
    if (!file) {
        Error_Fatal("%s", kSessionFailed);
        return 1;
    }
    bool written = std::fwrite(SessionRecord, 1, sizeof SessionRecord, file) == sizeof SessionRecord;
    written = Plat_SyncFile(file) && written;
    written = std::fclose(file) == 0 && written;
    if (!written) Error_Fatal("%s", kSessionFailed);
    return 1;
}

// ---- The graphics options screen's steps ---------------------------------------------------

// These options are read where they are used: the resolution at the next mode switch or start,
// byte 66 by the line doubling.
int GraphicOptions_SetResolution(int) { return 1; }
int GraphicOptions_ApplyByte65(int) { return 1; }
int GraphicOptions_ApplyByte73(int) { return 1; }
int GraphicOptions_ApplyByte67(int) { return 1; }
int GraphicOptions_ApplyByte66(int) { return 1; }
int GraphicOptions_ApplyByte70(int) { return 1; }

int GraphicOptions_ApplyDetail(int) {
    Terrain_SetDrawMode(PlayerDef()[kPlayerDefDetail]);
    Terrain_CheckDetailChange();
    return 1;
}

int GraphicOptions_Set3DCard(int value) {
    const uint8_t asked = static_cast<uint8_t>(value);
    if (asked == SessionRecord[4]) {
        // Back to what this run started with: nothing is pending any more.
        SessionRecord[3] = 0;
        return 1;
    }
    uint8_t* playerDef = PlayerDef();
    SessionRecord[6] = asked;
    SessionRecord[7] = playerDef[kPlayerDefResolution];
    // This run keeps going as it started; the switch takes effect at the next start.
    playerDef[kPlayerDefCard] = SessionRecord[4];
    playerDef[kPlayerDefResolution] = SessionRecord[5];
    SessionRecord[3] = asked ? kSwitchToHardware : kSwitchToSoftware;
    return 1;
}

// ---- The driver choice and the window ------------------------------------------------------

GraphicDriver* Graphic_ChooseDriver(GraphicDriver* out, void* instance, const char* className) {
    GraphicDriver* record = &g_graphicDriver;
    std::snprintf(record->className, sizeof record->className, "%s", className ? className : "");
    record->instance = instance;
    Plat_GetDesktopSize(&record->desktopWidth, &record->desktopHeight);

    DisplayMode_Reset();
    HiResModes = Plat_IniGetInt("NormalView", "HiRes", 0, Plat_ProfilePath("render.cfg").c_str());
    if (HiResModes != 0)
        for (int mode = 1; mode <= 4; ++mode) DisplayMode[mode].bitsPerPixel = 8;

    bool chosen = false;
    if (GraphicD3DFlags != 0) {
        // This platform keeps no adapter registry to list; the device reports its own adapter.
        if (D3D_FillDriver(record, record->className)) {
            chosen = true;
        } else {
            if (record->Close) record->Close(record);
            const char* text = D3D_ErrorText()[0] ? D3D_ErrorText() : "Running software rendering mode";
            Plat_MessageBox(0, text, "Failed to init 3D hardware acceleration", MB_OK);
            GraphicD3DFlags = 0;
            RenderFlags = 0;
            // The resolution option was settled for the hardware driver; the software driver has
            // no hardware modes, so it falls back to its safe mode for this run.
            uint8_t* playerDef = PlayerDef();
            if (playerDef[kPlayerDefResolution] >= kFirstHardwareMode) {
                playerDef[kPlayerDefResolution] = kSafeSoftwareMode;
                SessionRecord[5] = kSafeSoftwareMode;
            }
        }
    }
    if (!chosen) {
        const int windowed = CmdLine_Globals().fullScreen ? 0 : 1;
        Graphic_CreateWindow(record, 0, windowed, 0);
        Palette_Load(record, nullptr);
        Palette_ResetTables();
        DisplayMode[5].available = 1;
    }
    if (out && out != record) {
        *out = *record;
        // The copy describes the screen; the record keeps owning its memory.
        out->screen.memory = nullptr;
        out->screen.external = 1;
    }
    return out ? out : record;
}

int Graphic_CreateWindow(GraphicDriver* record, int mode, int windowed, int hasMenu) {
    (void)hasMenu;  // our windows carry no menu bar
    Graphic_ApplyTemplate(record, kSoftwareDriverTemplate);
    record->windowed = windowed;
    if (mode < 0 || mode >= kDisplayModeCount) {
        record->errorCode = kGraphicErrorWindow;
        return 0;
    }
    const int32_t width = DisplayMode[mode].width, height = DisplayMode[mode].height;
    record->screen.width = width;
    record->screen.height = height;
    record->displayWidth = width;
    record->displayHeight = height;

    // Our windows have no frame of their own: the frame is the client size.
    const int32_t left = (record->desktopWidth - width) >> 1;
    const int32_t top = (record->desktopHeight - height) >> 1;
    record->windowRect[0] = left;
    record->windowRect[1] = top;
    record->windowRect[2] = width;
    record->windowRect[3] = height;

    if (!record->window || !Plat_IsWindow(record->window)) {
        const bool fullScreen = windowed == 0;
        const int w = fullScreen ? record->desktopWidth : width;
        const int h = fullScreen ? record->desktopHeight : height;
        WindowHandle window = Plat_CreateWindow(record->className, record->className, w, h);
        if (!window) {
            record->errorCode = kGraphicErrorWindow;
            return 0;
        }
        record->window = window;
        Plat_SetWindowBordered(window, !fullScreen);
        Plat_SetWindowPosition(window, fullScreen ? 0 : left, 0);
        if (fullScreen && record->driverKind == kDriverSoftware) Plat_ShowWindow(window, SW_SHOW);
    }
    if (!record->Open || !record->Open(record)) return 0;
    if (record->driverKind == kDriverSoftware || record->windowed == 1) Plat_ShowWindow(record->window, SW_SHOW);

    if (Plat_DisplayColourCount(record->window) != -1 && record->driverKind == kDriverSoftware) {
        Plat_MessageBox(0, "Your system must be in 16-bit color mode to play Gravenholt in a window.", "Gravenholt",
                        MB_ICONERROR);
        Seam_Cockpit().inputClose();
        Plat_Exit(108);
    }
    return 1;
}

void Graphic_AfterModeChange() {
    Seam_Cockpit().mouseRequestReset();
    Seam_Cockpit().cameraReset(0);
}

void Graphic_ReleaseDrawDC() {
    GraphicDriver& driver = g_graphicDriver;
    if (driver.ReleaseDrawDC) driver.ReleaseDrawDC(&driver);
}

int Graphic_ProbeGfxDevice() { return 0; }

bool Render_ChooseDriver(const char* className) {
    Graphic_ClearRecord(&g_graphicDriver);
    Graphic_ChooseDriver(&g_graphicDriver, nullptr, className);
    return g_graphicDriver.errorCode == 0 && g_graphicDriver.window != 0;
}

// ---- Line doubling -------------------------------------------------------------------------

void View_SetLineDouble(RenderView* view, int on) {
    if (!on) {
        // Switching off restores even when the option changed meanwhile: the view must never
        // stay at half height.
        if (!g_lineDouble.active || view != g_lineDouble.view) return;
        *g_lineDouble.view = g_lineDouble.savedView;
        *g_lineDouble.buffer = g_lineDouble.savedBuffer;
        RenderBrightness = g_lineDouble.savedBrightness;
        g_lineDouble = LineDoubleSave{};
        return;
    }
    if (!view || !view->buffer || GraphicD3DFlags != 0 || PlayerDef()[kPlayerDefLineDouble] == 0) return;
    if (g_lineDouble.active) return;  // a second switch would halve the halved view
    GraphicBuffer* buffer = view->buffer;
    if (buffer->height < 2) return;
    g_lineDouble.active = true;
    g_lineDouble.view = view;
    g_lineDouble.savedView = *view;
    g_lineDouble.buffer = buffer;
    g_lineDouble.savedBuffer = *buffer;
    g_lineDouble.savedBrightness = RenderBrightness;

    buffer->width *= 2;
    buffer->height /= 2;
    const int32_t top = (buffer->clipTop / 2) & ~1;
    int32_t bottom = (buffer->clipBottom - top + 1) / 2 + top - 1;
    // A clip rectangle that did not start at the top would reach past the halved buffer.
    bottom = std::min(bottom, buffer->height - 1);
    buffer->clipTop = top;
    buffer->clipBottom = std::max(bottom, top);

    view->centreY *= 0.5f;
    view->scaleY *= 0.5f;
    // The window's vertical edges follow, kept inside the halved clip rectangle.
    view->windowTop = std::max(view->windowTop * 0.5f, static_cast<float>(buffer->clipTop));
    view->windowBottom = std::min(view->windowBottom * 0.5f, static_cast<float>(buffer->clipBottom));
    RenderBrightness = std::min(RenderBrightness * 1.2f, 1.0f);
}

void Render_LineDoublingRestore() {
    if (g_lineDouble.active) View_SetLineDouble(g_lineDouble.view, 0);
}

bool Render_LineDoublingActive() { return g_lineDouble.active; }

void Render_SetDrawingInset(bool on) { g_drawingInset = on; }
bool Render_DrawingInset() { return g_drawingInset; }

// ---- Column 255 of the translucency table --------------------------------------------------

void Translucency_SaveColumn255(uint8_t saved[256]) {
    for (int row = 0; row < 256; ++row) {
        saved[row] = TranslucencyTable[row][255];
        TranslucencyTable[row][255] = static_cast<uint8_t>(row);
    }
}

void Translucency_RestoreColumn255(const uint8_t saved[256]) {
    for (int row = 0; row < 256; ++row) TranslucencyTable[row][255] = saved[row];
}
