#include "support/app_fixture.h"

#include <cstdlib>
#include <filesystem>

#include "core/app.h"
#include "core/debug.h"
#include "core/savegame.h"
#include "core/sysprobe.h"
#include "core/textentry.h"
#include "interface/inputdevices.h"
#include "platform/filedialog.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/window.h"
#include "support/sample_world.h"

std::vector<std::string>& RecordedCalls() {
    static std::vector<std::string> calls;
    return calls;
}

void AppFixture::SetUp() {
    Plat_Init(BackendKind::Headless);
    Plat_ClearMessages();
    Plat_ClearMessageBoxLog();
    Plat_SetMessageBoxPolicy(nullptr);
    Error_ResetForTests();
    TextField_DestroyAll();
    Lang_Reset();
    InputDevices_Reset();
    SaveGame_ResetGlobals();
    Plat_ResetFileDialog();
    RecordedCalls().clear();
    char pattern[] = "/tmp/gvtest-XXXXXX";
    profileDir = mkdtemp(pattern);
    Plat_SetProfileDir(profileDir);
    // The program reads its data through the index: the sample world serves as the data root.
    std::string error;
    ASSERT_TRUE(SampleWorld_CopyTo(profileDir + "/data", &error)) << error;
    Plat_SetDataRoot(profileDir + "/data");
    render_ = Seam_Render();
    shell_ = Seam_Shell();
    audio_ = Seam_Audio();
    cockpit_ = Seam_Cockpit();
    net_ = Seam_Net();
}

void AppFixture::TearDown() {
    App_ReleaseResources();
    TextField_DestroyAll();
    Lang_Reset();
    Seam_Render() = render_;
    Seam_Shell() = shell_;
    Seam_Audio() = audio_;
    Seam_Cockpit() = cockpit_;
    Seam_Net() = net_;
    for (WindowHandle window : {Plat_FindWindow("Gravenholt")})
        if (window) Plat_DestroyWindow(window);
    Plat_ClearMessages();
    Plat_FailAllocationsOfSize(0, 0);
    Error_ResetForTests();
    Plat_Shutdown();
    Plat_SetDataRoot(".");
    std::error_code ec;
    std::filesystem::remove_all(profileDir, ec);
}
