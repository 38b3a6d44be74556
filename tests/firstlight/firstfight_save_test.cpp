// The fight saved in its middle, with rounds in flight and a blast burning, through the game's
// own save and load keys, and loaded again in the same program: the game comes back at the moment
// it was saved, every object as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Terrain/terrheight.h"
#include "ai/unitprocess.h"
#include "ai/unittask.h"
#include "core/factory.h"
#include "core/app.h"
#include "core/clock.h"
#include "core/game.h"
#include "core/savegame.h"
#include "core/seams/ai.h"
#include "core/seams/cockpit.h"
#include "core/seams/core.h"
#include "fun3d/gameobject.h"
#include "fun3d/gameobjectclass.h"
#include "fun3d/objectpool.h"
#include "interface/gamekeys.h"
#include "platform/filedialog.h"
#include "platform/paths.h"
#include "platform/surface.h"
#include "support/app_fixture.h"
#include "support/game_run.h"
#include "support/state_reset.h"
#include "weapons/explosion.h"
#include "weapons/ordnance.h"

namespace {

class FirstFightSave : public AppFixture {};

// One object as a frame starts from it.
struct ObjectState {
    std::string name;
    uint32_t handle = 0;
    Matrix placement{};
    Vector velocity{}, spin{};
    float health = 0.0f;
    int32_t ammo = 0;
    int32_t command = 0, pending = 0;
    uint32_t commandTarget = 0, pendingTarget = 0;
    std::string brain;  // its process and task, each with its state

    bool operator==(const ObjectState& o) const {
        auto same = [](const auto& a, const auto& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
        return name == o.name && handle == o.handle && same(placement.right, o.placement.right) &&
               same(placement.up, o.placement.up) && same(placement.front, o.placement.front) &&
               same(placement.posit, o.placement.posit) && same(velocity, o.velocity) && same(spin, o.spin) &&
               same(health, o.health) && ammo == o.ammo && command == o.command && pending == o.pending &&
               commandTarget == o.commandTarget && pendingTarget == o.pendingTarget && brain == o.brain;
    }
};

struct Seen {
    uint32_t frame = 0;
    float time = 0.0f;
    std::vector<ObjectState> objects;
    size_t rounds = 0, blasts = 0;
    std::vector<uint8_t> picture;  // the frame presented last, when kept

