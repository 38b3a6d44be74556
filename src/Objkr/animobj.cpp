#include "Objkr/animobj.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "Objkr/bspcache.h"
#include "Objkr/entitysvc.h"
#include "core/bytes.h"
#include "core/debug.h"

namespace {

AnimObjSlot g_slots[kAnimSlotCount];
int g_active = 0;
AnimBlock* g_blocks[kAnimBlockMax];
int g_blockCount = 0;

void FreeBlock(AnimBlock* block) {
    if (!block) return;
    std::free(block->bytes);
    delete block;
}

// ---- reading the copy ---------------------------------------------------------------------

struct Sequence {
    int32_t key, first, length, loops;
    float speed;
};
Sequence SequenceAt(const AnimBlock* b, int i) {
    const uint8_t* p = b->sequenceArray + size_t(i) * kAnimSequenceSize;
    return Sequence{Bytes_I32(p), Bytes_I32(p + 132), Bytes_I32(p + 136), Bytes_I32(p + 140), Bytes_F32(p + 144)};
}
const uint8_t* TrackAt(const AnimBlock* b, int i) { return b->trackArray + size_t(i) * kAnimTrackSize; }

int32_t RotationFrame(const AnimBlock* b, int i) { return Bytes_I32(b->rotationArray + size_t(i) * kAnimRotationKeySize); }
Quaternion RotationAt(const AnimBlock* b, int i) {
    const uint8_t* p = b->rotationArray + size_t(i) * kAnimRotationKeySize;
    return Quaternion{Bytes_F32(p + 8), Bytes_F32(p + 12), Bytes_F32(p + 16), Bytes_F32(p + 4)};
}
int32_t PositionFrame(const AnimBlock* b, int i) { return Bytes_I32(b->positionArray + size_t(i) * kAnimPositionKeySize); }
Vector PositionAt(const AnimBlock* b, int i) { return Bytes_Vec(b->positionArray + size_t(i) * kAnimPositionKeySize + 4); }

// A key range [first, first + count) that lies inside an array of `total` keys.
bool RangeFits(int32_t first, int32_t count, int32_t total) {
    if (count == 0) return true;
    return first >= 0 && count > 0 && int64_t(first) + int64_t(count) <= int64_t(total);
}

// The pair of keys bracketing t: index i >= 1 with frame[i-1] <= t <= frame[i]; 0 when none.
template <class FrameOf>
int FindBracket(int first, int count, float t, FrameOf frameOf) {
    for (int i = 1; i < count; ++i) {
        if (float(frameOf(first + i - 1)) <= t && t <= float(frameOf(first + i))) return i;
    }
    return 0;
}

void PoseEntity(const AnimBlock* block, Entity* e, float t) {
    for (int k = 0; k < block->tracks; ++k) {
        const uint8_t* track = TrackAt(block, k);
        if (std::memcmp(track, e->name, 8) != 0) continue;
        const int32_t rotFirst = Bytes_I32(track + 108), rotCount = Bytes_I32(track + 112);
        const int32_t posFirst = Bytes_I32(track + 124), posCount = Bytes_I32(track + 128);
        if (rotCount <= 0) {
            e->local.right = Bytes_Vec(track + 60);
            e->local.up = Bytes_Vec(track + 72);
            e->local.front = Bytes_Vec(track + 84);
        } else {
            Quaternion q = RotationAt(block, rotFirst);
            const int i = FindBracket(rotFirst, rotCount, t, [&](int n) { return RotationFrame(block, n); });
            if (i > 0) {
                const int32_t f0 = RotationFrame(block, rotFirst + i - 1), f1 = RotationFrame(block, rotFirst + i);
                // Two keys on one frame: the later key holds (no division by zero).
                q = f1 == f0 ? RotationAt(block, rotFirst + i)
                             : Quat_Slerp(RotationAt(block, rotFirst + i - 1), RotationAt(block, rotFirst + i),
                                          (t - float(f0)) / float(double(f1) - double(f0)));
            }
            Quat_ToMatrix(q, e->local);
        }
        Vector p;
        if (posCount <= 0) {
            p = Bytes_Vec(track + 96);
        } else {
            p = PositionAt(block, posFirst);
            const int i = FindBracket(posFirst, posCount, t, [&](int n) { return PositionFrame(block, n); });
            if (i > 0) {
                const int32_t f0 = PositionFrame(block, posFirst + i - 1), f1 = PositionFrame(block, posFirst + i);
                const Vector a = PositionAt(block, posFirst + i - 1), b = PositionAt(block, posFirst + i);
                if (f1 == f0) {
                    p = b;
                } else {
                    const float s = (t - float(f0)) / float(double(f1) - double(f0));
                    p = Vector{a.x + (b.x - a.x) * s, a.y + (b.y - a.y) * s, a.z + (b.z - a.z) * s};
                }
            }
        }
        e->local.posit = DVector{p.x, p.y, p.z};
        return;
    }
}

// Forward when first < last, else backward; a wrap keeps the excess frames.
void Advance(AnimObjSlot& s, float dt) {
    const float dir = s.first < s.last ? 1.0f : -1.0f;
    s.current += dir * dt * s.speed;
    if (dir * (s.current - float(s.last)) > 0.0f) {
        if (s.loopsLeft != 0) {
            s.current += float(double(s.first) - double(s.last));  // frame numbers come from files
            if (s.loopsLeft > 0) --s.loopsLeft;
        } else {
            s.current = float(s.last);
        }
    }
    if (s.loopsLeft != -1) {
        // Wide arithmetic and a clamp: a sequence's frame range and loop count come from a file.
        const double span = (dir > 0 ? double(s.last) - double(s.first) : double(s.first) - double(s.last)) + 1.0;
        const double left = std::ceil(dir * (double(s.last) - double(s.current))) + span * double(s.loopsLeft);
        s.framesLeft = std::isnan(left) ? 0 : int32_t(std::clamp(left, double(INT32_MIN), double(INT32_MAX)));
    }
}

void StopSlotsOf(const AnimBlock* block) {
    for (int i = 0; i < kAnimSlotCount; ++i)
        if (g_slots[i].state != kAnimFree && g_slots[i].block == block) AnimObj_Stop(i);
}

}  // namespace

