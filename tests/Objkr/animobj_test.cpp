#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "Objkr/animobj.h"
#include "bwd2_writer.h"
#include "core/bytes.h"
#include "objkr_fixture.h"
#include "platform/msgbox.h"
#include "support/exit_trap.h"

namespace {

struct Seq {
    int32_t key, first, length, loops;
    float speed;
};
struct RotKey {
    int32_t frame;
    float w, x, y, z;
};
struct PosKey {
    int32_t frame;
    float x, y, z;
};
struct Track {
    std::string name;
    int32_t rotFirst, rotCount, posFirst, posCount;
};

void Put32(std::string& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = char(v >> (8 * i));
}

// An "ANIM" chunk from its tag: counts at 16..32, arrays from 64.
std::string Chunk(const std::vector<Seq>& seqs, const std::vector<Track>& tracks, const std::vector<RotKey>& rots,
                  const std::vector<PosKey>& pos) {
    std::string out = "ANIM";
    out.resize(16, '\0');
    for (size_t n : {seqs.size(), tracks.size(), rots.size(), size_t(0), pos.size()}) Bytes_AppendU32(out, uint32_t(n));
    out.resize(64, '\0');
    for (const Seq& s : seqs) {
        std::string r;
        Bytes_AppendU32(r, uint32_t(s.key));
        r.resize(132, '\0');
        for (int32_t v : {s.first, s.length, s.loops}) Bytes_AppendU32(r, uint32_t(v));
        Bytes_AppendF32(r, s.speed);
        out += r;
    }
    for (const Track& t : tracks) {
        std::string r = t.name;
        r.resize(60, '\0');
        for (float f : {1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 7.f, 8.f, 9.f}) Bytes_AppendF32(r, f);
        for (int32_t v : {t.rotFirst, t.rotCount}) Bytes_AppendU32(r, uint32_t(v));
        r.resize(124, '\0');
        for (int32_t v : {t.posFirst, t.posCount}) Bytes_AppendU32(r, uint32_t(v));
        out += r;
    }
    for (const RotKey& k : rots) {
        Bytes_AppendU32(out, uint32_t(k.frame));
        for (float f : {k.w, k.x, k.y, k.z}) Bytes_AppendF32(out, f);
    }
    for (const PosKey& k : pos) {
        Bytes_AppendU32(out, uint32_t(k.frame));
        for (float f : {k.x, k.y, k.z}) Bytes_AppendF32(out, f);
    }
    Put32(out, 4, uint32_t(out.size()));
    return out;
}

float g_frameTime = 0.1f;
float FrameTime() { return g_frameTime; }

class AnimObjTest : public ObjkrFixture {
protected:
    void SetUp() override {
        ObjkrFixture::SetUp();
        AnimObj_Init();
        g_frameTime = 0.1f;
        Objkr_Services().frameTime = FrameTime;
    }
    void TearDown() override {
        Entities_RemoveAll();
        AnimObj_Reset();
        ObjkrFixture::TearDown();
    }
    // A root with a part "arm", the chunk added for it, entered in the table.
    Entity* Model(const std::string& chunk) {
        root = NewRoot("model");
        arm = Entity_New(root);
        Entity_SetName(arm, "arm");
        EXPECT_EQ(AnimObj_Add(reinterpret_cast<const uint8_t*>(chunk.data()), chunk.size(), root), 0);
        record = Entities_Add(root, 0, nullptr, nullptr);
        return root;
    }
    AnimObjSlot* Slot(int index) {
        AnimObjSlot* s = nullptr;
        AnimObj_GetActive(index, &s);
        return s;
    }
    Entity* root = nullptr;
    Entity* arm = nullptr;
    EntityTableRecord* record = nullptr;
};

// A turn about y: (w, x, y, z).
RotKey TurnY(int32_t frame, float angle) { return RotKey{frame, std::cos(angle / 2), 0, std::sin(angle / 2), 0}; }

const std::vector<RotKey> kTwoKeys = {TurnY(0, 0.0f), TurnY(9, 0.9f)};

TEST_F(AnimObjTest, ASequencePlaysItsFramesAndFinishesAfterAboutOneSecond) {
    Model(Chunk({{5, 0, 10, 1, 10.0f}}, {{"arm", 0, 2, 0, 0}}, kTwoKeys, {}));
    int slot = -1;
    ASSERT_EQ(AnimObj_Start(root, 5, &slot), 0);
    EXPECT_EQ(slot, 0);
    EXPECT_EQ(record->doubleRadius, 1);
    EXPECT_EQ(AnimObj_ActiveCount(), 1);
    std::vector<float> frames;
    int steps = 0;
    while (Slot(slot)->state == kAnimPlaying && steps < 100) {
        AnimObj_Step();
        ++steps;
        if (Slot(slot)->state == kAnimPlaying) frames.push_back(Slot(slot)->current);
    }
    EXPECT_EQ(Slot(slot)->state, kAnimFinished);
    EXPECT_EQ(steps, 10);  // ten frames of 0.1 s
    ASSERT_EQ(frames.size(), 9u);
    for (size_t i = 0; i < frames.size(); ++i) EXPECT_NEAR(frames[i], float(i + 1), 1e-4f);
    // At frame 9 the arm has the last key's turn; the default position stays.
    EXPECT_NEAR(arm->local.right.x, std::cos(0.9f), 1e-5f);
    EXPECT_NEAR(arm->local.front.x, -std::sin(0.9f), 1e-5f);
    EXPECT_DOUBLE_EQ(arm->local.posit.x, 7.0);
}

// The generator lays several sequences end to end; each key starts its own frames and each
// ends at its own turn.
TEST_F(AnimObjTest, TheGeneratorsSeveralSequenceBlockPlaysEachKeyOnItsOwnFrames) {
    const std::string data = content::AnimationData({"arm"}, {content::AnimSequence{0, 5, 1, 10.0f, 0.3f},
                                                              content::AnimSequence{1, 8, 1, 10.0f, 0.6f},
                                                              content::AnimSequence{4, 4, 1, 10.0f, 0.9f}});
    Model(content::Bwd2ChunkBytes({"ANIM", data}));
    struct Case {
        int key;
        float first;
        int steps;
        float angle;
    };
    for (const Case& c : {Case{0, 0, 5, 0.3f}, Case{1, 5, 8, 0.6f}, Case{4, 13, 4, 0.9f}}) {
        SCOPED_TRACE(c.key);
        int slot = -1;
        ASSERT_EQ(AnimObj_Start(root, c.key, &slot), 0);
        EXPECT_FLOAT_EQ(Slot(slot)->current, c.first);
        int steps = 0;
        while (Slot(slot)->state == kAnimPlaying && steps < 100) {
            AnimObj_Step();
            ++steps;
        }
        EXPECT_EQ(steps, c.steps);
        EXPECT_NEAR(arm->local.right.x, std::cos(c.angle), 1e-4f);
        AnimObj_Stop(slot);
    }
}

TEST_F(AnimObjTest, DirectionAndLoops) {
    struct Case {
        const char* name;
        Seq seq;
        int steps;
        float current;
        int framesLeft;
        int32_t state;
    };
    const Case cases[] = {
        {"backwards from 20 down to 11", {1, 20, -10, 1, 10.0f}, 5, 15.0f, 4, kAnimPlaying},
        {"backwards to the end", {1, 20, -10, 1, 10.0f}, 11, 11.0f, 0, kAnimFinished},
        {"forever: frames left never change", {1, 0, 10, 0, 10.0f}, 37, 1.0f, 10, kAnimPlaying},
        {"two loops wrap and count", {1, 0, 10, 2, 10.0f}, 12, 3.0f, 6, kAnimPlaying},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Model(Chunk({c.seq}, {{"arm", 0, 2, 0, 0}}, kTwoKeys, {}));
        int slot = -1;
        ASSERT_EQ(AnimObj_Start(root, 1, &slot), 0);
        for (int i = 0; i < c.steps; ++i) AnimObj_Step();
        EXPECT_NEAR(Slot(slot)->current, c.current, 1e-3f);
        EXPECT_EQ(Slot(slot)->framesLeft, c.framesLeft);
        EXPECT_EQ(Slot(slot)->state, c.state);
        AnimObj_Stop(slot);
        Entities_Remove(record);
        Entity_Release(root);
    }
}

TEST_F(AnimObjTest, RemovingTheOwner) {
    // With the notifications the removal stops the slots and frees the block.
    Model(Chunk({{1, 0, 10, 0, 10.0f}}, {{"arm", 0, 2, 0, 0}}, kTwoKeys, {}));
    int slot = -1;
    ASSERT_EQ(AnimObj_Start(root, 1, &slot), 0);
    Entities_Remove(record);
    EXPECT_EQ(AnimObj_GetActive(slot, nullptr), -1);
    EXPECT_EQ(AnimObj_ActiveCount(), 0);
    EXPECT_EQ(AnimObj_BlockCount(), 0);
    Entity_Release(root);

    // Without them the next step finds the owner gone and orphans the slot.
    Entities_Reset();
    AnimObj_Reset();
    Model(Chunk({{1, 0, 10, 0, 10.0f}}, {{"arm", 0, 2, 0, 0}}, kTwoKeys, {}));
    AnimObj_OnEntityAdded(record);
    ASSERT_EQ(AnimObj_Start(root, 1, &slot), 0);
    Entities_Remove(record);
    AnimObj_Step();
    EXPECT_EQ(Slot(slot)->state, kAnimOrphaned);
    EXPECT_EQ(Slot(slot)->framesLeft, 0);
    Entity_Release(root);
}

TEST_F(AnimObjTest, PosingByTrackName) {
    // A track for a part the tree lacks changes nothing; position keys interpolate linearly;
    // two keys on one frame take the later one, never a NaN.
    Model(Chunk({{1, 0, 10, 1, 10.0f}}, {{"nothere", 0, 2, 0, 0}, {"arm", 2, 3, 0, 2}},
                {TurnY(0, 0.0f), TurnY(9, 1.0f), TurnY(0, 0.2f), TurnY(0, 0.4f), TurnY(10, 0.6f)},
                {{0, 0, 0, 0}, {10, 10, 20, 30}}));
    Entity* other = Entity_New(root);
    Entity_SetName(other, "other");
    const Matrix before = other->local;
    AnimObj_PoseTree(AnimObj_Block(0), root, 0.0f);
    EXPECT_TRUE(std::isfinite(arm->local.right.x));
    EXPECT_NEAR(arm->local.right.x, std::cos(0.4f), 1e-5f);
    AnimObj_PoseTree(AnimObj_Block(0), root, 5.0f);
    EXPECT_NEAR(arm->local.posit.y, 10.0, 1e-5);
    EXPECT_NEAR(arm->local.right.x, std::cos(0.5f), 1e-4f);
    EXPECT_EQ(std::memcmp(&other->local, &before, sizeof before), 0);
    EXPECT_EQ(Entity_GetParent(other), root);
}

TEST_F(AnimObjTest, SlerpTakesTheShorterArc) {
    const float a = 0.2f, b = 0.8f;
    const Quaternion qa{0, std::sin(a / 2), 0, std::cos(a / 2)};
    const Quaternion qb{0, -std::sin(b / 2), 0, -std::cos(b / 2)};  // the same turn, negated
    const Quaternion q = Quat_Slerp(qa, qb, 0.5f);
    const float sign = q.w < 0 ? -1.0f : 1.0f;
    EXPECT_NEAR(sign * q.w, std::cos(0.25f), 1e-5f);
    EXPECT_NEAR(sign * q.y, std::sin(0.25f), 1e-5f);
}

TEST_F(AnimObjTest, BadChunksAreRefusedWithAWarning) {
    const std::string good = Chunk({{1, 0, 10, 1, 10.0f}}, {{"arm", 0, 2, 0, 0}}, kTwoKeys, {});
    std::string negative = good;
    Put32(negative, 24, uint32_t(-2));
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"shorter than the header", good.substr(0, 40)},
        {"shorter than its arrays", good.substr(0, good.size() - 1)},
        {"a negative count", negative},
        {"keys past the array", Chunk({{1, 0, 10, 1, 10.0f}}, {{"arm", 1, 2, 0, 0}}, kTwoKeys, {})},
        {"a negative first key", Chunk({{1, 0, 10, 1, 10.0f}}, {{"arm", -1, 2, 0, 0}}, kTwoKeys, {})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Plat_ClearMessageBoxLog();
        EXPECT_EQ(AnimObj_Add(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), nullptr), 0);
        EXPECT_EQ(AnimObj_BlockCount(), 0);
        EXPECT_FALSE(LastBoxText().empty());
    }
}

