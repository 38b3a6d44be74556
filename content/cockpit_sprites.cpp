#include "cockpit_sprites.h"

#include <cmath>
#include <string>

namespace content {

namespace {

constexpr int kW = 256, kH = 320;
constexpr uint8_t kKey = 255;
constexpr uint8_t kInk = 15;

struct Page {
    std::vector<uint8_t> px = std::vector<uint8_t>(size_t(kW) * kH, kKey);
    void Put(int x, int y, uint8_t c) {
        if (x >= 0 && x < kW && y >= 0 && y < kH) px[size_t(y) * kW + x] = c;
    }
    void Fill(int x, int y, int w, int h, uint8_t c) {
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) Put(x + i, y + j, c);
    }
    void Frame(int x, int y, int w, int h, uint8_t c) {
        for (int i = 0; i < w; ++i) Put(x + i, y, c), Put(x + i, y + h - 1, c);
        for (int j = 0; j < h; ++j) Put(x, y + j, c), Put(x + w - 1, y + j, c);
    }
    // A letter of the sample font at (x, y), scale 1.
    int Letter(int code, int x, int y, uint8_t c) {
        int w = 0, h = 0;
        const std::vector<uint8_t> bits = SampleGlyphBits(code, &w, &h);
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i)
                if (bits[size_t(j * w + i)]) Put(x + i, y + j, c);
        return w;
    }
};

}  // namespace

