#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "Objkr/classfnc.h"
#include "Objkr/entitysvc.h"
#include "core/helpers.h"
#include "core/registration.h"
#include "core/seams/audio.h"
#include "core/seams/cockpit.h"
#include "core/seams/net.h"
#include "fun3d/buildingkinds.h"
#include "fun3d/craftservices.h"
#include "fun3d/framepasses.h"
#include "fun3d/particlebuffer.h"
#include "Objkr/bucketgrid.h"
#include "Terrain/terramap.h"
#include "fun3d/scrap.h"
#include "fun3d/visibility.h"
#include "fun3d_fixture.h"

namespace {

struct Calls {
    std::vector<int> explosions;
    int smoke = 0;
    int chunks = 0;
    std::vector<int32_t> scrap;
    int towerReports = 0;
    std::vector<std::string> sounds;
    int stops = 0;
    bool network = false;
    bool deathmatch = false;
    bool cameraKnown = true;
    Vector camera{};
};
Calls g_calls;

class BuildingTest : public Fun3dFixture {
protected:
    void SetUp() override {
        Fun3dFixture::SetUp();
        GameObject_InstallClassFunctions();
        g_calls = Calls{};
        services_ = Craft_Services();
        audio_ = Seam_Audio();
        CraftServices& s = Craft_Services();
        s.explosionBuild = [](const GameObjectClass*, int kind, const Matrix&) {
            g_calls.explosions.push_back(kind);
            return true;
        };
        s.particleEffectAdd = [](int effect, const Vector&, const Vector&) {
            if (effect == kCraftParticleSmoke) ++g_calls.smoke;
        };
        s.chunkSpawn = [](const Vector&, const Vector&) { ++g_calls.chunks; };
        s.effectsOn = [] { return true; };
        s.sphereInView = [](const Vector&, float, float*) { return false; };
        s.scrapSpawn = [](const Vector&, int32_t n) { g_calls.scrap.push_back(n); };
        Seam_Net().isNetworkGame = [] { return g_calls.network; };
        Seam_Net().isDeathmatch = [] { return g_calls.deathmatch; };
        Seam_Cockpit().voiceReportTower = [] { ++g_calls.towerReports; };
        Seam_Cockpit().voiceReportBuilding = [](GameObject*) {};
        Seam_Cockpit().cameraPosition = [](Vector* out) {
            *out = g_calls.camera;
            return g_calls.cameraKnown;
        };
        Seam_Audio().soundPlay = [](const char* name, Entity*, uint32_t, int) -> void* {
            g_calls.sounds.push_back(name);
            return &g_calls;
        };
        Seam_Audio().soundStopAttached = [](Entity*) {
            ++g_calls.stops;
            return true;
        };
        Seam_Audio().soundPlayOnObject = [](const char* name, Entity*) -> void* {
            g_calls.sounds.push_back(name);
            return nullptr;
        };
    }
    void TearDown() override {
        Fun3dFixture::TearDown();
        Craft_Services() = services_;
        Seam_Audio() = audio_;
    }

    template <class Cls>
    Cls& Prototype(const char* label, int32_t category = kCategoryBuilding) {
        GameObjectClass* made = Building_MakePrototype(label, Signature("TEST"), category);
        auto* cls = dynamic_cast<Cls*>(made);
        EXPECT_NE(cls, nullptr) << label;
        if (!cls) {
            delete made;
            cls = new Cls(label, Signature("TEST"), category);
        }
        cls->health = 1000;
        classes_.push_back(cls);
        return *cls;
    }
    // The prototype of a kind whose class record is the kind's own.
    GameObjectClass& Kind(const char* label) {
        GameObjectClass* made = Building_MakePrototype(label, Signature("TEST"), kCategoryBuilding);
        EXPECT_NE(made, nullptr) << label;
        made->health = 1000;
        classes_.push_back(made);
        return *made;
    }
    // A building of the kind on a building entity at the point, on the team.
    template <class Kind>
    Kind* Place(GameObjectClass& cls, const Vector& at, int32_t team = 1, float radius = 4.0f) {
        Entity* root = NewRoot(team);
        root->type = kTypeBuilding;
        root->classData = Building_NewEntityRecord();
        root->local.posit = DVector{at.x, at.y, at.z};
        if (EntityTableRecord* record = Entities_FindRecord(root)) record->radius = radius;
        auto* b = GameObject_New<Kind>(root, &cls);
        b->UpdateSphere();
        b->SetTeam(team);
        return b;
    }