void AnimObj_Init() {
    AnimObj_Reset();
    Entities_AddNotify(AnimObj_OnEntityAdded);
    Entities_AddRemoveNotify(AnimObj_OnEntityRemoved);
}

void AnimObj_Reset() {
    // Blocks are always ours to free: a block nobody frees is lost memory.
    for (int i = 0; i < g_blockCount; ++i) FreeBlock(g_blocks[i]);
    g_active = 0;
    g_blockCount = 0;
    std::memset(g_blocks, 0, sizeof g_blocks);
    std::memset(g_slots, 0, sizeof g_slots);
}

int AnimObj_Add(const uint8_t* chunk, size_t size, Entity* owner) {
    if (!chunk || size < kAnimHeaderSize) {
        Error_Warning("Animation chunk too short (%zu bytes); animation ignored", size);
        return 0;
    }
    const int32_t counts[5] = {Bytes_I32(chunk + 16), Bytes_I32(chunk + 20), Bytes_I32(chunk + 24),
                               Bytes_I32(chunk + 28), Bytes_I32(chunk + 32)};
    static constexpr size_t kSizes[5] = {kAnimSequenceSize, kAnimTrackSize, kAnimRotationKeySize, kAnimFourthKeySize,
                                         kAnimPositionKeySize};
    uint64_t need = kAnimHeaderSize;
    for (int i = 0; i < 5; ++i) {
        if (counts[i] < 0) {
            Error_Warning("Animation chunk with a negative count (%d); animation ignored", counts[i]);
            return 0;
        }
        need += uint64_t(counts[i]) * kSizes[i];
    }
    const int32_t sequences = counts[0], tracks = counts[1], rotations = counts[2], fourths = counts[3],
                  positions = counts[4];
    if (int64_t(tracks) * sequences >= positions && rotations == 0 && fourths == 0) return 0;
    if (need > size) {
        Error_Warning("Animation chunk of %zu bytes is shorter than its arrays (%llu); animation ignored", size,
                      static_cast<unsigned long long>(need));
        return 0;
    }
    if (g_blockCount >= kAnimBlockMax) {
        Error_Warning("Too many animation blocks (%d); animation ignored", kAnimBlockMax);
        return 0;
    }
    auto* block = new (std::nothrow) AnimBlock{};
    uint8_t* bytes = block ? static_cast<uint8_t*>(std::malloc(size_t(need))) : nullptr;
    if (!bytes) {
        delete block;
        Error_Fatal("AnimObj_Add() anim list malloc failed");
        return -1;
    }
    std::memcpy(bytes, chunk, size_t(need));
    block->bytes = bytes;
    block->size = size_t(need);
    block->sequences = sequences;
    block->tracks = tracks;
    block->rotationKeys = rotations;
    block->fourthKeys = fourths;
    block->positionKeys = positions;
    block->sequenceArray = bytes + kAnimHeaderSize;
    block->trackArray = block->sequenceArray + size_t(sequences) * kAnimSequenceSize;
    block->rotationArray = block->trackArray + size_t(tracks) * kAnimTrackSize;
    block->fourthArray = block->rotationArray + size_t(rotations) * kAnimRotationKeySize;
    block->positionArray = block->fourthArray + size_t(fourths) * kAnimFourthKeySize;
    for (int k = 0; k < tracks; ++k) {
        const uint8_t* track = TrackAt(block, k);
        if (!RangeFits(Bytes_I32(track + 108), Bytes_I32(track + 112), rotations) ||
            !RangeFits(Bytes_I32(track + 124), Bytes_I32(track + 128), positions)) {
            Error_Warning("Animation track %d names keys outside its arrays; animation ignored", k);
            FreeBlock(block);
            return 0;
        }
    }
    block->owner = owner;
    g_blocks[g_blockCount++] = block;
    return 0;
}

