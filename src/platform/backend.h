// What a platform backend provides under the common queue, windows and boxes.
// Internal to src/platform.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/input.h"
#include "platform/msgbox.h"
#include "platform/window.h"

enum class PlatHaptic { Enable, Disable, Clear, Close };

class PlatBackend {
public:
    virtual ~PlatBackend() = default;
    virtual bool createWindow(WindowHandle window, const std::string& caption, int width, int height) = 0;
    virtual void destroyWindow(WindowHandle window) = 0;
    virtual void showWindow(WindowHandle window, int command) = 0;
    virtual void setCaption(WindowHandle window, const std::string& caption) = 0;
    virtual void setSize(WindowHandle window, int width, int height) = 0;
    virtual void captureMouse(WindowHandle window, bool capture) = 0;
    // Turns waiting native events into posted messages.
    virtual void pollEvents() = 0;
    // Waits up to timeoutMs for a native event.
    virtual void waitEvents(uint32_t timeoutMs) = 0;
    virtual int messageBox(const MessageBoxRecord& box) = 0;
    virtual void frameTick() {}

    // Window placement and frame (borderless or with caption and border).
    virtual void setPosition(WindowHandle, int /*x*/, int /*y*/) {}
    virtual void setBordered(WindowHandle, bool /*bordered*/) {}
    // The desktop's size; false when the backend does not know it.
    virtual bool desktopSize(int* /*width*/, int* /*height*/) { return false; }
    // The window's drawing surface. Frames come as 0x00RRGGBB words, width x height, row by row.
    virtual bool surfaceOpen(WindowHandle) { return true; }
    virtual void surfaceClose(WindowHandle) {}
    virtual bool surfacePresent(WindowHandle, const uint32_t* /*xrgb*/, int /*width*/, int /*height*/) { return true; }
    // A full-colour frame on a window without an open surface (a window the hardware device
    // draws, or none yet): shown filling the window. true when shown or when nothing shows.
    virtual bool presentFullColour(WindowHandle, const uint32_t* /*xrgb*/, int /*width*/, int /*height*/) {
        return true;
    }
    // Whether presenting shows the pixels somewhere. A backend that shows nothing is never handed
    // them: the surface keeps 8-bit frames as they came and widens them only when read back.
    virtual bool surfaceShowsPixels() const { return false; }

    // Input hardware (input.h). The defaults are the simulated devices a script drives.
    virtual bool cursorPos(WindowHandle window, int* x, int* y);
    virtual void warpCursor(WindowHandle window, int x, int y);
    virtual void clipCursor(WindowHandle window);  // 0: no clip
    virtual void showCursor(bool /*visible*/) {}
    virtual int unshiftedChar(int virtualKey);
    virtual int joyCount();
    virtual int joyCaps(int id, PlatJoyCaps* caps);
    virtual int joyPos(int id, PlatJoyPos* pos);
    // Haptics of joystick index (0-based); open answers whether the stick has them.
    virtual bool hapticOpen(int index);
    virtual void hapticControl(int index, PlatHaptic command);
    // The native window made ready for an OpenGL context (recreated behind the same handle when
    // it was not); null when the backend has none.
    virtual void* glWindow(WindowHandle) { return nullptr; }
};

std::unique_ptr<PlatBackend> Plat_MakeHeadlessBackend();
std::unique_ptr<PlatBackend> Plat_MakeSdlBackend();  // null when no display can be opened
PlatBackend* Plat_Backend();  // the backend in use (headless when none was started)

// For the window module: the window is going away, its surface with it.
void Plat_SurfaceForget(WindowHandle window);

// For backends: the messages a window gets when it gains or loses the focus, and the focus.
void Plat_PostActivation(WindowHandle window, bool active);

// For the queue: a key message is being taken, so the key state follows it.
void Plat_NoteKeyMessage(const PlatMsg& msg);

// For backends: every window in creation order.
std::vector<WindowHandle> Plat_AllWindows();

// The headless answer to a box: the policy's, or OK / Yes / the first button.
int Plat_DefaultMessageBoxAnswer(const MessageBoxRecord& box);
