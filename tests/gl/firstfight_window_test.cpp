// The real game binary on the fight mission in a window on the X server: keys sent through the X
// test extension pitch the tank's nose down and fire its cannon into the ground ahead, the frames
// read back from the window show the round's explosion (the first frame that shows it differs from
// the frame before it where the explosion is, and it burns out), and closing the window through
// the window manager's protocol in the middle of the firing ends the program with exit code 0.
#include <gtest/gtest.h>
// X11 defines macros (None, Bool, Status) that clash with gtest: include it after.
#include "gl_support.h"
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

#include "content.h"

namespace {

struct Box {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // x1, y1 one past the last column and row
    int Area() const { return (x1 - x0) * (y1 - y0); }
};

// A frame read back from the window, one 0xRRGGBB value a pixel.
struct Frame {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    bool Empty() const { return pixels.empty(); }
    uint32_t At(int x, int y) const { return pixels[size_t(y) * width + x]; }
    bool SingleColour() const {
        return std::all_of(pixels.begin(), pixels.end(), [&](uint32_t p) { return p == pixels.front(); });
    }
};

// The whole window, or only the pixels inside area (the rest left black): reading less keeps
// up with the game's frames on a busy machine.
Frame ReadFrame(Display* display, Window window, const Box* area = nullptr) {
    Frame frame;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes)) return frame;
    Box read{0, 0, attributes.width, attributes.height};
    if (area)
        read = {std::max(area->x0, 0), std::max(area->y0, 0), std::min(area->x1, attributes.width),
                std::min(area->y1, attributes.height)};
    if (read.x1 <= read.x0 || read.y1 <= read.y0) return frame;
    XImage* image =
        XGetImage(display, window, read.x0, read.y0, read.x1 - read.x0, read.y1 - read.y0, AllPlanes, ZPixmap);
    if (!image) return frame;
    auto channel = [](unsigned long pixel, unsigned long mask) -> uint32_t {
        int shift = 0;
        while (mask && !(mask & 1)) mask >>= 1, ++shift;
        return mask ? static_cast<uint32_t>(((pixel >> shift) & mask) * 255 / mask) : 0;
    };
    frame.width = attributes.width;
    frame.height = attributes.height;
    frame.pixels.assign(size_t(frame.width) * frame.height, 0);
    for (int y = read.y0; y < read.y1; ++y)
        for (int x = read.x0; x < read.x1; ++x) {
            const unsigned long p = XGetPixel(image, x - read.x0, y - read.y0);
            frame.pixels[size_t(y) * frame.width + x] = channel(p, image->red_mask) << 16 |
                                                        channel(p, image->green_mask) << 8 |
                                                        channel(p, image->blue_mask);
        }
    XDestroyImage(image);
    return frame;
}

// Kept beside the test (in the build directory) to look at when it fails.
void SavePicture(const Frame& frame, const std::string& path) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return;
    std::fprintf(out, "P6\n%d %d\n255\n", frame.width, frame.height);
    for (uint32_t p : frame.pixels) {
        const unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                                      static_cast<unsigned char>(p)};
        std::fwrite(rgb, 1, 3, out);
    }
    std::fclose(out);
}

// The ground in front of the tank with its nose down: the columns from 35% to 72% of the width
// (clear of the radar), rows from 50% to 80% of the height (below the horizon, down into the
// cockpit's dashboard, which hides the nearest ground).
Box GroundAhead(const Frame& frame) {
    return {frame.width * 35 / 100, frame.height / 2, frame.width * 72 / 100, frame.height * 80 / 100};
}