    CraftServices services_{};
    AudioSeam audio_{};
};

TEST_F(BuildingTest, AnOrdnanceHitThrowsChunksByItsAmountAndOnlyBelowZeroKills) {
    auto& cls = Prototype<BuildingClass>("m4qbuilding");
    const struct {
        float amount;
        int chunks;
        bool dead;
    } cases[] = {{10.0f, 0, false}, {40.0f, 0, false}, {48.0f, 1, false}, {400.0f, 10, false}, {2000.0f, 10, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.amount);
        g_calls.chunks = 0;
        Building* b = Place<Building>(cls, {100, 0, 100});
        Entity* shot = NewRoot(2, 0, false);
        shot->type = kTypeOrdnance;
        DamageInfo hit;
        hit.source = shot;
        hit.carrier = shot;
        hit.amount = c.amount;
        EXPECT_EQ(b->TakeDamage(&hit, nullptr), c.dead);
        EXPECT_EQ(g_calls.chunks, c.chunks);
        EXPECT_EQ((b->entity->flags & kBuildingDestroyFlags) == kBuildingDestroyFlags, c.dead);
        shot->type = 0;
    }
}

TEST_F(BuildingTest, TheBlastSmokeAndScrapFollowTheSizeAndTheGame) {
    auto& cls = Prototype<BuildingClass>("m4qbuilding");
    cls.scrapValue = 7;
    cls.scrapCost = 9;
    const struct {
        float radius;
        std::vector<int> explosions;
        int smoke;
    } sizes[] = {
        {6.0f, {kBuildingExplosionLarge, kBuildingExplosionGround}, 60},
        {5.0f, {kBuildingExplosionMedium}, 50},
        {2.0f, {kBuildingExplosionSmall}, 20},
    };
    for (const auto& c : sizes) {
        SCOPED_TRACE(c.radius);
        g_calls = Calls{};
        Building* b = Place<Building>(cls, {100, 0, 100}, 1, c.radius);
        const uint32_t handle = b->GetObjHandle();
        b->Explode();
        EXPECT_EQ(g_calls.explosions, c.explosions);
        EXPECT_EQ(g_calls.smoke, c.smoke);
        EXPECT_EQ(GameObject::FromHandleRaw(handle), nullptr) << "torn down with its record";
    }
    // Scrap: the value alone; in a network game at most half the cost (rounded up); none in a
    // deathmatch or with flag 0x80.
    const struct {
        bool network, deathmatch;
        uint32_t flags;
        std::vector<int32_t> scrap;
    } games[] = {
        {false, false, 0, {7}}, {true, false, 0, {5}}, {true, true, 0, {}}, {false, false, kBuildingNoScrap, {}}};
    for (const auto& g : games) {
        g_calls = Calls{};
        g_calls.network = g.network;
        g_calls.deathmatch = g.deathmatch;
        Building* b = Place<Building>(cls, {100, 0, 100});
        b->ownership = kNetOwnedHere;
        b->entity->flags |= g.flags;
        b->Explode();
        EXPECT_EQ(g_calls.scrap, g.scrap) << g.network << g.deathmatch << g.flags;
    }
}

TEST_F(BuildingTest, TheHealthRecordRoundTripsAndAShortOrBrokenOneChangesNothing) {
    auto& cls = Prototype<BuildingClass>("m4qbuilding");
    Building* from = Place<Building>(cls, {0, 0, 0});
    Building* to = Place<Building>(cls, {10, 0, 0});
    from->healthRatio = 0.375f;
    uint8_t buffer[8] = {};
    int32_t length = 0;
    from->PackNetState(buffer, length);
    EXPECT_EQ(length, 4);
    EXPECT_EQ(from->lastSentHealthRatio, 0.375f);
    EXPECT_TRUE(to->UnpackHealth(buffer, length));
    EXPECT_EQ(to->healthRatio, 0.375f);
    for (int32_t shortLength : {0, 1, 3}) EXPECT_FALSE(to->UnpackHealth(buffer, shortLength));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float bad : {nan, inf, -inf}) {
        uint8_t record[4];
        std::memcpy(record, &bad, 4);
        EXPECT_FALSE(to->UnpackHealth(record, 4));
    }
    EXPECT_EQ(to->healthRatio, 0.375f) << "nothing refused changed it";
    EXPECT_EQ(to->entity->flags & 0x1000080u, 0u);
}

