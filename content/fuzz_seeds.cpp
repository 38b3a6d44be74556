#include "fuzz_seeds.h"

#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "archive_writer.h"
#include "avoidance_config.h"
#include "bwd2_writer.h"
#include "content.h"
#include "ai/savprocess.h"
#include "ai/tugprocess.h"
#include "ai/aiinstall.h"
#include "ai/aipath.h"
#include "ai/patrolprocess.h"
#include "ai/aoi.h"
#include "ai/attacktask.h"
#include "ai/combatprocess.h"
#include "ai/unitprocess.h"
#include "ai/unittask.h"
#include "ai/userprocess.h"
#include "core/bytes.h"
#include "core/datafile.h"
#include "core/factory.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "core/registration.h"
#include "core/savegame.h"
#include "definitions.h"
#include "keymaps.h"
#include "media_writer.h"
#include "mission_writer.h"
#include "models.h"
#include "projectinfo.h"
#include "render/picture.h"
#include "sound_writer.h"
#include "sprite_writer.h"
#include "terrain_writer.h"
#include "textfiles.h"
#include "texture_writer.h"

namespace content {

namespace {

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

bool ReadWhole(const std::string& path, std::string* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.good() || in.eof();
}

bool HasExtension(const std::string& name, const char* extension) {
    const size_t length = std::char_traits<char>::length(extension);
    return name.size() >= length && name.compare(name.size() - length, length, extension) == 0;
}

std::string U16Prefix(size_t value) {
    std::string out;
    Bytes_AppendU16(out, static_cast<uint16_t>(value));
    return out;
}

// ---- one writer per target ------------------------------------------------------------------

// Archives: the sample world's kind of records (text LZO shrinks, noise it cannot), plainly and
// masked, and one archive with more records than a directory table holds.
bool ArchiveSeeds(FuzzSeedSet& seeds, std::string* error) {
    const std::vector<ArchiveRecord> few = {
        {"readme.txt", std::string(40, 'a') + "\nrepeated text shrinks under LZO\n" + std::string(40, 'b'), true, 0},
        {"noise.bin", Noise(700, 7u), true, 0},
        {"raw.txt", "stored as it is\n", false, 0x1234},
        {"empty.dat", "", true, 0},
    };
    std::vector<ArchiveRecord> many;
    for (int i = 0; i < 105; ++i) {
        // Built by appending: GCC 12 mistakes "literal + to_string" temporaries for overlapping copies.
        std::string name = "r", body = "record ";
        name += std::to_string(i);
        name += ".txt";
        body += std::to_string(i);
        many.push_back({name, body, i % 2 == 0, 0});
    }
    struct Archive {
        const char* name;
        const std::vector<ArchiveRecord>* records;
        uint32_t mask;
    };
    for (const Archive& a : {Archive{"plain.zfs", &few, 0u}, Archive{"masked.zfs", &few, 0x5A3C9617u},
                             Archive{"two-tables.zfs", &many, 0u}}) {
        const std::string path = seeds.Path(a.name) + ".tmp";
        std::string bytes;
        const bool ok = WriteArchive(path, *a.records, a.mask, error) && ReadWhole(path, &bytes);
        std::error_code ec;
        std::filesystem::remove(path, ec);
        if (!ok) return Fail(error, error && !error->empty() ? *error : "cannot read back " + path);
        if (!seeds.Add(a.name, bytes, error)) return false;
    }
    return true;
}

// Index files: the sample world's, and one with every kind of line (volumes with texts,
// directory and archive paths, files on each path).
bool IndexSeeds(FuzzSeedSet& seeds, std::string* error) {
    IndexSpec world;
    world.volumes.push_back({0, ".", "data", "Gravenholt sample world"});
    world.paths.push_back({"cd0", "kolta.zfs"});
    for (const char* name : {"readme.txt", "world.txt", "sample.trn", "player.odf", "gvtank.vdf"})
        world.files.push_back({1, name});
    IndexSpec mixed;
    mixed.volumes.push_back({0, ".", "data", ""});
    mixed.volumes.push_back({1, "cd", "disc", "second volume"});
    mixed.paths.push_back({"dir:", "maps"});
    mixed.paths.push_back({"cd0", "kolta.zfs"});
    mixed.paths.push_back({"cd1", "extra.zfs"});
    for (int i = 0; i < 6; ++i) mixed.files.push_back({1 + i % 3, "file" + std::to_string(i) + ".dat"});
    return seeds.Add("world.zix", IndexText(world), error) && seeds.Add("mixed.zix", IndexText(mixed), error);
}

// Definition files: the sample world's, and two with the keys the target looks up ("a", "key",
// "name" and the empty key) in every value form (a later line replaces an earlier one).
bool DefinitionSeeds(FuzzSeedSet& seeds, std::string* error) {
    std::vector<ArchiveRecord> records;
    if (!DefinitionRecords(&records, error)) return false;
    for (const ArchiveRecord& record : records)
        if (HasExtension(record.name, ".odf") && !seeds.Add(record.name, record.data, error)) return false;
    const std::string plain =
        "[GameObjectClass]\r\n"
        "a = 12\r\n"
        "KEY = -3.5e2\r\n"
        "Name = \"scout\"\r\n"
        "= 0x10\r\n";
    const std::string odd =
        "[Odd]\n"
        "a\t=\t\"7\" trailing\n"
        "key = 1.5f\n"
        "name = \"a name longer than its field\"\n"
        "= \"unclosed\n"
        "a=\n";
    return seeds.Add("lookups.odf", plain, error) && seeds.Add("odd.odf", odd, error);
}

// "check.odf": the sample world's list, and lists naming the files the target's data root holds,
// as stored and in another case (found through the path module's case-blind match).
bool CheckListSeeds(FuzzSeedSet& seeds, std::string* error) {
    std::vector<ArchiveRecord> records;
    if (!DefinitionRecords(&records, error)) return false;
    for (const ArchiveRecord& record : records)
        if (record.name == "check.odf" && !seeds.Add("world-check.odf", record.data, error)) return false;
    return seeds.Add("local-check.odf", CheckListText({"a.odf", "b.sdf", "c.txt", "missing.odf"}), error) &&
           seeds.Add("case-check.odf", CheckListText({"A.ODF", "b.Sdf", "Check.odf", "C.TXT"}), error);
}

// Configuration files: the sample map's settings, and the sections and keys the target asks for.
bool ConfigSeeds(FuzzSeedSet& seeds, std::string* error) {
    for (const ArchiveRecord& record : TerrainRecords(SampleTerrain()))
        if (HasExtension(record.name, ".trn") && !seeds.Add(record.name, record.data, error)) return false;
    CfgWriter cfg;
    cfg.Section("World").Int("SIZE", 1280).Value("K", "0x1F").Section("A").Value("A", "text value");
    cfg.Section("Size").Int("Width", 2560).Int("Depth", -1280).Value("MinX", "017");
    // Comments, quotes (closed and left open), number bases and ranges, and the odd section and
    // key names the target asks for.
    const std::string edges =
        "; a comment line\r\n"
        "[World]\r\n"
        "SIZE = 0x1f // a trailing comment\r\n"
        "K = \"quoted ; kept // too\"\r\n"
        "A = -2147483648\r\n"
        "[a]\n"
        "a = 99999999999\n"
        "k = \"open quote to the line end\n"
        "SIZE = 017\n"
        "K = 0x\n"
        "[]\n"
        "==\n"
        "[[]\n"
        "A=+12\n"
        "[]]\n"
        "SIZE = 09\n";
    return seeds.Add("keys.cfg", cfg.Text(), error) && seeds.Add("edges.cfg", edges, error);
}

// INI files and message tables, in the forms the platform readers take.
bool IniSeeds(FuzzSeedSet& seeds, std::string* error) {
    const std::string settings =
        "; settings\r\n[Debug]\r\nTrackFPS=1\r\n[World]\r\nName = sample\r\n[NormalView]\r\nHiRes=3\r\n";
    const std::string table =
        "Not Enough Swap File Space=Not enough memory\\nfor the game\n"
        "Out of Memory=No memory left\n"
        "Back\\\\slash=Kept \\\\ as one\n";
    return seeds.Add("render.cfg", settings, error) && seeds.Add("lang.txt", table, error);
}

// Headless event scripts: every kind of event (keys by the target's "K<scan>"/"E<scan>" names).
bool EventScriptSeeds(FuzzSeedSet& seeds, std::string* error) {
    const std::string keys =
        "# keys and the mouse\n0 keydown K42\n0 keydown K31\n1 keyup K31\n1 keyup K42\n2 keydown E29\n"
        "2 keyup E29\n3 keydown Pause\n3 keydown K30\n4 keydown K30\n5 mousemove 10 -4\n5 mousedown x1\n"
        "6 mouseup x1\n6 wheel 120\n6 hwheel -240\n7 focus lost\n9 focus gained\n";
    const std::string sticks =
        "0 joystick 0 connect 6 32 1 haptic Big Stick\n1 joystick 0 axis x 65535\n1 joystick 0 axis v 0\n"
        "2 joystick 0 button 32 down\n2 joystick 0 hat 31500\n3 joystick 0 hat centre\n"
        "3 joystick 3 connect 2 0 0\n4 joystick 0 unplug\n";
    return seeds.Add("keys.txt", keys, error) && seeds.Add("sticks.txt", sticks, error);
}

// Parameter files: declarations, expressions, blocks, records and definitions, with the names
// the target reads back.
bool ParamSeeds(FuzzSeedSet& seeds, std::string* error) {
    const std::string plain =
        "int a = 7 / 2;\n"
        "double x = 7.0 / 2 + (int) 2.9;\n"
        "float b = 1.25;\n"
        "char N = 'q';\n"
        "char name[8] = \"scout\";\n"
        "#define COUNT 3 * 4\n"
        "int total = COUNT ^ 2;\n";
    const std::string blocks =
        "int a = 1;\n"
        "int level = 2;\n"
        "if (level > 1) { int big = 1; if ((level + 1) == 3) { a = 3; } } else { int small = 1; }\n"
        "if (level is 5) { int five = 1; } else { level = level * 10; }\n"
        "/* int commented = 1; */ // int also = 1;\n";
    const std::string records =
        "#define N 3\n"
        "struct S { char s[8]; int x; float f; double d; char c; };\n"
        "S s[N] = {\n"
        "  \"first\", 40, 2.5, 100.0 / 4, 'a';\n"
        "  \"second one\", 60 + 5, 1, (int) 7.9, ',',\n"
        "} #END_DATA\n"
        "struct T { int t; };\n"
        "T x[2] = { 1; 2; } #END_DATA\n";
    return seeds.Add("plain.par", plain, error) && seeds.Add("blocks.par", blocks, error) &&
           seeds.Add("records.par", records, error) && seeds.Add("Collision.cfg", CollisionConfigText(), error);
}

// Command lines the game is started with.
// Project-info files: the keys the game reads, a value in Shift-JIS, a line without a colon and
// one with an empty value.
bool ProjectInfoSeeds(FuzzSeedSet& seeds, std::string* error) {
    const std::string japanese =
        ProjectInfoText({{"Project", "\x83\x65\x83\x58\x83\x67"}, {"Language", "japanese"}, {"Keyboard", "NEC"}});
    const std::string odd = "no colon here\r\n  Language :\r\nKeyboard:nec\n\rL: english\r\n";
    return seeds.Add("japanese.txt", japanese, error) && seeds.Add("odd.txt", odd, error) &&
           seeds.Add("sample.txt", ProjectInfoText({{"Project", "Gravenholt sample world"}, {"Version", "1"}}), error);
}

bool CommandLineSeeds(FuzzSeedSet& seeds, std::string* error) {
    const char* const lines[] = {
        "sample -nointro",
        "/D3D -win -flagfile:flags.map sample",
        "-SW -gdi -nods -nods3d -forcefeed",
        "-join 192.168.0.7 -name Pilot -team 2 -transport udp",
        "-host Skirmish -players 4 -deathmatch -net",
        "-netshell -server main -comm 1",
        "-load save1 -asciisave -resave",
        "-odf player.odf -startedit -largemap -shellmap",
        "-noshell -gamesetup -addon -binarysave -nobodyhome -netdbg -showreg -edit -soviet",
    };
    for (size_t i = 0; i < sizeof lines / sizeof lines[0]; ++i)
        if (!seeds.Add("line" + std::to_string(i) + ".txt", lines[i], error)) return false;
    return true;
}

bool GeometrySeeds(FuzzSeedSet& seeds, std::string* error) {
    for (const GeoMesh& mesh : SampleMeshes())
        if (!seeds.Add(mesh.name + ".geo", GeoBytes(mesh), error)) return false;
    return true;
}

// Structure and vehicle files behind the target's mode byte (bit 0 a craft root, bit 1 the
// vehicle tables).
bool ModelSeeds(FuzzSeedSet& seeds, std::string* error) {
    for (const ModelDef& model : SampleModels()) {
        const char mode = model.vehicle ? 2 : 0;
        if (!seeds.Add(model.file, std::string(1, mode) + ModelFileBytes(model), error)) return false;
        if (model.vehicle && !seeds.Add("craft-" + model.file, std::string(1, char(3)) + ModelFileBytes(model), error))
            return false;
    }
    return true;
}

// "ANIM" chunks whole, from their tag: the sample models' and sequences over the fuzz target's
// own parts ("arm", "hand") forwards, backwards and looping.
bool AnimationSeeds(FuzzSeedSet& seeds, std::string* error) {
    for (const ModelDef& model : SampleModels())
        if (!model.animation.empty() && !seeds.Add("anim-" + model.file, Bwd2ChunkBytes({"ANIM", model.animation}), error))
            return false;
    const struct {
        const char* name;
        int length, loops;
    } runs[] = {{"forward", 12, 1}, {"backward", -12, 2}, {"forever", 6, 0}};
    for (const auto& run : runs) {
        const std::string data = AnimationData({"arm", "hand"}, 1, run.length, run.loops, 8.0f, 1.0f);
        if (!seeds.Add(std::string("anim-") + run.name, Bwd2ChunkBytes({"ANIM", data}), error)) return false;
    }
    return true;
}

// Textures behind the target's 16-bit split: a ".vqm" with its code book, and plain images and
// frame lists whole (split 0). Small ones, so that the fuzzer's runs stay quick: images with
// solid and patterned blocks, edge blocks cut by the image size, and frame lists of one to three
// dimensions; the sample world's animated frame lists as they are.
bool TextureSeeds(FuzzSeedSet& seeds, std::string* error) {
    auto spec = [](const std::string& name, int width, int height, uint16_t format, bool patterned) {
        TextureSpec t;
        t.name = name;
        t.width = width;
        t.height = height;
        t.format = format;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                t.texels.push_back(patterned ? uint8_t((x * 7 + y * 3) % 11) : uint8_t(9));
        return t;
    };
    std::vector<ArchiveRecord> coded;
    if (!EncodeVqmSet({spec("solid", 8, 8, 0, false), spec("pattern", 8, 4, 1, true), spec("edges", 5, 3, 0, true)},
                      "small.cbk", &coded))
        return Fail(error, "cannot encode the texture seeds");
    std::string book;
    for (const ArchiveRecord& record : coded)
        if (record.name == "small.cbk") book = record.data;
    for (const ArchiveRecord& record : coded)
        if (HasExtension(record.name, ".vqm") &&
            !seeds.Add(record.name, U16Prefix(record.data.size()) + record.data + book, error))
            return false;
    const std::vector<std::pair<std::string, std::string>> whole = {
        {"plain.map", MapImageBytes(spec("plain", 4, 4, 0, true))},
        {"wide.map", MapImageBytes(spec("wide", 16, 1, 2, true))},
        {"one.tmt", FrameListBytes({2}, 10.0f, 1, {"fa", "fb"})},
        {"two.tmt", FrameListBytes({2, 3}, 2.5f, 3, {"a0", "a1", "a2", "b0", "b1", "b2"})},
        {"three.tmt", FrameListBytes({2, 1, 2}, 0.0f, 0, {"x", "y", "z", "w"})},
    };
    for (const auto& [name, bytes] : whole)
        if (!seeds.Add(name, U16Prefix(0) + bytes, error)) return false;
    for (const ArchiveRecord& record : SampleTextureRecords())
        if (HasExtension(record.name, ".tmt") && !seeds.Add(record.name, U16Prefix(0) + record.data, error))
            return false;
    return true;
}

// The hardware preload list: the sample world's "map.lst", one without comments, one empty.
bool MapListSeeds(FuzzSeedSet& seeds, std::string* error) {
    return seeds.Add("sample.lst", SampleMapListText(), error) &&
           seeds.Add("plain.lst", "grass0.map rock1.map\nshadow\n", error) && seeds.Add("empty.lst", "", error);
}

// Terrain maps as the target reads them: the ".TRN" text, the ".HGT" and the ".MAT" zones,
// framed. The sample map, and a one-zone map at the zone map's far corner.
bool TerrainSeeds(FuzzSeedSet& seeds, std::string* error) {
    TerrainMapSpec corner;
    corner.name = "corner";
    corner.width = 1280;
    corner.depth = 1280;
    corner.minX = 79 * 1280;
    corner.minZ = 79 * 1280;
    corner.baseHeight = -20;
    corner.height = [](int x, int z) { return static_cast<uint16_t>((x * 7 + z * 13) % 4000); };
    corner.material = [](int x, int z) { return MaterialWord((x / 16) % 5, (z / 16) % 5, (x + z) % 16, x % 2); };
    for (const TerrainMapSpec& spec : {SampleTerrain(), corner}) {
        const std::vector<ArchiveRecord> files = TerrainRecords(spec);
        std::string trn = files[0].data;
        if (&spec != &corner) trn += SampleTerrainTextureSections();
        if (!seeds.Add(spec.name + ".terrain", FuzzFrame({trn, files[1].data, files[2].data}), error)) return false;
    }
    return true;
}

// Saved fields behind the target's flags byte (bit 0 binary, bit 1 an old version), operation
// count and operations (kind index + 20 x element count; 16 a pointer, 17 a pointer fix-up, 18
// the label, 19 a saved object), then the stream: fields of every kind the target reads, single and as arrays,
// written by the game's own writers.
bool FieldSeeds(FuzzSeedSet& seeds, std::string* error) {
    using Writer = bool (*)(FILE*, const void*, size_t, const char*);
    struct Field {
        uint8_t kind;     // the target's kind index
        size_t element;   // bytes of one element
        Writer write;
    };
    const Field kFields[] = {
        {0, 1, Field_WriteBytes},   {1, 1, Field_WriteBool},     {2, 1, Field_WriteString},
        {3, 1, Field_WriteChar},    {4, 2, Field_WriteShort},    {5, 2, Field_WriteUShort},
        {6, 4, Field_WriteInt},     {7, 4, Field_WriteLong},     {8, 4, Field_WriteHex},
        {9, 4, Field_WriteFloat},   {10, 8, Field_WriteDouble},  {11, 8, Field_WriteId},
        {12, 12, Field_WriteVector}, {13, 8, Field_WriteVector2D}, {14, 64, Field_WriteMatrix},
    };
    // Element values: a byte run that is a fair value of every kind (small floats, printable ids).
    uint8_t values[3 * 64];
    for (size_t k = 0; k < sizeof values; ++k) values[k] = k % 4 == 3 ? 0x3F : uint8_t('a' + k % 23);
    uint8_t physics[kFieldPhysicsSize] = {};
    for (size_t k = 0; k < sizeof physics; ++k) physics[k] = k % 4 == 3 ? 0x40 : 0;

    struct Variant {
        const char* name;
        uint8_t flags;
        int count;  // elements of each field
    };
    for (const Variant& v : {Variant{"single.txt", 0, 1}, Variant{"single.bin", 1, 1}, Variant{"arrays.txt", 0, 3},
                             Variant{"arrays.bin", 1, 3}, Variant{"old-version.txt", 2, 2}}) {
        FILE* file = std::tmpfile();
        if (!file) return Fail(error, "cannot open a temporary file");
        Field_SetBinary(v.flags & 1);
        std::string ops;
        bool written = true;
        for (const Field& f : kFields) {
            ops += char(f.kind + 20 * v.count);
            // Saves before version 1003 hold 2-D vectors as plain bytes.
            const Writer write = (v.flags & 2) && f.kind == 13 ? Field_WriteBytes : f.write;
            written = written && write(file, values, f.element * size_t(v.count), "f");
        }
        ops += char(15);
        written = written && Field_WritePhysics(file, physics, sizeof physics, "f");
        ops += char(16);
        ops += char(17);
        written = written && Field_WritePointerValue(file, 0x12u, "f") && Field_WritePointerValue(file, 0x12u, "f");
        ops += char(18);
        written = written && Field_WriteLabel(file, "[AiPaths]");
        // A saved object: its factory name, then its save id (4 plain bytes before version 1002).
        ops += char(19);
        char factory[kFactoryNameLength] = "AttackTask";
        const uint8_t saved[4] = {0x34, 0, 0, 0};
        written = written && Field_WriteString(file, factory, sizeof factory, "name") &&
                  ((v.flags & 2) ? Field_WriteBytes(file, saved, sizeof saved, "sObject")
                                 : Field_WritePointerValue(file, 0x34u, "sObject"));
        Field_SetBinary(false);
        std::string stream;
        long size = written ? std::ftell(file) : -1;
        if (size >= 0) {
            stream.resize(size_t(size));
            std::rewind(file);
            if (std::fread(stream.data(), 1, stream.size(), file) != stream.size()) size = -1;
        }
        std::fclose(file);
        if (size < 0) return Fail(error, "cannot write the saved-field seed");
        if (!seeds.Add(v.name, std::string(1, char(v.flags)) + char(ops.size()) + ops + stream, error)) return false;
    }
    return true;
}

// Saved games and mission files, whole: the sample world's missions as the generator packs them,
// and saved games of two of them in the text and the binary form, written by the game's own
// writer right after loading the mission. The world is written into a scratch directory that
// goes afterwards.
bool SaveGameSeeds(FuzzSeedSet& seeds, std::string* error) {
    std::string dir = (std::filesystem::temp_directory_path() / "gv-fuzz-seeds-XXXXXX").string();
    if (!mkdtemp(dir.data())) return Fail(error, "cannot make a scratch directory for the saved-game seeds");
    const std::string profile = dir + "/profile";
    std::error_code ec;
    std::filesystem::create_directories(profile, ec);
    bool ok = !ec && WriteWorld(dir + "/data", error);
    if (ok) {
        HeadlessWorld world(dir + "/data", profile);
        ok = world.Ready() || Fail(error, "the sample world's index cannot be read");
        for (const char* mission : {"sample.qmn", "fight.qmn", "nocraft.qmn", "tugs.qmn", "walker.qmn"}) {
            std::vector<char> bytes;
            ok = ok && (DataFile_Load(mission, &bytes) || Fail(error, std::string("the sample world has no ") + mission)) &&
                 seeds.Add(mission, std::string(bytes.begin(), bytes.end()), error);
        }
        for (const char* mission : {"sample", "fight", "tugs"}) {
            for (bool binary : {false, true}) {
                if (!ok) break;
                world.Reset();
                const std::string path = profile + "/seed.sav";
                ok = SaveGame_Load((std::string(mission) + ".qmn").c_str()) ||
                     Fail(error, std::string("the sample world's ") + mission + ".qmn does not load");
                SaveGame_SetMissionFile(false);
                Field_SetBinary(binary);
                ok = ok && (SaveGame_Write(path.c_str(), 0) || Fail(error, "cannot save the game into " + path));
                Field_SetBinary(false);
                std::string bytes;
                ok = ok && (ReadWhole(path, &bytes) || Fail(error, "cannot read back " + path)) &&
                     seeds.Add(std::string(mission) + (binary ? "-binary.sav" : "-text.sav"), bytes, error);
            }
        }
        world.Reset();
    }
    if (!ok && error && error->empty()) *error = "cannot write the sample world for the saved-game seeds";
    std::filesystem::remove_all(dir, ec);
    return ok;
}

// A saved game's mission section holding the player's process and a craft process (the
// target registers the craft process as "FuzzCraft"), as the game writes them.
class SeedCraftProcess : public CraftProcess {
public:
    const FactoryReg* GetFactory() const override {
        static FactoryReg entry{"FuzzCraft"};
        return &entry;
    }
};

bool ProcessSectionSeeds(FuzzSeedSet& seeds, std::string* error) {
    for (bool binary : {false, true}) {
        FILE* file = std::tmpfile();
        if (!file) return Fail(error, "cannot open a temporary file");
        Field_SetBinary(binary);
        Field_ResetSaveIds();
        UserProcess user;
        user.cycle = 2;
        user.selectList[0] = 0b101;
        user.selectNext[0] = 2;
        SeedCraftProcess craft;
        craft.curState = kUStateAttack;
        craft.saveState = kUStateGoto;
        craft.whoHandle = 0x00800005u;
        craft.attackUser = true;
        char name[kFactoryNameLength] = "AiMission";
        const bool no = false;
        const float zero = 0.0f;
        char result[14] = {};
        bool ok = Field_WriteString(file, name, sizeof name, "name") && Field_WritePointerValue(file, 0x10u, "sObject") &&
                  Field_WriteLabel(file, "[AiMission]") && Field_WriteInt(file, int32_t{2}, "size") &&
                  sObject_Save(file, &user) && sObject_Save(file, &craft) && Field_WriteBool(file, no, "done") &&
                  Field_WriteFloat(file, zero, "shutdownTime") && Field_WriteBool(file, no, "failed") &&
                  Field_WriteString(file, result, sizeof result, "resultName");
        craft.curState = kUStateNone;
        Field_ResetSaveIds();
        Field_SetBinary(false);
        std::string stream;
        long size = ok ? std::ftell(file) : -1;
        if (size >= 0) {
            stream.resize(size_t(size));
            std::rewind(file);
            if (std::fread(stream.data(), 1, stream.size(), file) != stream.size()) size = -1;
        }
        std::fclose(file);
        if (size < 0) return Fail(error, "cannot write the process seed");
        if (!seeds.Add(binary ? "processes.bin" : "processes.txt", std::string(1, char(binary ? 1 : 0)) + stream, error))
            return false;
    }
    return true;
}

// The mission section: a flags byte (bit 0 binary, bit 1 a mission file), then the section as
// the game writes it: the mission's class and save id, "[AiMission]", and in a saved game the
// processes (the target's "FuzzProcess", each with a command record) and the end.
bool MissionSeeds(FuzzSeedSet& seeds, std::string* error) {
    struct Variant {
        const char* name;
        uint8_t flags;
    };
    for (const Variant& v : {Variant{"saved.txt", 0}, Variant{"saved.bin", 1}, Variant{"mission.txt", 2},
                             Variant{"mission.bin", 3}}) {
        FILE* file = std::tmpfile();
        if (!file) return Fail(error, "cannot open a temporary file");
        Field_SetBinary(v.flags & 1);
        const bool missionFile = v.flags & 2;
        char name[kFactoryNameLength] = {};
        std::strcpy(name, missionFile ? "EmptyMission" : "AiMission");
        bool ok = Field_WriteString(file, name, sizeof name, "name") && Field_WritePointerValue(file, 0x10u, "sObject") &&
                  Field_WriteLabel(file, "[AiMission]");
        if (!missionFile) {
            ok = ok && Field_WriteInt(file, int32_t{2}, "size");
            for (uint32_t i = 0; i < 2; ++i) {
                char process[kFactoryNameLength] = "FuzzProcess";
                const uint32_t exited = i;
                const uint8_t what[4] = {uint8_t(3 + i), 0, 0, 0};
                const uint32_t who = 0x801u + i;
                ok = ok && Field_WriteString(file, process, sizeof process, "name") &&
                     Field_WritePointerValue(file, 0x20u + i, "sObject") &&
                     Field_WritePointerValue(file, 0x10u, "fMission") && Field_WritePointerValue(file, 0x30u + i, "fOwner") &&
                     Field_WriteBool(file, &exited, 4, "exited") && Field_WriteInt(file, int32_t(i), "priority") &&
                     Field_WriteBytes(file, what, 4, "what") && Field_WriteInt(file, &who, 4, "who") &&
                     Field_WritePointerValue(file, 0, "where") && Field_WriteInt(file, int32_t{1}, "param");
            }
            const bool done = true;
            const bool failed = false;
            const float at = 12.5f;
            char result[14] = "debrief01.txt";
            ok = ok && Field_WriteBool(file, done, "done") && Field_WriteFloat(file, at, "shutdownTime") &&
                 Field_WriteBool(file, failed, "failed") && Field_WriteString(file, result, sizeof result, "resultName");
        }
        Field_SetBinary(false);
        std::string stream;
        long size = ok ? std::ftell(file) : -1;
        if (size >= 0) {
            stream.resize(size_t(size));
            std::rewind(file);
            if (std::fread(stream.data(), 1, stream.size(), file) != stream.size()) size = -1;
        }
        std::fclose(file);
        if (size < 0) return Fail(error, "cannot write the mission seed");
        if (!seeds.Add(v.name, std::string(1, char(v.flags)) + stream, error)) return false;
    }
    return ProcessSectionSeeds(seeds, error);
}

// The AI's map and task sections as a game writes them: two areas, a named and an unnamed path
// the four simple tasks (one following the unnamed path as its route) and one task of each
// combat kind, in both forms.
bool AiSectionSeeds(FuzzSeedSet& seeds, std::string* error) {
    Registration_Init();
    Ai_InstallSeam();
    auto* named = new AiPath("edge_path", 0);
    named->points = {{10, 20}, {900, 20}, {900, 700}, {10, 700}};
    named->pathType = 2;
    auto* route = new AiPath(nullptr, 0);
    route->points = {{100, 100}, {300, 250}};
    route->pathType = kPathTypeStraight;
    new AOI(named, 2, true, true, 10, 105);
    new AOI(route, 7, false, false, -1, 0);
    auto* sit = new SitTask(nullptr);
    sit->plan = route;
    sit->gotoPoint = Vector{300, 0, 250};
    new SitSpinTask(nullptr);
    new CircleTask(nullptr);
    new CoastTask(nullptr);
    // The combat tasks, so that the loader meets each of their factory entries.
    new AttackTask(nullptr, nullptr);
    new HuntTask(nullptr, Vector{300, 0, 250});
    new DefendTask(nullptr, nullptr);
    new WingmanBlastAttack(nullptr, nullptr);
    new RocketTankAttack(nullptr, nullptr);
    new GechAttack(nullptr, nullptr);
    // The tug's pick-up and the SAV's two attacks.
    new TugPickup;
    new SAVAttackPersonTask(nullptr, nullptr);
    new SAVAttackVehicleTask(nullptr, nullptr);
    // A patrol's leg.
    new PatrolTask(nullptr, route, 6);
    bool ok = true;
    for (const bool binary : {false, true}) {
        FILE* file = std::tmpfile();
        if (!file) {
            ok = Fail(error, "cannot open a temporary file");
            break;
        }
        Field_ResetSaveIds();
        Field_SetBinary(binary);
        bool written = AOIs_Save(file) && AiPaths_Save(file) && AiTasks_Save(file);
        Field_SetBinary(false);
        Field_ResetSaveIds();
        std::string stream;
        const long size = written ? std::ftell(file) : -1;
        if (size >= 0) {
            stream.resize(size_t(size));
            std::rewind(file);
            written = std::fread(stream.data(), 1, stream.size(), file) == stream.size();
        }
        std::fclose(file);
        if (!written || size < 0) {
            ok = Fail(error, "cannot write the AI sections seed");
            break;
        }
        if (!seeds.Add(binary ? "sections.bin" : "sections.txt", std::string(1, char(binary ? 1 : 0)) + stream, error)) {
            ok = false;
            break;
        }
    }
    sit->plan = nullptr;
    AiTasks_Clear();
    AOI_Clear();
    AiPaths_DeleteAll();
    return ok;
}

// ---- fonts, sprite tables and pictures -------------------------------------------------------

bool FontSeeds(FuzzSeedSet& seeds, std::string* error) {
    FontSpec small;
    small.height = 3;
    small.glyphs = {GlyphSpec{0, ""}, GlyphSpec{2, std::string("\x09\xFF\xFF\x09\x09\x09", 6)}};
    FontSpec wide;
    wide.height = 2;
    wide.doubleByte = true;
    wide.glyphs = {GlyphSpec{5, std::string("\xA0\x50", 2)}, GlyphSpec{12, std::string("\xFF\xF0\x81\x10", 4)}};
    return seeds.Add("main.fnt", std::string(1, '\0') + FontFileBytes(SampleFont()), error) &&
           seeds.Add("small.fnt", std::string(1, '\0') + FontFileBytes(small), error) &&
           seeds.Add("double.fnt", std::string(1, '\1') + FontFileBytes(wide), error);
}

bool SpriteSeeds(FuzzSeedSet& seeds, std::string* error) {
    std::vector<uint8_t> pixels(8 * 4);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 9);
    const std::string page = SpritePageBytes(8, 4, pixels);
    const std::vector<SpriteRecordSpec> records = {
        {"a", "pg", 0, 0, 4, 4, 0}, {"b", "pg", 2, 1, 6, 3, 3}, {"lsmoke.12", "pg", 7, 3, 1, 1, 0}};
    const std::vector<SpriteRecordSpec> wideRecords = {{"w", "pg", 0, 0, 2, 2, 0}};
    const std::string table = SpriteTableBytes(records);
    const std::string wideTable = SpriteTableBytes(wideRecords);
    const std::string widePage = SpritePageBytes(2, 2, std::vector<uint8_t>(8, 7), 1);
    return seeds.Add("table", FuzzFrame({table, page}), error) &&
           seeds.Add("wide", FuzzFrame({wideTable, widePage}), error);
}

// A display raw image (32-bit width and height, then the pixels) and a saved mission timer in
// each form: the flags byte (bit 0 binary form), the image, the timer's fields.
bool HudImageSeeds(FuzzSeedSet& seeds, std::string* error) {
    std::string image;
    Bytes_AppendU32(image, 3);
    Bytes_AppendU32(image, 2);
    image += std::string("\1\2\3\4\5\6", 6);
    for (int binary = 0; binary < 2; ++binary) {
        FILE* file = std::tmpfile();
        if (!file) return Fail(error, "cannot open a temporary file");
        Field_SetBinary(binary != 0);
        const float frac = 0.5f;
        const int32_t timer = 125, warn = 30, alert = 10;
        const uint8_t countdown = 1, active = 1, show = 1;
        bool written = Field_WriteFloat(file, &frac, 4, "frac") && Field_WriteLong(file, &timer, 4, "timer") &&
                       Field_WriteLong(file, &warn, 4, "warn") && Field_WriteLong(file, &alert, 4, "alert") &&
                       Field_WriteBool(file, &countdown, 1, "countdown") && Field_WriteBool(file, &active, 1, "active") &&
                       Field_WriteBool(file, &show, 1, "show");
        Field_SetBinary(false);
        std::string stream;
        const long size = written ? std::ftell(file) : -1;
        if (size >= 0) {
            stream.resize(size_t(size));
            std::rewind(file);
            written = std::fread(stream.data(), 1, stream.size(), file) == stream.size();
        }
        std::fclose(file);
        if (size < 0 || !written) return Fail(error, "cannot write the mission timer seed");
        if (!seeds.Add(binary ? "timer.bin" : "timer.txt", FuzzFrame({std::string(1, char(binary)), image, stream}),
                       error))
            return false;
    }
    return true;
}

bool PictureSeeds(FuzzSeedSet& seeds, std::string* error) {
    uint8_t palette[kPicturePaletteSize] = {};
    std::vector<uint8_t> pixels(100 * 3, 7);
    for (size_t i = 0; i < 100; ++i) pixels[100 + i] = static_cast<uint8_t>(i * 3);
    pixels[250] = 200;
    const std::vector<uint8_t> rows = Picture_Encode(pixels.data(), 100, 3, 100, palette);
    const uint8_t one = 191;
    const std::vector<uint8_t> single = Picture_Encode(&one, 1, 1, 1, palette);
    return seeds.Add("rows.pcx", std::string(rows.begin(), rows.end()), error) &&
           seeds.Add("one.pcx", std::string(single.begin(), single.end()), error);
}

// Key maps: the sample world's files and a few troubled ones.
bool KeyMapSeeds(FuzzSeedSet& seeds, std::string* error) {
    return seeds.Add("input.map", InputMapText(), error) && seeds.Add("keyboard.std", KeyboardDefaultsText(), error) &&
           seeds.Add("mouse.std", MouseDefaultsText(), error) && seeds.Add("joystick.std", JoystickDefaultsText(), error) &&
           seeds.Add("odd.map", "steer {\n+ mouse 15\n- keyboard Space\n}\ntrack_yaw_plus {\n}\njump {\n+ keyboard 127\n",
                     error);
}

bool GameKeySeeds(FuzzSeedSet& seeds, std::string* error) {
    return seeds.Add("gamekey.map", GameKeyMapText(), error) &&
           seeds.Add("odd.map", "MAIN_MENU Control+Alt+Shift+Pause\nINC_VAR +\nDEC_VAR a+b+Banana\n", error);
}

bool LabelMapSeeds(FuzzSeedSet& seeds, std::string* error) {
    return seeds.Add("label.map", LabelMapText(), error) &&
           seeds.Add("main.map", "main {\n\t+ quit {Leave}b} now}\n}\nmain {\n- quit {}\n}\n", error);
}

// Object network states: a kind byte (0 a plain craft), then the state record: health, ammunition
// and flags (pilot aboard, objective, hull gone), and a record cut short.
bool NetStateSeeds(FuzzSeedSet& seeds, std::string* error) {
    const struct {
        const char* name;
        std::string bytes;
    } records[] = {
        {"craft-whole", std::string("\x00\xff\xff\x80", 4)},
        {"craft-half", std::string("\x00\x80\x40\xa0", 4)},
        {"craft-dead", std::string("\x00\x00\x00\x10", 4)},
        {"craft-short", std::string("\x00\x10", 2)},
        // A tug: the cargo's network id and the state word, then the hover craft's 18 bytes and
        // the craft's 3; a state outside 0..3 and a record too short for the tug's part.
        {"tug-hooked", std::string("\x01", 1) + std::string("\x02\x00\x01\x00\x02\x00\x00\x00", 8) +
                           std::string(18, '\0') + std::string("\xff\xff\x80", 3)},
        {"tug-bad-state", std::string("\x01", 1) + std::string("\x00\x00\x00\x00\x09\x00\x00\x00", 8) +
                              std::string(18, '\0') + std::string("\xff\xff\x80", 3)},
        {"tug-short", std::string("\x01\x02\x00\x01\x00\x02", 6)},
        {"sav-whole", std::string("\x02", 1) + std::string(18, '\0') + std::string("\xff\xff\x80", 3)},
        // A walker: velocity and spin (8.8 fixed), four controls, flags, the pad, then the craft's.
        {"walker-whole", std::string("\x03\x00\x04\x00\x00\x00\x00\x00\x00\x80\x00\x00\x00"
                                     "\x7f\x00\x00\x7f\x03\x00\xff\xff\x80", 22)},
        {"walker-short", std::string("\x03\x00\x04\x00\x00\x00\x00\x00\x00\x80\x00\x00\x00"
                                     "\x7f\x00\x00\x7f\x03\x00\xff\xff", 21)},
    };
    for (const auto& r : records)
        if (!seeds.Add(r.name, r.bytes, error)) return false;
    return true;
}

// ---- ordnance messages ----------------------------------------------------------------------

// A receiver byte (0 "RO", 1 "xo", 2 "io", 3 "xx") and the message's body.
bool OrdnanceNetSeeds(FuzzSeedSet& seeds, std::string* error) {
    auto launch = [](const std::string& name, uint16_t serial, float time) {
        std::string r = name;
        for (int i = 0; i < 10; ++i) r.push_back(static_cast<char>(i * 23 + 5));
        Bytes_AppendU16(r, serial);
        Bytes_AppendU32(r, 0u);
        Bytes_AppendF32(r, time);
        return r;
    };
    std::string pairs;
    for (uint16_t serial : {1, 2, 3}) {
        Bytes_AppendU16(pairs, uint16_t{5});
        Bytes_AppendU16(pairs, serial);
    }
    const struct {
        const char* name;
        std::string bytes;
    } records[] = {
        {"ro-common", std::string(1, '\0') + launch(std::string(1, '\x81'), 1, 0.5f)},
        {"ro-named", std::string(1, '\0') + launch(std::string("mgbullet", 8), 2, 0.25f) + launch(std::string(1, '\x81'), 3, -0.1f)},
        {"ro-padded", std::string(1, '\0') + launch(std::string(1, '\x81'), 4, 1.0f) + std::string(1, '\0')},
        {"xo", std::string(1, '\1') + pairs},
        {"io", std::string(1, '\2') + pairs},
        {"xx", std::string(1, '\3') + std::string("\1\0\2\0", 4)},
        // A beam carries its mount slot; a bolt and a flame puff travel by their codes.
        {"ro-beam", std::string(1, '\0') + launch(std::string("beam\0\0\0\0", 8), 5, 0.5f) + std::string(1, '\2') +
                        launch(std::string("beam\0\0\0\0", 8), 6, 0.5f) + std::string(1, '\x7f')},
        {"ro-bolt-flame", std::string(1, '\0') + launch(std::string(1, '\x89'), 7, 0.05f) + launch(std::string(1, '\x96'), 8, 0.2f)},
    };
    for (const auto& r : records)
        if (!seeds.Add(r.name, r.bytes, error)) return false;
    return true;
}

// ---- hover craft network states -------------------------------------------------------------

// Records of a hover craft's state: two packed vectors, four control bytes, the flag byte and
// its pad, then the craft's health, ammunition and flag bytes.
bool HoverNetSeeds(FuzzSeedSet& seeds, std::string* error) {
    auto record = [](uint8_t flags, uint8_t craftFlags) {
        std::string r;
        for (int i = 0; i < 12; ++i) r.push_back(static_cast<char>(i * 17));
        for (uint8_t control : {uint8_t(127), uint8_t(0x81), uint8_t(0), uint8_t(64)}) r.push_back(static_cast<char>(control));
        r.push_back(static_cast<char>(flags));
        r.push_back('\0');
        for (uint8_t b : {uint8_t(200), uint8_t(100), craftFlags}) r.push_back(static_cast<char>(b));
        return r;
    };
    const std::string full = record(0x47, 0xA0);
    return seeds.Add("driving", record(0x02, 0x80), error) && seeds.Add("hidden", record(0x08, 0x00), error) &&
           seeds.Add("no-effects", record(0x10, 0x10), error) && seeds.Add("all-flags", full, error) &&
           seeds.Add("short", full.substr(0, full.size() - 1), error);
}

// Object records from peers: a reader byte (0 a power-up's state, 1 its extra record, 2 a
// received "RG", 3 an object's state record with its header, 4 a pilot on foot's state), then the
// record; some cut short.
bool ObjectRecordSeeds(FuzzSeedSet& seeds, std::string* error) {
    std::string state(1, '\0');
    for (int i = 0; i < 12; ++i) state.push_back(static_cast<char>(i * 19));
    for (uint8_t control : {uint8_t(127), uint8_t(0x81), uint8_t(0), uint8_t(64)}) state.push_back(static_cast<char>(control));
    state.push_back(static_cast<char>(0xBF));
    state.push_back(static_cast<char>(200));
    const std::string extra = std::string(1, '\1') + std::string("\3\0\0\0\2\0\0\0", 8);
    const std::string grant = std::string(1, '\2') + std::string("\2\0\0\0\3\0\0\0", 8);
    std::string named(1, '\3');
    named.push_back(36);
    named.push_back(0x04);
    named.append(26, 'h');
    named.append(std::string("\3\0\0\0\1\0\0\0", 8));
    std::string coded(1, '\3');
    coded.push_back(29);
    coded.push_back(static_cast<char>(0x84));
    coded.append(19, 'c');
    coded.append(std::string("\1\0\0\0\3\0\0\0", 8));
    // A pilot on foot: health, ammunition, position, velocity, controls, flags, stance.
    std::string person(1, '\4');
    person.push_back(static_cast<char>(200));
    person.push_back(static_cast<char>(128));
    for (int i = 0; i < 12; ++i) person.push_back(static_cast<char>(i * 11));
    for (uint8_t control : {uint8_t(127), uint8_t(0x81), uint8_t(0), uint8_t(64)}) person.push_back(static_cast<char>(control));
    person.push_back(static_cast<char>(0x19));
    person.push_back(static_cast<char>(0x0E));
    return seeds.Add("powerup-state", state, error) && seeds.Add("powerup-state-short", state.substr(0, 12), error) &&
           seeds.Add("person-state", person, error) && seeds.Add("person-state-short", person.substr(0, 19), error) &&
           seeds.Add("powerup-extra", extra, error) && seeds.Add("grant", grant, error) &&
           seeds.Add("grant-short", grant.substr(0, 6), error) && seeds.Add("record-named", named, error) &&
           seeds.Add("record-coded", coded, error) && seeds.Add("record-short", named.substr(0, 20), error);
}

// Sound files: plain and headered, 8 and 16 bits, mono and stereo, and an odd-sized chunk.
bool SoundSeeds(FuzzSeedSet& seeds, std::string* error) {
    const std::vector<float> tone = Tone(440.0f, 0.01f, 11025);
    const std::vector<uint8_t> mono8 = WaveBytes(tone, 11025, 8);
    const std::vector<uint8_t> stereo16 = WaveBytes(tone, 22050, 16, 2);
    const std::vector<uint8_t> headed = WithSoundHeader(mono8, 10, 2, 1, 80, 1, -1);
    std::vector<uint8_t> odd = WaveBytes(std::vector<float>(7, 0.25f), 8000, 8);
    auto text = [](const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); };
    return seeds.Add("mono8.wav", text(mono8), error) && seeds.Add("stereo16.wav", text(stereo16), error) &&
           seeds.Add("headed.wav", text(headed), error) && seeds.Add("odd.wav", text(odd), error);
}

