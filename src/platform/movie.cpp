#include "platform/movie.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

#include "platform/clock.h"
#include "platform/media.h"
#include "platform/paths.h"
#include "platform/surface.h"
#include "platform/system.h"

namespace {

struct Device {
    AviClip clip;
    std::unique_ptr<AviDecoder> decoder;
    WindowHandle window = 0;
    bool destinationSet = false;
    int left = 0, top = 0, width = 0, height = 0;
    bool playing = false;
    int from = 0, to = 0;
    uint32_t startMs = 0;
    WindowHandle notify = 0;
    int shown = -1;
    std::vector<uint32_t> canvas;
    std::vector<int> columns;
};

struct MovieState {
    std::map<uint32_t, std::unique_ptr<Device>> devices;
    uint32_t next = 1;
    uint32_t soundOwner = 0;  // the device whose sound plays on the media output
    uint32_t soundTicket = 0;
};

MovieState& S() {
    static MovieState state;
    return state;
}

Device* Find(uint32_t device) {
    auto found = S().devices.find(device);
    return found == S().devices.end() ? nullptr : found->second.get();
}

void StopSound(uint32_t device) {
    if (S().soundOwner != device) return;
    PlatMedia_StopTicket(S().soundTicket);
    S().soundOwner = 0;
}

bool Show(Device& d, int frame) {
    if (!d.decoder->decode(frame)) return false;
    d.shown = frame;
    PlatRect client;
    if (!Plat_GetClientRect(d.window, &client)) return false;
    const int cw = client.right - client.left, ch = client.bottom - client.top;
    if (cw <= 0 || ch <= 0) return false;
    int left = 0, top = 0, width = cw, height = ch;
    if (d.destinationSet) {
        left = d.left;
        top = d.top;
        width = d.width;
        height = d.height;
    }
    const size_t canvasSize = size_t(cw) * size_t(ch);
    const bool covers = left <= 0 && top <= 0 && left + width >= cw && top + height >= ch;
    // Only what the picture leaves uncovered is cleared.
    if (d.canvas.size() != canvasSize || !covers) d.canvas.assign(canvasSize, 0);
    const std::vector<uint32_t>& pixels = d.decoder->pixels();
    const int fw = d.clip.width, fh = d.clip.height;
    if (width > 0 && height > 0) {
        const int x0 = std::max(left, 0), x1 = std::min(left + width, cw);
        const int y0 = std::max(top, 0), y1 = std::min(top + height, ch);
        std::vector<int>& column = d.columns;
        column.resize(size_t(std::max(x1 - x0, 0)));
        for (int x = x0; x < x1; ++x) column[size_t(x - x0)] = int(int64_t(x - left) * fw / width);
        int lastRow = -1;
        for (int y = y0; y < y1; ++y) {
            const int row = int(int64_t(y - top) * fh / height);
            uint32_t* out = d.canvas.data() + size_t(y) * size_t(cw);
            if (row == lastRow) {
                // A picture row shown on more than one window row is scaled once.
                std::memcpy(out + x0, out - cw + x0, size_t(x1 - x0) * 4);
                continue;
            }
            lastRow = row;
            const uint32_t* in = pixels.data() + size_t(row) * size_t(fw);
            const int* col = column.data();
            for (int x = x0; x < x1; ++x) out[x] = in[col[x - x0]];
        }
    }
    const bool shown = Plat_SurfacePresent32Swap(d.window, d.canvas, cw, ch);
    // What comes back is an older frame: only a picture that covers the window overwrites it all.
    if (d.canvas.size() != canvasSize) d.canvas.assign(canvasSize, 0);
    return shown;
}

}  // namespace

uint32_t PlatMovie_Open(const std::string& path, WindowHandle window, std::string* reason) {
    if (!Plat_IsWindow(window)) {
        if (reason) *reason = "no such window";
        return 0;
    }
    auto d = std::make_unique<Device>();
    if (!Avi_Load(Plat_ResolvePath(path), &d->clip, reason)) return 0;
    d->decoder = std::make_unique<AviDecoder>(d->clip);
    d->window = window;
    const uint32_t id = S().next++;
    S().devices[id] = std::move(d);
    return id;
}

bool PlatMovie_Close(uint32_t device) {
    if (!Find(device)) return false;
    StopSound(device);
    S().devices.erase(device);
    return true;
}

bool PlatMovie_IsOpen(uint32_t device) { return Find(device) != nullptr; }

bool PlatMovie_SetDestination(uint32_t device, int left, int top, int width, int height) {
    Device* d = Find(device);
    if (!d || width < 0 || height < 0) return false;
    d->destinationSet = true;
    d->left = left;
    d->top = top;
    d->width = width;
    d->height = height;
    return true;
}

bool PlatMovie_Play(uint32_t device, int from, int to, WindowHandle notify) {
    Device* d = Find(device);
    if (!d) return false;
    const int last = int(d->clip.frames.size()) - 1;
    if (to < 0) to = last;
    if (from < 0 || from > last || to < from || to > last) return false;
    d->from = from;
    d->to = to;
    d->notify = notify;
    d->startMs = Plat_Milliseconds();
    d->playing = true;
    if (d->clip.hasAudio) {
        PlatMediaClip sound{d->clip.audioFormat, d->clip.audio};
        S().soundTicket = PlatMedia_Play({sound}, uint32_t(double(from) * d->clip.periodMs()));
        S().soundOwner = device;
    }
    Show(*d, from);
    Plat_FrameTick();
    return true;
}

bool PlatMovie_Stop(uint32_t device) {
    Device* d = Find(device);
    if (!d) return false;
    d->playing = false;
    StopSound(device);
    return true;
}

bool PlatMovie_Seek(uint32_t device, int frame) {
    Device* d = Find(device);
    if (!d) return false;
    const int last = int(d->clip.frames.size()) - 1;
    if (frame < 0) frame = last;
    if (frame > last) return false;
    PlatMovie_Stop(device);
    d->shown = frame;
    return true;
}

int PlatMovie_FrameCount(uint32_t device) {
    Device* d = Find(device);
    return d ? int(d->clip.frames.size()) : -1;
}

int PlatMovie_Position(uint32_t device) {
    Device* d = Find(device);
    return d ? d->shown : -1;
}

bool PlatMovie_IsPlaying(uint32_t device) {
    Device* d = Find(device);
    return d && d->playing;
}

bool PlatMovie_ShowFrame(uint32_t device, int frame) {
    Device* d = Find(device);
    return d && Show(*d, frame);
}

void PlatMovie_Service() {
    std::vector<uint32_t> ids;
    for (auto& [id, d] : S().devices)
        if (d->playing) ids.push_back(id);
    for (uint32_t id : ids) {
        Device* d = Find(id);
        if (!d || !d->playing) continue;
        PlatMedia_Pump();
        const double elapsed = double(Plat_Milliseconds() - d->startMs);
        const double period = d->clip.periodMs();
        const int frames = d->to - d->from + 1;
        if (elapsed >= double(frames) * period) {
            // Every frame has had its period: the play is over.
            d->playing = false;
            if (d->notify) Plat_PostMessage(d->notify, MM_MCINOTIFY, 1, LParam(id));
            continue;
        }
        const int due = d->from + int(elapsed / period);
        if (due != d->shown) {
            Show(*d, due);
            Plat_FrameTick();
        }
    }
}

void PlatMovie_Reset() {
    S().devices.clear();
    S().next = 1;
    S().soundOwner = 0;
}