void AnimObj_OnEntityAdded(EntityTableRecord* record) {
    if (!record || g_blockCount == 0) return;
    AnimBlock* last = g_blocks[g_blockCount - 1];
    if (last->owner && last->owner == record->entity && !last->record) last->record = record;
}

void AnimObj_OnEntityRemoved(EntityTableRecord* record) {
    if (!record) return;
    int index = -1;
    for (int i = 0; i < g_blockCount; ++i) {
        if (g_blocks[i]->record == record) {
            index = i;
            break;
        }
    }
    if (index < 0) return;
    AnimBlock* block = g_blocks[index];
    StopSlotsOf(block);
    block->owner = nullptr;
    block->record = nullptr;
    FreeBlock(block);
    for (int i = index; i + 1 < g_blockCount; ++i) g_blocks[i] = g_blocks[i + 1];
    g_blocks[--g_blockCount] = nullptr;
}

int AnimObj_Start(Entity* entity, int32_t key, int* outSlot) {
    if (outSlot) *outSlot = -1;
    if (g_active >= kAnimSlotCount) {
        Error_Fatal("AnimObj_Start() active anim list overflow");
        return -1;
    }
    AnimBlock* block = nullptr;
    for (int i = 0; i < g_blockCount && entity; ++i) {
        AnimBlock* b = g_blocks[i];
        if (b->owner == entity && b->record && b->record->entity == entity) {
            block = b;
            break;
        }
    }
    if (!block || block->sequences <= 0) return -1;
    int seq = -1;
    for (int i = 0; i < block->sequences; ++i) {
        if (SequenceAt(block, i).key == key) {
            seq = i;
            break;
        }
    }
    if (seq < 0) return -1;
    int slot = -1;
    for (int i = 0; i < kAnimSlotCount; ++i) {
        if (g_slots[i].state == kAnimFree) {
            slot = i;
            break;
        }
    }
    if (slot < 0) {
        Error_Warning("AnimObj_Start() found no empty slots in ActiveList");
        return -1;
    }
    const Sequence s = SequenceAt(block, seq);
    block->record->doubleRadius = 1;
    AnimObjSlot& a = g_slots[slot];
    a = AnimObjSlot{};
    a.state = kAnimPlaying;
    a.block = block;
    a.speed = s.speed;
    a.first = s.first;
    a.current = float(s.first);
    // Lengths are clamped to what 32-bit frame numbers hold.
    const int64_t length = s.length;
    if (length > 0) {
        a.last = int32_t(int64_t(s.first) + length - 1);
        a.framesLeft = int32_t(length);
    } else {
        a.last = int32_t(int64_t(s.first) + length + 1);
        a.framesLeft = int32_t(-length);
    }
    a.loopsLeft = s.loops > 0 ? s.loops - 1 : -1;
    if (outSlot) *outSlot = slot;
    ++g_active;
    return 0;
}

