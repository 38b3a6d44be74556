// The project-info file "PrjInfo.txt": lines of a key, a colon and a value (CR LF), shipped with
// the data. The game reads "Language" and "Keyboard"; the sample world names neither, so the
// system's locale decides its language.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace content {

std::string ProjectInfoText(const std::vector<std::pair<std::string, std::string>>& entries);
// The sample world's file, packed into the archive.
bool WriteProjectInfo(const std::string& dir, std::string* error);

}  // namespace content