    bool operator==(const Seen& o) const {
        return frame == o.frame && std::memcmp(&time, &o.time, sizeof time) == 0 && objects == o.objects &&
               rounds == o.rounds && blasts == o.blasts && picture == o.picture;
    }
};

std::string FactoryName(const sObject* object) {
    const FactoryReg* reg = object ? object->GetFactory() : nullptr;
    return reg && reg->name ? reg->name : "-";
}

std::string Brain(const GameObject* o) {
    std::string text = FactoryName(o->aiProcess);
    if (const auto* unit = dynamic_cast<const UnitProcess*>(o->aiProcess)) {
        const char* state = UnitState_Name(unit->curState);
        text += std::string(":") + (state ? state : "-");
        if (unit->task) {
            const char* taskState = UnitTask_StateName(unit->task->curState);
            text += " " + FactoryName(unit->task) + ":" + (taskState ? taskState : "-");
        }
    }
    return text;
}

Seen Snapshot() {
    Seen s;
    s.frame = Clock_GetFrameCount();
    s.time = Clock_GetTime();
    for (GameObject* o : GameObject_List()) {
        if (!o->entity) continue;
        ObjectState state;
        state.name.assign(o->objClass->defName, strnlen(o->objClass->defName, 8));
        state.handle = o->GetObjHandle();
        state.placement = o->entity->local;
        state.velocity = o->euler.velocity;
        state.spin = o->euler.angularVelocity;
        state.health = o->curHealth;
        state.ammo = o->curAmmo;
        state.command = o->curCmd.what, state.commandTarget = o->curCmd.who;
        state.pending = o->nextCmd.what, state.pendingTarget = o->nextCmd.who;
        state.brain = Brain(o);
        s.objects.push_back(state);
    }
    s.rounds = Ordnance_LiveList().size();
    s.blasts = Explosion_LiveList().size();
    return s;
}

struct Recorder {
    void (*observe)() = nullptr;  // the harness's own frame observer
    void (*keys)() = nullptr;     // the game's key handling
    uint32_t saveAt = 0;          // from this frame on, the first with rounds in flight and a
                                  // blast burning is the one whose game keys save and load
    std::string savePath;
    bool pressed = false;
    Seen atSave;
    std::vector<Seen> seen;  // every frame from the first with the player's tank
    size_t firstAfterLoad = 0;
    bool save = true;            // the save key goes before the load key; else the load key alone
    std::string resavePath;      // when set, the game just loaded is saved there before it runs
    bool keepPictures = false;   // keeps the frames presented from the load on
    bool (*load)(const char*) = nullptr;  // the game's own loader
    void (*atStart)(GameObject* user) = nullptr;  // more set-up once the mission stands
};
Recorder g_rec;

void Record() {
    g_rec.observe();
    Seen seen = Snapshot();
    PlatFrame picture;
    if (g_rec.keepPictures && g_rec.pressed && Plat_SurfaceLastFrame(App_Globals().mainWindow, &picture))
        seen.picture = std::move(picture.rgb);
    g_rec.seen.push_back(std::move(seen));
}

// The loader, and at once the save key's own save of what it loaded.
bool LoadAndSave(const char* path) {
    const bool loaded = g_rec.load(path);
    if (loaded && !g_rec.resavePath.empty()) {
        Plat_SetFileDialogAnswer(g_rec.resavePath);
        SaveGame_SaveDialog(0);
    }
    return loaded;
}

// In the first frame from saveAt on with rounds in flight and a blast burning, the save key and
// then the load key reach the game where any game key does
// (after the frame's collision pass), with the file dialogs answering the save file.
void Keys() {
    g_rec.keys();
    if (g_rec.pressed || Clock_GetFrameCount() < g_rec.saveAt) return;
    if (Ordnance_LiveList().empty() || Explosion_LiveList().empty()) return;
    g_rec.pressed = true;
    g_rec.atSave = Snapshot();
    Plat_SetFileDialogAnswer(g_rec.savePath);
    // The keys open their dialogs in a game played in a window.
    const bool fullScreen = App_Globals().fullScreen;
    App_Globals().fullScreen = false;
    if (g_rec.save) GameKey_Dispatch(kGameKeySaveGame);
    GameKey_Dispatch(kGameKeyLoadGame);
    App_Globals().fullScreen = fullScreen;
    g_rec.firstAfterLoad = g_rec.seen.size();
}

// The fight with the player's tank turned east to meet the enemy, firing from frame 150 on. A
// mission that starts clears the keys held, a loaded one too: the fire key is pressed again.
GameRunResult Fight(int frames, uint32_t saveAt, const std::string& savePath, const Recorder& how = Recorder{}) {
    g_rec = how;
    g_rec.saveAt = saveAt;
    g_rec.savePath = savePath;
    GameRunOptions options;
    options.commandLine = "-nointro fight.qmn";
    options.frames = frames;
    options.events = "150 keydown Insert\n345 keyup Insert\n350 keydown Insert\n";
    // Pictures are kept from the save on: the frames drawn start a little before it.
    if (how.keepPictures) options.draw = GameRun_DrawFrom(int(saveAt) - 12);
    options.atStart = [](GameObject* user) {
        Matrix m{};
        m.up = Vector{0.0f, 1.0f, 0.0f};
        m.front = Vector{1.0f, 0.0f, 0.0f};
        m.right = Vector{0.0f, 0.0f, -1.0f};
        const double x = user->entity->local.posit.x, z = user->entity->local.posit.z;
        m.posit = DVector{x, Terrain_GetHeight(float(x), float(z)) + 1.0f, z};
        user->SetMatrix(m);
        g_rec.observe = Seam_Cockpit().inputRead;
        Seam_Cockpit().inputRead = Record;
        g_rec.keys = Seam_Cockpit().gameKeyProcess;
        Seam_Cockpit().gameKeyProcess = Keys;
        g_rec.load = Seam_Core().saveGameLoad;
        Seam_Core().saveGameLoad = LoadAndSave;
        if (g_rec.atStart) g_rec.atStart(user);
    };
    GameRunResult run = GameRun_Play(options);
    if (g_rec.keys) Seam_Cockpit().gameKeyProcess = g_rec.keys;
    if (g_rec.load) Seam_Core().saveGameLoad = g_rec.load;
    return run;
}

// Saved while the player's rounds fly at the enemy and one has just burst, loaded at once: the
// game goes on from the saved moment with every object's placement, motion, health, ammunition
// and commands as they were, bit for bit, and the fight runs on to the end of the script.
TEST_F(FirstFightSave, SavedInTheMiddleOfTheFightItLoadsBackToTheMomentItWasSaved) {
    const std::string path = Plat_ProfilePath("save") + "/fight.sav";
    const GameRunResult run = Fight(380, 332, path);
    ASSERT_EQ(run.exitCode, 0);
    ASSERT_TRUE(g_rec.pressed) << "the fight never reached the frame of the save";
    const Seen& saved = g_rec.atSave;
    EXPECT_GT(saved.rounds, 0u) << "no rounds in flight when the game was saved";
    EXPECT_GT(saved.blasts, 0u) << "no blast burning when the game was saved";
    EXPECT_EQ(saved.objects.size(), 9u);
    FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr) << "the save key wrote nothing";
    std::fclose(file);

