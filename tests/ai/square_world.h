// The 1000 m square the unit AI's tests stand on, and a brain that only marks its object as
// piloted (shared by fixtures on different chains).
#pragma once
#include <cstdio>

#include "Terrain/terramap.h"
#include "ai/avoidance.h"
#include "core/factory.h"
#include "fun3d/framepasses.h"

class TestPilot : public sObject {
public:
    bool Load() override { return true; }
    bool Save(FILE*) override { return true; }
    const FactoryReg* GetFactory() const override { return nullptr; }
};

// Terrain bounds from (0, 0) to (1000, 1000), with the object grid and the avoidance grid over them.
inline void SquareWorld_Make() {
    TerrainBounds.minXm = 0.0f;
    TerrainBounds.minZm = 0.0f;
    TerrainBounds.maxXm = 1000.0f;
    TerrainBounds.maxZm = 1000.0f;
    GameObject_CreateGrid();
    Avoidance_CreateGridOver(0.0f, 0.0f, 1000.0f, 1000.0f);
}
