// The real backend: SDL2 windows, events and message boxes.
#include <SDL.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

#include "platform/backend.h"
#include "platform/input.h"

// The OpenGL window's full-colour picture (gl_device.cpp).
bool Plat_GlShowFrame(void* nativeWindow, const uint32_t* xrgb, int width, int height);

namespace {

WParam WheelDelta(int notches) { return static_cast<WParam>(static_cast<uint16_t>(notches * 120)) << 16; }

LParam MousePoint(int x, int y) { return static_cast<LParam>((x & 0xFFFF) | ((y & 0xFFFF) << 16)); }

class SdlBackend final : public PlatBackend {
public:
    ~SdlBackend() override {
        for (auto& [index, haptic] : haptics_) SDL_HapticClose(haptic);
        for (auto& [id, stick] : sticks_) SDL_JoystickClose(stick);
        for (auto& [handle, surface] : surfaces_) releaseSurface(surface);
        for (auto& [handle, window] : windows_) SDL_DestroyWindow(window);
        SDL_Quit();
    }

    bool createWindow(WindowHandle handle, const std::string& caption, int width, int height) override {
        // Ready for OpenGL where the display offers it, so the hardware device draws into this very
        // window; a plain one elsewhere.
        const int w = width > 0 ? width : 640, h = height > 0 ? height : 480;
        const uint32_t flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE;
        SDL_Window* window = SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h,
                                              flags | SDL_WINDOW_OPENGL);
        if (!window)
            window = SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h, flags);
        if (!window) return false;
        windows_[handle] = window;
        return true;
    }

    void destroyWindow(WindowHandle handle) override {
        surfaceClose(handle);
        glWindows_.erase(handle);
        auto found = windows_.find(handle);
        if (found == windows_.end()) return;
        SDL_DestroyWindow(found->second);
        windows_.erase(found);
    }

    void showWindow(WindowHandle handle, int command) override {
        SDL_Window* window = find(handle);
        if (!window) return;
        switch (command) {
            case SW_HIDE: SDL_HideWindow(window); break;
            case SW_MINIMIZE: SDL_MinimizeWindow(window); break;
            case SW_RESTORE: SDL_ShowWindow(window); SDL_RestoreWindow(window); break;
            default: SDL_ShowWindow(window); break;
        }
    }

    void setCaption(WindowHandle handle, const std::string& caption) override {
        if (SDL_Window* window = find(handle)) SDL_SetWindowTitle(window, caption.c_str());
    }

    void setSize(WindowHandle handle, int width, int height) override {
        if (SDL_Window* window = find(handle)) SDL_SetWindowSize(window, width, height);
    }

    void setPosition(WindowHandle handle, int x, int y) override {
        if (SDL_Window* window = find(handle)) SDL_SetWindowPosition(window, x, y);
    }

    void setBordered(WindowHandle handle, bool bordered) override {
        if (SDL_Window* window = find(handle)) SDL_SetWindowBordered(window, bordered ? SDL_TRUE : SDL_FALSE);
    }

    bool desktopSize(int* width, int* height) override {
        SDL_DisplayMode mode;
        if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return false;
        *width = mode.w;
        *height = mode.h;
        return true;
    }

    // The surface is a renderer on the window with one streaming texture of the frame's size;
    // the texture is stretched over the whole window.
    bool surfaceOpen(WindowHandle handle) override {
        if (surfaces_.count(handle)) return true;
        // A window the hardware device drew into carries its OpenGL set-up; the software surface
        // takes a fresh native window behind the same handle.
        SDL_Window* window = find(handle);
        if (window && glWindows_.erase(handle)) window = recreate(handle, 0);
        if (!window) return false;
        SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, 0);
        if (!renderer) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
        if (!renderer) return false;
        surfaces_[handle] = SdlSurface{renderer, nullptr, 0, 0};
        return true;
    }

    void surfaceClose(WindowHandle handle) override {
        auto found = surfaces_.find(handle);
        if (found == surfaces_.end()) return;
        releaseSurface(found->second);
        surfaces_.erase(found);
    }

    bool surfaceShowsPixels() const override { return true; }

    bool surfacePresent(WindowHandle handle, const uint32_t* xrgb, int width, int height) override {
        auto found = surfaces_.find(handle);
        if (found == surfaces_.end()) return false;
        SdlSurface& surface = found->second;
        if (!surface.texture || surface.width != width || surface.height != height) {
            if (surface.texture) SDL_DestroyTexture(surface.texture);
            surface.texture = SDL_CreateTexture(surface.renderer, SDL_PIXELFORMAT_RGB888,
                                                SDL_TEXTUREACCESS_STREAMING, width, height);
            surface.width = surface.texture ? width : 0;
            surface.height = surface.texture ? height : 0;
            if (!surface.texture) return false;
        }
        if (SDL_UpdateTexture(surface.texture, nullptr, xrgb, width * 4) != 0) return false;
        return redraw(surface);
    }

    bool presentFullColour(WindowHandle handle, const uint32_t* xrgb, int width, int height) override {
        if (glWindows_.count(handle)) return Plat_GlShowFrame(find(handle), xrgb, width, height);
        if (!surfaces_.count(handle) && !surfaceOpen(handle)) return false;
        return surfacePresent(handle, xrgb, width, height);
    }

    void* glWindow(WindowHandle handle) override {
        SDL_Window* window = find(handle);
        if (!window) return nullptr;
        surfaceClose(handle);
        if (!(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL)) window = recreate(handle, SDL_WINDOW_OPENGL);
        if (window) glWindows_.insert(handle);
        return window;
    }

    void captureMouse(WindowHandle handle, bool capture) override {
        SDL_Window* window = find(handle);
        if (window) SDL_SetWindowGrab(window, capture ? SDL_TRUE : SDL_FALSE);
        SDL_ShowCursor(capture ? SDL_DISABLE : SDL_ENABLE);
    }

    // While the cursor is clipped the mouse is in relative mode: the window manager need not
    // let us warp the pointer, and the position is the centre plus the motion since the last
    // re-centring.
    bool cursorPos(WindowHandle handle, int* x, int* y) override {
        PlatRect client;
        if (!Plat_GetClientRect(handle, &client)) return false;
        if (SDL_GetRelativeMouseMode()) {
            *x = client.right / 2 + relativeX_;
            *y = client.bottom / 2 + relativeY_;
            return true;
        }
        SDL_Window* window = find(handle);
        int mx = 0, my = 0;
        SDL_GetGlobalMouseState(&mx, &my);
        int wx = 0, wy = 0;
        if (window) SDL_GetWindowPosition(window, &wx, &wy);
        *x = mx - wx;
        *y = my - wy;
        return true;
    }

    void warpCursor(WindowHandle handle, int x, int y) override {
        PlatRect client;
        if (SDL_GetRelativeMouseMode() && Plat_GetClientRect(handle, &client)) {
            relativeX_ = x - client.right / 2;
            relativeY_ = y - client.bottom / 2;
            return;
        }
        if (SDL_Window* window = find(handle)) SDL_WarpMouseInWindow(window, x, y);
    }

    void clipCursor(WindowHandle handle) override {
        for (auto& [h, window] : windows_) SDL_SetWindowGrab(window, h == handle ? SDL_TRUE : SDL_FALSE);
        relativeX_ = relativeY_ = 0;
        SDL_SetRelativeMouseMode(handle ? SDL_TRUE : SDL_FALSE);
    }

    void showCursor(bool visible) override { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

    // The layout's character at the key's position.
    int unshiftedChar(int virtualKey) override {
        const int usage = Plat_UsageOfVirtualKey(virtualKey);
        if (usage == 0) return 0;
        const SDL_Keycode code = SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(usage));
        if (code <= 0 || code > 255) return 0;
        return code >= 'a' && code <= 'z' ? code - 'a' + 'A' : code;
    }

    int joyCount() override { return std::max<int>(SDL_NumJoysticks(), sticks_.empty() ? 0 : sticks_.rbegin()->first + 1); }

    int joyCaps(int id, PlatJoyCaps* caps) override {
        SDL_Joystick* stick = joystick(id);
        if (!stick) return kJoyErrBadDeviceId;
        if (!SDL_JoystickGetAttached(stick)) return kJoyErrUnplugged;
        *caps = PlatJoyCaps{};
        const char* name = SDL_JoystickName(stick);
        caps->name = name ? name : "";
        const int axes = SDL_JoystickNumAxes(stick);
        for (int i = 0; i < kJoyAxisCount; ++i) caps->hasAxis[i] = i < axes;
        caps->buttons = std::min(SDL_JoystickNumButtons(stick), kJoyMaxButtons);
        caps->hasHat = SDL_JoystickNumHats(stick) > 0;
        return kJoyOk;
    }

    int joyPos(int id, PlatJoyPos* pos) override {
        SDL_Joystick* stick = joystick(id);
        if (!stick) return kJoyErrBadDeviceId;
        SDL_JoystickUpdate();
        if (!SDL_JoystickGetAttached(stick)) return kJoyErrUnplugged;
        *pos = PlatJoyPos{};
        const int axes = std::min(SDL_JoystickNumAxes(stick), static_cast<int>(kJoyAxisCount));
        for (int i = 0; i < axes; ++i) pos->axis[i] = SDL_JoystickGetAxis(stick, i) + 32768;
        const int buttons = std::min(SDL_JoystickNumButtons(stick), kJoyMaxButtons);
        for (int i = 0; i < buttons; ++i)
            if (SDL_JoystickGetButton(stick, i)) pos->buttons |= 1u << i;
        if (SDL_JoystickNumHats(stick) > 0) {
            switch (SDL_JoystickGetHat(stick, 0)) {
                case SDL_HAT_UP: pos->hat = 0; break;
                case SDL_HAT_RIGHTUP: pos->hat = 4500; break;
                case SDL_HAT_RIGHT: pos->hat = 9000; break;
                case SDL_HAT_RIGHTDOWN: pos->hat = 13500; break;
                case SDL_HAT_DOWN: pos->hat = 18000; break;
                case SDL_HAT_LEFTDOWN: pos->hat = 22500; break;
                case SDL_HAT_LEFT: pos->hat = 27000; break;
                case SDL_HAT_LEFTUP: pos->hat = 31500; break;
                default: pos->hat = kJoyHatCentred; break;
            }
        }
        return kJoyOk;
    }

    bool hapticOpen(int index) override {
        if (haptics_.count(index)) return true;
        SDL_Joystick* stick = joystick(index);
        if (!stick || SDL_JoystickIsHaptic(stick) != SDL_TRUE) return false;
        SDL_Haptic* haptic = SDL_HapticOpenFromJoystick(stick);
        if (!haptic) return false;
        haptics_[index] = haptic;
        return true;
    }

    void hapticControl(int index, PlatHaptic command) override {
        auto found = haptics_.find(index);
        if (found == haptics_.end()) return;
        switch (command) {
            case PlatHaptic::Enable: SDL_HapticUnpause(found->second); break;
            case PlatHaptic::Disable: SDL_HapticPause(found->second); break;
            case PlatHaptic::Clear: SDL_HapticStopAll(found->second); break;
            case PlatHaptic::Close:
                SDL_HapticClose(found->second);
                haptics_.erase(found);
                break;
        }
    }

    void pollEvents() override {
        SDL_Event event;
        while (SDL_PollEvent(&event)) translate(event);
    }

    void waitEvents(uint32_t timeoutMs) override {
        SDL_Event event;
        if (SDL_WaitEventTimeout(&event, static_cast<int>(timeoutMs))) translate(event);
    }

    int messageBox(const MessageBoxRecord& box) override {
        SDL_MessageBoxData data{};
        data.flags = (box.flags & 0xF0) == MB_ICONERROR     ? SDL_MESSAGEBOX_ERROR
                     : (box.flags & 0xF0) == MB_ICONWARNING ? SDL_MESSAGEBOX_WARNING
                                                            : SDL_MESSAGEBOX_INFORMATION;
        data.window = find(box.owner);
        data.title = box.caption.c_str();
        data.message = box.text.c_str();
        std::vector<SDL_MessageBoxButtonData> buttons;
        if (!box.buttons.empty()) {
            for (size_t i = 0; i < box.buttons.size(); ++i)
                buttons.push_back({0, static_cast<int>(i), box.buttons[i].c_str()});
        } else if ((box.flags & 0x0F) == MB_OKCANCEL) {
            buttons.push_back({SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDOK, "OK"});
            buttons.push_back({SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDCANCEL, "Cancel"});
        } else if ((box.flags & 0x0F) == MB_YESNO) {
            buttons.push_back({SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"});
            buttons.push_back({SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDNO, "No"});
        } else {
            buttons.push_back({SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
                               IDOK, "OK"});
        }
        data.numbuttons = static_cast<int>(buttons.size());
        data.buttons = buttons.data();
        int answer = -1;
        if (SDL_ShowMessageBox(&data, &answer) != 0) return Plat_DefaultMessageBoxAnswer(box);
        if (answer < 0) return box.buttons.empty() ? ((box.flags & 0x0F) == MB_YESNO ? IDNO : IDCANCEL) : -1;
        return answer;
    }

private:
    struct SdlSurface {
        SDL_Renderer* renderer;
        SDL_Texture* texture;
        int width;
        int height;
    };

    static void releaseSurface(SdlSurface& surface) {
        if (surface.texture) SDL_DestroyTexture(surface.texture);
        if (surface.renderer) SDL_DestroyRenderer(surface.renderer);
        surface = SdlSurface{nullptr, nullptr, 0, 0};
    }

    static bool redraw(SdlSurface& surface) {
        if (SDL_SetRenderDrawColor(surface.renderer, 0, 0, 0, 255) != 0 || SDL_RenderClear(surface.renderer) != 0)
            return false;
        if (surface.texture && SDL_RenderCopy(surface.renderer, surface.texture, nullptr, nullptr) != 0) return false;
        SDL_RenderPresent(surface.renderer);
        return true;
    }

    SDL_Joystick* joystick(int id) {
        auto found = sticks_.find(id);
        if (found != sticks_.end()) return found->second;
        if (id < 0 || id >= SDL_NumJoysticks()) return nullptr;
        SDL_Joystick* stick = SDL_JoystickOpen(id);
        if (stick) sticks_[id] = stick;
        return stick;
    }

    // A new native window with the old one's caption, size, place, frame and visibility.
    SDL_Window* recreate(WindowHandle handle, uint32_t extraFlags) {
        SDL_Window* old = find(handle);
        if (!old) return nullptr;
        int x = 0, y = 0, w = 0, h = 0;
        SDL_GetWindowPosition(old, &x, &y);
        SDL_GetWindowSize(old, &w, &h);
        const uint32_t flags = SDL_GetWindowFlags(old);
        const std::string caption = SDL_GetWindowTitle(old);
        uint32_t keep = SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | extraFlags;
        if (flags & SDL_WINDOW_BORDERLESS) keep |= SDL_WINDOW_BORDERLESS;
        SDL_Window* window = SDL_CreateWindow(caption.c_str(), x, y, w, h, keep);
        if (!window) return nullptr;
        SDL_DestroyWindow(old);
        windows_[handle] = window;
        if (flags & SDL_WINDOW_SHOWN) SDL_ShowWindow(window);
        return window;
    }

    SDL_Window* find(WindowHandle handle) {
        auto found = windows_.find(handle);
        return found == windows_.end() ? nullptr : found->second;
    }

    WindowHandle handleOf(uint32_t windowId) {
        SDL_Window* window = SDL_GetWindowFromID(windowId);
        for (auto& [handle, w] : windows_)
            if (w == window) return handle;
        return windows_.empty() ? 0 : windows_.begin()->first;
    }

    void translate(const SDL_Event& event) {
        switch (event.type) {
            case SDL_QUIT:
                for (auto& [handle, window] : windows_) Plat_PostMessage(handle, WM_CLOSE, 0, 0);
                break;
            case SDL_WINDOWEVENT: {
                WindowHandle handle = handleOf(event.window.windowID);
                switch (event.window.event) {
                    case SDL_WINDOWEVENT_CLOSE: Plat_PostMessage(handle, WM_CLOSE, 0, 0); break;
                    case SDL_WINDOWEVENT_FOCUS_GAINED:
                        Plat_PostMessage(handle, WM_ACTIVATEAPP, 1, 0);
                        Plat_PostMessage(handle, WM_ACTIVATE, WA_ACTIVE, 0);
                        Plat_PostMessage(handle, WM_SETFOCUS, 0, 0);
                        break;
                    case SDL_WINDOWEVENT_FOCUS_LOST:
                        Plat_ReleaseAllKeys();
                        Plat_PostMessage(handle, WM_KILLFOCUS, 0, 0);
                        Plat_PostMessage(handle, WM_ACTIVATE, WA_INACTIVE, 0);
                        Plat_PostMessage(handle, WM_ACTIVATEAPP, 0, 0);
                        break;
                    case SDL_WINDOWEVENT_SIZE_CHANGED: {
                        auto surface = surfaces_.find(handle);
                        if (surface != surfaces_.end()) redraw(surface->second);
                        Plat_PostMessage(handle, WM_SIZE, SIZE_RESTORED,
                                         MousePoint(event.window.data1, event.window.data2));
                        break;
                    }
                    case SDL_WINDOWEVENT_MINIMIZED: Plat_PostMessage(handle, WM_SIZE, SIZE_MINIMIZED, 0); break;
                    case SDL_WINDOWEVENT_EXPOSED: {
                        // The window shows its last frame again at once; the game may repaint later.
                        auto surface = surfaces_.find(handle);
                        if (surface != surfaces_.end()) redraw(surface->second);
                        Plat_PostMessage(handle, WM_PAINT, 0, 0);
                        break;
                    }
                    default: break;
                }
                break;
            }
            case SDL_KEYDOWN:
            case SDL_KEYUP: {
                PlatKey key;
                if (!Plat_KeyOfUsage(event.key.keysym.scancode, &key)) break;
                Plat_PostKey(handleOf(event.key.windowID), key, event.type == SDL_KEYDOWN, event.key.repeat != 0);
                break;
            }
            case SDL_MOUSEMOTION:
                if (SDL_GetRelativeMouseMode()) {
                    relativeX_ += event.motion.xrel;
                    relativeY_ += event.motion.yrel;
                }
                Plat_PostMessage(handleOf(event.motion.windowID), WM_MOUSEMOVE, 0,
                                 MousePoint(event.motion.x, event.motion.y));
                break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP: {
                bool down = event.type == SDL_MOUSEBUTTONDOWN;
                uint32_t message = 0;
                WParam flags = 0;
                switch (event.button.button) {
                    case SDL_BUTTON_LEFT: message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
                    case SDL_BUTTON_RIGHT: message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
                    case SDL_BUTTON_MIDDLE: message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
                    case SDL_BUTTON_X1:
                    case SDL_BUTTON_X2:
                        message = down ? WM_XBUTTONDOWN : WM_XBUTTONUP;
                        flags = (event.button.button == SDL_BUTTON_X1 ? XBUTTON1 : XBUTTON2) << 16;
                        break;
                    default: break;
                }
                if (message == 0) break;
                if (down && event.button.clicks == 2) message += 2;  // the double-click message
                Plat_PostMessage(handleOf(event.button.windowID), message, flags,
                                 MousePoint(event.button.x, event.button.y));
                break;
            }
            case SDL_MOUSEWHEEL: {
                const int sign = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
                const WindowHandle handle = handleOf(event.wheel.windowID);
                if (event.wheel.y != 0)
                    Plat_PostMessage(handle, WM_MOUSEWHEEL, WheelDelta(sign * event.wheel.y), 0);
                if (event.wheel.x != 0)
                    Plat_PostMessage(handle, WM_MOUSEHWHEEL, WheelDelta(sign * event.wheel.x), 0);
                break;
            }
            default: break;
        }
    }

    std::map<WindowHandle, SDL_Window*> windows_;
    std::map<WindowHandle, SdlSurface> surfaces_;
    std::map<int, SDL_Joystick*> sticks_;
    std::map<int, SDL_Haptic*> haptics_;
    int relativeX_ = 0;
    int relativeY_ = 0;
    std::set<WindowHandle> glWindows_;  // native windows made for the hardware device
};

}  // namespace

std::unique_ptr<PlatBackend> Plat_MakeSdlBackend() {
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return nullptr;
    // Joysticks and haptics are optional: without them the game sees no sticks.
    SDL_InitSubSystem(SDL_INIT_JOYSTICK);
    SDL_InitSubSystem(SDL_INIT_HAPTIC);
    return std::make_unique<SdlBackend>();
}
