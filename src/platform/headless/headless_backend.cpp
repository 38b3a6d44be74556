// The backend for tests, CI and machines without a display: windows exist only as
// records, boxes are answered by the policy, events come from whoever posts them or from the
// event script named by GRAVENHOLT_HEADLESS_EVENTS. When GRAVENHOLT_HEADLESS_FRAMES ends a run,
// the last presented frame goes to the PPM file GRAVENHOLT_HEADLESS_SHOT names. The text of every
// box also goes to standard error, on one line, since nobody sees a headless box.
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/surface.h"

namespace {

// "caption: text", the text's line breaks and trailing blanks folded into single spaces.
std::string OneLine(const MessageBoxRecord& box) {
    std::string text;
    bool blank = false;
    for (char c : box.text) {
        const bool space = c == '\n' || c == '\r' || c == '\t' || c == ' ';
        if (space) {
            blank = !text.empty();
            continue;
        }
        if (blank) text += ' ';
        blank = false;
        text += c;
    }
    return box.caption.empty() ? text : box.caption + ": " + text;
}

class HeadlessBackend final : public PlatBackend {
public:
    HeadlessBackend() {
        if (const char* frames = std::getenv("GRAVENHOLT_HEADLESS_FRAMES")) {
            char* end = nullptr;
            long value = std::strtol(frames, &end, 10);
            if (end != frames && value > 0) frameLimit_ = value;
        }
        if (const char* shot = std::getenv("GRAVENHOLT_HEADLESS_SHOT"); shot && *shot) shotPath_ = shot;
        if (const char* script = std::getenv("GRAVENHOLT_HEADLESS_EVENTS"); script && *script) {
            std::string error;
            if (!Plat_LoadEventScript(script, &error))
                std::fprintf(stderr, "gravenholt: event script not used: %s\n", error.c_str());
        }
    }
    bool createWindow(WindowHandle, const std::string&, int, int) override { return true; }
    void destroyWindow(WindowHandle window) override { shown_.erase(window); }
    // A window that comes into view is activated and focused, as a window manager does.
    void showWindow(WindowHandle window, int command) override {
        const bool visible = command != SW_HIDE && command != SW_MINIMIZE;
        if (!visible) {
            shown_.erase(window);
            return;
        }
        if (shown_.insert(window).second) Plat_PostActivation(window, true);
    }
    void setCaption(WindowHandle, const std::string&) override {}
    void setSize(WindowHandle, int, int) override {}
    void captureMouse(WindowHandle, bool) override {}
    void pollEvents() override {
        if (Plat_EventScriptDone()) return;
        auto windows = Plat_AllWindows();
        if (!windows.empty()) Plat_PlayEventScript(frames_, windows.front());
    }
    void waitEvents(uint32_t timeoutMs) override { Plat_Sleep(timeoutMs < 1 ? 1 : timeoutMs); }
    int messageBox(const MessageBoxRecord& box) override {
        std::fprintf(stderr, "gravenholt: %s\n", OneLine(box).c_str());
        std::fflush(stderr);
        return Plat_DefaultMessageBoxAnswer(box);
    }
    void frameTick() override {
        ++frames_;
        if (frameLimit_ > 0 && frames_ >= frameLimit_) {
            auto windows = Plat_AllWindows();
            if (windows.empty()) return;
            // What the run showed last, for whoever looks afterwards.
            if (frames_ == frameLimit_ && !shotPath_.empty() &&
                !Plat_SurfaceSaveFrame(windows.front(), shotPath_.c_str()))
                std::fprintf(stderr, "gravenholt: no frame written to %s\n", shotPath_.c_str());
            // Asked again at every later frame: a close that came while a movie played, before
            // the game took up its state, is not lost.
            Plat_PostMessage(windows.front(), WM_CLOSE, 0, 0);
        }
    }

private:
    long frameLimit_ = 0;
    long frames_ = 0;
    std::string shotPath_;  // GRAVENHOLT_HEADLESS_SHOT
    std::set<WindowHandle> shown_;
};

}  // namespace

std::unique_ptr<PlatBackend> Plat_MakeHeadlessBackend() { return std::make_unique<HeadlessBackend>(); }
