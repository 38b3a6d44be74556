// A headless program whose hardware driver runs on a scripted recording device: a private
// profile directory (for "render.cfg"), a fake 1280 x 1024 desktop, a virtual clock, the
// driver's traces collected, and every global of the driver reset around each test.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/app.h"
#include "core/cmdline.h"
#include "core/debug.h"
#include "platform/clock.h"
#include "platform/gpu_recording.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/surface.h"
#include "platform/system.h"
#include "platform/window.h"
#include "render/d3dbatch.h"
#include "render/d3ddevice.h"
#include "render/d3dtextures.h"
#include "render/display.h"
#include "render/graphicdriver.h"
#include "render/palette.h"

inline std::vector<std::string>& D3DTraces() {
    static std::vector<std::string> traces;
    return traces;
}

// No device, no textures, no window, an empty record and mode table, the default script.
inline void ResetHardwareDriver() {
    D3D_ResetState();
    Batch_ResetState();
    TexMgr_ResetState();
    if (Plat_IsWindow(g_graphicDriver.window)) Plat_DestroyWindow(g_graphicDriver.window);
    Graphic_ClearRecord(&g_graphicDriver);
    DisplayMode_Reset();
    CurrentDisplayMode = 0;
    GraphicD3DFlags = 0;
    RenderFlags = 0;
    Graphic_SetTextureReload(false);
    Gpu_ResetRecording();
    Gpu_SetSystemFactory(nullptr);
}

class D3DFixture : public ::testing::Test {
protected:
    void SetUp() override {
        Plat_Init(BackendKind::Headless);
        char pattern[] = "/tmp/gvd3d-XXXXXX";
        dir_ = mkdtemp(pattern);
        Plat_SetProfileDir(dir_);
        Plat_ClearMessageBoxLog();
        Plat_SetMessageBoxPolicy(nullptr);
        Plat_SetFakeDesktopSize(1280, 1024);
        Plat_RegisterClass("Gravenholt", Plat_DefWindowProc);
        Plat_UseVirtualClock(1000);
        CmdLine_ResetGlobals();
        CmdLine_Globals().fullScreen = false;
        App_Globals().fullScreen = false;
        App_Globals().quit = false;
        Error_ResetForTests();
        D3DTraces().clear();
        DiagnosticsHooks hooks = Diagnostics_GetHooks();
        hooks.debuggerOutput = [](const char* text) {
            std::string line = text;
            if (line.rfind("D3DApp: ", 0) != 0) return;
            line = line.substr(8);
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
            D3DTraces().push_back(line);
        };
        hooks.driverPause = nullptr;
        hooks.driverResume = nullptr;
        hooks.driverRelease = nullptr;
        Diagnostics_SetHooks(hooks);
        ResetDriver();
        Palette_BuildGammaCurves();
    }
    void TearDown() override {
        ResetDriver();
        Diagnostics_ResetHooks();
        Error_ResetForTests();
        CmdLine_ResetGlobals();
        App_Globals().fullScreen = true;
        App_Globals().quit = false;
        Plat_SetFakeDesktopSize(0, 0);
        Plat_UseRealClock();
        Plat_ClearMessages();
        Plat_SetProfileDir("");
        std::filesystem::remove_all(dir_);
        Plat_Shutdown();
    }
    static void ResetDriver() { ResetHardwareDriver(); }

    void WriteConfig(const std::string& d3dSection) const {
        std::ofstream(dir_ + "/render.cfg") << "[D3D]\n" << d3dSection;
    }
    // The driver choice with the hardware flag on; true when the hardware driver came up.
    static bool ChooseHardware() {
        GraphicD3DFlags = 1;
        Render_ChooseDriver("Gravenholt");
        return g_graphicDriver.driverKind == kDriverHardware;
    }
    static GpuScript& Script() { return Gpu_RecordingScript(); }
    static std::vector<std::string> Calls(const std::string& prefix) { return Gpu_RecordedCalls(prefix); }
    static void ClearLog() { Gpu_RecordingLog().clear(); }

    std::string dir_;
};
