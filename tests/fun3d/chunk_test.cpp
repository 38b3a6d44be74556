#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Objkr/entitysvc.h"
#include "Objkr/geometry.h"
#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "core/datafile.h"
#include "core/shake.h"
#include "fun3d/particlebuffer.h"
#include "geo_writer.h"
#include "shot_world.h"
#include "support/data_root_fixture.h"
#include "terrain_writer.h"
#include "weapons/chunkeffect.h"
#include "weapons/effects.h"
#include "weapons/explosion.h"
#include "weapons_fixture.h"

namespace {

class ChunkTest : public WeaponsFixture {
protected:
    void SetUp() override {
        WeaponsFixture::SetUp();
        scratch_.Open();
        // The 1 m cube and a 3 m one.
        std::vector<content::ArchiveRecord> records = FlatMapRecords();
        content::GeoStyle style;
        records.push_back({"chunk2.geo", content::GeoBytes(content::GeoBox("chunk2", Vector{-1.5f, -1.5f, -1.5f},
                                                                          Vector{1.5f, 1.5f, 1.5f}, style))});
        // Every shared random value is -1.
        Random_FillTableFrom([] { return 0; });
        content::ExplosionValues v;
        v.frameCount = 4;
        v.secondsPerFrame = 0.1f;
        AddExplosion("xsecxpl", v);
        AddExplosion("xcarxpl", v);
        AddExplosion("xbldxpl", v);
        Explosion_Manager().MissionSetup();
        // The rest comes from the scratch archive.
        DataFile_SetLoader(nullptr);
        scratch_.Install(records, "data.zfs");
        ASSERT_NO_FATAL_FAILURE(LoadFlatMap());
        Smoke_Effect().MissionSetup();
        Chunk_Effect().MissionSetup();
        Chunk_Effect().PostLoad();
    }
    void TearDown() override {
        Chunk_Effect().MissionCleanup();
        Chunk_Effect().Forget();
        WeaponsFixture::TearDown();
        UnloadFlatMap();
        scratch_.Close();
    }
    static Vector At(const Entity* e) {
        return Vector{static_cast<float>(e->local.posit.x), static_cast<float>(e->local.posit.y),
                      static_cast<float>(e->local.posit.z)};
    }
    ScratchDataRoot scratch_;
};

TEST_F(ChunkTest, TemplatesTakeTheirGeometryAndSpawnThrowsUpward) {
    ChunkEffect& chunks = Chunk_Effect();
    ASSERT_EQ(chunks.GeometryCount(), 2);
    ASSERT_NE(chunks.Root(), nullptr);
    EXPECT_EQ(chunks.Root()->type, kTypeChunk);
    EXPECT_EQ(chunks.Root()->flags, 0x101u);
    EXPECT_NE(Entities_FindRecord(chunks.Root()), nullptr) << "the root is in the world's table";
    Chunk* c = chunks.Spawn(Vector{kMid, 20.0f, kMid}, Vector{1.0f, 2.0f, 3.0f}, true);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(Entity_GetParent(c->entity), chunks.Root());
    EXPECT_EQ(c->entity->type, kTypeChunk);
    EXPECT_EQ(c->entity->flags, kChunkSmoking);
    EXPECT_NE(c->entity->geometry, nullptr);
    const float r = c->entity->boundsRadius;
    EXPECT_TRUE(std::fabs(r - std::sqrt(0.75f)) < 1e-3f || std::fabs(r - std::sqrt(6.75f)) < 1e-3f) << r;
    // Random values of -1: 10 r + v, plus 5 upward.
    EXPECT_FLOAT_EQ(c->velocity.x, -9.0f);
    EXPECT_FLOAT_EQ(c->velocity.y, -3.0f);
    EXPECT_FLOAT_EQ(c->velocity.z, -7.0f);
    EXPECT_FLOAT_EQ(c->spin.y, -5.0f);
}

TEST_F(ChunkTest, TheTableHoldsAThousandAndTwentyFourChunksAndThenReleasesTakenParts) {
    ChunkEffect& chunks = Chunk_Effect();
    for (int i = 0; i < kChunkMax; ++i) ASSERT_NE(chunks.Spawn(Vector{kMid, 50.0f, kMid}, Vector{}, false), nullptr) << i;
    EXPECT_EQ(chunks.Spawn(Vector{kMid, 50.0f, kMid}, Vector{}, false), nullptr);
    EXPECT_EQ(chunks.LiveCount(), kChunkMax);
    Entity* root = NewRoot(1);
    Entity* part = NewPart(root, "part");
    GeomList_Add(part, "chunk1.geo", 0, 0);
    ASSERT_NE(part->geometry, nullptr);
    EXPECT_EQ(chunks.TakeOverPart(part, Vector{}, false), nullptr);
    EXPECT_EQ(root->child, nullptr) << "the part was released";
}

TEST_F(ChunkTest, WithoutGeometryNothingIsThrownAndPartsAreReleased) {
    ChunkEffect& chunks = Chunk_Effect();
    chunks.MissionCleanup();  // no templates left
    EXPECT_EQ(chunks.Spawn(Vector{kMid, 50.0f, kMid}, Vector{}, true), nullptr);
    Entity* root = NewRoot(1);
    Entity* bare = NewPart(root, "bare");
    EXPECT_EQ(chunks.TakeOverPart(bare, Vector{}, true), nullptr) << "a part without geometry";
    EXPECT_EQ(root->child, nullptr);
    EXPECT_EQ(chunks.LiveCount(), 0);
}

TEST_F(ChunkTest, ASlowBounceExplodesInTheNextUpdateByTheChunksRadius) {
    struct Case {
        const char* what;
        float impactSpeed;  // downward, at the bounce
        float radius;
        bool explodes;
        size_t explosions;
    };
    // A bounce keeps a quarter of the speed and reflects half the normal part: -0.25 v up.
    const Case cases[] = {
        {"0.4 up, radius 1", 1.6f, 1.0f, true, 1},
        {"0.4 up, radius 0.4", 1.6f, 0.4f, true, 0},
        {"0.6 up bounces on", 2.4f, 1.0f, false, 0},
    };
    constexpr float dt = 0.1f;
    for (const Case& k : cases) {
        ChunkEffect& chunks = Chunk_Effect();
        Explosion_Manager().MissionCleanup();
        Chunk* c = chunks.Spawn(Vector{kMid, kGround + 0.1f, kMid}, Vector{}, false);
        ASSERT_NE(c, nullptr) << k.what;
        c->velocity = Vector{0.0f, -k.impactSpeed + 9.8f * dt, 0.0f};
        c->spin = Vector{};
        c->entity->boundsRadius = k.radius;
        chunks.Simulate(dt);
        ASSERT_EQ(chunks.LiveCount(), 1) << k.what;
        EXPECT_NEAR(c->velocity.y, 0.25f * k.impactSpeed, 1e-4f) << k.what;
        EXPECT_GE(At(c->entity).y, kGround - 1e-3f) << k.what;
        EXPECT_EQ((c->entity->flags & kEntityDead) != 0, k.explodes) << k.what;
        chunks.Simulate(dt);
        EXPECT_EQ(chunks.LiveCount(), k.explodes ? 0 : 1) << k.what;
        EXPECT_EQ(Explosion_LiveList().size(), k.explosions) << k.what;
        if (k.explosions) {
            EXPECT_EQ(Explosion_LiveList().front()->explosionClass, Explosion_Manager().stdExplosionSec);
        }
        while (chunks.LiveCount() > 0) {
            chunks.At(0).entity->flags |= kEntityDead;
            chunks.At(0).entity->boundsRadius = 0.0f;
            chunks.Simulate(dt);
        }
    }
}

TEST_F(ChunkTest, SmokingChunksTrailOnePuffPerIntervalWhereTheyWere) {
    ChunkEffect& chunks = Chunk_Effect();
    Chunk* c = chunks.Spawn(Vector{kMid, 100.0f, kMid}, Vector{}, true);
    ASSERT_NE(c, nullptr);
    c->velocity = Vector{10.0f, 0.0f, 0.0f};
    c->spin = Vector{};
    chunks.Simulate(0.25f);  // intervals of 0.1 s: two puffs
    ASSERT_EQ(ParticleBuffer_Count(), 2);
    const ParticleRecord* p = ParticleBuffer_Records();
    EXPECT_NEAR(p[0].position.x, kMid + 10.0f * 0.1f, 1e-3f);
    EXPECT_NEAR(p[1].position.x, kMid + 10.0f * 0.2f, 1e-3f);
    chunks.Simulate(0.04f);
    EXPECT_EQ(ParticleBuffer_Count(), 2);
    chunks.Simulate(0.02f);
    EXPECT_EQ(ParticleBuffer_Count(), 3) << "the leftover time carries over";
}

TEST_F(ChunkTest, PartTreesFlyApartFromTheirFirstEntity) {
    ChunkEffect& chunks = Chunk_Effect();
    Entity* root = NewRoot(1);
    root->local.posit = DVector{kMid, 50.0, kMid};
    Entity* side = NewPart(root, "side");
    side->local.posit = DVector{1.0, 0.0, 0.0};
    GeomList_Add(side, "chunk1.geo", 0, 0);
    Entity* holder = NewPart(root, "holder");  // no geometry: released
    Entity* deep = NewPart(holder, "deep", 60);  // parent and grandparent: taken
    deep->local.posit = DVector{0.0, 2.0, 0.0};
    GeomList_Add(deep, "chunk1.geo", 0, 0);
    Entity* shallow = NewPart(root, "shallow", 60);  // no grandparent: stays
    GeomList_Add(shallow, "chunk1.geo", 0, 0);
    chunks.SpawnFromEntityList(root, Vector{0.0f, 0.0f, 0.0f}, false);
    ASSERT_EQ(chunks.LiveCount(), 2);
    EXPECT_EQ(root->child, shallow);
    EXPECT_EQ(shallow->next, nullptr);
    for (int i = 0; i < 2; ++i) {
        const Chunk& c = chunks.At(i);
        EXPECT_EQ(Entity_GetParent(c.entity), chunks.Root());
        if (c.entity == side) {
            EXPECT_FLOAT_EQ(c.velocity.x, -10.0f + 2.0f) << "pushed twice its offset sideways";
            EXPECT_FLOAT_EQ(At(side).x, kMid + 1.0f) << "placed where it was in the world";
        } else {
            EXPECT_EQ(c.entity, deep);
            EXPECT_FLOAT_EQ(c.velocity.y, -5.0f + 2.0f) << "pushed its offset upward";
        }
    }
}

TEST_F(ChunkTest, ABuildingsPartTreeFliesApartLikeAnEntityList) {
    ChunkEffect& chunks = Chunk_Effect();
    Entity* root = NewRoot(1);
    root->local.posit = DVector{kMid, 50.0, kMid};
    Entity* wall = NewPart(root, "wall");
    wall->local.posit = DVector{0.0, 0.0, -1.5};
    GeomList_Add(wall, "chunk2.geo", 0, 0);
    chunks.SpawnFromPartTree(root, Vector{0.0f, 0.0f, 0.0f}, true);
    ASSERT_EQ(chunks.LiveCount(), 1);
    EXPECT_EQ(chunks.At(0).entity, wall);
    EXPECT_EQ(root->child, nullptr);
    EXPECT_FLOAT_EQ(chunks.At(0).velocity.z, -10.0f - 3.0f) << "pushed twice its offset away";
    EXPECT_TRUE(wall->flags & kChunkSmoking);
}

}  // namespace
