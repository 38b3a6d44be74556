#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Objkr/entity.h"
#include "core/clock.h"
#include "core/seams/audio.h"
#include "core/seams/cockpit.h"
#include "fun3d/gameobject.h"
#include "fun3d/gameobjectclass.h"
#include "fun3d/objectslot.h"
#include "fun3d/teamrecord.h"
#include "interface/bettyvoice.h"
#include "interface/camera.h"
#include "platform/clock.h"
#include "platform/system.h"
#include "support/world_reset.h"

namespace {

class PlainClass : public GameObjectClass {
public:
    GameObject* BuildObject(Entity* entity) override { return GameObject_New<GameObject>(entity, this); }
    GameObjectClass* Derive(const char*) override { return nullptr; }
};

std::vector<std::string> g_played;
void (*g_done)() = nullptr;
bool g_messagePlaying = false;

class BettyVoiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetWorldForTest();
        Plat_UseVirtualClock(1000);
        GameObject_PoolInit();
        GameObject_ForgetUser();
        GameObject_SetSerialCounter(1);
        GameObject_List().clear();
        TeamRecord_CreateAll();
        Clock_Reset(0);
        cls_.label = "thing";
        cls_.health = 100;
        cls_.side = kSideAmerican;
        g_played.clear();
        g_done = nullptr;
        g_messagePlaying = false;
        Seam_Audio().voicePlay = [](const char* name, void (*done)()) {
            g_played.push_back(name);
            g_done = done;
            return true;
        };
        Seam_Audio().audioMessagePlaying = [] { return g_messagePlaying; };
        BettyVoice_InstallSeam();
    }
    void TearDown() override {
        std::vector<GameObject*> live = GameObject_List();
        for (GameObject* object : live) {
            if (object->entity) object->entity->classData = nullptr;
            delete object;
        }
        Entities_RemoveAll();
        for (Entity* e : roots_)
            if (e->state == kEntityAlive && e->id != 0 && !Entity_GetParent(e)) Entity_Release(e);
        EntityAlloc_FreeAll();
        TeamRecord_DestroyAll();
        GameObject_ForgetUser();
        Plat_UseRealClock();
        Plat_Shutdown();
    }

    GameObject* Object(int team, int slot = -1, GameObjectClass* cls = nullptr, uint32_t flags = 0) {
        Entity* e = Entity_New(nullptr);
        Entity_SetName(e, "thing");
        e->flags |= uint32_t(team) << kEntityTeamShift | flags;
        Entities_Add(e, 0, nullptr, nullptr);
        roots_.push_back(e);
        GameObject* object = GameObject_New<GameObject>(e, cls ? cls : &cls_);
        object->SetTeam(team);
        object->teamSlot = slot;
        return object;
    }
    GameObject* User() {
        GameObject* object = Object(1, -1, nullptr, kEntityUser);
        Entities_SetUser(object->record);
        BettyVoice_WorldStart();
        return object;
    }
    // A frame: the voice plays what it may; the sound playing ends when finish is set.
    static void Frame(bool finish = false) {
        BettyVoice_Play();
        if (finish && g_done) {
            void (*done)() = g_done;
            g_done = nullptr;
            done();
        }
    }

    PlainClass cls_;
    std::vector<Entity*> roots_;
};

}  // namespace

TEST_F(BettyVoiceTest, ReportsInOneFrameAreSpokenOneAfterAnother) {
    User();
    GameObject* a = Object(1, 2);
    BettyVoice::ReportUnit(a);
    BettyVoice::ReportUnit(Object(1, 7));
    BettyVoice::ReportUnit(Object(1, 20));
    BettyVoice::ReportUnit(Object(2, 7));  // another team: nothing
    EXPECT_EQ(BettyVoice_Waiting(), 3);
    Frame();
    Frame();
    EXPECT_EQ(g_played, (std::vector<std::string>{"abetty1.wav"})) << "one at a time";
    Frame(true);
    Frame(true);
    Frame(true);
    EXPECT_EQ(g_played, (std::vector<std::string>{"abetty1.wav", "abetty3.wav", "abetty2.wav"}));
}

