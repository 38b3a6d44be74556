// A fresh entity layer and empty collision lists for each test, with scripted class handlers:
// each entity's velocity and spin come from the fixture, collide calls and impact sounds are
// recorded, and mesh faces are read from the fixture's own face records.
#pragma once
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Objkr/classfnc.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "collision/collision.h"
#include "collision/colshape.h"
#include "core/seams/audio.h"

struct CollideCall {
    Entity* entity;
    Entity* other;
    CollisionBody contact;
    CollisionBody otherContact;
};

struct SoundCall {
    std::string name;
    Entity* owner;
};

// A face as the fixture's geometry stores it: the reader hands it to the mesh builder.
struct TestFace {
    std::vector<int32_t> indices;
    Vector normal;
    const TestFace* next = nullptr;
};

class CollisionTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A root of the type with an 8-corner geometry from min to max (own frame), placed at pos.
    Entity* NewBoxEntity(int32_t type, const Vector& min, const Vector& max, const Vector& pos);
    // The entity entered in the table with a collision box of one slab per axis (min..max),
    // or without one when withBox is false.
    EntityTableRecord* AddBox(int32_t type, const Vector& min, const Vector& max, const Vector& pos,
                              bool withBox = true);
    // A collision box definition on the C heap (the table record frees it).
    static CollisionBoxDef* NewBoxDef(const Vector& min, const Vector& max);
    // Gives the entity a geometry of the vertices and faces (corner index lists; normals from
    // the first three corners).
    void GiveMesh(Entity* e, const std::vector<Vector>& vertices, const std::vector<std::vector<int32_t>>& faces);
    // A flat square walkable floor (type 10) from (x0, z0) to (x1, z1) at height h.
    EntityTableRecord* AddFloor(float x0, float z0, float x1, float z1, float h, int32_t type = kTypeBuilding10);

    // Takes the record out of the table and drops the test's hold on its entity.
    static void Remove(EntityTableRecord* record);

    void SetVelocity(Entity* e, const Vector& v) { velocity_[e] = v; }
    void SetSpin(Entity* e, const Vector& w) { spin_[e] = w; }
    void SetFrameTime(float dt);

    std::vector<CollideCall>& Calls();
    std::vector<SoundCall>& Sounds();
    void SetCollideResult(int result);

private:
    std::vector<std::unique_ptr<Geometry>> geometries_;
    std::vector<std::unique_ptr<std::vector<Vector>>> vertexArrays_;
    std::vector<std::unique_ptr<std::vector<TestFace>>> faceArrays_;
    AudioSeam audio_{};

public:
    static std::map<Entity*, Vector> velocity_;
    static std::map<Entity*, Vector> spin_;
};
