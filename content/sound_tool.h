// "gvtool sound": plays a named sound of a data root through the sound layer on the headless
// mixer (listener at the origin facing +z; the source at (x, 0, z) when placed, 2-D otherwise)
// and writes the mix as a 16-bit stereo WAVE file.
#pragma once
#include <string>

namespace content {
bool RenderSound(const std::string& dataDir, const std::string& name, const std::string& outPath, bool placed,
                 float x, float z, std::string* error);
}  // namespace content
