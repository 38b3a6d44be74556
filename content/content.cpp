#include "content.h"

#include "archive_writer.h"
#include "avoidance_config.h"
#include "colortables.h"
#include "definitions.h"
#include "keymaps.h"
#include "media_writer.h"
#include "mission_writer.h"
#include "models.h"
#include "projectinfo.h"
#include "sound_writer.h"
#include "sprite_writer.h"
#include "terrain_writer.h"
#include "texture_writer.h"

#include <filesystem>
#include <system_error>

namespace content {

namespace {
// Each format's generator, in the order they are written (later ones may pack earlier output).
using Generator = bool (*)(const std::string& dir, std::string* error);
const Generator kGenerators[] = {
    WriteColorTables,
    WriteTerrainWorld,
    WriteModelWorld,
    WriteTextureWorld,
    WriteSpriteWorld,
    WriteDefinitionWorld,
    WriteSoundWorld,
    WriteProjectInfo,
    WriteCollisionConfig,
    WriteArchiveWorld,
    WriteMissionWorld,
    RemovePackDirectory,
    WriteKeyMaps,
    WriteMediaWorld,
    nullptr,  // the list ends here; generators go above this line
};
}  // namespace

bool WriteWorld(const std::string& dir, std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        if (error) *error = "cannot create " + dir + ": " + ec.message();
        return false;
    }
    for (Generator generate : kGenerators)
        if (generate && !generate(dir, error)) return false;
    return true;
}

}  // namespace content