// The generated movies, and a small clip of each frame kind.
bool AviSeeds(FuzzSeedSet& seeds, std::string* error) {
    auto text = [](const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); };
    AviPicture small;
    small.width = 6;
    small.height = 3;
    small.framesPerSecond = 10;
    for (int f = 0; f < 3; ++f) {
        std::vector<uint8_t> picture(18);
        for (size_t i = 0; i < picture.size(); ++i) picture[i] = uint8_t((i / 2 + size_t(f)) % 4);
        small.frames.push_back(picture);
    }
    AviPicture raw = small;
    raw.runLength = false;
    raw.sound.assign(300, 128);
    return seeds.Add("intro.avi", text(AviBytes(SampleClip("intro"))), error) &&
           seeds.Add("credits.avi", text(AviBytes(SampleClip("credits"))), error) &&
           seeds.Add("small_rle.avi", text(AviBytes(small)), error) &&
           seeds.Add("small_raw_sound.avi", text(AviBytes(raw)), error);
}

// ---- the table ------------------------------------------------------------------------------

// Each fuzz target (the stem of tests/fuzz/<target>.cpp) and the writer of its seeds. One row a
// line: a target added under tests/fuzz/ adds its row here (the build refuses a target without).
using SeedWriter = bool (*)(FuzzSeedSet& seeds, std::string* error);
struct SeedRow {
    const char* target;
    SeedWriter write;
};
const SeedRow kSeedRows[] = {
    {"aisections_fuzz", AiSectionSeeds},
    {"anim_fuzz", AnimationSeeds},
    {"bwd2_fuzz", ModelSeeds},
    {"checklist_fuzz", CheckListSeeds},
    {"cmdline_fuzz", CommandLineSeeds},
    {"configfile_fuzz", ConfigSeeds},
    {"eventscript_fuzz", EventScriptSeeds},
    {"fieldarchive_fuzz", FieldSeeds},
    {"gamekey_fuzz", GameKeySeeds},
    {"font_fuzz", FontSeeds},
    {"geo_fuzz", GeometrySeeds},
    {"hovernet_fuzz", HoverNetSeeds},
    {"hudimage_fuzz", HudImageSeeds},
    {"ini_fuzz", IniSeeds},
    {"keymap_fuzz", KeyMapSeeds},
    {"labelmap_fuzz", LabelMapSeeds},
    {"maplist_fuzz", MapListSeeds},
    {"mission_fuzz", MissionSeeds},
    {"netstate_fuzz", NetStateSeeds},
    {"objectrecord_fuzz", ObjectRecordSeeds},
    {"odf_fuzz", DefinitionSeeds},
    {"ordnance_net_fuzz", OrdnanceNetSeeds},
    {"paramfile_fuzz", ParamSeeds},
    {"prjinfo_fuzz", ProjectInfoSeeds},
    {"savegame_fuzz", SaveGameSeeds},
    {"picture_fuzz", PictureSeeds},
    {"sound_fuzz", SoundSeeds},
    {"avi_fuzz", AviSeeds},
    {"sprite_fuzz", SpriteSeeds},
    {"terrain_zone_fuzz", TerrainSeeds},
    {"texture_fuzz", TextureSeeds},
    {"zfs_fuzz", ArchiveSeeds},
    {"zix_fuzz", IndexSeeds},
};

}  // namespace

