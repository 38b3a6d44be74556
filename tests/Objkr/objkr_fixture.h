// A fresh entity layer for each test: table, allocator, class lists, caches and neighbours'
// stand-ins reset; everything a test leaves behind is released in TearDown.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Objkr/classfnc.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"

class ObjkrFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A root entity with the name, type code 0 and no class.
    Entity* NewRoot(const char* name = "thing");
    // Gives the entity one geometry whose vertices are the given points (owned by the fixture).
    void GiveGeometry(Entity* e, const std::vector<Vector>& vertices);
    // Roots the test created but never entered or released are released in TearDown.
    void KeepForRelease(Entity* e) { loose_.push_back(e); }

private:
    std::vector<std::unique_ptr<Geometry>> geometries_;
    std::vector<std::unique_ptr<std::vector<Vector>>> vertexArrays_;
    std::vector<Entity*> loose_;
};

// The text of the last message box shown, or "".
std::string LastBoxText();