TEST_F(AnimObjTest, SlotBookkeeping) {
    Model(Chunk({{1, 0, 10, 1, 10.0f}, {2, 0, 4, 1, 10.0f}}, {{"arm", 0, 2, 0, 0}}, kTwoKeys, {}));
    int slot = -1;
    EXPECT_EQ(AnimObj_Start(root, 99, &slot), -1);  // unknown key
    EXPECT_EQ(slot, -1);
    ASSERT_EQ(AnimObj_Start(root, 2, &slot), 0);
    EXPECT_EQ(AnimObj_Stop(slot + 1), 0);  // a free slot: nothing changes
    EXPECT_EQ(AnimObj_ActiveCount(), 1);
    EXPECT_EQ(AnimObj_Stop(512), -1);
    EXPECT_EQ(AnimObj_SetSpeed(512, 1.0f), -1);
    EXPECT_EQ(AnimObj_SetSpeed(slot, 20.0f), 0);
    AnimObj_Step();
    EXPECT_NEAR(Slot(slot)->current, 2.0f, 1e-4f);
    EXPECT_EQ(AnimObj_Stop(slot), 0);
    EXPECT_EQ(AnimObj_Stop(slot), 0);
    EXPECT_EQ(AnimObj_ActiveCount(), 0);

    // 512 playing sequences are the most; the next start ends the program.
    for (int i = 0; i < kAnimSlotCount; ++i) ASSERT_EQ(AnimObj_Start(root, 1, &slot), 0);
    EXPECT_EQ(slot, kAnimSlotCount - 1);
    EXPECT_EQ(RunForExit([&] { AnimObj_Start(root, 1, &slot); }), 112);
    EXPECT_EQ(LastBoxText(), "AnimObj_Start() active anim list overflow");
}

}  // namespace