    ASSERT_GT(g_rec.seen.size(), g_rec.firstAfterLoad + 30) << "the loaded game did not run on";
    const Seen& loaded = g_rec.seen[g_rec.firstAfterLoad];
    EXPECT_LT(loaded.frame, saved.frame) << "the frame counter starts again with the loaded mission";
    // The clock goes on from the saved time; the frames that start the loaded mission take no more
    // than one frame's time.
    EXPECT_GE(loaded.time, saved.time);
    EXPECT_LT(loaded.time, saved.time + 0.034f);
    ASSERT_EQ(loaded.objects.size(), saved.objects.size());
    for (size_t i = 0; i < saved.objects.size(); ++i)
        EXPECT_TRUE(loaded.objects[i] == saved.objects[i])
            << saved.objects[i].name << " (object " << i << "): " << saved.objects[i].brain << " / " << loaded.objects[i].brain;
    // The fight goes on: the player still fires, the time runs.
    const Seen& last = g_rec.seen.back();
    EXPECT_GT(last.time, loaded.time + 1.0f);
    size_t rounds = 0;
    for (size_t i = g_rec.firstAfterLoad; i < g_rec.seen.size(); ++i) rounds += g_rec.seen[i].rounds;
    EXPECT_GT(rounds, 0u) << "no round was fired after the load";
}

// An enemy pilot on foot 60 m ahead of the player, as one that bailed out, with the brain the
// game gives it.
void EnemyPilotOnFoot(GameObject* user) {
    const double x = user->entity->local.posit.x + 60.0, z = user->entity->local.posit.z + 20.0;
    Matrix at = kIdentityMatrix;
    at.posit = DVector{x, Terrain_GetHeight(float(x), float(z)) + 0.5, z};
    GameObject* pilot = GameObjectClass::Build(GameObjectClass::Find("aspilo"), at, 2, false, 0, nullptr);
    ASSERT_NE(pilot, nullptr);
    pilot->SetTeam(2);
    pilot->SetAiProcess(Seam_Ai().createObjectProcess(pilot));
}

// A pilot on foot, fighting the player when the game is saved, comes back from the load with its
// brain and its attack as they were at that moment, and its brain drives it on.
TEST_F(FirstFightSave, APilotOnFootComesBackWithItsBrain) {
    Recorder how;
    how.atStart = EnemyPilotOnFoot;
    const std::string path = Plat_ProfilePath("save") + "/pilot.sav";
    const GameRunResult run = Fight(300, 240, path, how);
    ASSERT_EQ(run.exitCode, 0);
    ASSERT_TRUE(g_rec.pressed) << "the fight never reached the frame of the save";
    auto pilotOf = [](const Seen& seen) -> const ObjectState* {
        for (const ObjectState& o : seen.objects)
            if (o.name == "aspilo") return &o;
        return nullptr;
    };
    const ObjectState* saved = pilotOf(g_rec.atSave);
    ASSERT_NE(saved, nullptr) << "the pilot was gone before the save";
    EXPECT_EQ(saved->brain.rfind("PersonEnemy:", 0), 0u) << saved->brain;
    ASSERT_GT(g_rec.seen.size(), g_rec.firstAfterLoad + 30) << "the loaded game did not run on";
    const ObjectState* loaded = pilotOf(g_rec.seen[g_rec.firstAfterLoad]);
    ASSERT_NE(loaded, nullptr) << "the pilot did not come back";
    EXPECT_TRUE(*loaded == *saved) << saved->brain << " / " << loaded->brain;
    const ObjectState* last = pilotOf(g_rec.seen.back());
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->brain.rfind("PersonEnemy:", 0), 0u) << last->brain;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// One run saves the fight in its middle with the save key, loads it back and, before the loaded
// game runs a frame, saves it again. Another run plays the same fight to the same frame and
// there loads that second file without saving anything. From the load on both runs are the same,
// frame for frame: every object bit for bit, the rounds and blasts, the pictures presented. A
// file saved at once after its load is a fixed point: saved again after the next load, it is
// written byte for byte the same. (The first file is not: a load clears the units' exact-arrival
// marks and sets each object's bounding sphere from its placement again.)
TEST_F(FirstFightSave, TwoRunsThatLoadOneMidFightSaveRunOnAlikeAndSavingItAgainIsAFixedPoint) {
    Recorder saving;
    saving.resavePath = Plat_ProfilePath("save") + "/again.sav";
    saving.keepPictures = true;
    const GameRunResult first = Fight(372, 332, Plat_ProfilePath("save") + "/fight.sav", saving);
    ASSERT_EQ(first.exitCode, 0);
    ASSERT_TRUE(g_rec.pressed) << "the fight never reached the frame of the save";
    EXPECT_GT(g_rec.atSave.rounds, 0u) << "no rounds in flight when the game was saved";
    EXPECT_GT(g_rec.atSave.blasts, 0u) << "no blast burning when the game was saved";
    const std::vector<Seen> saved(g_rec.seen.begin() + std::ptrdiff_t(g_rec.firstAfterLoad), g_rec.seen.end());
    const std::string file = ReadAll(g_rec.savePath), resaved = ReadAll(g_rec.resavePath);
    ASSERT_FALSE(file.empty()) << "the save key wrote nothing";
    ASSERT_FALSE(resaved.empty()) << "the game just loaded was not saved again";
    EXPECT_EQ(resaved.size(), file.size());

    // The second run loads the file written just after the first load: it holds the same game.
    TearDown();
    ResetProgramStateForTest();
    SetUp();
    ASSERT_TRUE(Plat_CreateDirectories(Plat_ProfilePath("save")));
    const std::string path = Plat_ProfilePath("save") + "/fight.sav";
    WriteAll(path, resaved);
    Recorder loading;
    loading.save = false;
    loading.resavePath = Plat_ProfilePath("save") + "/again.sav";
    loading.keepPictures = true;
    const GameRunResult second = Fight(372, 332, path, loading);
    ASSERT_EQ(second.exitCode, 0);
    ASSERT_TRUE(g_rec.pressed);
    const std::vector<Seen> loaded(g_rec.seen.begin() + std::ptrdiff_t(g_rec.firstAfterLoad), g_rec.seen.end());
    EXPECT_TRUE(ReadAll(g_rec.resavePath) == resaved) << "a save loaded and saved again at once is another file";

    ASSERT_GT(saved.size(), 30u) << "the loaded game did not run on";
    ASSERT_EQ(loaded.size(), saved.size());
    ASSERT_LT(saved.front().frame, 332u) << "the first run did not load";
    ASSERT_LT(loaded.front().frame, 332u) << "the second run did not load";
    size_t rounds = 0;
    for (size_t i = 0; i < saved.size(); ++i) {
        ASSERT_FALSE(saved[i].picture.empty()) << "no frame presented by frame " << saved[i].frame;
        ASSERT_TRUE(loaded[i] == saved[i]) << "the runs part at frame " << saved[i].frame << " after the load ("
                                           << i << ")";
        rounds += saved[i].rounds;
    }
    EXPECT_GT(rounds, 0u) << "no round flew after the load";
    EXPECT_NE(saved.front().picture, saved.back().picture) << "the pictures after the load never changed";
}

}  // namespace