TEST_F(BuildingTest, TheNetworkPriorityFollowsChangeDistanceAndDeath) {
    auto& cls = Prototype<BuildingClass>("m4qbuilding");
    Building* b = Place<Building>(cls, {0, 0, 0});
    const struct {
        float ratio, sent, time, distance, priority;
    } cases[] = {
        {0.5f, 1.0f, 10.0f, 100.0f, 15.0f},   // changed and near
        {0.5f, 1.0f, 10.0f, 300.0f, -1.0f},   // changed but far
        {0.5f, 0.5f, 10.0f, 100.0f, -1.0f},   // unchanged
        {-0.5f, -0.5f, 10.0f, 300.0f, 20.0f}, // dead is always sent
    };
    for (const auto& c : cases) {
        b->healthRatio = c.ratio;
        b->lastSentHealthRatio = c.sent;
        b->lastSendTime = 0.0f;
        EXPECT_FLOAT_EQ(b->GetNetPriority(c.time, c.distance), c.priority) << c.ratio << " " << c.distance;
    }
    b->lastSendTime = 50.0f;
    b->GetNetPriority(20.0f, 0.0f);
    EXPECT_EQ(b->lastSendTime, 20.0f) << "the earliest time seen is kept";
}

TEST_F(BuildingTest, TheAmbientSoundStartsOnceNearAndStopsFar) {
    auto& cls = Prototype<BuildingClass>("m4qbuilding");
    std::strcpy(cls.ambientSound, "hum.wav");
    Building* b = Place<Building>(cls, {0, 0, 0});
    const struct {
        float x;
        size_t started;
        int stopped;
    } steps[] = {{60.0f, 0, 0}, {49.0f, 1, 0}, {10.0f, 1, 0}, {51.0f, 1, 1}, {70.0f, 1, 1}, {5.0f, 2, 1}};
    for (const auto& s : steps) {
        g_calls.camera = Vector{s.x + b->pos.x, b->pos.y, b->pos.z};
        b->Update(0.1f);
        EXPECT_EQ(g_calls.sounds.size(), s.started) << s.x;
        EXPECT_EQ(g_calls.stops, s.stopped) << s.x;
    }
}

TEST_F(BuildingTest, AHitOnAnArtifactsPartIsNeverForwardedBackToItself) {
    auto& cls = Kind("artifact");
    Artifact* a = Place<Artifact>(cls, {0, 0, 0});
    Entity* part = NewPart(a->entity, "arm", 0);
    Entity* stray = NewRoot(0);
    stray->owner = a;  // an entity naming the artifact without being its own
    DamageInfo hit;
    hit.amount = 100.0f;
    const float before = a->curHealth;
    EXPECT_FALSE(a->TakeDamageOn(stray, &hit));
    EXPECT_EQ(a->curHealth, before);
    EXPECT_FALSE(a->TakeDamageOn(part, &hit)) << "its own tree takes the hit";
    EXPECT_EQ(a->curHealth, before - 100.0f);
    stray->owner = nullptr;
}

