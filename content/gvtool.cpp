// gvtool: the developer's command-line tool.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/filecache.h"
#include "render/font.h"
#include "render/picture.h"
#include "render/sprite.h"
#include "Terrain/terrheight.h"
#include "Objkr/animobj.h"
#include "Objkr/classfnc.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Objkr/geometry.h"
#include "Objkr/objload.h"
#include "Terrain/terramap.h"
#include "Terrain/terrenv.h"
#include "core/seams/render.h"
#include "render/light.h"
#include "content.h"
#include "core/fieldarchive.h"
#include "core/savegame.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "mission_writer.h"
#include "platform/msgbox.h"
#include "platform/system.h"
#include "fuzz_seeds.h"
#include "core/helpers.h"
#include "inputprobe.h"
#include "core/odf.h"
#include "core/zfs.h"
#include "odfkeys.h"
#include "sound_tool.h"
#include "media_tool.h"
#include "frame.h"
#include "pathplan_tool.h"
#include "howtoplay.h"
#include "range.h"
#include "simulation.h"
#include "snapshot.h"
#include "core/filecache.h"
#include "core/filesys.h"
#include "core/sysprobe.h"
#include "core/zix.h"
#include "platform/paths.h"

namespace {
int Usage() {
    std::fprintf(stderr,
                 "usage: gvtool content DIR                      write the sample world into DIR\n"
                 "       gvtool controls                         print the default controls as the README's\n"
                 "                                               table (action, default binding)\n"
                 "       gvtool fuzz-seeds DIR TARGET...         write each fuzz target's seed corpus into\n"
                 "                                               DIR/TARGET (every target must have seeds)\n"
                 "       gvtool zfs-list ARCHIVE                 list an archive's records\n"
                 "       gvtool zfs-extract ARCHIVE NAME OUT     write a record's bytes to OUT\n"
                 "       gvtool zfs-add [-raw] ARCHIVE FILE [NAME]\n"
                 "                                               add FILE (as NAME), compressed unless -raw;\n"
                 "                                               a record of that name is replaced\n"
                 "       gvtool sound DATA NAME OUT.wav [X Z]    play the named sound on the headless mixer, the\n"
                 "                                               listener at the origin facing +z, the source at\n"
                 "                                               (X, 0, Z) when given (2-D otherwise); write the\n"
                 "                                               mix to OUT.wav (16-bit stereo)\n"
                 "       gvtool movie FILE [OUTDIR]              read a movie clip; print its frames, size, rate\n"
                 "                                               and sound; write every tenth frame to OUTDIR\n"
                 "       gvtool cd DIR TRACK                     play TRACK of the disc DIR on the virtual clock;\n"
                 "                                               print the tracks as they start, then \"stopped\"\n"
                 "       gvtool odfkey HASH [PREFIX | @STATE]    find a readable definition key text with that\n"
                 "                                               hash, beginning with PREFIX or continuing the\n"
                 "                                               hash state STATE\n"
                 "       gvtool lang DATA                        start the file system on DATA; print the language\n"
                 "                                               id and name the game would choose (\"2 german\")\n"
                 "       gvtool parts DATA FILE                  read a structure (.sdf) or vehicle (.vdf) file\n"
                 "                                               through DATA's index; print its part tree\n"
                 "       gvtool terrain DATA MAP X Z [Y DX DY DZ]\n"
                 "                                               load MAP through DATA's index; print the\n"
                 "                                               height and normal at (X, Z) and the first hit\n"
                 "                                               of the segment from (X, Y, Z) to + (DX, DY, DZ)\n"
                 "                                               (default: from 100 m above, 1000 m east, 45 down)\n"
                 "       gvtool frame DATA MAP X Z EYE HEADING PITCH OUT [SKYDETAIL]\n"
                 "                                               draw one 640 x 480 software frame of MAP from\n"
                 "                                               EYE metres above (X, Z), heading degrees (0 +z,\n"
                 "                                               90 +x), pitch up; write OUT (PPM); print\n"
                 "                                               \"N polygons\"\n"
                 "       gvtool snapshot DATA OUT.ppm            draw one object of each sample model on the\n"
                 "                                               sample map's flat ground into a 640 x 480 picture\n"
                 "       gvtool input-probe [--forcefeed] EVENTS run the input devices headless on an event\n"
                 "                                               script; print what each frame reads\n"
                 "       gvtool mission DATA FILE [-o OUT] [-saved] [-binary]\n"
                 "                                               load FILE (a bare name through DATA's index, a\n"
                 "                                               path from disk) as the game does; print its\n"
                 "                                               objects; with -o write the world to OUT again\n"
                 "                                               (a mission file unless -saved or FILE was a saved\n"
                 "                                               game; text form unless -binary)\n"
                 "       gvtool range DATA [--targets D1,D2,...] [--explosion NAME] [--frames N] [--dt S]\n"
                 "                                               load DATA's sample map headless, put targets D m\n"
                 "                                               east of the range origin, start the explosion\n"
                 "                                               there in frame 0 and run N frames (30) of S s\n"
                 "                                               (1/30); print one event a line; with --weapon\n"
                 "                                               NAME [--hold N] a shooter at the origin aims the\n"
                 "                                               gun at the first target, fires it for N frames\n"
                 "                                               and lets go (a launcher locks while held and\n"
                 "                                               fires when let go: `lock` lines show its stages;\n"
                 "                                               a switched item prints `active` and `inactive`\n"
                 "                                               as its effect starts and stops); --target-speed\n"
                 "                                               V moves the targets north at V m/s;\n"
                 "                                               --dump-heights prints the CRC-32 of the map's\n"
                 "                                               heights before the first frame, every 30 frames\n"
                 "                                               and after the teardown\n"
                 "       gvtool sim DATA FILE FRAMES [-throttle T] [-steer S] [-at X Z] [-report] [-telemetry]\n"
                 "                  [-go CLASS X1 Z1 X2 Z2]\n"
                 "                                               load FILE as `mission` does, drive the user's craft\n"
                 "                                               with the controls (first moved to the ground at\n"
                 "                                               X Z), run FRAMES frames of 1/30 s with the mission\n"
                 "                                               and print each object's speed and height; -report\n"
                 "                                               prints the bounds, named paths and areas, then\n"
                 "                                               every craft, person and power-up each second\n"
                 "                                               (its hp, and the rounds it has fired and the\n"
                 "                                               hits it has taken so far: fired=N hits=M);\n"
                 "                                               -go builds a team-1 CLASS craft at X1 Z1 that a\n"
                 "                                               go-to task drives to X2 Z2 (its lines show the\n"
                 "                                               task; a last \"go\" line tells where it ended);\n"
                 "                                               -telemetry ends with the twelve lines of the\n"
                 "                                               telemetry display for the user's craft\n"
                 "       gvtool plan DATA MAP X1 Z1 X2 Z2 [MOVER [SIDE]]\n"
                 "                                               load MAP, build the path grid and plan a route\n"
                 "                                               (mover 0, side 1 by default); print\n"
                 "                                               \"kind=K points=N\" and one \"X Z\" line a point\n"
                 "       gvtool sheet DATA OUT.pcx               draw every sprite of DATA's table and a line of\n"
                 "                                               the main font; write OUT; print the count\n");
    return 2;
}

int Fail(const char* what) {
    std::fprintf(stderr, "gvtool: %s\n", what);
    return 1;
}

int List(const char* path) {
    ZfsArchive* archive = Zfs_Open(path, false);
    if (!archive) return Fail(Zfs_LastError());
    std::printf("%u records (%u ever added), %u directory tables, mask %08x\n", archive->liveCount,
                archive->headerCount, archive->tableCount, archive->mask);
    for (const ZfsEntry& entry : Zfs_Entries(archive)) {
        const char* kind = (entry.flags & kZfsFlagLzo1x) ? "lzo1x" : (entry.flags & kZfsFlagLzo1y) ? "lzo1y" : "raw";
        std::printf("%-16s %5u %9u %9u %-5s %08x\n", entry.Name().c_str(), entry.recordNumber, entry.Length(),
                    entry.storedLength, kind, entry.userValue);
    }
    Zfs_Close(archive);
    return 0;
}

int Extract(const char* path, const char* name, const char* out) {
    ZfsArchive* archive = Zfs_Open(path, false);
    if (!archive) return Fail(Zfs_LastError());
    uint32_t length = 0;
    void* data = Zfs_Read(archive, name, &length);
    Zfs_Close(archive);
    if (!data) return Fail(Zfs_LastError());
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file.write(static_cast<const char*>(data), length);
    std::free(data);
    if (!file.flush()) return Fail("cannot write the output file");
    return 0;
}

int Add(bool raw, const char* path, const char* file, const char* name) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return Fail("cannot read the input file");
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.size() > 0xFFFFFFFFu) return Fail("the input file is too large");
    if (!name) {
        name = std::strrchr(file, '/');
        name = name ? name + 1 : file;
    }
    ZfsArchive* archive = Zfs_Open(path, true);
    if (!archive) return Fail(Zfs_LastError());
    uint32_t length = static_cast<uint32_t>(data.size());
    bool ok = Zfs_Find(archive, name) ? Zfs_Replace(archive, name, data.data(), length, 0)
                                      : Zfs_Add(archive, name, data.data(), length, 0, !raw);
    std::string reason = ok ? "" : Zfs_LastError();
    Zfs_Close(archive);
    return ok ? 0 : Fail(reason.c_str());
}

