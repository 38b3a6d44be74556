// A scratch data root whose index finds texture files made by the content writers, a fresh
// texture cache and binder, and an entity layer for binding tests.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "archive_writer.h"
#include "core/clock.h"
#include "core/debug.h"
#include "core/filecache.h"
#include "core/filesys.h"
#include "core/zfs.h"
#include "core/zix.h"
#include "platform/clock.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "render/graphicdriver.h"
#include "render/texcache.h"
#include "render/texmgr.h"
#include "support/data_root_fixture.h"
#include "texture_writer.h"

class TextureTest : public ::testing::Test {
protected:
    void SetUp() override {
        Plat_Init(BackendKind::Headless);
        scratch_.Open();
        root = scratch_.root;
        Plat_ClearMessageBoxLog();
        Plat_SetMessageBoxPolicy(nullptr);
        Error_ResetForTests();
        Debug_SetOutputMode(kDebugOutNone);
        Objkr_ResetServices();
        Entities_Reset();
        Objkr_Services().unbindTexture = TexMgr_UnbindEntityHook;
        TexCache_SetPreferPlainFiles(false);
        TexCache_SetDeviceHooks(nullptr);
        TexCache_FailNextAllocations(0);
        TexMgr_Init();
        TexAnim_Init();
        Plat_UseVirtualClock(1000);
        Clock_Init();
        start = TexCache_GetStats();
    }
    void TearDown() override {
        TexAnim_FreeAll();
        Entities_RemoveAll();
        for (Entity* e : roots)
            if (e->state == kEntityAlive) Entity_Release(e);
        EntityAlloc_FreeAll();
        TexMap_FreeAll();
        TexMgr_Init();
        Objkr_ResetServices();
        GraphicD3DFlags = 0;
        TexCache_SetDeviceHooks(nullptr);
        scratch_.Close();
        Plat_UseRealClock();
        Plat_SetMessageBoxPolicy(nullptr);
        Plat_ClearMessageBoxLog();
        Error_ResetForTests();
        Plat_Shutdown();
    }

    // Packs the records into an archive and builds the index over it.
    void Install(const std::vector<content::ArchiveRecord>& records) { scratch_.Install(records, "tex.zfs"); }

    Entity* NewRoot() {
        Entity* e = Entity_New(nullptr);
        Entity_SetName(e, "thing");
        roots.push_back(e);
        return e;
    }

    // Elapsed clock time in ms (the tick that follows adds one millisecond).
    static void SetTime(uint32_t ms) { Clock_Reset(ms); }

    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const MessageBoxRecord& box : Plat_MessageBoxLog()) texts.push_back(box.text);
        return texts;
    }
    static int Refs(const char* cacheName) {
        TexCacheEntry* e = TexCache_Find(cacheName);
        return e ? e->refs : -1;
    }
    TexCacheStats Delta() const {
        TexCacheStats now = TexCache_GetStats();
        return TexCacheStats{now.requests - start.requests, now.hits - start.hits,
                             now.decompressed - start.decompressed, now.plainLoads - start.plainLoads,
                             now.evictions - start.evictions, now.evictionsPerAllocation};
    }

    std::string root;
    std::vector<Entity*> roots;
    TexCacheStats start{};

private:
    ScratchDataRoot scratch_;
};
