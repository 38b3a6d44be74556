#include "collision_fixture.h"

#include <cmath>
#include <cstdlib>

#include "Terrain/terramap.h"
#include "core/debug.h"
#include "platform/msgbox.h"
#include "platform/system.h"
#include "support/world_reset.h"

std::map<Entity*, Vector> CollisionTest::velocity_;
std::map<Entity*, Vector> CollisionTest::spin_;

namespace {

float g_dt = 0.1f;
int g_collideResult = 1;
std::vector<CollideCall> g_calls;
std::vector<SoundCall> g_sounds;

Vector Lookup(const std::map<Entity*, Vector>& map, Entity* e) {
    auto it = map.find(e);
    return it == map.end() ? Vector{0.0f, 0.0f, 0.0f} : it->second;
}

void Motion(Entity* e, Vector* velocity, void** motion) {
    if (velocity) *velocity = Lookup(CollisionTest::velocity_, e);
    if (motion) *motion = nullptr;
}

void Dynamics(EntityDynamics* out, Entity* e) {
    EntityDynamics_Init(*out);
    EntityDynamics_SetMass(*out, 1000.0f, 1000.0f);
    out->velocity = Lookup(CollisionTest::velocity_, e);
    out->angularVelocity = Lookup(CollisionTest::spin_, e);
}

int Collide(Entity* e, Entity* other, CollisionBody* contact, CollisionBody* otherContact) {
    g_calls.push_back(CollideCall{e, other, *contact, *otherContact});
    return g_collideResult;
}

void* PlaySound(const char* name, Entity* owner) {
    g_sounds.push_back(SoundCall{name, owner});
    return nullptr;
}

bool ReadFace(const GeomFace* face, CollisionFaceView* out) {
    const auto* f = reinterpret_cast<const TestFace*>(face);
    out->corners = static_cast<int32_t>(f->indices.size());
    out->normal = f->normal;
    out->indices = f->indices.data();
    out->indexStride = 1;
    out->next = reinterpret_cast<const GeomFace*>(f->next);
    return true;
}

}  // namespace

void CollisionTest::SetUp() {
    ResetWorldForTest();
    velocity_.clear();
    spin_.clear();
    g_calls.clear();
    g_sounds.clear();
    g_collideResult = 1;
    g_dt = 0.1f;
    Objkr_Services().frameTime = [] { return g_dt; };
    Classfnc_Owners().objectMotion = Motion;
    Classfnc_Owners().objectDynamics = Dynamics;
    Classfnc_Owners().objectCollide = Collide;
    audio_ = Seam_Audio();
    Seam_Audio().soundPlayOnObject = PlaySound;
    Collision_SetFaceReader(ReadFace);
    Terrain_SetBaseHeight(0);
    Terrain_BuildBlockTables();
    Collision_Init();
}

void CollisionTest::TearDown() {
    Classfnc_Clear();
    Entities_RemoveAll();
    Collision_Shutdown();
    EntityAlloc_FreeAll();
    Objkr_ResetServices();
    Classfnc_ResetOwners();
    Collision_SetFaceReader(nullptr);
    Seam_Audio() = audio_;
    Terrain_SetBaseHeight(0);
    Terrain_BuildBlockTables();
    Error_ResetForTests();
    Plat_Shutdown();
}

void CollisionTest::Remove(EntityTableRecord* record) {
    Entity* e = record->entity;
    Entities_Remove(record);
    if (e) Entity_Release(e);
}

void CollisionTest::SetFrameTime(float dt) { g_dt = dt; }
std::vector<CollideCall>& CollisionTest::Calls() { return g_calls; }
std::vector<SoundCall>& CollisionTest::Sounds() { return g_sounds; }
void CollisionTest::SetCollideResult(int result) { g_collideResult = result; }

Entity* CollisionTest::NewBoxEntity(int32_t type, const Vector& mn, const Vector& mx, const Vector& pos) {
    Entity* e = Entity_New(nullptr);
    Entity_SetName(e, "box");
    e->type = type;
    e->local.posit = DVector{pos.x, pos.y, pos.z};
    std::vector<Vector> corners;
    for (int i = 0; i < 8; ++i)
        corners.push_back(Vector{(i & 1) ? mx.x : mn.x, (i & 2) ? mx.y : mn.y, (i & 4) ? mx.z : mn.z});
    GiveMesh(e, corners, {});
    e->boundsCentre = Vector{(mn.x + mx.x) * 0.5f, (mn.y + mx.y) * 0.5f, (mn.z + mx.z) * 0.5f};
    e->boxMin = mn;
    e->boxMax = mx;
    const float hx = mx.x - e->boundsCentre.x, hy = mx.y - e->boundsCentre.y, hz = mx.z - e->boundsCentre.z;
    e->boundsRadius = std::sqrt(hx * hx + hy * hy + hz * hz);
    return e;
}

CollisionBoxDef* CollisionTest::NewBoxDef(const Vector& mn, const Vector& mx) {
    auto* def = static_cast<CollisionBoxDef*>(std::calloc(1, sizeof(CollisionBoxDef)));
    def->nx = def->ny = def->nz = 2;
    def->x[0] = mn.x;
    def->x[1] = mx.x;
    def->y[0] = mn.y;
    def->y[1] = mx.y;
    def->z[0] = mn.z;
    def->z[1] = mx.z;
    return def;
}

EntityTableRecord* CollisionTest::AddBox(int32_t type, const Vector& mn, const Vector& mx, const Vector& pos,
                                         bool withBox) {
    Entity* e = NewBoxEntity(type, mn, mx, pos);
    return Entities_Add(e, 0, withBox ? NewBoxDef(mn, mx) : nullptr, nullptr);
}

void CollisionTest::GiveMesh(Entity* e, const std::vector<Vector>& vertices,
                             const std::vector<std::vector<int32_t>>& faces) {
    auto points = std::make_unique<std::vector<Vector>>(vertices);
    auto list = std::make_unique<std::vector<TestFace>>(faces.size());
    for (size_t i = 0; i < faces.size(); ++i) {
        TestFace& f = (*list)[i];
        f.indices = faces[i];
        const Vector& a = vertices[faces[i][0]];
        const Vector& b = vertices[faces[i][1]];
        const Vector& c = vertices[faces[i][2]];
        f.normal = Vec3_TriangleNormal(a, b, c);
        f.next = i + 1 < faces.size() ? &(*list)[i + 1] : nullptr;
    }
    auto g = std::make_unique<Geometry>();
    g->vertexCount = static_cast<int32_t>(points->size());
    g->normalCount = g->vertexCount;
    g->vertices = points->data();
    g->firstFace = list->empty() ? nullptr : reinterpret_cast<GeomFace*>(list->data());
    e->geometry = g.get();
    geometries_.push_back(std::move(g));
    vertexArrays_.push_back(std::move(points));
    faceArrays_.push_back(std::move(list));
}

EntityTableRecord* CollisionTest::AddFloor(float x0, float z0, float x1, float z1, float h, int32_t type) {
    Entity* e = Entity_New(nullptr);
    Entity_SetName(e, "floor");
    e->type = type;
    // Counter-clockwise seen from above, so the face normal points up.
    GiveMesh(e, {{x0, h, z0}, {x0, h, z1}, {x1, h, z1}, {x1, h, z0}}, {{0, 1, 2, 3}});
    return Entities_Add(e, 0, nullptr, nullptr);
}
