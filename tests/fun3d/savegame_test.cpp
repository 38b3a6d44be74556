// Saved games and mission files over the generated sample world: exact round trips in both
// forms, the version gates, refused input that leaves nothing behind, safe writes, slots and
// the dialogs.
#include <gtest/gtest.h>

#include "ai/unitservices.h"

#include <stdio.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/paths.h"
#include "Objkr/entity.h"
#include "ai/unitservices.h"
#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "fun3d/craft.h"
#include "fun3d/hovercraft.h"
#include "content.h"
#include "core/app.h"
#include "core/clock.h"
#include "core/cmdline.h"
#include "core/debug.h"
#include "core/factory.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"
#include "core/game.h"
#include "core/savegame.h"
#include "core/seams/ai.h"
#include "fun3d/gameobject.h"
#include "fun3d/objectpool.h"
#include "fun3d/teamrecord.h"
#include "fun3d/tugsav.h"
#include "mission_writer.h"
#include "platform/filedialog.h"
#include "platform/clock.h"
#include "platform/msgbox.h"
#include "platform/system.h"
#include "support/field_stream.h"

namespace fs = std::filesystem;

namespace {

// The sample world, written once for the whole test program.
const std::string& SampleData() {
    static const std::string dir = [] {
        std::string pattern = (fs::temp_directory_path() / "gv_savedata_XXXXXX").string();
        if (!mkdtemp(pattern.data())) return std::string();
        std::string error;
        if (!content::WriteWorld(pattern, &error)) ADD_FAILURE() << error;
        return pattern;
    }();
    return dir;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Equal bytes; otherwise the first difference with some context.
::testing::AssertionResult SameBytes(const std::string& a, const std::string& b) {
    if (a == b) return ::testing::AssertionSuccess();
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    const size_t from = i > 80 ? i - 80 : 0;
    return ::testing::AssertionFailure() << "sizes " << a.size() << " and " << b.size() << ", first difference at "
                                         << i << ":\n" << a.substr(from, 160) << "\n----\n" << b.substr(from, 160);
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

// A loaded unit process never asks for an exact arrival: a text save written after a load shows
// each unit's "exact" (the field before "whatClass") cleared, and nothing else changed.
std::string UnitsExactCleared(std::string text) {
    const std::string from = "exact [1] =\r\ntrue\r\nwhatClass", to = "exact [1] =\r\nfalse\r\nwhatClass";
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

class SaveGameTest : public ::testing::Test {
protected:
    void SetUp() override {
        Plat_Init(BackendKind::Headless);
        Plat_UseVirtualClock(1000);
        Plat_ClearMessageBoxLog();
        Plat_SetMessageBoxPolicy(nullptr);
        Plat_ResetFileDialog();
        Error_ResetForTests();
        std::string pattern = (fs::temp_directory_path() / "gv_saveprofile_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        profile = pattern;
        ASSERT_FALSE(SampleData().empty());
        world_ = std::make_unique<content::HeadlessWorld>(SampleData(), profile);
        ASSERT_TRUE(world_->Ready());
        Clock_RestorePaused(0.0f);
    }
    void TearDown() override {
        world_.reset();
        Plat_ResetFileDialog();
        Error_ResetForTests();
        Plat_ClearMessageBoxLog();
        Plat_UseRealClock();
        Plat_Shutdown();
        std::error_code ec;
        fs::remove_all(profile, ec);
    }

    // Existing folders in the case they have on disk (the light-map cache may have made "Addon").
    std::string Path(const std::string& name) const { return Plat_ResolvePath(profile + "/" + name); }
    // Writes the running world (a mission file or a saved game, either form) and returns the bytes.
    std::string Save(const std::string& name, bool mission, bool binary, int32_t runType = 0) {
        SaveGame_SetMissionFile(mission);
        Field_SetBinary(binary);
        EXPECT_TRUE(SaveGame_Write(Path(name).c_str(), runType));
        Field_SetBinary(false);
        return ReadAll(Path(name));
    }
    bool Load(const std::string& name) {
        world_->Reset();
        return SaveGame_Load(Path(name).c_str());
    }
    std::string LastBox() const {
        const auto& log = Plat_MessageBoxLog();
        return log.empty() ? std::string() : log.back().text;
    }
    // Nothing of a failed load is left: no object, entity, queued fix-up or user.
    void ExpectNothingLeft() {
        EXPECT_TRUE(GameObject_List().empty());
        EXPECT_EQ(Entities_UsedCount(), 0);
        EXPECT_EQ(Field_FixupQueueSize(), 0u);
        EXPECT_EQ(Field_PointerMapSize(), 0u);
        EXPECT_EQ(GameObject_GetUser(), nullptr);
        EXPECT_EQ(GameObject_PoolFreeCount(), kObjectPoolSize);
    }

    std::string profile;
    std::unique_ptr<content::HeadlessWorld> world_;
};

// ---- round trips ------------------------------------------------------------------------------

TEST_F(SaveGameTest, TheSampleMissionAndASavedGameOfItAreFixedPointsInBothForms) {
    world_->Reset();
    ASSERT_TRUE(SaveGame_Load("sample.qmn")) << LastBox();
    EXPECT_EQ(GameObject_List().size(), 14u);
    ASSERT_NE(GameObject_GetUser(), nullptr);
    EXPECT_EQ(std::string(GameObject_GetUser()->objClass->defName, 6), "player");
    const std::string generated = Save("generated.qmn", true, false);
    // The packed sample is what the game writes after loading it.
    world_->Reset();
    ASSERT_TRUE(SaveGame_Load("sample.qmn"));
    EXPECT_TRUE(SameBytes(Save("again.qmn", true, false), generated));

    for (bool binary : {false, true}) {
        SCOPED_TRACE(binary ? "binary" : "text");
        // A mission file.
        world_->Reset();
        ASSERT_TRUE(SaveGame_Load("sample.qmn"));
        const std::string first = Save("m1.qmn", true, binary);
        ASSERT_TRUE(Load("m1.qmn")) << LastBox();
        EXPECT_FLOAT_EQ(SaveGame_Globals().loadFinishedTime, 0.0f) << "a mission file's clock starts again from 0";
        EXPECT_TRUE(SameBytes(Save("m2.qmn", true, binary), first));

        // A saved game after time has passed and things have changed.
        world_->Reset();
        ASSERT_TRUE(SaveGame_Load("sample.qmn"));
        Clock_RestorePaused(42.5f);
        GameObject* tank = GameObject_List().back();
        tank->SetPosition(Vector{2650.0f, 90.0f, 2610.0f});
        tank->AddHealth(-300.0f);
        tank->SetCommand(4);
        tank->nextCmd.who = GameObject_GetUser()->GetObjHandle();
        TeamRecord::Get(1)->AddMaxScrap(40);
        TeamRecord::Get(1)->AddScrap(25);
        const std::string saved = Save("g1.sav", false, binary);
        ASSERT_TRUE(Load("g1.sav")) << LastBox();
        EXPECT_FLOAT_EQ(Clock_GetTime(), 42.5f);
        EXPECT_FLOAT_EQ(SaveGame_Globals().loadFinishedTime, 42.5f) << "the units' voices count from here";
        EXPECT_FLOAT_EQ(UnitAi_Services().loadFinishedTime(), 42.5f);
        EXPECT_EQ(TeamRecord::Get(1)->GetScrap(), 25);
        GameObject* back = GameObject_List().back();
        EXPECT_EQ(back->nextCmd.what, 4);
        EXPECT_EQ(back->nextCmd.who, GameObject_GetUser()->GetObjHandle()) << "saved handles resolve to live ones";
        EXPECT_EQ(GameObject::FromHandle(back->nextCmd.who), GameObject_GetUser());
        for (GameObject* object : GameObject_List())
            EXPECT_EQ(GameObject::FromHandle(object->GetObjHandle()), object) << "a loaded object's own handle finds it";
        const std::string second = Save("g2.sav", false, binary);
        if (!binary) {
            EXPECT_TRUE(SameBytes(second, UnitsExactCleared(saved)));
        }
        // From the first save after a load on, a saved game is a fixed point.
        ASSERT_TRUE(Load("g2.sav")) << LastBox();
        EXPECT_TRUE(SameBytes(Save("g3.sav", false, binary), second));
        if (binary) {
            EXPECT_EQ(saved.rfind("version [1] =\r\n1039\r\nbinarySave [1] =\r\ntrue\r\n", 0), 0u);
        }
    }
}

// Every loaded object is in the team its file names before the mission picks its brain: a
// team-2 craft runs its class's enemy process, another the friend process, and the objects hold
// their team slots (the user's craft slot 0), in a mission file and in a saved game alike.
TEST_F(SaveGameTest, LoadedObjectsJoinTheirTeamsBeforeTheirBrainsArePicked) {
    world_->Reset();
    ASSERT_TRUE(SaveGame_Load("sample.qmn")) << LastBox();
    Save("teams.sav", false, false);
    for (const char* file : {"sample.qmn", "teams.sav"}) {
        SCOPED_TRACE(file);
        world_->Reset();
        ASSERT_TRUE(std::string(file) == "sample.qmn" ? SaveGame_Load(file) : Load(file)) << LastBox();
        int enemies = 0;
        for (GameObject* object : GameObject_List()) {
            SCOPED_TRACE(std::string(object->objClass->defName, 8));
            const int32_t bits = static_cast<int32_t>((object->entity->flags & kEntityTeamMask) >> 16);
            EXPECT_EQ(object->team, bits);
            EXPECT_EQ(object->teamRecord, TeamRecord::Get(bits));
            if (object->teamSlot >= 0) {
                EXPECT_EQ(object->teamRecord->GetSlot(object->teamSlot), object);
            }
            if (object == GameObject_GetUser()) {
                EXPECT_EQ(object->teamSlot, 0);
                continue;
            }
            const FactoryReg* brain = object->aiProcess ? object->aiProcess->GetFactory() : nullptr;
            if (!brain) continue;
            const char* wanted = bits == 2 ? object->objClass->enemyProcess : object->objClass->friendProcess;
            EXPECT_EQ(std::string(brain->name), std::string(wanted, strnlen(wanted, kClassProcessNameSize)));
            if (bits == 2) ++enemies;
        }
        EXPECT_GT(enemies, 0);
    }
}

TEST_F(SaveGameTest, MissionFilesLeaveOutTheSavedGameFields) {
    world_->Reset();
    ASSERT_TRUE(SaveGame_Load("sample.qmn"));
    const std::string mission = Save("m.qmn", true, false);
    const std::string saved = Save("g.sav", false, false);
    for (const char* field : {"runType", "saveGameDesc", "nUsaMissionIndex", "nMissionStatus", "start_time",
                              "[AiTasks]", "playerShot", "wpnID", "curScrap"}) {
        EXPECT_EQ(mission.find(field), std::string::npos) << field;
        EXPECT_NE(saved.find(field), std::string::npos) << field;
    }
    EXPECT_NE(mission.find("aiProcess [1] =\r\ntrue"), std::string::npos) << "the craft keep their AI mark";
}

TEST_F(SaveGameTest, AFinishedMissionOfRunTypeOneResumesAtTheNextOne) {
    struct Case {
        int32_t runType, status, oldMode, expectedSecond;
    };
    const Case cases[] = {{1, 2, 0, 5}, {0, 2, 0, 4}, {1, 1, 0, 4}, {1, 2, 1, 4}};
    for (const Case& c : cases) {
        world_->Reset();
        int32_t* p = SaveGame_Globals().progress;
        p[0] = 7, p[1] = 4, p[2] = 1, p[3] = 2, p[4] = c.status, p[5] = c.oldMode;
        const std::string text = Save("p.sav", false, false, c.runType);
        EXPECT_NE(text.find("nUssrMissionIndex [1] =\r\n" + std::to_string(c.expectedSecond) + "\r\n"), std::string::npos)
            << c.runType << " " << c.status << " " << c.oldMode;
        EXPECT_NE(text.find("nUsaMissionIndex [1] =\r\n7\r\n"), std::string::npos);
        EXPECT_EQ(p[1], 4) << "only the file changes";
    }
}

// ---- version gates on small hand-built streams ------------------------------------------------

std::string Header(int32_t version, bool mission, int32_t runType = 0) {
    return CaptureFields(false, [&](FILE* f) {
        const char name[16] = "hand.sav";
        const char terrain[100] = "sample";
        char description[256] = "by hand";
        bool ok = Field_WriteInt(f, version, "version") && Field_WriteBool(f, false, "binarySave") &&
                  Field_WriteString(f, name, 16, "msn_filename") && Field_WriteInt(f, int32_t{40}, "seq_count") &&
                  Field_WriteBool(f, mission, "missionSave");
        if (!mission) {
            ok = ok && Field_WriteInt(f, runType, "runType") && Field_WriteBytes(f, description, 256, "saveGameDesc");
            for (int i = 0; i < 6; ++i) ok = ok && Field_WriteInt(f, int32_t{0}, "progress");
        }
        ok = ok && Field_WriteString(f, terrain, 100, "TerrainName");
        if (!mission) ok = ok && Field_WriteFloat(f, 3.0f, "start_time");
        return ok;
    });
}

TEST_F(SaveGameTest, VersionGatesRefuseOldSavedGamesAndNewerFiles) {
    WriteAll(Path("old.sav"), Header(1035, false));
    EXPECT_FALSE(Load("old.sav"));
    EXPECT_EQ(LastBox(), "Old Saved Games are not backwards compatible");
    ExpectNothingLeft();

    WriteAll(Path("newer.sav"), Header(1040, false));
    EXPECT_FALSE(Load("newer.sav"));
    EXPECT_NE(LastBox().find("newer version"), std::string::npos);

    fs::create_directories(Path("save"));
    WriteAll(Path("save/game3.sav"), Header(1033, false));
    char text[kSaveDescriptionSize];
    EXPECT_FALSE(SaveSlot_ReadDescription(3, text));
    EXPECT_STREQ(text, "Old version save game");
}

// One object of the user's class in the layout of a version-1029 saved game: no sprite name,
// a has-pilot flag instead of "curPilot", no perceived team and no weapons.
std::string Version1029Object() {
    return CaptureFields(false, [](FILE* f) {
        const char id[8] = {'p', 'l', 'a', 'y', 'e', 'r'};
        const char label[40] = "old tank";
        const uint16_t seqno = 3;
        Matrix m = kIdentityMatrix;
        m.posit = DVector{1600.0, 30.0, 2000.0};
        const Vector pos{1600.0f, 30.0f, 2000.0f};
        PhysicsState physics{};
        physics.mass_inv = physics.v_mag_inv = 1e30f;
        const uint8_t no = 0;
        const uint32_t zero = 0;
        AiCmdInfo none{};
        auto command = [&](FILE* s) {
            uint8_t what[4] = {};
            return Field_WriteInt(s, none.priority, "priority") && Field_WriteBytes(s, what, 4, "what") &&
                   Field_WriteInt(s, int32_t{0}, "who") && Field_WritePointerValue(s, 0, "where") &&
                   Field_WriteInt(s, none.param, "param");
        };
        bool ok = Field_WriteInt(f, int32_t{1}, "size") && Field_WriteLabel(f, "[GameObject]") &&
                  Field_WriteId(f, id, 8, "PrjID") && Field_WriteUShort(f, &seqno, 2, "seqno") &&
                  Field_WriteVector(f, &pos, 12, "pos") && Field_WriteInt(f, int32_t{1}, "team") &&
                  Field_WriteString(f, label, 40, "label") && Field_WriteInt(f, int32_t{1}, "isUser") &&
                  Field_WritePointerValue(f, 5, "obj_addr") && Field_WriteMatrix(f, &m, 64, "transform") &&
                  Field_WriteInt(f, int32_t{0}, "abandoned") && Field_WriteFloat(f, 0.0f, "illumination") && Field_WriteVector(f, &pos, 12, "pos") &&
                  Field_WritePhysics(f, &physics, 60, "euler") && Field_WriteInt(f, int32_t{3}, "seqNo") &&
                  Field_WriteBool(f, &no, 1, "isObjective") && Field_WriteBool(f, &no, 1, "isSelected") &&
                  Field_WriteHex(f, &zero, 4, "isVisible") && Field_WriteHex(f, &zero, 4, "seen");
        for (int i = 0; i < 6; ++i) ok = ok && Field_WriteFloat(f, 1.0f, "hit");
        const int32_t health[2] = {50, 100}, ammo[2] = {5, 10};
        ok = ok && Field_WriteFloat(f, 0.5f, "healthRatio") && Field_WriteLong(f, &health[0], 4, "curHealth") &&
             Field_WriteLong(f, &health[1], 4, "maxHealth") && Field_WriteFloat(f, 0.5f, "ammoRatio") &&
             Field_WriteLong(f, &ammo[0], 4, "curAmmo") && Field_WriteLong(f, &ammo[1], 4, "maxAmmo") && command(f) &&
             command(f) && Field_WritePointerValue(f, 0, "undefptr") && Field_WriteBool(f, &no, 1, "isCargo") &&
             Field_WriteInt(f, int32_t{1}, "independence") && Field_WriteBool(f, true, "hasPilot");
        return ok;
    });
}

TEST_F(SaveGameTest, OlderObjectLayoutsAndMissionHealthFollowTheVersion) {
    // A version-1029 saved game reads the has-pilot flag and no "curPilot": the user's pilot.
    {
        SaveGame_SetMissionFile(false);
        FieldReadScope scope(Version1029Object(), false, 1029);
        ASSERT_TRUE(GameObject_LoadAll()) << LastBox();
        EXPECT_EQ(scope.Offset(), scope.Size()) << "every field read, nothing more";
        Field_ResolvePointers();
    }
    ASSERT_EQ(GameObject_List().size(), 1u);
    GameObject* old = GameObject_List().front();
    EXPECT_EQ(old->pilotClass, old->objClass->userPilotClass);
    EXPECT_EQ(std::string(old->label), "old tank");
    EXPECT_EQ(old->curHealth, 50.0f);

    // A mission file takes the class's health and keeps the ratio.
    world_->Reset();
    ASSERT_TRUE(SaveGame_Load("sample.qmn"));
    GameObject* user = GameObject_GetUser();
    user->curHealth = 500.0f;
    user->maxHealth = 1000.0f;
    Save("half.qmn", true, false);
    ASSERT_TRUE(Load("half.qmn"));
    user = GameObject_GetUser();
    EXPECT_EQ(user->maxHealth, static_cast<float>(user->objClass->health));
    EXPECT_EQ(user->curHealth, 0.5f * static_cast<float>(user->objClass->health));
}

TEST_F(SaveGameTest, DefaultLabelAndAWorldWithoutUser) {
    GameObjectClass* cls = GameObjectClass::Find("avscout");
    ASSERT_NE(cls, nullptr);
    GameObject* object = GameObjectClass::Build(cls, kIdentityMatrix, 2, false, 0, nullptr);
    ASSERT_NE(object, nullptr);
    object->SetLabel(nullptr);
    object->seqNo = 7;
    char savedName[8];
    std::memcpy(savedName, cls->defName, 8);
    const char* savedLabel = cls->label;
    std::memset(cls->defName, 0, 8);
    std::memcpy(cls->defName, "abc", 3);
    cls->label = "craft";
    const std::string head = CaptureFields(false, [&](FILE* f) { return GameObject::SaveHeader(object, f); });
    std::memcpy(cls->defName, savedName, 8);
    cls->label = savedLabel;
    EXPECT_NE(head.find("label = abc7_craft\r\n"), std::string::npos);

    // Without a user's object the sections follow "size" directly.
    const std::string all = CaptureFields(false, [](FILE* f) { return GameObject_SaveAll(f); });
    EXPECT_EQ(all.rfind("size [1] =\r\n1\r\n[GameObject]\r\nPrjID [1] =\r\navscout\r\n", 0), 0u);
    world_->Reset();
    std::strcpy(SaveGame_Globals().terrainName, "sample");
    const std::string empty = Save("empty.sav", false, false);
    EXPECT_NE(empty.find("size [1] =\r\n0\r\ncurScrap"), std::string::npos);
    EXPECT_TRUE(Load("empty.sav")) << LastBox();
}

// ---- refused input ----------------------------------------------------------------------------

TEST_F(SaveGameTest, CorruptFilesFailCleanlyAndTheGoodFileStillLoads) {
    world_->Reset();
    ASSERT_TRUE(SaveGame_Load("sample.qmn"));
    const std::string mission = Save("good.qmn", true, false);
    const std::string saved = Save("good.sav", false, false);
    const std::string binary = Save("good.bin.sav", false, true);

    auto cutAt = [](const std::string& text, const std::string& marker, size_t extra) {
        const size_t at = text.find(marker);
        EXPECT_NE(at, std::string::npos) << marker;
        return text.substr(0, at + extra);
    };
    struct Case {
        const char* name;
        std::string bytes;
        const char* message;  // a part of the warning
    };
    const Case cases[] = {
        {"header cut", cutAt(mission, "TerrainName", 5), "header"},
        {"object body cut", cutAt(mission, "healthRatio", 20), "object 0"},
        {"team section cut", cutAt(saved, "curScrap", 30), "team"},
        {"binary object cut", binary.substr(0, binary.size() / 2), "Failed to load"},
        {"unknown class", Replace(mission, "PrjID [1] =\r\navtank", "PrjID [1] =\r\nnosuchcl"), "unknown class 'nosuchcl'"},
        {"oversized count", Replace(mission, "size [1] =\r\n14", "size [1] =\r\n600"), "600 objects"},
        {"team 9", Replace(mission, "team [1] =\r\n2", "team [1] =\r\n9"), "team"},
        {"missing terrain", Replace(mission, "TerrainName = sample", "TerrainName = nomap"), "nomap"},
        {"bad orientation", Replace(mission, "  front_z [1] =\r\n1\r\n", "  front_z [1] =\r\n0\r\n"), "orientation"},
    };
    int starts = 0;
    static int* startCounter;
    startCounter = &starts;
    Seam_Ai().missionStartAfterLoad = [] { ++*startCounter; };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = std::string("bad-") + std::to_string(&c - cases) + ".sav";
        WriteAll(Path(file), c.bytes);
        Plat_ClearMessageBoxLog();
        EXPECT_FALSE(Load(file));
        EXPECT_NE(LastBox().find(c.message), std::string::npos) << LastBox();
        EXPECT_NE(LastBox().find(file), std::string::npos) << LastBox();
        EXPECT_TRUE(SaveGame_Globals().lastLoadFailed);
        ExpectNothingLeft();
    }
    EXPECT_EQ(starts, 0) << "no post-load step ran";
    ASSERT_TRUE(Load("good.qmn"));
    EXPECT_TRUE(SameBytes(Save("after.qmn", true, false), mission));
    ASSERT_TRUE(Load("good.sav"));
    EXPECT_TRUE(SameBytes(Save("after.sav", false, false), UnitsExactCleared(saved)));
}

// ---- write safety -----------------------------------------------------------------------------

// A stream that takes the first bytes and then refuses.
struct Refusing {
    FILE* file;
    size_t room;
};
ssize_t RefusingWrite(void* cookie, const char* data, size_t size) {
    auto* r = static_cast<Refusing*>(cookie);
    if (size > r->room) return -1;
    r->room -= size;
    return static_cast<ssize_t>(fwrite(data, 1, size, r->file));
}
int RefusingClose(void* cookie) {
    auto* r = static_cast<Refusing*>(cookie);
    const int result = fclose(r->file);
    delete r;
    return result;
}
FILE* OpenRefusing(const char* path) {
    FILE* real = fopen(path, "wb");
    if (!real) return nullptr;
    cookie_io_functions_t io{nullptr, RefusingWrite, nullptr, RefusingClose};
    FILE* f = fopencookie(new Refusing{real, 3000}, "wb", io);
    setvbuf(f, nullptr, _IONBF, 0);
    return f;
}

TEST_F(SaveGameTest, AFailedWriteKeepsThePreviousFileAndTheWorldSavesAfterwards) {
    world_->Reset();
    ASSERT_TRUE(SaveGame_Load("sample.qmn"));
    ASSERT_TRUE(SaveSlot_Save(0, 2, "before"));
    const std::string slot = Path("save/game2.sav");
    const std::string before = ReadAll(slot);
    ASSERT_FALSE(before.empty());

    SaveGame_SetStreamOpener(OpenRefusing);
    Plat_ClearMessageBoxLog();
    EXPECT_FALSE(SaveSlot_Save(0, 2, "during"));
    EXPECT_EQ(LastBox(), "Failed to save game\n");
    SaveGame_SetStreamOpener(nullptr);
    EXPECT_TRUE(SameBytes(ReadAll(slot), before));
    EXPECT_FALSE(fs::exists(slot + ".new"));

    Plat_ClearMessageBoxLog();
    SaveGame_SetMissionFile(false);
    EXPECT_FALSE(SaveGame_Write(Path("no-such-directory/x.sav").c_str(), 0));
    EXPECT_EQ(LastBox(), "Failed to save game\n");
    EXPECT_FALSE(fs::exists(Path("no-such-directory")));

    EXPECT_TRUE(SaveSlot_Save(0, 2, "before"));
    EXPECT_TRUE(SameBytes(ReadAll(slot), before));
}

// ---- new missions, slots, the autosave --------------------------------------------------------

TEST_F(SaveGameTest, ABareMapStartsWithThePlayerAboveTheCentre) {
    for (const char* name : {"sample", "SAMPLE.TRN"}) {
        SCOPED_TRACE(name);
        world_->Reset();
        ASSERT_TRUE(SaveGame_Load(name)) << LastBox();
        ASSERT_EQ(GameObject_List().size(), 1u);
        GameObject* user = GameObject_GetUser();
        ASSERT_EQ(user, GameObject_List().front());
        EXPECT_EQ(std::string(user->objClass->defName, 6), "player");
        const float x = 0.5f * (TerrainBounds.minXm + TerrainBounds.maxXm);
        const float z = 0.5f * (TerrainBounds.minZm + TerrainBounds.maxZm);
        EXPECT_EQ(user->entity->local.posit.x, x);
        EXPECT_EQ(user->entity->local.posit.z, z);
        // The player's hover tank settles its start at its hover height over the floor.
        auto* hover = dynamic_cast<HoverCraftClass*>(user->objClass);
        ASSERT_NE(hover, nullptr);
        EXPECT_FLOAT_EQ(static_cast<float>(user->entity->local.posit.y), Terrain_GetHeight(x, z) + hover->handling.hoverHeight);
        ASSERT_NE(user->pilotClass, nullptr);
        EXPECT_EQ(std::string(user->pilotClass->defName, 6), "asuser");
        EXPECT_EQ((user->entity->flags & kEntityTeamMask) >> kEntityTeamShift, 1u);
        EXPECT_STREQ(SaveGame_Globals().missionFile, std::string(name).find('.') == std::string::npos ? "sample.qmn" : "SAMPLE.TRN");
    }
}

TEST_F(SaveGameTest, SlotsLiveInTheProfileAndListingThemChangesNothing) {
    world_->Reset();
    ASSERT_TRUE(SaveGame_Load("sample.qmn"));
    EXPECT_FALSE(SaveSlot_Save(0, 0, "zero"));
    EXPECT_FALSE(SaveSlot_Save(0, 11, "eleven"));
    EXPECT_FALSE(SaveSlot_Load(0));
    EXPECT_FALSE(SaveSlot_Load(11));
    ASSERT_TRUE(SaveSlot_Save(0, 10, "tenth slot"));
    EXPECT_TRUE(fs::exists(Path("save/game10.sav")));
    EXPECT_FALSE(SaveGame_IsMissionFile()) << "slots hold saved games";

    const SaveGameGlobals before = SaveGame_Globals();
    std::strcpy(SaveGame_Globals().description, "typed meanwhile");
    char text[kSaveDescriptionSize];
    ASSERT_TRUE(SaveSlot_ReadDescription(10, text));
    EXPECT_STREQ(text, "tenth slot");
    EXPECT_STREQ(SaveGame_Globals().description, "typed meanwhile");
    EXPECT_STREQ(SaveGame_Globals().missionFile, before.missionFile);
    EXPECT_EQ(SaveGame_Globals().version, before.version);
    EXPECT_FALSE(Field_IsReading());

    // Missing, short and corrupt slot files give false.
    EXPECT_FALSE(SaveSlot_ReadDescription(4, text));
    const std::string whole = ReadAll(Path("save/game10.sav"));
    WriteAll(Path("save/game5.sav"), whole.substr(0, 60));
    EXPECT_FALSE(SaveSlot_ReadDescription(5, text));
    WriteAll(Path("save/game6.sav"), "garbage\r\n");
    EXPECT_FALSE(SaveSlot_ReadDescription(6, text));

    Game_SetState(kStateRun);
    ASSERT_TRUE(SaveSlot_Load(10));
    EXPECT_EQ(Game_GetState(), kStateLoadPath);
    EXPECT_EQ(CmdLine_Globals().loadPath, "save\\game10.sav");
    EXPECT_TRUE(SaveSlot_Delete(10));
    EXPECT_FALSE(fs::exists(Path("save/game10.sav")));
    CmdLine_ResetGlobals();
    Game_SetState(kStateShell);
}

TEST_F(SaveGameTest, AnAutosaveLoadsWithoutEndingTheMission) {
    world_->Reset();
    ASSERT_TRUE(SaveGame_Load("sample.qmn"));
    ASSERT_TRUE(SaveGame_Autosave());
    Game_SetState(kStateRun);
    world_->Reset();
    ASSERT_TRUE(SaveGame_Load("save\\autosave.sav")) << LastBox();
    EXPECT_EQ(Game_GetState(), kStateRun) << "the mission goes on to its frames";
    EXPECT_TRUE(SaveGame_Globals().returnToShellAfterMission);
    EXPECT_EQ(SaveGame_Globals().runType, 1);
    Game_SetState(kStateShell);
}

TEST_F(SaveGameTest, TheLoaderRecordsTheGameTimeAtWhichALoadFinished) {
    world_->Reset();
    EXPECT_LT(Game_LoadFinishedTime(), -1e6f) << "nothing loaded yet: long ago";
    ASSERT_TRUE(SaveGame_Load("sample.qmn"));
    EXPECT_FLOAT_EQ(Game_LoadFinishedTime(), 0.0f) << "a mission file starts at time 0";

    Clock_RestorePaused(37.25f);
    Save("t.sav", false, false);
    ASSERT_TRUE(Load("t.sav")) << LastBox();
    EXPECT_FLOAT_EQ(Game_LoadFinishedTime(), 37.25f) << "a saved game resumes at its own time";

    // A load that fails records nothing.
    Clock_RestorePaused(50.0f);
    WriteAll(Path("cut.sav"), ReadAll(Path("t.sav")).substr(0, 2000));
    world_->Reset();
    SaveGame_Globals().loadFinishedTime = 12.0f;
    EXPECT_FALSE(SaveGame_Load(Path("cut.sav").c_str()));
    EXPECT_FLOAT_EQ(Game_LoadFinishedTime(), 12.0f);
    Game_SetState(kStateShell);
}

// ---- dialogs ----------------------------------------------------------------------------------

TEST_F(SaveGameTest, DialogsAreCancelledHeadlessAndWriteWhereTheyAreTold) {
    world_->Reset();
    ASSERT_TRUE(SaveGame_Load("sample.qmn"));
    Game_SetState(kStateRun);
    SaveGame_LoadDialog();
    EXPECT_EQ(Game_GetState(), kStateRun);
    FileDialogRequest asked;
    ASSERT_TRUE(Plat_LastFileDialog(&asked));
    EXPECT_EQ(asked.title, "Load Gravenholt Saved Game");
    EXPECT_EQ(asked.filter, "Gravenholt Saved Games (*.SAV)");
    EXPECT_EQ(asked.defaultExtension, "sav");
    EXPECT_EQ(asked.flags, kFileDialogFileMustExist | kFileDialogPathMustExist | kFileDialogHideReadOnly |
                               kFileDialogNoChangeDir);

    // The mission dialog writes a mission file into the profile's add-on directory.
    Plat_SetFileDialogAnswer(Path("addon/mine"));
    Mission_SaveDialog();
    ASSERT_TRUE(Plat_LastFileDialog(&asked));
    EXPECT_EQ(asked.title, "Save Gravenholt Misson");
    EXPECT_EQ(asked.initialDirectory, Path("addon"));
    const std::string written = ReadAll(Path("addon/mine.qmn"));
    EXPECT_NE(written.find("missionSave [1] =\r\ntrue"), std::string::npos);
    EXPECT_EQ(CmdLine_Globals().loadPath, Path("addon/mine.qmn"));

    SaveGame_SaveDialog(0);
    EXPECT_TRUE(fs::exists(Path("addon/mine.sav")));
    Plat_SetFileDialogAnswer("bare");  // a bare name lands in the dialog's directory
    Mission_SaveDialog();
    EXPECT_TRUE(fs::exists(Path("addon/bare.qmn")));
    Plat_SetFileDialogAnswer(Path("addon/mine.sav"));
    SaveGame_LoadDialog();
    EXPECT_EQ(Game_GetState(), kStateLoadPath);
    EXPECT_EQ(CmdLine_Globals().loadPath, Path("addon/mine.sav"));
    CmdLine_ResetGlobals();
    Game_SetState(kStateShell);
}


// ---- the tug's cargo ---------------------------------------------------------------------------

Tug* FindTug() {
    for (GameObject* object : GameObject_List())
        if (auto* tug = dynamic_cast<Tug*>(object)) return tug;
    return nullptr;
}

TEST_F(SaveGameTest, ATugsCargoIsLinkedAgainAfterALoadInBothFormsAndAMissingOneIsNone) {
    world_->Reset();
    ASSERT_TRUE(SaveGame_Load("tugs.qmn")) << LastBox();
    Tug* tug = FindTug();
    ASSERT_NE(tug, nullptr);
    ASSERT_NE(tug->cargo, nullptr) << "the mission's tug carries its scout";
    EXPECT_EQ(tug->deployState, kTugHooked) << "hooked after loading, so that it can set the cargo down";
    EXPECT_STREQ(tug->cargo->objClass->label, "wingman");
    for (bool binary : {false, true}) {
        const std::string name = binary ? "tug.bin.sav" : "tug.sav";
        Save(name, false, binary);
        ASSERT_TRUE(Load(name)) << LastBox();
        tug = FindTug();
        ASSERT_NE(tug, nullptr);
        ASSERT_NE(tug->cargo, nullptr) << (binary ? "binary" : "text");
        EXPECT_TRUE(tug->cargo->isCargo);
        EXPECT_EQ(tug->cargo->carrier, tug);
        EXPECT_EQ(tug->deployState, kTugHooked);
        EXPECT_EQ(tug->GetAmmoRatio(), 1.0f);
    }

    // The tug's cargo field names an object the file does not hold: no cargo, and the tug waits
    // with its hook up.
    const std::string text = Save("tug2.sav", false, false);
    const size_t section = text.find("PrjID [1] =\r\navtug");
    ASSERT_NE(section, std::string::npos);
    const size_t field = text.find("undefptr", section);
    ASSERT_NE(field, std::string::npos);
    const size_t valueStart = text.find("= ", field) + 2;
    const size_t valueEnd = text.find("\r\n", valueStart);
    std::string broken = text.substr(0, valueStart) + "7777777" + text.substr(valueEnd);
    {
        std::ofstream out(Path("tug3.sav"), std::ios::binary | std::ios::trunc);
        out << broken;
    }
    ASSERT_TRUE(Load("tug3.sav")) << LastBox();
    tug = FindTug();
    ASSERT_NE(tug, nullptr);
    EXPECT_EQ(tug->cargo, nullptr);
    EXPECT_EQ(tug->deployState, kTugRaised);
    for (GameObject* object : GameObject_List()) EXPECT_EQ(object->carrier, nullptr);
}

}  // namespace

TEST_F(SaveGameTest, ACraftDroppedOnTheSampleGroundBouncesOffItAndNeverSinks) {
    world_->Reset();
    ASSERT_TRUE(SaveGame_Load("sample.qmn")) << LastBox();
    Craft* craft = nullptr;
    for (GameObject* object : GameObject_List())
        if (auto* c = dynamic_cast<Craft*>(object); c && c != GameObject_GetUser()) craft = c;
    ASSERT_NE(craft, nullptr) << "the sample's vehicles are craft";
    Matrix& m = craft->entity->local;
    const Vector bottom = craft->boxFaceCentres[4];
    m.posit.y = Terrain_GetHeight(m.posit.x, m.posit.z) - bottom.y + 2.0;
    craft->euler.velocity = Vector{0.0f, -10.0f, 0.0f};
    craft->euler.angularVelocity = Vector{0.0f, 0.0f, 0.0f};
    bool contact = false;
    for (int step = 0; step < 40 && !contact; ++step) {
        contact = craft->Integrate(0.02f);
        const DVector probe = Matrix_TransformPoint(bottom, m);
        EXPECT_GE(probe.y, Terrain_GetHeight(probe.x, probe.z) - 0.05) << "step " << step;
    }
    ASSERT_TRUE(contact);
    EXPECT_GT(craft->euler.velocity.y, 0.0f) << "the fall is reflected, not driven into the ground";
    EXPECT_LT(craft->euler.velocity.y, 1.0f) << "and mostly absorbed";
}