bool FuzzSeedSet::Add(const std::string& name, const std::string& bytes, std::string* error) {
    std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out.flush()) return Fail(error, "cannot write " + Path(name));
    ++m_count;
    return true;
}

std::string FuzzFrame(const std::vector<std::string>& parts) {
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i + 1 < parts.size()) Bytes_AppendU32(out, static_cast<uint32_t>(parts[i].size()));
        out += parts[i];
    }
    return out;
}

std::vector<std::string> FuzzUnframe(const uint8_t* data, size_t size, size_t parts) {
    std::vector<std::string> out(parts);
    size_t at = 0;
    for (size_t i = 0; i < parts; ++i) {
        size_t length = size - at;
        if (i + 1 < parts) {
            if (size - at < 4) break;
            length = std::min<size_t>(Bytes_U32(data + at), size - at - 4);
            at += 4;
        }
        out[i].assign(reinterpret_cast<const char*>(data) + at, length);
        at += length;
    }
    return out;
}

std::vector<std::string> FuzzSeedTargets() {
    std::vector<std::string> names;
    for (const SeedRow& row : kSeedRows) names.emplace_back(row.target);
    return names;
}

bool WriteFuzzSeeds(const std::string& dir, const std::vector<std::string>& targets, std::string* error) {
    for (const std::string& target : targets) {
        const SeedRow* found = nullptr;
        for (const SeedRow& row : kSeedRows)
            if (target == row.target) found = &row;
        if (!found)
            return Fail(error, "the fuzz target " + target +
                                   " has no seeds: add a row for it to the seed table in content/fuzz_seeds.cpp");
        const std::string targetDir = dir + "/" + target;
        std::error_code ec;
        std::filesystem::remove_all(targetDir, ec);
        std::filesystem::create_directories(targetDir, ec);
        if (ec) return Fail(error, "cannot create " + targetDir + ": " + ec.message());
        FuzzSeedSet seeds(targetDir);
        if (!found->write(seeds, error)) return false;
        if (seeds.Count() == 0) return Fail(error, "the seed writer of " + target + " wrote nothing");
    }
    return true;
}

}  // namespace content