int AnimObj_GetActive(int index, AnimObjSlot** out) {
    if (index >= 0 && index < kAnimSlotCount && g_slots[index].state != kAnimFree) {
        if (out) *out = &g_slots[index];
        return 0;
    }
    if (out) *out = nullptr;
    return -1;
}

int AnimObj_SetSpeed(int index, float speed) {
    if (index < 0 || index >= kAnimSlotCount) return -1;
    g_slots[index].speed = speed;
    return 0;
}

int AnimObj_Stop(int index) {
    if (index < 0 || index >= kAnimSlotCount) return -1;
    // A free slot holds nothing to stop; counting it would leave playing slots unstepped.
    if (g_slots[index].state == kAnimFree) return 0;
    if (g_active > 0) --g_active;
    g_slots[index] = AnimObjSlot{};
    return 0;
}

void AnimObj_Step() {
    const float dt = Objkr_Services().frameTime();
    // Every slot is looked at: the walk never depends on the active count being right.
    for (AnimObjSlot& s : g_slots) {
        if (s.state != kAnimPlaying) continue;
        AnimBlock* b = s.block;
        if (!b || !b->owner || !b->record || Entities_FindRecord(b->owner) != b->record) {
            s.state = kAnimOrphaned;
            s.framesLeft = 0;
            continue;
        }
        if (s.framesLeft <= 0) {
            s.state = kAnimFinished;
            s.framesLeft = 0;
            continue;
        }
        Advance(s, dt);
        AnimObj_PoseTree(b, b->owner, s.current);
        Entity_ResetCache(b->record);
    }
}

int AnimObj_ActiveCount() { return g_active; }

void AnimObj_PoseTree(const AnimBlock* block, Entity* entity, float t) {
    if (!block || !entity) return;
    std::vector<Entity*> stack{entity};
    while (!stack.empty()) {
        Entity* e = stack.back();
        stack.pop_back();
        PoseEntity(block, e, t);
        // The start entity's later siblings count too; their siblings are pushed as they come.
        if (e->next) stack.push_back(e->next);
        if (e->child) stack.push_back(e->child);
    }
}

int AnimObj_BlockCount() { return g_blockCount; }
const AnimBlock* AnimObj_Block(int index) { return index >= 0 && index < g_blockCount ? g_blocks[index] : nullptr; }

Quaternion Quat_Slerp(const Quaternion& a0, const Quaternion& b, float s) {
    Quaternion a = a0;
    float d = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    if (d < 0.0f) {
        a = Quaternion{-a.x, -a.y, -a.z, -a.w};
        d = -d;
    }
    const bool exactW = a.w == 0.0f || a.w == 1.0f || b.w == 0.0f || b.w == 1.0f;
    Quaternion r;
    if (1.0f - d > 0.00001f && !exactW) {
        const float theta = std::acos(d > 1.0f ? 1.0f : d);
        const float sinTheta = std::sin(theta);
        const float ka = std::sin((1.0f - s) * theta) / sinTheta, kb = std::sin(s * theta) / sinTheta;
        r = Quaternion{a.x * ka + b.x * kb, a.y * ka + b.y * kb, a.z * ka + b.z * kb, a.w * ka + b.w * kb};
    } else {
        r = Quaternion{(1 - s) * a.x + s * b.x, (1 - s) * a.y + s * b.y, (1 - s) * a.z + s * b.z, (1 - s) * a.w + s * b.w};
        const float len = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z + r.w * r.w);
        if (len > 0.0f) r = Quaternion{r.x / len, r.y / len, r.z / len, r.w / len};
    }
    return r;
}

void Quat_ToMatrix(const Quaternion& q, Matrix& out) {
    const float x = q.x, y = q.y, z = q.z, w = q.w;
    out.right = Vector{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)};
    out.up = Vector{2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)};
    out.front = Vector{2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)};
}
