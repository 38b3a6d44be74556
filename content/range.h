// The weapons range for maintainers ("gvtool range DATA ..."): the sample map loaded headless,
// targets on the ground east of the range origin, explosions started there and the frame
// passes run at a fixed step, printing one event a line ("FRAME WORD key=value ...").
#pragma once
#include <cstdio>
#include <string>
#include <vector>

namespace content {

struct RangeOptions {
    std::vector<float> targets;  // metres east of the origin
    std::string explosion;       // built at the origin in frame 0 when not empty
    int frames = 30;
    int chunks = 0;              // debris chunks thrown at the origin in frame 0
    float dt = 1.0f / 30.0f;
    std::string weapon;          // the shooter's gun when not empty
    int hold = -1;               // frames the trigger is pulled (-1: all)
    float targetSpeed = 0.0f;    // the targets move north at this speed (m/s)
    bool dumpHeights = false;    // CRCs of the map's heights at the start, every 30 frames and the end
};

// Parses the options after DATA ("--targets 0,2,6", "--explosion NAME", "--frames N", "--dt S",
// "--chunks N", "--weapon NAME", "--hold N", "--target-speed V", and "--dump-heights" alone);
// false (error set) on anything else.
bool ParseRangeOptions(int argc, char** argv, RangeOptions* out, std::string* error);
// Runs the range on the data root; false (error set) when the world cannot be set up.
bool RunRange(const std::string& dataDir, const RangeOptions& options, FILE* out, std::string* error);

}  // namespace content
