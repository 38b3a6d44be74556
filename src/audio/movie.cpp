#include "audio/movie.h"

#include <cstdio>
#include <string>

#include "audio/cddisc.h"
#include "core/app.h"
#include "core/debug.h"
#include "core/helpers.h"
#include "platform/movie.h"
#include "platform/paths.h"

namespace {

struct MovieState {
    uint32_t device = 0;
    bool open = false;  // playing into the window
    bool replay = false;
    int mode = 0;
    PlatRect rect{0, 0, 639, 479};
    std::string path;
};

MovieState& M() {
    static MovieState state;
    return state;
}

uint64_t FileSize(const std::string& path) {
    FILE* file = Plat_OpenFile(path, "rb");
    if (!file) return 0;
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fclose(file);
    return size > 0 ? uint64_t(size) : 0;
}

bool IsIntro(const char* name) { return Text_CompareNoCase(name, "intro.avi") == 0; }

}  // namespace

int movie_driver_open() { return 1; }

void movie_driver_close() { movie_close(); }

int movie_open(const char* name) {
    MovieState& m = M();
    if (!name || !*name) return 0;
    movie_close();
    if (m.device) {
        PlatMovie_Close(m.device);
        m.device = 0;
    }
    std::vector<std::string> places;
    if (CdDisc_DriveLetter()) {
        places.push_back(CdDisc_Path(std::string("kolta\\movie\\") + name));
        places.push_back(CdDisc_Path(std::string("movie\\") + name));
    }
    const size_t discPlaces = places.size();
    places.push_back(Plat_DataPath(std::string("movie\\") + name));
    const WindowHandle window = App_Globals().mainWindow;
    for (size_t i = 0; i < places.size(); ++i) {
        const std::string& path = places[i];
        if (path.empty() || !Plat_FileExists(path)) continue;
        // A short intro on the disc is not the movie: it is passed over.
        if (i < discPlaces && IsIntro(name) && FileSize(path) <= kMovieDiscIntroMinBytes) continue;
        std::string reason;
        const uint32_t device = PlatMovie_Open(path, window, &reason);
        if (!device) {
            Debug_Trace("movie_open ( %s ) Error! %s\n", name, reason.c_str());
            continue;
        }
        if (!PlatMovie_Seek(device, -1) || !PlatMovie_Seek(device, 0)) {
            PlatMovie_Close(device);
            Error_Fatal("Gravenholt (mcimovie) movie_seek error!");
        }
        m.device = device;
        m.path = path;
        return 1;
    }
    return 0;
}

int movie_play(int mode, const PlatRect* rect) {
    MovieState& m = M();
    if (!m.device) return 0;
    if (rect) {
        m.rect = *rect;
        if (!PlatMovie_SetDestination(m.device, rect->left, rect->top, rect->right - rect->left,
                                      rect->bottom - rect->top)) {
            Debug_Trace("movie_play(): %s  - Error!\n", "put destination");
            return 0;
        }
    } else {
        m.rect = PlatRect{0, 0, 639, 479};
    }
    m.mode = mode;
    const WindowHandle window = App_Globals().mainWindow;
    if (mode == 0 || mode == 1) {
        if (!PlatMovie_Play(m.device, 0, -1, window)) {
            Debug_Trace("movie_play (): %s  - Error!\n", "play notify");
            return 0;
        }
    }
    m.open = true;
    return 1;
}

void movie_close() {
    MovieState& m = M();
    if (m.open && m.device) PlatMovie_Close(m.device);
    if (m.open) m.device = 0;
    m.open = false;
}

void movie_on_notify(uint32_t code, uint32_t device) {
    MovieState& m = M();
    if (!m.open || code != 1) return;
    if (m.replay) {
        m.replay = false;
        PlatMovie_Play(m.device, 0, -1, App_Globals().mainWindow);
        return;
    }
    if (device == m.device) movie_close();
}

bool movie_is_playing() { return M().open; }

void movie_set_replay(bool replay) { M().replay = replay; }

uint32_t Movie_Device() { return M().device; }
const char* Movie_OpenedPath() { return M().path.c_str(); }

void Movie_Reset() {
    if (M().device) PlatMovie_Close(M().device);
    M() = MovieState{};
}