bool ParseHash(const char* text, uint32_t* out) {
    char* end = nullptr;
    unsigned long long value = std::strtoull(text, &end, 16);
    if (!*text || *end || value > 0xFFFFFFFFull) return false;
    *out = static_cast<uint32_t>(value);
    return true;
}

int FindKey(int argc, char** argv) {
    uint32_t target, state = kTextHashBasis;
    std::string prefix;
    if (argc < 3 || argc > 4 || !ParseHash(argv[2], &target)) return Usage();
    if (argc == 4) {
        if (argv[3][0] == '@') {
            if (!ParseHash(argv[3] + 1, &state)) return Usage();
        } else {
            prefix = argv[3];
        }
    }
    std::string text;
    if (!content::FindKeyText(target, prefix, state, &text)) {
        std::fprintf(stderr, "gvtool: no key text found for 0x%08x\n", target);
        return 1;
    }
    std::printf("0x%08x %s\n", target, text.c_str());
    return 0;
}

bool ParseNumber(const char* text, double* out) {
    // Plain decimal numbers only, read without regard to the locale.
    std::string value = text;
    if (value.empty() || value.find_first_not_of("+-.0123456789eE") != std::string::npos) return false;
    char* end = nullptr;
    *out = std::strtod(text, &end);
    return end && *end == 0 && std::isfinite(*out);
}