// The colours the ground ahead has shown (the software driver draws from a palette, so they are
// a small set). A colour within a few steps of one of them in every channel counts as known: a
// tint over the whole view (as when the player's craft is hit) is no new colour.
class GroundColours {
public:
    static constexpr int kTolerance = 24;
    bool Knows(uint32_t colour) {
        if (auto it = cache_.find(colour); it != cache_.end()) return it->second;
        auto near = [colour](uint32_t c) {
            for (int shift = 0; shift < 24; shift += 8)
                if (std::abs(int(colour >> shift & 0xFF) - int(c >> shift & 0xFF)) > kTolerance) return false;
            return true;
        };
        const bool known = std::any_of(colours_.begin(), colours_.end(), near);
        cache_[colour] = known;
        return known;
    }
    // Adds the colour; false when it was known already.
    bool Learn(uint32_t colour) {
        if (Knows(colour)) return false;
        colours_.push_back(colour);
        cache_.clear();
        return true;
    }

private:
    std::vector<uint32_t> colours_;
    std::unordered_map<uint32_t, bool> cache_;
};

// Pixels of a colour the ground never showed: how many there are in the area and the largest
// patch of touching ones with the box round it.
struct Strange {
    int count = 0;
    int patch = 0;
    Box bounds;
};
Strange StrangePixels(const Frame& frame, const Box& area, GroundColours& known) {
    Strange s;
    const int w = area.x1 - area.x0, h = area.y1 - area.y0;
    if (w <= 0 || h <= 0) return s;
    std::vector<char> strange(size_t(w) * h), seen(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            strange[size_t(y) * w + x] = !known.Knows(frame.At(area.x0 + x, area.y0 + y));
            s.count += strange[size_t(y) * w + x];
        }
    std::vector<int> stack;
    for (int start = 0; start < w * h; ++start) {
        if (!strange[start] || seen[start]) continue;
        Box box{w, h, 0, 0};
        int size = 0;
        stack.assign(1, start);
        seen[start] = 1;
        while (!stack.empty()) {
            const int at = stack.back(), x = at % w, y = at / w;
            stack.pop_back();
            ++size;
            box = {std::min(box.x0, x), std::min(box.y0, y), std::max(box.x1, x + 1), std::max(box.y1, y + 1)};
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy, n = ny * w + nx;
                    if (nx < 0 || ny < 0 || nx >= w || ny >= h || !strange[n] || seen[n]) continue;
                    seen[n] = 1;
                    stack.push_back(n);
                }
        }
        if (size > s.patch) {
            s.patch = size;
            s.bounds = {area.x0 + box.x0, area.y0 + box.y0, area.x0 + box.x1, area.y0 + box.y1};
        }
    }
    return s;
}

double ShareDiffering(const Frame& a, const Frame& b, const Box& box) {
    if (a.pixels.size() != b.pixels.size() || box.Area() <= 0) return 0.0;
    int differing = 0;
    for (int y = box.y0; y < box.y1; ++y)
        for (int x = box.x0; x < box.x1; ++x) differing += a.At(x, y) != b.At(x, y);
    return double(differing) / box.Area();
}

// The least a round's puff covers in one patch of touching pixels (landing some ten metres ahead
// it covers hundreds): a few pixels of a new ground shade, or a round in flight, are no
// explosion.
constexpr int kLeastExplosionPixels = 40;

// A burst on the ground: the frame before showed only ground ahead (a round in flight may show
// a few pixels), and the frame now shows one compact patch of new colours there, small beside
// the ground ahead, filling at least half of the box round it and holding nearly all its new
// pixels. Ground of another kind coming into view (the craft pushed round) is none: it comes as
// wide, ragged patches, or the frame before already showed some of it.
bool IsBurst(const Strange& now, const Strange& before, const Box& ground) {
    return before.count < kLeastExplosionPixels / 2 && now.patch >= kLeastExplosionPixels &&
           now.bounds.Area() < ground.Area() / 4 && 2 * now.patch >= now.bounds.Area() &&
           now.count <= now.patch + kLeastExplosionPixels / 2;
}

