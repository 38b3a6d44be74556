#include "draw_fixture.h"

#include <cmath>
#include <cstring>

#include "render/drawpass.h"
#include "Objkr/rendersettings.h"
#include "render/palette.h"
#include "render/texmgr.h"

void DrawFixture::SetUp() {
    ObjkrFixture::SetUp();
    std::memcpy(savedLuma_, LumaTable, sizeof savedLuma_);
    for (int row = 0; row < 32; ++row)
        for (int c = 0; c < 256; ++c) LumaTable[row][c] = uint8_t(c);
    Graphic_InitBuffer(&buffer, kSize, kSize, nullptr, kGraphicFormat8);
    Graphic_Clear(&buffer, 0);
    View_Init(&view, &buffer, kDefaultFieldOfView, 1.0f, 100.0f, 1.0f);
    LookFrom({0, 0, -10}, {0, 0, 1});
    ASSERT_TRUE(RenderQueue_Init());
    // Drawing binds face textures; freed entities give their bindings back.
    Objkr_Services().unbindTexture = TexMgr_UnbindEntityHook;
    // Flat, untextured faces: the drawn bytes are the face colours.
    for (uint32_t& f : Render_Settings().faceFlags) f = 0;
}

void DrawFixture::TearDown() {
    RenderQueue_Reset();
    Classfnc_Clear();
    Entities_RemoveAll();
    BspCache_Reset();
    ObjkrFixture::TearDown();
    for (Geometry* g : geometries_) Geom_Free(g);
    Graphic_FreeBuffer(&buffer);
    std::memcpy(LumaTable, savedLuma_, sizeof savedLuma_);
    RenderSettings_Reset();
}

namespace {
void Finish(Geometry* g) {
    int refs = 0;
    GeomFace* prev = nullptr;
    for (int i = 0; i < g->faceCount; ++i) {
        GeomFace* f = &g->faceStore[i];
        f->refs = g->refStore + refs;
        refs += f->vertexCount;
        Vector c{0, 0, 0};
        for (int k = 0; k < f->vertexCount; ++k) {
            const Vector& v = g->vertices[f->refs[k].vertex];
            c.x += v.x / float(f->vertexCount), c.y += v.y / float(f->vertexCount), c.z += v.z / float(f->vertexCount);
        }
        f->centroid = c;
        f->plane = Geom_FacePlane(*f, g->vertices);
        if (prev) prev->next = f;
        else g->firstFace = f;
        prev = f;
    }
}
}  // namespace

Geometry* DrawFixture::Square(float z, int colour, float half) {
    Geometry* g = Geom_AllocBlock(4, 1, 4);
    const Vector corners[4] = {{-half, -half, z}, {-half, half, z}, {half, half, z}, {half, -half, z}};
    for (int i = 0; i < 4; ++i) {
        g->vertices[i] = corners[i];
        g->normals[i] = Vector{0, 0, -1};
    }
    g->faceCount = 1;
    g->faceStore[0].vertexCount = 4;
    g->faceStore[0].colourIndex = colour;
    for (int i = 0; i < 4; ++i) g->refStore[i].vertex = i;
    Finish(g);
    geometries_.push_back(g);
    return g;
}

Geometry* DrawFixture::Disc(float z, int colour, float radius, int corners) {
    Geometry* g = Geom_AllocBlock(corners, 1, corners);
    for (int i = 0; i < corners; ++i) {
        const float a = -6.2831853f * float(i) / float(corners);
        g->vertices[i] = Vector{radius * std::cos(a), radius * std::sin(a), z};
        g->normals[i] = Vector{0, 0, -1};
        g->refStore[i].vertex = i;
    }
    g->faceCount = 1;
    g->faceStore[0].vertexCount = corners;
    g->faceStore[0].colourIndex = colour;
    Finish(g);
    geometries_.push_back(g);
    return g;
}

Geometry* DrawFixture::ManySquares(int count, int colour) {
    Geometry* g = Geom_AllocBlock(4 * count, count, 4);
    const Vector corners[4] = {{-1, -1, 0}, {-1, 1, 0}, {1, 1, 0}, {1, -1, 0}};
    for (int i = 0; i < 4; ++i) g->vertices[i] = corners[i];
    g->faceCount = count;
    for (int f = 0; f < count; ++f) {
        g->faceStore[f].vertexCount = 4;
        g->faceStore[f].colourIndex = colour;
        for (int i = 0; i < 4; ++i) g->refStore[4 * f + i].vertex = i;
    }
    Finish(g);
    geometries_.push_back(g);
    return g;
}

Entity* DrawFixture::Part(Entity* parent, Geometry* g, const Vector& position, const char* name) {
    Entity* e = Entity_New(parent);
    Entity_SetName(e, name);
    e->geometry = g;
    e->local.posit = DVector{position.x, position.y, position.z};
    e->boundsRadius = 1.0f;
    return e;
}

EntityTableRecord* DrawFixture::Enter(Entity* root, const Vector& position) {
    root->local.posit = DVector{position.x, position.y, position.z};
    return Entities_Add(root, 0, nullptr, nullptr);
}

void DrawFixture::LookFrom(const Vector& eye, const Vector& direction) {
    View_SetCameraMatrix(&view, Matrix_FromPositionDirection(DVector{eye.x, eye.y, eye.z}, direction));
}

void DrawFixture::DrawItem(EntityTableRecord* record, uint32_t flags) {
    RenderEntityPayload p{};
    p.entity = record->entity;
    p.record = record;
    p.drawFlags = flags;
    p.radius = record->radius;
    Entity_RenderItem(&view, p, flags);
}

std::vector<uint8_t> DrawFixture::Pixels() const {
    return std::vector<uint8_t>(buffer.pixels, buffer.pixels + kSize * kSize);
}

int DrawFixture::CountColour(int colour) const {
    int n = 0;
    for (uint8_t p : Pixels()) n += p == colour;
    return n;
}
