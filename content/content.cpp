#include "content.h"

#include <filesystem>
#include <system_error>

namespace content {

bool WriteWorld(const std::string& dir, std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        if (error) *error = "cannot create " + dir + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace content