void PrintPart(const Entity* e, int depth) {
    std::string name(e->name, strnlen(e->name, 8));
    if (name.empty()) name.assign(1, '-');
    std::printf("%*s%-8s type %-3d at (%.2f, %.2f, %.2f)", depth * 2, "", name.c_str(), e->type, e->local.posit.x,
                e->local.posit.y, e->local.posit.z);
    for (int i = 0; i < e->geomList.count; ++i) {
        const GeomItem& item = e->geomList.items[i];
        int state, level;
        Geom_SplitKey(item.key, &state, &level);
        std::printf(" %s%d/%d:%.8s", item.geometry ? "" : "!", state, level, item.name);
    }
    std::printf("\n");
    for (const Entity* child = e->child; child; child = child->next) PrintPart(child, depth + 1);
}

int PartTree(int argc, char** argv) {
    if (argc != 4) return Usage();
    const std::string file = argv[3];
    const size_t dot = file.rfind('.');
    const bool vehicle = dot != std::string::npos && Text_CompareNoCase(file.c_str() + dot, ".vdf") == 0;
    Plat_SetDataRoot(argv[2]);
    if (!FileSys_TryStart(0)) return Fail(Zfs_LastError());
    Classfnc_ResetLists();
    Entities_Reset();
    EntityAlloc_Reset();
    GeomCache_Reset();
    Entity* root = Entity_New(nullptr);
    Entity_SetName(root, file.substr(0, dot).c_str());
    if (vehicle) Classfnc_SetClass(root, kTypeCraft);
    ObjLoadResult result{};
    const int ok = vehicle ? ObjLoad_ReadVdf(root, &result, file.c_str()) : ObjLoad_ReadSdf(root, &result, file.c_str());
    if (ok) {
        std::printf("%s (geometry entries \"state/level:name\", ! when missing)\n", file.c_str());
        PrintPart(root, 0);
        if (vehicle) std::printf("mass %.1f\n", static_cast<PhysBody*>(root->classData)->dynamics.mass);
        if (result.collisionGiven) std::printf("collision data given\n");
        std::printf("animation blocks %d\n", AnimObj_BlockCount());
    }
    Classfnc_Clear();
    Entity_Release(root);
    AnimObj_Reset();
    GeomCache_FreeAll();
    EntityAlloc_FreeAll();
    Data_Close();
    return ok ? 0 : Fail(("cannot read " + file).c_str());
}

