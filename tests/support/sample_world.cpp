#include "support/sample_world.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "content.h"

namespace {

// The one written copy, removed when the process that wrote it ends (not by its forked children).
struct WrittenWorld {
    std::string dir;
    pid_t owner = 0;
    ~WrittenWorld() {
        if (dir.empty() || getpid() != owner) return;
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

const WrittenWorld& Written(std::string* error) {
    static WrittenWorld world = [error] {
        WrittenWorld w;
        std::string pattern = (std::filesystem::temp_directory_path() / "gvworld-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            *error = "no directory for the sample world";
            return w;
        }
        if (!content::WriteWorld(pattern, error)) {
            std::error_code ec;
            std::filesystem::remove_all(pattern, ec);
            return w;
        }
        w.dir = pattern;
        w.owner = getpid();
        return w;
    }();
    return world;
}

}  // namespace

bool SampleWorld_CopyTo(const std::string& dir, std::string* error) {
    const WrittenWorld& world = Written(error);
    if (world.dir.empty()) {
        if (error->empty()) *error = "the sample world could not be written";
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    std::filesystem::copy(world.dir, dir,
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing,
                          ec);
    if (ec) {
        *error = "copying the sample world to " + dir + ": " + ec.message();
        return false;
    }
    return true;
}
