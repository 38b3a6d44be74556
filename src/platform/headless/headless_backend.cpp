// The backend for tests, CI and machines without a display: windows exist only as
// records, boxes are answered by the policy, events come from whoever posts them.
#include <cstdlib>
#include <string>

#include "platform/backend.h"
#include "platform/clock.h"

namespace {

class HeadlessBackend final : public PlatBackend {
public:
    HeadlessBackend() {
        if (const char* frames = std::getenv("GRAVENHOLT_HEADLESS_FRAMES")) {
            char* end = nullptr;
            long value = std::strtol(frames, &end, 10);
            if (end != frames && value > 0) frameLimit_ = value;
        }
    }
    bool createWindow(WindowHandle, const std::string&, int, int) override { return true; }
    void destroyWindow(WindowHandle) override {}
    void showWindow(WindowHandle, int) override {}
    void setCaption(WindowHandle, const std::string&) override {}
    void setSize(WindowHandle, int, int) override {}
    void captureMouse(WindowHandle, bool) override {}
    void pollEvents() override {}
    void waitEvents(uint32_t timeoutMs) override { Plat_Sleep(timeoutMs < 1 ? 1 : timeoutMs); }
    int messageBox(const MessageBoxRecord& box) override { return Plat_DefaultMessageBoxAnswer(box); }
    void frameTick() override {
        if (frameLimit_ <= 0) return;
        if (++frames_ == frameLimit_) {
            auto windows = Plat_AllWindows();
            if (!windows.empty()) Plat_PostMessage(windows.front(), WM_CLOSE, 0, 0);
        }
    }

private:
    long frameLimit_ = 0;
    long frames_ = 0;
};

}  // namespace

std::unique_ptr<PlatBackend> Plat_MakeHeadlessBackend() { return std::make_unique<HeadlessBackend>(); }