class FirstFightWindow : public ::testing::Test {
protected:
    void SetUp() override {
        display_ = OpenTestDisplay();
        ASSERT_NE(display_, nullptr) << "needs a display (run under xvfb-run)";
        int event = 0, error = 0, major = 0, minor = 0;
        ASSERT_TRUE(XTestQueryExtension(display_, &event, &error, &major, &minor)) << "needs the X test extension";
        char pattern[] = "/tmp/gvgl-firstfight-XXXXXX";
        dir_ = mkdtemp(pattern);
        std::string failure;
        ASSERT_TRUE(content::WriteWorld(dir_, &failure)) << failure;
        // The same run every time: the game's random numbers start from one seed.
        setenv("GRAVENHOLT_SEED", "5150", 1);
    }
    void TearDown() override {
        if (display_) ReleaseAll();
        if (child_ > 0) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        unsetenv("GRAVENHOLT_SEED");
        if (display_) XCloseDisplay(display_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    // Starts the game and waits for its window to show the mission (not one colour).
    Window Start(std::vector<const char*> switches) {
        child_ = StartGravenholt(dir_, switches);
        return WaitForGameWindow(
            display_, child_,
            [&](Window window) {
                const Frame frame = ReadFrame(display_, window);
                return !frame.Empty() && !frame.SingleColour();
            },
            kStageLimit);
    }
    // The next frame that differs from last where the test reads (the game draws slower than the
    // test reads under the sanitizers on a busy machine), or the same picture again when the
    // view stays still for seconds; an empty frame when the window cannot be read.
    Frame NextFrame(Window window, const Frame& last) {
        Frame frame;
        Eventually(
            [&] {
                frame = ReadFrame(display_, window, readArea_);
                return frame.Empty() || frame.pixels != last.pixels;
            },
            std::chrono::seconds(5));
        return frame;
    }
    void Press(Window window, KeySym sym) {
        XSetInputFocus(display_, window, RevertToParent, CurrentTime);
        const KeyCode code = XKeysymToKeycode(display_, sym);
        ASSERT_NE(code, 0) << "no key for the symbol on this display";
        XTestFakeKeyEvent(display_, code, True, CurrentTime);
        XSync(display_, False);
        held_.push_back(code);
    }
    void Release(KeySym sym) {
        const KeyCode code = XKeysymToKeycode(display_, sym);
        const auto at = std::find(held_.begin(), held_.end(), code);
        if (at == held_.end()) return;
        XTestFakeKeyEvent(display_, code, False, CurrentTime);
        XSync(display_, False);
        held_.erase(at);
    }
    void ReleaseAll() {
        for (KeyCode code : held_) XTestFakeKeyEvent(display_, code, False, CurrentTime);
        XSync(display_, False);
        held_.clear();
    }
    // Closes the window as its close button does; the exit code, or -1 when it did not end.
    int Close(Window window) {
        SendWindowClose(display_, window);
        int status = 0;
        if (!WaitForExit(child_, &status)) return -1;
        child_ = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    Display* display_ = nullptr;
    std::string dir_;
    pid_t child_ = 0;
    std::vector<KeyCode> held_;
    const Box* readArea_ = nullptr;  // what NextFrame reads of the window
};

TEST_F(FirstFightWindow, KeysFireTheCannonTheExplosionShowsAndClosingEndsWithZero) {
    const Window window = Start({"-nointro", "-win", "-SW", "fight.qmn"});
    ASSERT_NE(window, 0u) << "the game's window never showed the mission";
    Frame frame = ReadFrame(display_, window);
    ASSERT_FALSE(frame.Empty());
    const Box ground = GroundAhead(frame);
    SavePicture(frame, "firstfight_start.ppm");
    readArea_ = &ground;
    frame = ReadFrame(display_, window, readArea_);
    KeySym fire = XK_KP_Insert;  // "Insert" of the key map: the keypad's
    if (!XKeysymToKeycode(display_, fire)) fire = XK_KP_0;

    // The ground's colours: those the ground ahead shows while the pitch key (F) tips the nose
    // down and after it comes up again, each time until ten frames in a row show none new.
    GroundColours known;
    auto learn = [&](const char* what) {
        int settled = 0;
        for (int frames = 0; settled < 10; ++frames) {
            ASSERT_LT(frames, 900) << "the ground ahead never settled " << what;
            frame = NextFrame(window, frame);
            ASSERT_FALSE(frame.Empty()) << "the window could not be read";
            bool learnt = false;
            for (int y = ground.y0; y < ground.y1; ++y)
                for (int x = ground.x0; x < ground.x1; ++x) learnt |= known.Learn(frame.At(x, y));
            settled = learnt ? 0 : settled + 1;
        }
    };
    learn("with the nose up");
    Press(window, XK_f);
    learn("with the nose down");
    ReleaseAll();
    learn("after the nose came up");
    SavePicture(frame, "firstfight_aimed.ppm");

    // Fire (Insert on the keypad) and nose down together: the fire key is tapped at once and every
    // half second after (held, the cannon fires many rounds a second, and their bursts run into
    // each other), and while the nose goes down the rounds burst on the ground ever nearer
    // (the nearest ones end behind the dashboard). The first frame that shows a burst is compared
    // with the frame before it. A try that shows none ends after sixty frames in a row without a
    // new colour (or three hundred in all); the next starts once ten in a row show only ground.
    Frame before, shown;
    Strange burst;
    for (int attempt = 0; attempt < 3 && shown.Empty(); ++attempt) {
        RecordProperty("attempts", attempt + 1);
        Press(window, XK_f);
        before = frame;
        for (int quiet = 0, frames = 0; quiet < 60 && frames < 300; ++frames) {
            if (frames % 15 == 0) Press(window, fire);
            if (frames % 15 == 1) Release(fire);
            Frame next = NextFrame(window, before);
            ASSERT_FALSE(next.Empty()) << "the window could not be read";
            const Strange strange = StrangePixels(next, ground, known);
            if (IsBurst(strange, StrangePixels(before, ground, known), ground)) {
                shown = std::move(next);
                burst = strange;
                break;
            }
            quiet = strange.count ? 0 : quiet + 1;
            before = std::move(next);
        }
        ReleaseAll();
        frame = before;
        for (int clear = 0, frames = 0; shown.Empty() && clear < 10 && frames < 300; ++frames) {
            frame = NextFrame(window, frame);
            ASSERT_FALSE(frame.Empty()) << "the window could not be read";
            clear = StrangePixels(frame, ground, known).count ? 0 : clear + 1;
        }
    }
    SavePicture(before, "firstfight_before.ppm");
    ASSERT_FALSE(shown.Empty()) << "no explosion showed on the ground ahead";
    SavePicture(shown, "firstfight_explosion.ppm");
    RecordProperty("explosion", std::to_string(burst.patch) + " pixels at " + std::to_string(burst.bounds.x0) + "," +
                                    std::to_string(burst.bounds.y0) + " to " + std::to_string(burst.bounds.x1) +
                                    "," + std::to_string(burst.bounds.y1));
    // The frame with the burst differs from the one before it where the burst is.
    const double differing = ShareDiffering(before, shown, burst.bounds);
    EXPECT_GT(differing, 0.25) << "share of the explosion's box that changed";
    // And it burns out: with the keys up, a later frame shows only ground there again.
    frame = shown;
    bool burntOut = false;
    for (int frames = 0; frames < 300 && !burntOut; ++frames) {
        frame = NextFrame(window, frame);
        ASSERT_FALSE(frame.Empty()) << "the window could not be read";
        burntOut = StrangePixels(frame, burst.bounds, known).count == 0;
    }
    EXPECT_TRUE(burntOut) << "what showed where the round burst stayed";

    // Closed in the middle of the fight (firing, rounds in flight and bursting), it still ends
    // cleanly.
    Press(window, fire);
    Press(window, XK_f);
    for (int frames = 0; frames < 10; ++frames) {
        frame = NextFrame(window, frame);
        ASSERT_FALSE(frame.Empty()) << "the window could not be read";
    }

    EXPECT_EQ(Close(window), 0);
}

}  // namespace