TEST_F(BettyVoiceTest, PanelAndCraftReportsNameThePlayersCraft) {
    GameObject* user = User();
    GameObject* other = Object(1, 3);
    BettyVoice::ReportPanel(user);
    BettyVoice::ReportPanel(other);
    BettyVoice::ReportCraft(user);
    BettyVoice::ReportCraft(other);
    Seam_Cockpit().queueWarning(10);
    // The status panel's lines arrive through the cockpit seam.
    Seam_Cockpit().voiceReportPanel(user, 6);
    Seam_Cockpit().voiceReportCraft(user, 8);
    Seam_Cockpit().voiceReportPanel(Object(2, 3), 6);  // another team's craft: nothing
    for (int i = 0; i < 8; ++i) Frame(true);
    EXPECT_EQ(g_played, (std::vector<std::string>{"abetty7.wav", "abetty5.wav", "abetty9.wav", "abetty8.wav",
                                                  "abetty11.wav", "abetty7.wav", "abetty9.wav"}));
}

TEST_F(BettyVoiceTest, HitReportsKeepAThirtySecondQuietTime) {
    User();
    PlainClass building;
    building.category = kCategoryBuilding;
    GameObject* base = Object(1, 50, &building);
    GameObject* plain = Object(1, 30);
    Clock_SetTime(100.0f);
    Seam_Cockpit().reportUnderAttack(base);
    Clock_SetTime(110.0f);
    Seam_Cockpit().reportUnderAttack(base);
    EXPECT_EQ(BettyVoice_Waiting(), 1) << "queued once";

    BettyVoice_WorldStart();
    Clock_SetTime(200.0f);
    Seam_Cockpit().reportUnderAttack(plain);  // not a kind that is spoken, but it starts the quiet
    Clock_SetTime(210.0f);
    Seam_Cockpit().reportUnderAttack(base);
    Clock_SetTime(220.0f);
    Seam_Cockpit().reportUnderAttack(base);
    EXPECT_EQ(BettyVoice_Waiting(), 0);
    Clock_SetTime(231.0f);
    Seam_Cockpit().reportUnderAttack(base);
    EXPECT_EQ(BettyVoice_Waiting(), 1);
}

TEST_F(BettyVoiceTest, NothingPlaysOverMessagesOrScriptedCameras) {
    User();
    BettyVoice::ReportMenu();
    g_messagePlaying = true;
    Frame();
    EXPECT_TRUE(g_played.empty());
    g_messagePlaying = false;
    ASSERT_EQ(Camera_Save(), 1);
    Frame();
    EXPECT_TRUE(g_played.empty());
    Camera_Restore();
    Frame();
    EXPECT_EQ(g_played, (std::vector<std::string>{"abetty10.wav"}));
}

TEST_F(BettyVoiceTest, OtherRacesHearNothingAndTheRingDropsWhenFull) {
    User();
    EXPECT_EQ(std::string(BettyVoice_Name(0)), "abetty1.wav");
    cls_.side = kSideAlien;
    BettyVoice_WorldStart();
    EXPECT_EQ(std::string(BettyVoice_Name(0)), "") << "names of the last race do not stay";
    BettyVoice::ReportTower();
    Frame(true);
    EXPECT_TRUE(g_played.empty());

    cls_.side = kSideSoviet;
    BettyVoice_WorldStart();
    for (int i = 0; i < 64; ++i) BettyVoice::ReportTower();
    BettyVoice::ReportMenu();  // the 65th
    EXPECT_EQ(BettyVoice_Waiting(), 64);
    for (int i = 0; i < 70; ++i) Frame(true);
    EXPECT_EQ(g_played.size(), 64u);
    EXPECT_EQ(g_played.back(), "sbetty13.wav");
}