int FrameTool(int argc, char** argv) {
    if (argc != 10 && argc != 11) return Usage();
    content::FrameRequest request;
    request.map = argv[3];
    double values[5];
    for (int i = 0; i < 5; ++i)
        if (!ParseNumber(argv[4 + i], &values[i])) return Fail((std::string("not a number: ") + argv[4 + i]).c_str());
    request.x = values[0];
    request.z = values[1];
    request.eye = static_cast<float>(values[2]);
    request.heading = static_cast<float>(values[3]);
    request.pitch = static_cast<float>(values[4]);
    if (argc == 11) {
        double detail = 0;
        if (!ParseNumber(argv[10], &detail) || detail < 0 || detail > 3 || detail != static_cast<int>(detail))
            return Fail((std::string("not a sky detail (0 to 3): ") + argv[10]).c_str());
        request.skyDetail = static_cast<int>(detail);
    }
    content::Frame frame;
    std::string error;
    if (!content::WriteFrame(argv[2], request, argv[9], &frame, &error)) return Fail(error.c_str());
    std::printf("%d polygons\n", frame.polygons);
    return 0;
}

int LanguageQuery(const char* data) {
    Plat_SetDataRoot(data);
    if (!FileSys_TryStart(0)) return Fail(Zfs_LastError());
    const int32_t id = Lang_Detect();
    std::printf("%d %s\n", id, Lang_Name(id));
    Data_Close();
    return 0;
}

// The game's last message, for a failed load or write.
int FailWithGameMessage(const char* fallback) {
    const auto& boxes = Plat_MessageBoxLog();
    std::string text = boxes.empty() ? fallback : boxes.back().text;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    std::fprintf(stderr, "gvtool: %s\n", text.c_str());
    return 1;
}

std::string Absolute(const std::string& path) {
    if (path.find_first_of("\\/") == std::string::npos) return path;  // a bare name: through the index
    return std::filesystem::absolute(path).string();
}

int MissionTool(int argc, char** argv) {
    if (argc < 4) return Usage();
    std::string out;
    bool saved = false, binary = false;
    for (int i = 4; i < argc; ++i) {
        if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
            out = argv[++i];
        } else if (std::strcmp(argv[i], "-saved") == 0) {
            saved = true;
        } else if (std::strcmp(argv[i], "-binary") == 0) {
            binary = true;
        } else {
            return Usage();
        }
    }
    Plat_Init(BackendKind::Headless);
    Plat_SetMessageBoxPolicy(nullptr);
    const std::string file = Absolute(argv[3]);
    // The game's own logs go to a scratch profile directory, not into the working directory.
    std::string profile = (std::filesystem::temp_directory_path() / "gvtool-mission-XXXXXX").string();
    if (!mkdtemp(profile.data())) return Fail("cannot make a scratch directory");
    int status = 0;
    {
        content::HeadlessWorld world(argv[2], profile);
        if (!world.Ready()) {
            status = Fail(("cannot read the index of " + std::string(argv[2])).c_str());
        } else if (!SaveGame_Load(file.c_str())) {
            status = FailWithGameMessage("the file could not be loaded");
        } else {
            for (GameObject* object : GameObject_List()) {
                const Entity* e = object->entity;
                char cls[9] = {};
                std::memcpy(cls, object->objClass->defName, 8);
                std::printf("%-24s %-8s team %d at (%.2f, %.2f, %.2f)\n", object->label ? object->label : "", cls,
                            static_cast<int>((e->flags & kEntityTeamMask) >> kEntityTeamShift), e->local.posit.x,
                            e->local.posit.y, e->local.posit.z);
            }
            if (!out.empty()) {
                SaveGame_SetMissionFile(SaveGame_IsMissionFile() && !saved);
                Field_SetBinary(binary);
                const bool written = SaveGame_Write(Absolute(out.find_first_of("\\/") == std::string::npos ? "./" + out : out).c_str(), 0);
                Field_SetBinary(false);
                if (!written) status = FailWithGameMessage("the file could not be written");
            }
        }
    }
    Plat_Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(profile, ec);
    return status;
}

