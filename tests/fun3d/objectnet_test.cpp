#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Terrain/terramap.h"
#include "core/clock.h"
#include "core/registration.h"
#include "fun3d/objectnet.h"
#include "fun3d/objectslot.h"
#include "fun3d_fixture.h"
#include "support/data_root_fixture.h"
#include "terrain_writer.h"

namespace {

struct Sent {
    uint16_t to;
    std::vector<uint8_t> bytes;
};
std::vector<Sent> g_sent;
int g_sendResult = 0;
int g_refreshes = 0;
uint32_t g_wallMs = 0;
bool g_networkGame = false;
std::vector<NetObject*> g_registered;
std::vector<std::pair<uint16_t, uint16_t>> g_kills;

// An object that notes the class state handed to it.
class StateProbe : public GameObject {
public:
    using GameObject::GameObject;
    void UnpackNetExtra(const uint8_t* data, int32_t length) override {
        calls.push_back(std::vector<uint8_t>(data, data + length));
    }
    std::vector<std::vector<uint8_t>> calls;
};

uint32_t LittleWord(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

class ObjectNetTest : public Fun3dFixture {
protected:
    void SetUp() override {
        Fun3dFixture::SetUp();
        g_sent.clear();
        g_sendResult = 0;
        g_refreshes = 0;
        g_wallMs = 0;
        g_networkGame = true;
        g_registered.clear();
        g_kills.clear();
        NetSeam& net = Seam_Net();
        net.isNetworkGame = [] { return g_networkGame; };
        net.sendMessage = [](uint16_t to, const uint8_t* data, int size) {
            g_sent.push_back({to, std::vector<uint8_t>(data, data + size)});
            return g_sendResult;
        };
        net.refreshByteRate = [] { ++g_refreshes; };
        net.registerObject = [](NetObject* object) { g_registered.push_back(object); };
        net.playerName = [](uint16_t player) -> const char* { return player == 3 ? "Kestrel" : nullptr; };
        net.reportKill = [](uint16_t victim, uint16_t killer) { g_kills.emplace_back(victim, killer); };
    }
};

TEST_F(ObjectNetTest, ACommandGoesToTheRemoteOwnerAsCO) {
    GameObjectClass& cls = NewClass();
    struct Case {
        const char* what;
        int32_t ownership;
        uint16_t owner;
        bool network;
        bool sends;
    };
    const Case cases[] = {
        {"local", kNetOwnedHere, 3, true, false},
        {"remote without an owner", kNetOwnedRemote, kNoPlayer, true, false},
        {"remote outside a session", kNetOwnedRemote, 3, false, false},
        {"remote", kNetOwnedRemote, 3, true, true},
    };
    for (const Case& c : cases) {
        g_sent.clear();
        g_networkGame = c.network;
        GameObject* unit = Build(cls);
        unit->ownership = c.ownership;
        unit->playerId = c.owner;
        unit->netId = 0x00030042;
        unit->SetCommandPosition(7, Vector{-120.4f, 5.0f, 300.6f}, 0x51A2);
        ASSERT_EQ(g_sent.size(), c.sends ? 1u : 0u) << c.what;
        if (!c.sends) continue;
        const Sent& s = g_sent[0];
        EXPECT_EQ(s.to, 3);
        ASSERT_EQ(s.bytes.size(), 22u);
        EXPECT_EQ(s.bytes[0], 'C');
        EXPECT_EQ(s.bytes[1], 'O');
        EXPECT_EQ(LittleWord(s.bytes, 2), 0x00030042u);
        EXPECT_EQ(LittleWord(s.bytes, 6), 7u);
        EXPECT_EQ(LittleWord(s.bytes, 10), 0u) << "no target";
        EXPECT_EQ(LittleWord(s.bytes, 14), 0x51A2u) << "the parameter, a class order's stable id";
        EXPECT_EQ(static_cast<int16_t>(s.bytes[18] | s.bytes[19] << 8), -120);
        EXPECT_EQ(static_cast<int16_t>(s.bytes[20] | s.bytes[21] << 8), 301);
    }
    // A target travels as its network id, never as an address or a handle.
    g_sent.clear();
    GameObject* unit = Build(cls);
    unit->ownership = kNetOwnedRemote;
    unit->playerId = 5;
    GameObject* target = Build(cls);
    target->netId = 0x00050009;
    unit->SetCommandObject(4, target);
    ASSERT_EQ(g_sent.size(), 1u);
    EXPECT_EQ(g_sent[0].to, 5);
    EXPECT_EQ(LittleWord(g_sent[0].bytes, 10), 0x00050009u);
}

TEST_F(ObjectNetTest, ReceiveRecordTakesTheOwnerAndDropsShortRecords) {
    GameObjectClass& cls = NewClass();
    struct Case {
        const char* what;
        uint8_t flags;
        int32_t length;
        bool accepted;
        int stateBytes;  // -1: the reader is not called
    };
    const Case cases[] = {
        {"named header whole", 0x04, 30, true, 2},
        {"named header alone", 0x04, 28, true, 0},
        {"named header short", 0x04, 27, false, -1},
        {"coded header whole", 0x84, 25, true, 4},
        {"coded header short", 0x84, 20, false, -1},
        {"a removal is not read", 0x01, 30, true, -1},
        {"a take-over is not read", 0x02, 30, true, -1},
        {"no flag byte", 0x00, 1, false, -1},
    };
    for (const Case& c : cases) {
        Entity* root = NewRoot(1);
        auto* probe = GameObject_New<StateProbe>(root, &cls);
        std::vector<uint8_t> record(40, 0xAB);
        record[0] = static_cast<uint8_t>(c.length);
        record[1] = c.flags;
        EXPECT_EQ(probe->ReceiveRecord(9, record.data(), c.length), c.accepted) << c.what;
        EXPECT_EQ(probe->GetPlayerId(), 9) << c.what << ": an unowned object takes the sender";
        if (c.stateBytes < 0) {
            EXPECT_TRUE(probe->calls.empty()) << c.what;
        } else {
            ASSERT_EQ(probe->calls.size(), 1u) << c.what;
            EXPECT_EQ(static_cast<int>(probe->calls[0].size()), c.stateBytes) << c.what;
        }
    }
    GameObject* owned = Build(cls);
    owned->SetPlayerId(4);
    const uint8_t record[30] = {30, 0x04};
    owned->ReceiveRecord(9, record, 30);
    EXPECT_EQ(owned->GetPlayerId(), 4) << "an owned object keeps its owner";
}

TEST_F(ObjectNetTest, ClassNameCodes) {
    ObjSync_SetClassName(0, "avtank");
    ObjSync_SetClassName(5, "avscout8");
    ObjSync_SetClassName(101, "zzlast");
    ObjSync_SetClassName(102, "outside");
    const char highBits[8] = {'a', 'v', static_cast<char>('t' | 0x80), 'a', 'n', 'k', 0, 0};
    struct Encode {
        const char* name;
        uint8_t code;
    };
    const Encode encodes[] = {{"avtank", 128}, {highBits, 128}, {"avscout8", 133}, {"zzlast", 229},
                              {"avtan", 0},    {"outside", 0},  {"", 0}};
    for (const Encode& e : encodes) EXPECT_EQ(ObjSync_EncodeClassName(e.name), e.code) << e.name;
    struct Decode {
        int code;
        const char* name;  // null: none
    };
    const Decode decodes[] = {{128, "avtank"}, {133, "avscout8"}, {229, "zzlast"}, {129, nullptr},
                              {127, nullptr},  {230, nullptr},    {0, nullptr},     {255, nullptr}};
    for (const Decode& d : decodes) {
        const char* name = ObjSync_DecodeClassName(static_cast<uint8_t>(d.code));
        if (!d.name) {
            EXPECT_EQ(name, nullptr) << d.code;
        } else {
            ASSERT_NE(name, nullptr) << d.code;
            EXPECT_EQ(std::string(name, strnlen(name, 8)), d.name);
        }
    }
}

TEST_F(ObjectNetTest, PublishAndRefreshDefaults) {
    GameObjectClass& cls = NewClass();
    GameObject* object = Build(cls);
    object->firstSeenTime = 100.0f;
    EXPECT_FLOAT_EQ(object->GetNetPriority(130.0f, 5.0f), 30.0f);
    EXPECT_FALSE(object->IsPublishDue(160.0f));
    EXPECT_TRUE(object->IsPublishDue(160.5f));
    EXPECT_FALSE(object->IsPublishDue(50.0f)) << "an earlier time lowers the first-seen time";
    EXPECT_FLOAT_EQ(object->firstSeenTime, 50.0f);
    object->mustPublish = 1;
    EXPECT_TRUE(object->IsPublishDue(50.0f));

    object->lastSendTime = 10.0f;
    Clock_RestorePaused(40.0f);
    EXPECT_FALSE(object->IsRefreshDue());
    Clock_RestorePaused(40.5f);
    EXPECT_TRUE(object->IsRefreshDue());
}

TEST_F(ObjectNetTest, SendToAllAnswersTheSendAndRefreshesTheStatisticOncePerSecond) {
    Net_SetWallClock([] { return g_wallMs; });
    const uint8_t data[] = {'X', 'Y', 1};
    g_wallMs = 5000;
    EXPECT_EQ(Net_SendToAll(data, 3), 0);
    ASSERT_EQ(g_sent.size(), 1u);
    EXPECT_EQ(g_sent[0].to, 0) << "to every player";
    EXPECT_EQ(g_refreshes, 1);
    g_wallMs = 5999;
    EXPECT_EQ(Net_SendToAll(data, 3), 0);
    EXPECT_EQ(g_refreshes, 1);
    g_wallMs = 6000;
    EXPECT_EQ(Net_SendToAll(data, 3), 0);
    EXPECT_EQ(g_refreshes, 2);
    g_sendResult = 7;
    g_wallMs = 9000;
    EXPECT_EQ(Net_SendToAll(data, 3), 7) << "the error comes back";
    EXPECT_EQ(g_refreshes, 2) << "a failed send refreshes nothing";
    Net_SetLocalSender(12);
    EXPECT_EQ(Net_GetLocalSender(), 12);
}

TEST(ObjectNetStandIn, WithoutASessionSendToAllAnswersThree) {
    const uint8_t data[] = {1, 2};
    EXPECT_EQ(Net_SendToAll(data, 2), kNoSession);
}

TEST_F(ObjectNetTest, PlayerNamesAndKillReports) {
    GameObjectClass& cls = NewClass();
    GameObject* object = Build(cls);
    object->SetPlayerId(3);
    EXPECT_STREQ(object->GetPlayerName(), "Kestrel");
    EXPECT_STREQ(object->GetOwnerName(), "Kestrel");
    g_networkGame = false;
    EXPECT_EQ(object->GetPlayerName(), nullptr) << "outside a network game";
    EXPECT_STREQ(object->GetOwnerName(), "Kestrel") << "asked always";
    GameObject* killer = Build(cls);
    killer->SetPlayerId(6);
    object->ReportKillBy(killer);
    object->ReportKillBy(nullptr);
    object->ReportKill(2);
    const std::vector<std::pair<uint16_t, uint16_t>> expected{{3, 6}, {3, kNoPlayer}, {3, 2}};
    EXPECT_EQ(g_kills, expected);
}

TEST_F(ObjectNetTest, LoadedObjectsRegisterTheUserLastAndSpawnPointsNever) {
    GameObjectClass& plain = NewClass();
    GameObjectClass& spawn = NewClass();
    spawn.signature = Signature("SPWN");
    GameObject* a = Build(plain);
    GameObject* s = Build(spawn);
    GameObject* user = Build(plain, 1, kEntityUser);
    GameObject* b = Build(plain);
    GameObject_RegisterNetObjects(false);
    const std::vector<NetObject*> expected{a, b, user};
    EXPECT_EQ(g_registered, expected);
    EXPECT_EQ(a->ownership, kNetOwnedRemote) << "a client's loaded objects are remote";
    EXPECT_EQ(user->ownership, kNetOwnedHere);
    EXPECT_EQ(s->ownership, kNetUnowned);
    g_registered.clear();
    GameObject_RegisterNetObjects(true);
    EXPECT_EQ(b->ownership, kNetOwnedHere);
}

class NetGhostTest : public ObjectNetTest {
protected:
    void SetUp() override {
        ObjectNetTest::SetUp();
        scratch_.Open();
        content::TerrainMapSpec spec;
        spec.name = "flat";
        spec.width = 1280;
        spec.depth = 1280;
        spec.height = [](int, int) -> uint16_t { return 200; };
        scratch_.Install(content::TerrainRecords(spec), "terrain.zfs");
        Terrain_SetBaseHeight(0);
        Terrain_SetFileName("flat");
        ASSERT_EQ(Terrain_ReadZoneFiles(), 1);
        ASSERT_EQ(Terrain_LoadZone(nullptr), 1);
        Terrain_Init(0);
    }
    void TearDown() override {
        ObjectNetTest::TearDown();
        Terrain_FreeAll();
        Terrain_ClearEntityList();
        Terrain_SetFileName("");
        scratch_.Close();
    }
    ScratchDataRoot scratch_;
};

TEST_F(NetGhostTest, AMarkerScorchesTheGroundOnlyOnItsFirstUpdate) {
    NetGhost* ghost = NetGhost_Create(1.0f, 2.0f, 3.0f);
    ASSERT_EQ(g_registered.size(), 1u);
    EXPECT_EQ(g_registered[0], ghost);
    uint8_t buffer[20] = {};
    int32_t length = 4;
    NetGhost from;
    from.position = Vector{645.0f, 20.0f, 655.0f};
    from.PackNetExtra(buffer, length);
    ASSERT_EQ(length, 16);
    uint8_t* light = Terrain_GetLightByte(65, 65);  // a neighbour of the spot's vertex
    ASSERT_NE(light, nullptr);
    *light = 0xF0;
    ghost->UnpackNetExtra(buffer + 4, 11);
    EXPECT_EQ(ghost->placed, 0) << "short";
    ghost->UnpackNetExtra(buffer + 4, 12);
    EXPECT_EQ(ghost->position.x, 645.0f);
    EXPECT_EQ(ghost->position.z, 655.0f);
    EXPECT_EQ(ghost->placed, 1);
    EXPECT_EQ(*light, 0x3C) << "darkened";
    ghost->UnpackNetExtra(buffer + 4, 12);
    EXPECT_EQ(*light, 0x3C) << "only once";
    EXPECT_EQ(ghost->GetClass(), nullptr);
    EXPECT_EQ(ghost->GetEntity(), nullptr);
    EXPECT_EQ(ghost->GetHealthRatio(), 1.0f);
    EXPECT_FALSE(ghost->IsRefreshDue());
    ghost->ownership = kNetOwnedRemote;
    ghost->Explode();
    EXPECT_EQ(ghost->ownership, kNetUnowned);
    delete ghost;
}

}  // namespace