TEST_F(BuildingTest, ACommTowerSensesOnlyWhilePoweredAndTheVoiceHearsTheCountChange) {
    auto& towerClass = Prototype<CommTowerClass>("commtower");
    auto& plantClass = Prototype<PowerPlantClass>("powerplant");
    GameObject* user = Build(NewClass(), 1, kEntityUser);
    ASSERT_EQ(GameObject_GetUserTeam(), 1);
    (void)user;
    CommTower* tower = Place<CommTower>(towerClass, {0, 0, 0});
    Entity* antenna = NewPart(tower->entity, "ant", kAntennaPartType);
    tower->HideAntennas();
    tower->Update(0.1f);
    EXPECT_FALSE(tower->Powered());
    EXPECT_NE(antenna->flags & kEntityDead, 0u) << "hidden while unpowered";
    const auto& sensors = ObjectSensor_List();
    EXPECT_TRUE(std::find(sensors.begin(), sensors.end(), tower->idleSensor) == sensors.end()) << "never swept";
    EXPECT_EQ(PoweredTowerCount(), 0);
    PowerPlant* far = Place<PowerPlant>(plantClass, {150, 0, 0});
    tower->Update(0.1f);
    EXPECT_FALSE(tower->Powered()) << "a plant out of range powers nothing";
    PowerPlant* plant = Place<PowerPlant>(plantClass, {60, 0, 0});
    tower->Update(0.1f);
    EXPECT_TRUE(tower->Powered());
    EXPECT_EQ(antenna->flags & kEntityDead, 0u);
    EXPECT_TRUE(std::find(sensors.begin(), sensors.end(), tower->sensor) != sensors.end());
    EXPECT_EQ(PoweredTowerCount(), 1);
    EXPECT_EQ(g_calls.towerReports, 1);
    tower->Update(0.1f);
    EXPECT_EQ(g_calls.towerReports, 1) << "told once";
    plant->TearDown();
    far->TearDown();
    tower->Update(0.1f);
    EXPECT_FALSE(tower->Powered());
    EXPECT_NE(antenna->flags & kEntityDead, 0u);
    EXPECT_EQ(PoweredTowerCount(), 0);
    EXPECT_EQ(g_calls.towerReports, 2);
    tower->TearDown();  // its sensor goes exactly once (the sanitizer watches)
}

TEST_F(BuildingTest, BarracksAndSilosGiveTheirTeamRoomAndTakeItBack) {
    auto& barracksClass = Prototype<BarracksClass>("barracks");
    auto& siloClass = Prototype<ScrapSiloClass>("scrapsilo");
    siloClass.capacityBonus = 30;
    TeamRecord* team = TeamRecord::Get(1);
    Barracks* barracks = Place<Barracks>(barracksClass, {0, 0, 0});
    EXPECT_EQ(team->GetMaxPilots(), 10);
    EXPECT_EQ(team->GetPilots(), 10);
    EXPECT_EQ(barracks->SpawnPilot(), nullptr) << "a barracks of no side has no pilot class";
    ScrapSilo* silo = Place<ScrapSilo>(siloClass, {50, 0, 0});
    EXPECT_EQ(team->GetMaxScrap(), 30);
    team->AddScrap(25);
    barracks->TearDown();
    EXPECT_EQ(team->GetMaxPilots(), 0);
    // Losing the silo: 30 + 25 - 30 = 25 pieces spill, and the team's scrap is cut to nothing.
    silo->Explode();
    EXPECT_EQ(g_calls.scrap, std::vector<int32_t>{25}) << "the silo's class leaves no scrap of its own";
    EXPECT_EQ(team->GetScrap(), 0);
    EXPECT_EQ(team->GetMaxScrap(), 0);
}

TEST_F(BuildingTest, AGeyserSpoutsTenParticlesASecondUntilCovered) {
    auto& cls = Kind("geyser");
    ParticleBuffer_Clear();
    Geyser* g = Place<Geyser>(cls, {0, 0, 0});
    ASSERT_EQ(GeyserList().size(), 1u);
    for (int i = 0; i < 10; ++i) g->Update(0.1f);
    EXPECT_NEAR(ParticleBuffer_Count(), 10, 1);
    ParticleBuffer_Clear();
    g->Claim();
    g->Cover();
    for (int i = 0; i < 10; ++i) g->Update(0.1f);
    EXPECT_EQ(ParticleBuffer_Count(), 0);
    EXPECT_EQ(g->entity->flags & kGeyserCovered, kGeyserCovered);
    g->Uncover();
    EXPECT_EQ(g->entity->flags & kGeyserCovered, 0u);
    EXPECT_EQ(g->claimed, 1);
    g->TearDown();
    EXPECT_TRUE(GeyserList().empty());
}