int SimTool(int argc, char** argv) {
    if (argc < 5) return Usage();
    char* end = nullptr;
    const long frames = std::strtol(argv[4], &end, 10);
    if (*end != '\0' || frames < 0 || frames > 1000000) return Usage();
    content::SimOptions options;
    for (int i = 5; i < argc;) {
        double value = 0.0;
        if (std::strcmp(argv[i], "-report") == 0) {
            options.report = true;
            i += 1;
        } else if (std::strcmp(argv[i], "-telemetry") == 0) {
            options.telemetry = true;
            i += 1;
        } else if (std::strcmp(argv[i], "-at") == 0) {
            double z = 0.0;
            if (i + 2 >= argc || !ParseNumber(argv[i + 1], &value) || !ParseNumber(argv[i + 2], &z) ||
                !(std::fabs(value) <= 1e7 && std::fabs(z) <= 1e7))
                return Usage();
            options.moveUser = true;
            options.atX = static_cast<float>(value);
            options.atZ = static_cast<float>(z);
            i += 3;
        } else if (std::strcmp(argv[i], "-go") == 0) {
            double v[4];
            if (i + 5 >= argc) return Usage();
            for (int k = 0; k < 4; ++k)
                if (!ParseNumber(argv[i + 2 + k], &v[k]) || !(std::fabs(v[k]) <= 1e7)) return Usage();
            options.go = true;
            options.goClass = argv[i + 1];
            options.goFromX = static_cast<float>(v[0]);
            options.goFromZ = static_cast<float>(v[1]);
            options.goToX = static_cast<float>(v[2]);
            options.goToZ = static_cast<float>(v[3]);
            i += 6;
        } else if (std::strcmp(argv[i], "-throttle") == 0 || std::strcmp(argv[i], "-steer") == 0) {
            if (i + 1 >= argc || !ParseNumber(argv[i + 1], &value) || !(value >= -2.0 && value <= 2.0)) return Usage();
            (argv[i][1] == 't' ? options.throttle : options.steering) = static_cast<float>(value);
            i += 2;
        } else {
            return Usage();
        }
    }
    Plat_Init(BackendKind::Headless);
    Plat_SetMessageBoxPolicy(nullptr);
    std::string error;
    const int status =
        content::Simulation_Tool(argv[2], Absolute(argv[3]), static_cast<int>(frames), options, stdout, &error);
    Plat_Shutdown();
    if (status != 0) return Fail(error.c_str());
    return 0;
}

