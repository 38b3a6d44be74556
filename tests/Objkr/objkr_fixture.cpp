#include "objkr_fixture.h"

#include "core/debug.h"
#include "platform/msgbox.h"
#include "platform/system.h"
#include "support/world_reset.h"

void ObjkrFixture::SetUp() {
    ResetWorldForTest();
}

void ObjkrFixture::TearDown() {
    Classfnc_Clear();
    Entities_RemoveAll();
    for (Entity* e : loose_) {
        if (e->state == kEntityAlive) Entity_Release(e);
    }
    EntityAlloc_FreeAll();
    Objkr_ResetServices();
    Classfnc_ResetOwners();
    Error_ResetForTests();
    Plat_Shutdown();
}

Entity* ObjkrFixture::NewRoot(const char* name) {
    Entity* e = Entity_New(nullptr);
    Entity_SetName(e, name);
    return e;
}

void ObjkrFixture::GiveGeometry(Entity* e, const std::vector<Vector>& vertices) {
    auto points = std::make_unique<std::vector<Vector>>(vertices);
    auto g = std::make_unique<Geometry>();
    g->vertexCount = static_cast<int32_t>(points->size());
    g->normalCount = g->vertexCount;
    g->vertices = points->data();
    e->geometry = g.get();
    geometries_.push_back(std::move(g));
    vertexArrays_.push_back(std::move(points));
}

std::string LastBoxText() {
    const auto& log = Plat_MessageBoxLog();
    return log.empty() ? std::string() : log.back().text;
}