TEST_F(BuildingTest, ScrapBudgetAndTheDropoffTableRefuseWhatIsOutOfRange) {
    const struct {
        int64_t live;
        int32_t budget;
    } budgets[] = {{512, 0}, {500, 9}, {0, 384}, {600, -66}};
    for (const auto& b : budgets) EXPECT_EQ(Scrap_Budget(b.live), b.budget) << b.live;
    // Without scrap classes nothing is made and nothing breaks; a budget of 0 makes nothing.
    EXPECT_EQ(Scrap_Spawn(Vector{0, 0, 0}, 10), 0);
    EXPECT_EQ(Scrap_Spawn(Vector{0, 0, 0}, -5), 0);
    DropoffTable_Clear();
    for (int32_t i : {-1, 20, 1020}) {
        EXPECT_EQ(DropoffTable_Get(i), nullptr);
        DropoffTable_Release(i);
    }
    DropoffTable_Release(3);
    EXPECT_EQ(DropoffTable_Count(3), 0) << "never below 0";
    EXPECT_EQ(DropoffTable_FindIndex(nullptr), -1);
}

TEST_F(BuildingTest, TheScrapGridAnswersAsSoonAsItIsMadeAndSkipsPiecesGoneBeforeTheRefill) {
    GameObjectClass* made = Scrap_MakePrototype("scrap", Signature("SCRP"), kCategoryScrap);
    ASSERT_NE(made, nullptr);
    classes_.push_back(made);
    std::vector<uint32_t> handles;
    for (float x : {10.0f, 20.0f, 30.0f}) handles.push_back(Place<Scrap>(*made, {x, 0, 10})->GetObjHandle());
    EXPECT_EQ(ScrapList().size(), 3u);
    Scrap_CreateGrid();
    auto resolved = [] {
        int live = 0, entries = 0;
        BucketGridQuery q;
        Scrap_Grid()->Query(20.0, 10.0, 50.0, &q);
        const BucketGridEntry* e = nullptr;
        while (q.Next(&e)) {
            ++entries;
            if (GameObject::FromHandle(e->value)) ++live;
        }
        return std::make_pair(entries, live);
    };
    EXPECT_EQ(resolved(), std::make_pair(3, 3)) << "filled as it is made, before any frame";
    GameObject::FromHandle(handles[1])->TearDown();
    EXPECT_EQ(ScrapList().size(), 2u);
    EXPECT_TRUE(Scrap_GridDirty());
    EXPECT_EQ(resolved(), std::make_pair(3, 2)) << "the gone piece stays until the refill, unresolved";
    Scrap_RefreshGrid();
    EXPECT_FALSE(Scrap_GridDirty());
    EXPECT_EQ(resolved(), std::make_pair(2, 2));
    Scrap_FreeGrid();
}

TEST_F(BuildingTest, AScrapFieldLaysItsPiecesOnceAndGoes) {
    GameObjectClass* fieldClass = Scrap_MakePrototype("scrapfield", Signature("SFLD"), kCategoryBuilding);
    classes_.push_back(fieldClass);
    fieldClass->scrapValue = 10;
    auto* field = Place<ScrapField>(*fieldClass, {100, 0, 100}, 0);
    const uint32_t handle = field->GetObjHandle();
    field->Update(0.1f);
    EXPECT_EQ(GameObject::FromHandleRaw(handle), nullptr) << "gone after its first frame";
    // Without scrap classes no piece could be made; the field still goes and nothing breaks.
    EXPECT_TRUE(ScrapList().empty());
}

