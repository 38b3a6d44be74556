// A scratch data root whose index finds terrain files built by the content generator.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Terrain/terrheight.h"
#include "Terrain/terramap.h"
#include "archive_writer.h"
#include "core/debug.h"
#include "core/filecache.h"
#include "core/filesys.h"
#include "core/zfs.h"
#include "core/zix.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "support/data_root_fixture.h"
#include "terrain_writer.h"

class TerrainTest : public DataRootTest {
protected:
    void SetUp() override {
        DataRootTest::SetUp();
        Terrain_SetBaseHeight(0);
    }
    void TearDown() override {
        Terrain_FreeAll();
        Terrain_ClearEntityList();
        Terrain_SetBaseHeight(0);
        Terrain_SetFileName("");
        DataRootTest::TearDown();
    }

    using DataRootTest::Install;
    void Install(const content::TerrainMapSpec& spec) { Install(content::TerrainRecords(spec), "terrain.zfs"); }

    // Loads the map and runs the terrain start-up.
    void Load(const std::string& name) {
        Terrain_SetFileName(name.c_str());
        ASSERT_EQ(Terrain_ReadZoneFiles(), 1);
        ASSERT_EQ(Terrain_LoadZone(nullptr), 1);
        Terrain_Init(0);
    }

    // A map of width x depth metres from (minX, minZ) with the given ground.
    static content::TerrainMapSpec Map(const std::string& name, int width, int depth, int minX = 0, int minZ = 0,
                                       std::function<uint16_t(int, int)> height = nullptr,
                                       std::function<uint16_t(int, int)> material = nullptr) {
        content::TerrainMapSpec spec;
        spec.name = name;
        spec.width = width;
        spec.depth = depth;
        spec.minX = minX;
        spec.minZ = minZ;
        spec.height = std::move(height);
        spec.material = std::move(material);
        return spec;
    }
};