int TerrainQuery(int argc, char** argv) {
    double v[7];
    int given = argc - 4;
    if (given != 2 && given != 6) return Usage();
    for (int i = 0; i < given; ++i)
        if (!ParseNumber(argv[4 + i], &v[i])) return Usage();
    Plat_SetDataRoot(argv[2]);
    if (!FileSys_TryStart(0)) return Fail(Zfs_LastError());
    Terrain_SetFileName(argv[3]);
    if (!Terrain_ReadZoneFiles()) {
        Data_Close();
        return Fail("the map's terrain files are missing or do not fit (Zone loader error)");
    }
    // The map's time of day sets the sun the light map is computed under; the light cache goes
    // to a scratch profile, not into the working directory.
    Seam_Render().lightInitWorld = Light_InitWorld;
    Seam_Render().sunDirection = [](float out[3]) {
        const Vector sun = Light_GetSunDirection();
        out[0] = sun.x, out[1] = sun.y, out[2] = sun.z;
    };
    std::string profile = (std::filesystem::temp_directory_path() / "gvtool-terrain-XXXXXX").string();
    if (!mkdtemp(profile.data())) return Fail("cannot make a scratch directory");
    Plat_SetProfileDir(profile);
    Terrain_LoadMap(argv[3], 0);
    const double x = v[0], z = v[1];
    float height = 0.0f;
    Vector normal{};
    Terrain_GetHeightNormal(x, z, &height, &normal);
    float bounds[6];
    Terrain_GetBounds(bounds);
    std::printf("map %s: %d zones, x %.1f..%.1f m, z %.1f..%.1f m, heights %.1f..%.1f m\n", Terrain_GetFileName(),
                Terrain_ZoneCount(), bounds[0], bounds[3], bounds[2], bounds[5], bounds[1], bounds[4]);
    std::printf("at (%.3f, %.3f): height %.4f m, normal (%.5f, %.5f, %.5f), texture type %d%s\n", x, z, height,
                normal.x, normal.y, normal.z, Terrain_GetTextureType(x, z),
                Terrain_InBounds(x, z) ? "" : " (outside the queried range)");
    std::printf("light %d\n", *Terrain_GetLightByte(static_cast<int>(std::lround(x * 0.1)),
                                                    static_cast<int>(std::lround(z * 0.1))));
    const TerrainEnvironment& env = Terrain_Environment();
    std::printf("fog start %d m, fog end %d m, visibility range %.1f m\n", env.current.fogStart, env.current.fogEnd,
                env.visibilityMetres);
    double oy = height + 100.0;
    float dx = 1000.0f, dy = -1000.0f, dz = 0.0f;
    if (given == 6) {
        oy = v[2];
        dx = static_cast<float>(v[3]);
        dy = static_cast<float>(v[4]);
        dz = static_cast<float>(v[5]);
    }
    float t = 1.0f;
    Vector hitNormal{};
    if (Terrain_RayCast(x, oy, z, dx, dy, dz, &t, &hitNormal)) {
        std::printf("ray from (%.3f, %.3f, %.3f) along (%.3f, %.3f, %.3f): hit at t %.5f, (%.3f, %.3f, %.3f), "
                    "normal (%.5f, %.5f, %.5f)\n",
                    x, oy, z, dx, dy, dz, t, x + t * dx, oy + t * dy, z + t * dz, hitNormal.x, hitNormal.y, hitNormal.z);
    } else {
        std::printf("ray from (%.3f, %.3f, %.3f) along (%.3f, %.3f, %.3f): no hit\n", x, oy, z, dx, dy, dz);
    }
    Terrain_FreeAll();
    Data_Close();
    Plat_SetProfileDir("");
    std::error_code ec;
    std::filesystem::remove_all(profile, ec);
    return 0;
}
// Every sprite of DATA's table in a grid of 20-pixel cells, and a line of text in its main font.
int Sheet(const char* data, const char* out) {
    Plat_SetDataRoot(data);
    if (!FileSys_TryStart(0)) return Fail(Zfs_LastError());
    if (!Sprite_LoadTable()) {
        Data_Close();
        return Fail("the sprite table is missing");
    }
    Font_LoadMain();
    const int count = SpriteCount - 1, columns = 16, cell = 20;
    const int rows = (count + columns - 1) / columns;
    GraphicBuffer sheet;
    Graphic_InitBuffer(&sheet, columns * cell, rows * cell + 16, nullptr, kGraphicFormat8);
    Graphic_Clear(&sheet, 0);
    for (int i = 1; i <= count; ++i)
        Sprite_Draw(&sheet, i, ((i - 1) % columns) * cell + cell / 2, ((i - 1) / columns) * cell + cell / 2,
                    kSpriteCentreX | kSpriteCentreY | 1);
    char line[64];
    std::snprintf(line, sizeof line, "%d sprites\tin %d rows", count, rows);
    Font_DrawText(Font_Main(), &sheet, 4, rows * cell + 4, line);
    uint8_t palette[kPicturePaletteSize];
    const uint8_t* pal = static_cast<const uint8_t*>(Cache_UseItem("world.pal"));
    for (int i = 0; i < kPicturePaletteSize; ++i)
        palette[i] = pal && Cache_GetItemSize("world.pal") >= kPicturePaletteSize ? pal[i] : static_cast<uint8_t>(i / 3);
    const int written = Picture_Write(out, &sheet, palette);
    Graphic_FreeBuffer(&sheet);
    Font_FreeMain();
    Sprite_FreeTable();
    Data_Close();
    if (!written) return Fail((std::string("cannot write ") + out).c_str());
    std::printf("%d sprites\n", count);
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    std::string command = argv[1];
    if (command == "content") {
        if (argc != 3) return Usage();
        std::string error;
        if (!content::WriteWorld(argv[2], &error)) {
            std::fprintf(stderr, "gvtool: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    if (command == "fuzz-seeds" && argc >= 3) {
        std::string error;
        if (!content::WriteFuzzSeeds(argv[2], std::vector<std::string>(argv + 3, argv + argc), &error))
            return Fail(error.c_str());
        return 0;
    }
    if (command == "controls" && argc == 2) {
        std::fputs(content::HowToPlayTable().c_str(), stdout);
        return 0;
    }
    if (command == "odfkey") return FindKey(argc, argv);
    if (command == "movie" && (argc == 3 || argc == 4))
        return content::MovieTool(argv[2], argc == 4 ? argv[3] : "", stdout, stderr);
    if (command == "cd" && argc == 4) return content::CdTool(argv[2], std::atoi(argv[3]), stdout, stderr);
    if (command == "sound" && (argc == 5 || argc == 7)) {
        std::string error;
        const bool placed = argc == 7;
        const float x = placed ? Odf_ParseFloat(argv[5]) : 0.0f;
        const float z = placed ? Odf_ParseFloat(argv[6]) : 0.0f;
        if (!content::RenderSound(argv[2], argv[3], argv[4], placed, x, z, &error)) return Fail(error.c_str());
        return 0;
    }
    if (command == "input-probe") {
        const bool forceFeed = argc == 4 && std::strcmp(argv[2], "--forcefeed") == 0;
        if (argc != (forceFeed ? 4 : 3)) return Usage();
        std::string error;
        const int code = content::InputProbe(argv[argc - 1], forceFeed, stdout, &error);
        if (code != 0) return Fail(error.c_str());
        return 0;
    }
    if (command == "terrain") return TerrainQuery(argc, argv);
    if (command == "mission") return MissionTool(argc, argv);
    if (command == "sim") return SimTool(argc, argv);
    if (command == "sheet" && argc == 4) return Sheet(argv[2], argv[3]);
    if (command == "parts") return PartTree(argc, argv);
    if (command == "lang" && argc == 3) return LanguageQuery(argv[2]);
    if (command == "frame") return FrameTool(argc, argv);
    if (command == "range" && argc >= 3) {
        content::RangeOptions options;
        std::string error;
        if (!content::ParseRangeOptions(argc - 3, argv + 3, &options, &error)) return Fail(error.c_str());
        if (!content::RunRange(argv[2], options, stdout, &error)) return Fail(error.c_str());
        return 0;
    }
    if (command == "plan") {
        content::PlanRequest request;
        std::string error;
        if (!content::ParsePlanRequest(argc - 2, argv + 2, &request, &error)) return Fail(error.c_str());
        if (!content::RunPlan(request, stdout, &error)) return Fail(error.c_str());
        return 0;
    }
    if (command == "snapshot") {
        if (argc != 4) return Usage();
        std::string error;
        if (!content::WriteSnapshot(argv[2], argv[3], &error)) return Fail(error.c_str());
        return 0;
    }
    if (command == "zfs-list" && argc == 3) return List(argv[2]);
    if (command == "zfs-extract" && argc == 5) return Extract(argv[2], argv[3], argv[4]);
    if (command == "zfs-add") {
        int first = 2;
        bool raw = argc > 2 && std::strcmp(argv[2], "-raw") == 0;
        if (raw) ++first;
        if (argc - first == 2) return Add(raw, argv[first], argv[first + 1], nullptr);
        if (argc - first == 3) return Add(raw, argv[first], argv[first + 1], argv[first + 2]);
    }
    return Usage();
}