TEST_F(BuildingTest, ADepotServesOnlyTheNearestNeedyNonEnemyEachPeriodWithItsSound) {
    TerrainBounds.minXm = TerrainBounds.minZm = 0.0f;
    TerrainBounds.maxXm = TerrainBounds.maxZm = 1000.0f;
    TeamRecord::Get(1)->AddAlly(1);
    for (bool supply : {false, true}) {
        SCOPED_TRACE(supply ? "supply" : "repair");
        g_calls.sounds.clear();
        auto& cls = Kind(supply ? "supplydepot" : "repairdepot");
        ServiceDepot* depot = Place<ServiceDepot>(cls, {500, 0, 500});
        GameObjectClass& craftClass = NewClass(1000, 1000);
        auto needy = [&](float x, int32_t team) {
            Entity* root = NewRoot(team);
            root->local.posit = DVector{x, 0.0, 500.0};
            GameObject* o = Build(craftClass, root);
            o->UpdateSphere();
            o->SetTeam(team);
            o->curHealth = 400.0f;
            o->curAmmo = 400;
            return o;
        };
        GameObject* enemy = needy(502.0f, 2);  // nearest of all, but an enemy
        GameObject* nearer = needy(510.0f, 1);
        GameObject* farther = needy(520.0f, 1);
        GameObject* outside = needy(540.0f, 1);  // beyond the 30-unit range
        GameObject_CreateGrid();
        depot->Update(0.5f);
        EXPECT_TRUE(g_calls.sounds.empty()) << "not before a whole period";
        depot->Update(0.6f);
        auto level = [&](GameObject* o) { return supply ? static_cast<float>(o->curAmmo) : o->curHealth; };
        EXPECT_EQ(level(nearer), 500.0f);
        EXPECT_EQ(level(farther), 400.0f);
        EXPECT_EQ(level(enemy), 400.0f);
        EXPECT_EQ(level(outside), 400.0f);
        EXPECT_EQ(g_calls.sounds, std::vector<std::string>{supply ? "weapon.wav" : "repair.wav"});
        GameObject_FreeGrid();
        for (GameObject* o : {enemy, nearer, farther, outside}) o->TearDown();
        depot->TearDown();
    }
}

TEST_F(BuildingTest, APoweredShieldTowerPushesFriendAndFoeStrictlyInsideItsBoxAlongItsFront) {
    TerrainBounds.minXm = TerrainBounds.minZm = 0.0f;
    TerrainBounds.maxXm = TerrainBounds.maxZm = 1000.0f;
    auto& towerClass = Prototype<ShieldTowerClass>("shieldtower");
    auto& plantClass = Prototype<PowerPlantClass>("powerplant");
    ShieldTower* tower = Place<ShieldTower>(towerClass, {500, 0, 500});
    // The box reaches 50 either side along x, 0..10 up and 5 either side along the front (z).
    const struct {
        Vector offset;
        bool inside;
    } points[] = {{{0, 5, 0}, true},    {{49, 1, 4}, true},   {{-49, 9, -4}, true}, {{50, 5, 0}, false},
                  {{0, 10, 0}, false},  {{0, 0, 0}, false},   {{0, 5, 5}, false},   {{0, 5, -6}, false}};
    for (const auto& p : points)
        EXPECT_EQ(tower->InsideBox(Vector{500 + p.offset.x, p.offset.y, 500 + p.offset.z}), p.inside)
            << p.offset.x << " " << p.offset.y << " " << p.offset.z;
    GameObjectClass& craftClass = NewClass(1000, 0);
    auto craft = [&](float x, float y, int32_t team) {
        Entity* root = NewRoot(team);
        root->local.posit = DVector{x, y, 500.0};
        GameObject* o = Build(craftClass, root);
        o->UpdateSphere();
        o->SetTeam(team);
        return o;
    };
    GameObject* foe = craft(510.0f, 5.0f, 2);
    GameObject* friendly = craft(490.0f, 5.0f, 1);
    GameObject* edge = craft(550.0f, 5.0f, 2);  // on the boundary: left alone
    GameObject_CreateGrid();
    tower->Update(0.1f);
    EXPECT_EQ(foe->euler.velocity.z, 0.0f) << "no power, no push";
    Place<PowerPlant>(plantClass, {520, 0, 520});
    tower->Update(0.1f);
    // dt x (push 100 x front - damping 1 x velocity 0) = 10 along the front (+z).
    EXPECT_FLOAT_EQ(foe->euler.velocity.z, 10.0f);
    EXPECT_FLOAT_EQ(friendly->euler.velocity.z, 10.0f);
    EXPECT_EQ(edge->euler.velocity.z, 0.0f);
    GameObject_FreeGrid();
}

}  // namespace