void AppendCockpitSprites(std::vector<SpriteRecordSpec>& records, std::vector<NamedFile>& files,
                          const std::function<uint8_t(int, int, int)>& nearest) {
    Page page;
    auto add = [&](const std::string& name, int x, int y, int w, int h) { records.push_back({name, "cockpit", x, y, w, h, 0}); };
    const uint8_t dark = nearest(40, 44, 40), mid = nearest(90, 96, 90), light = nearest(160, 170, 160);
    const uint8_t black = nearest(0, 0, 0), green = nearest(0, 255, 0), darkGreen = nearest(0, 128, 0);
    const uint8_t yellow = nearest(255, 255, 0), red = nearest(255, 0, 0), blue = nearest(0, 0, 255);
    const uint8_t lightBlue = nearest(80, 120, 255), white = nearest(255, 255, 255);

    // The status panel: two halves of a plate with sockets for the gauges and the mounts.
    page.Fill(0, 0, 181, 93, dark);
    page.Frame(0, 0, 181, 93, light);
    page.Frame(1, 1, 179, 91, mid);
    page.Fill(4, 16, 33, 60, black);   // hull gauge socket
    page.Fill(41, 16, 16, 60, black);  // ammunition gauge socket
    for (int y = 18; y < 76; y += 6) page.Put(38, y, light);
    // The mount rows stay open: the strips and icons drawn under the plate show through.
    page.Fill(63, 24, 104, 62, kKey);
    page.Frame(62, 23, 106, 64, light);
    add("status_left", 0, 0, 90, 93);
    add("status_right", 90, 0, 91, 93);
    // Gauge bars: the hull bar is a silhouette (tinted), the ammunition bar is drawn in colour.
    page.Fill(184, 0, 30, 58, kInk);
    for (int y = 0; y < 58; y += 4) page.Fill(184, y, 30, 1, kKey);
    add("hull_bar", 184, 0, 30, 58);
    for (int y = 0; y < 58; ++y) page.Fill(216, y, 14, 1, y % 3 == 0 ? lightBlue : blue);
    add("ammo_bar", 216, 0, 14, 58);
    // The sight: a ring with a cross, for the level marker and the scope.
    for (int j = 0; j < 32; ++j)
        for (int i = 0; i < 32; ++i) {
            const double d = std::hypot(i - 15.5, j - 15.5);
            if ((d > 13.0 && d < 14.5) || ((i == 15 || j == 15) && d > 4.0 && d < 13.0)) page.Put(184 + i, 60 + j, green);
        }
    add("sight", 184, 60, 32, 32);
    // Health bars under the markers.
    const uint8_t barColours[3] = {green, yellow, red};
    const char* const barNames[3] = {"grnbar", "yelbar", "redbar"};
    for (int i = 0; i < 3; ++i) {
        page.Fill(232 + 6 * i, 0, 4, 20, barColours[i]);
        add(barNames[i], 232 + 6 * i, 0, 4, 20);
    }

    // The radar frame: an oval rim around the tilted disc, open inside.
    const int rx = 0, ry = 96, rw = 224, rh = 126;
    for (int j = 0; j < rh; ++j)
        for (int i = 0; i < rw; ++i) {
            const double ex = (i - 112.0) / 112.0, ey = (j - 52.0) / 70.0;
            const double d = ex * ex + ey * ey;
            if (d > 0.86 && d <= 1.0) page.Put(rx + i, ry + j, d > 0.95 ? light : mid);
        }
    add("radar5", rx, ry, rw, rh);
    add("radar6", rx, ry, rw, rh);
    add("radar_left", rx, ry, rw / 2, rh);
    add("radar_right", rx, ry, rw / 2, rh);

    // Small icons: 8 x 8 cells from (0, 224), 32 a row.
    int cell = 0;
    auto icon = [&](const std::string& name, auto draw) {
        const int x = (cell % 32) * 8, y = 224 + (cell / 32) * 8;
        ++cell;
        draw(x, y);
        add(name, x, y, 8, 8);
    };
    auto letterIcon = [&](const std::string& name, int code, uint8_t colour) {
        icon(name, [&](int x, int y) { page.Letter(code, x + 2, y, colour); });
    };
    letterIcon("hull", 'H', kInk);
    letterIcon("ammo", 'A', kInk);
    letterIcon("weapon_*", '*', kInk);
    letterIcon("weapon_C", 'C', kInk);
    letterIcon("weapon_R", 'R', kInk);
    letterIcon("weapon_M", 'M', kInk);
    letterIcon("weapon_S", 'S', kInk);
    letterIcon("icon_gun", 'G', kInk);
    icon("dot", [&](int x, int y) { page.Fill(x + 3, y + 3, 2, 2, white); });
    icon("ground.G", [&](int x, int y) { page.Frame(x + 1, y + 1, 6, 6, green); });
    icon("particle.0", [&](int x, int y) { page.Frame(x, y, 8, 8, red); });
    icon("reticle_gun", [&](int x, int y) {
        page.Frame(x + 1, y + 1, 6, 6, green);
        page.Put(x + 3, y + 3, green), page.Put(x + 4, y + 4, green);
    });
    // The pitch ladder: centre-left, centre-right, step-left, step-right.
    icon("ladder.0", [&](int x, int y) { page.Fill(x, y + 3, 8, 1, green); });
    icon("ladder.1", [&](int x, int y) { page.Fill(x, y + 3, 8, 1, green); });
    icon("ladder.2", [&](int x, int y) { page.Fill(x + 4, y + 3, 4, 1, darkGreen); });
    icon("ladder.3", [&](int x, int y) { page.Fill(x, y + 3, 4, 1, darkGreen); });
    for (const char* c : {"O", "D", "U", "B", "R", "F", "A", "C"})
        letterIcon(std::string("circ_") + c, c[0], kInk);
    for (int n = 0; n < 10; ++n) letterIcon("circ_" + std::to_string(n), '0' + n, kInk);
    for (int i = 0; i < 14; ++i) {
        // The ping ring: wide at the ping, settling to a small dot.
        const double r = i == 0 ? 1.5 : 1.0 + (14 - i) * 0.2;
        icon("ping." + std::to_string(i), [&](int x, int y) {
            for (int j = 0; j < 8; ++j)
                for (int k = 0; k < 8; ++k) {
                    const double d = std::hypot(k - 3.5, j - 3.5);
                    if (d <= r) page.Put(x + k, y + j, kInk);
                }
        });
    }
    for (const char* c : {"E", "N", "W", "S"}) letterIcon(std::string("compas_") + c, c[0], light);
    // The cannon's, the machine gun's and the rocket launcher's mount icons.
    letterIcon("icon_cannon", 'C', kInk);
    letterIcon("icon_mgun", 'M', kInk);
    letterIcon("icon_rocket", 'R', kInk);

    // Markers: each base (white) followed by its green, yellow, red and blue variants; 16 x 16
    // cells from (0, 256), 16 a row.
    const uint8_t variants[5] = {white, green, yellow, red, blue};
    int mark = 0;
    auto marker = [&](const std::string& base, auto draw) {
        for (int v = 0; v < 5; ++v) {
            const int x = (mark % 16) * 16, y = 256 + (mark / 16) * 16;
            ++mark;
            draw(x, y, variants[v]);
            static const char* const kSuffix[5] = {"W", "G", "Y", "R", "B"};
            add(base + "." + kSuffix[v], x, y, 16, 16);
        }
    };
    auto corners = [&](int x, int y, uint8_t c, int len) {
        for (int i = 0; i < len; ++i) {
            page.Put(x + i, y, c), page.Put(x, y + i, c);
            page.Put(x + 15 - i, y, c), page.Put(x + 15, y + i, c);
            page.Put(x + i, y + 15, c), page.Put(x, y + 15 - i, c);
            page.Put(x + 15 - i, y + 15, c), page.Put(x + 15, y + 15 - i, c);
        }
    };
    marker("object", [&](int x, int y, uint8_t c) {
        for (int i = 0; i < 8; ++i) page.Put(x + 8 + i, y + i, c), page.Put(x + 8 - i, y + i, c),
            page.Put(x + 8 + i, y + 15 - i, c), page.Put(x + 8 - i, y + 15 - i, c);
    });
    marker("select", [&](int x, int y, uint8_t c) { corners(x, y, c, 4); });
    marker("target", [&](int x, int y, uint8_t c) {
        corners(x, y, c, 5);
        page.Put(x + 7, y + 7, c), page.Put(x + 8, y + 8, c);
    });
    auto caret = [&](const std::string& name, int dir) {
        marker(name, [&](int x, int y, uint8_t c) {
            for (int i = 0; i < 6; ++i)
                for (int j = -i; j <= i; ++j) {
                    // A wedge pointing towards the screen edge.
                    int px = 8 + j, py = 1 + i;
                    if (dir == 1) py = 14 - i;
                    if (dir == 2) px = 1 + i, py = 8 + j;
                    if (dir == 3) px = 14 - i, py = 8 + j;
                    page.Put(x + px, y + py, c);
                }
        });
    };
    caret("caret_u", 0);
    caret("caret_l", 2);
    caret("caret_r", 3);
    caret("caret_d", 1);
    files.push_back({"cockpit.MAP", SpritePageBytes(kW, kH, page.px)});
}

}  // namespace content
