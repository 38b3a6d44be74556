// The real backend: SDL2 windows, events and message boxes.
#include <SDL.h>

#include <map>
#include <set>
#include <string>

#include "platform/backend.h"

namespace {

int ToVirtualKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return VK_NUMPAD0 + 1 + (key - SDLK_KP_1);
    switch (key) {
        case SDLK_KP_0: return VK_NUMPAD0;
        case SDLK_BACKSPACE: return VK_BACK;
        case SDLK_TAB: return VK_TAB;
        case SDLK_RETURN: case SDLK_KP_ENTER: return VK_RETURN;
        case SDLK_LSHIFT: case SDLK_RSHIFT: return VK_SHIFT;
        case SDLK_LCTRL: case SDLK_RCTRL: return VK_CONTROL;
        case SDLK_LALT: case SDLK_RALT: return VK_MENU;
        case SDLK_PAUSE: return VK_PAUSE;
        case SDLK_CAPSLOCK: return VK_CAPITAL;
        case SDLK_ESCAPE: return VK_ESCAPE;
        case SDLK_SPACE: return VK_SPACE;
        case SDLK_PAGEUP: return VK_PRIOR;
        case SDLK_PAGEDOWN: return VK_NEXT;
        case SDLK_END: return VK_END;
        case SDLK_HOME: return VK_HOME;
        case SDLK_LEFT: return VK_LEFT;
        case SDLK_UP: return VK_UP;
        case SDLK_RIGHT: return VK_RIGHT;
        case SDLK_DOWN: return VK_DOWN;
        case SDLK_INSERT: return VK_INSERT;
        case SDLK_DELETE: return VK_DELETE;
        case SDLK_KP_MULTIPLY: return VK_MULTIPLY;
        case SDLK_KP_PLUS: return VK_ADD;
        case SDLK_KP_MINUS: return VK_SUBTRACT;
        case SDLK_KP_PERIOD: return VK_DECIMAL;
        case SDLK_KP_DIVIDE: return VK_DIVIDE;
        case SDLK_NUMLOCKCLEAR: return VK_NUMLOCK;
        case SDLK_SCROLLLOCK: return VK_SCROLL;
        case SDLK_SEMICOLON: return VK_OEM_1;
        case SDLK_EQUALS: return VK_OEM_PLUS;
        case SDLK_COMMA: return VK_OEM_COMMA;
        case SDLK_MINUS: return VK_OEM_MINUS;
        case SDLK_PERIOD: return VK_OEM_PERIOD;
        case SDLK_SLASH: return VK_OEM_2;
        case SDLK_BACKQUOTE: return VK_OEM_3;
        case SDLK_LEFTBRACKET: return VK_OEM_4;
        case SDLK_BACKSLASH: return VK_OEM_5;
        case SDLK_RIGHTBRACKET: return VK_OEM_6;
        case SDLK_QUOTE: return VK_OEM_7;
        default: return 0;
    }
}

LParam MousePoint(int x, int y) { return static_cast<LParam>((x & 0xFFFF) | ((y & 0xFFFF) << 16)); }

class SdlBackend final : public PlatBackend {
public:
    ~SdlBackend() override {
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
                int vk = ToVirtualKey(event.key.keysym.sym);
                if (vk == 0) break;
                bool down = event.type == SDL_KEYDOWN;
                Plat_SetKeyState(vk, down);
                bool alt = (event.key.keysym.mod & KMOD_ALT) != 0 || vk == VK_MENU;
                uint32_t message = alt ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
                LParam lParam = static_cast<LParam>(event.key.keysym.scancode) << 16;
                if (event.key.repeat) lParam |= 1LL << 30;
                if (alt) lParam |= 1LL << 29;
                Plat_PostMessage(handleOf(event.key.windowID), message, static_cast<WParam>(vk), lParam);
                break;
            }
            case SDL_MOUSEMOTION:
                Plat_PostMessage(handleOf(event.motion.windowID), WM_MOUSEMOVE, 0,
                                 MousePoint(event.motion.x, event.motion.y));
                break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP: {
                bool down = event.type == SDL_MOUSEBUTTONDOWN;
                uint32_t message = 0;
                switch (event.button.button) {
                    case SDL_BUTTON_LEFT: message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
                    case SDL_BUTTON_RIGHT: message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
                    case SDL_BUTTON_MIDDLE: message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
                    default: message = down ? WM_XBUTTONDOWN : WM_XBUTTONUP; break;
                }
                if (down && event.button.clicks == 2) message += 2;  // the double-click message
                Plat_PostMessage(handleOf(event.button.windowID), message, 0,
                                 MousePoint(event.button.x, event.button.y));
                break;
            }
            case SDL_MOUSEWHEEL:
                Plat_PostMessage(handleOf(event.wheel.windowID), WM_MOUSEWHEEL,
                                 static_cast<WParam>(static_cast<uint16_t>(event.wheel.y * 120)) << 16, 0);
                break;
            default: break;
        }
    }

    std::map<WindowHandle, SDL_Window*> windows_;
    std::map<WindowHandle, SdlSurface> surfaces_;
    std::set<WindowHandle> glWindows_;  // native windows made for the hardware device
};

}  // namespace

std::unique_ptr<PlatBackend> Plat_MakeSdlBackend() {
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return nullptr;
    return std::make_unique<SdlBackend>();
}
