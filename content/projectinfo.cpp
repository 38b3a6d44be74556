#include "projectinfo.h"

#include "archive_writer.h"
#include "textfiles.h"

namespace content {

std::string ProjectInfoText(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string text;
    for (const auto& [key, value] : entries) text += key + ": " + value + "\r\n";
    return text;
}

bool WriteProjectInfo(const std::string& dir, std::string* error) {
    const std::string text = ProjectInfoText({{"Project", "Gravenholt sample world"}, {"Version", "1"}});
    return WriteTextFile(dir + "/" + kPackDirectory + "/PrjInfo.txt", text, error);
}

}  // namespace content
