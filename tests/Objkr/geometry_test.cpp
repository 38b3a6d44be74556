#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>

#include "core/debug.h"
#include "geo_writer.h"
#include "model_fixture.h"
#include "platform/msgbox.h"

namespace {

using content::ArchiveRecord;
using content::GeoMesh;

const content::GeoStyle kPlain{10, 20, 30, ""};

// A triangle mesh padded with `extra` unused vertices (to vary the file size).
GeoMesh Triangle(const std::string& name, int extra = 0, const std::string& texture = "") {
    GeoMesh mesh;
    mesh.name = name;
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 0, 1}};
    for (int i = 0; i < extra; ++i) mesh.vertices.push_back({float(i), 5, 5});
    content::GeoFace face;
    face.texture = texture;
    face.corners = {{0, 0, 0, 0}, {2, 0, 1, 0}, {1, 1, 0, 0}};
    mesh.faces = {face};
    return mesh;
}
ArchiveRecord GeoRecord(const GeoMesh& mesh) { return {mesh.name + ".geo", content::GeoBytes(mesh)}; }

uint32_t W(const char* name, int index) {
    char buffer[8] = {};
    std::strncpy(buffer, name, 8);
    return Entity_NameWordOf(buffer, index);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class GeometryTest : public ModelFixture {};

}  // namespace

TEST_F(GeometryTest, TwoEntitiesShareOneCachedGeometryWithUseCounts) {
    InstallSamples();
    Entity* a = NewRoot("a");
    Entity* b = NewRoot("b");
    KeepForRelease(a);
    KeepForRelease(b);
    EXPECT_EQ(GeomList_Add(a, "tkhull.geo", 0, 0), 1);
    EXPECT_EQ(GeomList_Add(b, "tkhull.geo", 0, 0), 1);
    ASSERT_NE(a->geometry, nullptr);
    EXPECT_EQ(a->geometry, b->geometry);
    EXPECT_EQ(GeomCache_Count(), 1);
    GeomCacheEntry* entry = a->geometry->cacheEntry;
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->useCount, 2);
    EXPECT_EQ(entry->geometry, a->geometry);
    // The hull is a box with a canopy box on it: 16 vertices, 12 faces in file order.
    EXPECT_EQ(a->geometry->vertexCount, 16);
    EXPECT_EQ(a->geometry->faceCount, 12);
    int faces = 0;
    for (const GeomFace* f = a->geometry->firstFace; f; f = f->next) ++faces;
    EXPECT_EQ(faces, 12);
    // The top face of the hull box: normal +y through y = 1.2.
    const GeomFace* top = a->geometry->firstFace;
    EXPECT_NEAR(top->plane.normal.y, 1.0f, 1e-4);
    EXPECT_NEAR(top->plane.d, -1.2f, 1e-4);
    EXPECT_NEAR(top->centroid.y, 1.2f, 1e-4);

    GeomList_Free(a);
    EXPECT_EQ(a->geometry, nullptr);
    EXPECT_EQ(a->geomList.count, 0);
    EXPECT_EQ(entry->useCount, 1);
    GeomList_Free(b);
    EXPECT_EQ(entry->useCount, 0);
    Geom_Unref(entry->geometry);  // never below 0
    EXPECT_EQ(entry->useCount, 0);
    // Unused geometries stay cached until evicted or freed.
    EXPECT_EQ(GeomCache_Count(), 1);

    // A copy of a list looks every geometry up again.
    GeomList_Add(a, "tkhull.geo", 0, 0);
    GeomList_Add(a, "tkdash1.geo", 0, 1);
    GeomList_CopyFromDef(a, b);
    EXPECT_EQ(b->geomList.count, 2);
    EXPECT_EQ(b->geometry, a->geometry);
    EXPECT_EQ(entry->useCount, 2);
}

TEST_F(GeometryTest, LevelAndStateFallBacks) {
    InstallSamples();
    Entity* e = NewRoot("e");
    KeepForRelease(e);
    GeomList_Add(e, "tkhull.geo", 0, 0);
    GeomList_Add(e, "tkhullx.geo", 1, 0);
    GeomList_Add(e, "tkhull2.geo", 0, 2);
    Geometry* level0 = e->geometry;
    Geometry* wreck = e->geomList.items[1].geometry;
    Geometry* level2 = e->geomList.items[2].geometry;
    ASSERT_TRUE(level0 && wreck && level2);

    struct Case {
        const char* what;
        int state, level;  // applied in order: the state, then the level
        Geometry* expected;
        int result;
    };
    const Case cases[] = {
        {"level 2 exists", 0, 2, level2, 1},
        {"level 3 falls back to 0", 0, 3, level0, 1},
        {"level 1 does not fall back", 0, 1, nullptr, 0},
        {"level 0", 0, 0, level0, 1},
        {"state 1 at level 4 falls back to (1, 0)", 1, 4, wreck, 1},
        {"state 2 has nothing", 2, 0, nullptr, 0},
        {"state 1 at level 1 does not fall back", 1, 1, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GeomList_SetLevel(e, 0);
        GeomList_SetState(e, 0);
        GeomList_SetState(e, c.state);
        EXPECT_EQ(GeomList_SetLevel(e, c.level), c.result);
        EXPECT_EQ(e->geometry, c.expected);
        int state, level;
        Geom_SplitKey(e->geomList.currentKey, &state, &level);
        EXPECT_EQ(state, c.state);
        EXPECT_EQ(level, c.level);
    }
    // Select never falls back and leaves the current geometry alone when nothing fits.
    GeomList_SetLevel(e, 0);
    GeomList_SetState(e, 0);
    EXPECT_EQ(GeomList_Select(e, 0, 3), 0);
    EXPECT_EQ(e->geometry, level0);
    // The same key again only reports whether there is a geometry.
    EXPECT_EQ(GeomList_SetLevel(e, 0), 1);
}

TEST_F(GeometryTest, StateOverATreeAndUnboundTextures) {
    InstallSamples();
    static int unbinds;
    unbinds = 0;
    Objkr_Services().unbindTexture = [](Entity*) { ++unbinds; };
    Entity* root = NewRoot("r");
    Entity* child = Entity_New(root);
    KeepForRelease(root);
    GeomList_Add(root, "rchull.geo", 0, 0);
    GeomList_Add(child, "rcbay.geo", 0, 0);
    GeomList_Add(child, "rcbayd.geo", 1, 0);
    const int before = unbinds;
    EXPECT_EQ(GeomList_SetStateTree(root, 1), 1);
    EXPECT_EQ(root->geometry, nullptr);  // no state 1 for the hull
    EXPECT_EQ(child->geometry, child->geomList.items[1].geometry);
    EXPECT_EQ(unbinds, before + 2);
    EXPECT_EQ(GeomList_SetStateTree(root, 3), 0);
}

TEST_F(GeometryTest, TextureNamesGetTmtWhenTheArchiveHoldsOneElseMap) {
    GeoMesh mesh = Triangle("tex");
    content::GeoFace second = mesh.faces[0];
    content::GeoFace third = mesh.faces[0];
    mesh.faces[0].texture = "plainmap";
    second.texture = "GVCamo";
    third.texture = "abcdefghijklmnop";  // 16 characters: the 15 kept and an extension
    mesh.faces.push_back(second);
    mesh.faces.push_back(third);
    content::GeoFace untextured = mesh.faces[0];
    untextured.texture = "";
    mesh.faces.push_back(untextured);
    Install({GeoRecord(mesh), {"gvcamo.tmt", "texture"}, {"abcdefghijklmno.tmt", "texture"}});

    Entity* e = NewRoot("e");
    KeepForRelease(e);
    ASSERT_EQ(GeomList_Add(e, "tex.geo", 0, 0), 1);
    const GeomFace* f = e->geometry->firstFace;
    EXPECT_STREQ(f->texture, "plainmap.map");
    EXPECT_STREQ(f->next->texture, "gvcamo.tmt");
    EXPECT_STREQ(f->next->next->texture, "abcdefghijklmno.tmt");
    EXPECT_STREQ(f->next->next->next->texture, "");
    EXPECT_STREQ(GeomList_TextureName(e, 0), "gvcamo.tmt");

    EXPECT_TRUE(Geom_IsMapFile("noextension"));
    EXPECT_TRUE(Geom_IsMapFile("stone.MAP"));
    EXPECT_FALSE(Geom_IsMapFile("stone.tmt"));
}

TEST_F(GeometryTest, NullNamesClearTheCurrentGeometryOnlyAtStateAndLevelZero) {
    InstallSamples();
    Entity* e = NewRoot("e");
    KeepForRelease(e);
    GeomList_Add(e, "tkhull.geo", 0, 0);
    ASSERT_NE(e->geometry, nullptr);
    EXPECT_EQ(GeomList_Add(e, "NULL.geo", 1, 0), 0);
    EXPECT_NE(e->geometry, nullptr);
    EXPECT_EQ(GeomList_Add(e, nullptr, 0, 0), 0);
    EXPECT_EQ(e->geometry, nullptr);
    EXPECT_EQ(e->geomList.count, 1);  // no item for a null name
    GeomList_Add(e, "tkhull.geo", 0, 0);
    EXPECT_EQ(GeomList_Add(e, "null", 0, 0), 0);
    EXPECT_EQ(e->geometry, nullptr);
}

TEST_F(GeometryTest, MissingAndDamagedFilesGiveNoGeometry) {
    GeoMesh good = Triangle("good");
    std::string badSignature = content::GeoBytes(Triangle("badsig"));
    badSignature[3] = 'X';
    std::string truncated = content::GeoBytes(Triangle("short"));
    truncated.resize(truncated.size() - 1);
    std::string badIndex = content::GeoBytes(Triangle("badindex"));
    badIndex[badIndex.size() - 16] = 3;  // the last corner names vertex 3 of 3
    std::string hugeCount = content::GeoBytes(Triangle("huge"));
    hugeCount[27] = '\x7f';  // vertex count 0x7f000003
    Install({GeoRecord(good), {"badsig.geo", badSignature}, {"short.geo", truncated}, {"badindex.geo", badIndex},
             {"huge.geo", hugeCount}});
    Debug_SetOutputMode(kDebugOutDebugger);
    Entity* e = NewRoot("e");
    KeepForRelease(e);
    for (const char* name : {"badsig", "short", "badindex", "huge", "absent"}) {
        SCOPED_TRACE(name);
        Traces().clear();
        EXPECT_EQ(GeomList_Add(e, (std::string(name) + ".geo").c_str(), 0, 1), 0);
        EXPECT_EQ(e->geomList.items[e->geomList.count - 1].geometry, nullptr);
        EXPECT_TRUE(Traced("Missing geometry \"" + std::string(name).substr(0, 8) + "\"\n"));
    }
    EXPECT_EQ(GeomCache_Count(), 0);
    EXPECT_EQ(GeomList_Add(e, "good.geo", 0, 0), 1);
    EXPECT_EQ(GeomCache_Count(), 1);
    // Items keep their names whether found or not; the array grew past its first 10.
    EXPECT_EQ(e->geomList.count, 6);
    EXPECT_EQ(std::string(e->geomList.items[4].name, 6), "absent");
}

TEST_F(GeometryTest, NaNVerticesAndNormalsAreRepairedWithMessages) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    GeoMesh mesh = Triangle("nanmesh", 1);
    mesh.vertices[3] = {nan, 0, 0};  // unused by the face
    mesh.normals = {{0, 1, 0}, {0, 1, 0}, {nan, nan, nan}, {0, 0, 0}};
    Install({GeoRecord(mesh)});
    Entity* e = NewRoot("e");
    KeepForRelease(e);
    ASSERT_EQ(GeomList_Add(e, "nanmesh.geo", 0, 0), 1);
    const Geometry* g = e->geometry;
    EXPECT_TRUE(Traced("repaired geom \"nanmesh\" vertex 3\n"));
    EXPECT_TRUE(Traced("repaired geom \"nanmesh\" normal 2\n"));
    EXPECT_FALSE(Traced("repaired geom \"nanmesh\" normal 3\n"));  // not on a face
    EXPECT_EQ(g->vertices[3].x, 0.0f);
    // The face (0, 2, 1) faces +y; its normal replaces the broken one.
    EXPECT_NEAR(g->firstFace->plane.normal.y, 1.0f, 1e-4);
    EXPECT_NEAR(g->normals[2].y, 1.0f, 1e-4);
    EXPECT_EQ(g->normals[3].y, 0.0f);
}

TEST_F(GeometryTest, FacePlaneFromADegenerateStart) {
    // A quad in the plane y = 2 whose first three corners lie on one line.
    const Vector vertices[] = {{0, 2, 0}, {1, 2, 0}, {2, 2, 0}, {1, 2, -3}, {5, 5, 5}};
    GeomVertexRef refs[4] = {{0, 0, 0, 0}, {1, 0, 0, 0}, {2, 0, 0, 0}, {3, 0, 0, 0}};
    GeomFace face{};
    face.refs = refs;
    face.vertexCount = 4;
    Plane p = Geom_FacePlane(face, vertices);
    EXPECT_NEAR(std::fabs(p.normal.y), 1.0f, 1e-4);
    EXPECT_NEAR(p.normal.y * 2 + p.d, 0.0f, 1e-4);

    // Three corners: the plane through them.
    face.vertexCount = 3;
    refs[2].vertex = 3;
    p = Geom_FacePlane(face, vertices);
    EXPECT_NEAR(std::fabs(p.normal.y), 1.0f, 1e-4);
    // Fewer than three, or every corner at one point: the zero plane.
    face.vertexCount = 2;
    p = Geom_FacePlane(face, vertices);
    EXPECT_EQ(p.normal.y, 0.0f);
    EXPECT_EQ(p.d, 0.0f);
    GeomVertexRef same[4] = {{4, 0, 0, 0}, {4, 0, 0, 0}, {4, 0, 0, 0}, {4, 0, 0, 0}};
    face.refs = same;
    face.vertexCount = 4;
    p = Geom_FacePlane(face, vertices);
    EXPECT_EQ(p.normal.x, 0.0f);
    EXPECT_EQ(p.normal.y, 0.0f);
    EXPECT_EQ(p.normal.z, 0.0f);
}

TEST_F(GeometryTest, AFullCacheEvictsTheLargestUnusedOrRefusesWithAWarning) {
    std::vector<ArchiveRecord> records;
    for (int i = 0; i <= kGeomCacheSize; ++i) {
        char name[9];
        std::snprintf(name, sizeof name, "g%04d", i);
        records.push_back(GeoRecord(Triangle(name, i == 7 ? 40 : i == 9 ? 20 : 0)));
    }
    Install(records);
    Entity* e = NewRoot("e");
    KeepForRelease(e);
    for (int i = 0; i < kGeomCacheSize; ++i) {
        char name[13];
        std::snprintf(name, sizeof name, "g%04d.geo", i);
        ASSERT_EQ(GeomList_Add(e, name, 0, 1), 1) << name;
    }
    EXPECT_EQ(GeomCache_Count(), kGeomCacheSize);

    // Everything in use: the next geometry is refused with a warning.
    Plat_ClearMessageBoxLog();
    EXPECT_EQ(GeomCache_Get(W("g1024", 0), W("g1024", 1)), nullptr);
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_NE(BoxTexts()[0].find("g1024"), std::string::npos);

    // Geometries 7 (largest) and 9 unused: 7 goes first, then 9.
    Geom_Unref(e->geomList.items[7].geometry);
    Geom_Unref(e->geomList.items[9].geometry);
    const GeomCacheEntry* seven = e->geomList.items[7].geometry->cacheEntry;
    Geometry* loaded = GeomCache_Get(W("g1024", 0), W("g1024", 1));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->cacheEntry, seven);
    EXPECT_EQ(GeomCache_Count(), kGeomCacheSize);
    e->geomList.items[7].geometry = loaded;  // the list now holds the new one's use
    // g0007 is gone: loading it again needs room, and 9 is the one left to evict.
    const GeomCacheEntry* nine = e->geomList.items[9].geometry->cacheEntry;
    Geometry* again = GeomCache_Get(W("g0007", 0), W("g0007", 1));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->cacheEntry, nine);
    e->geomList.items[9].geometry = again;
}

TEST_F(GeometryTest, NamesSplitAndJoin) {
    char name[8], extension[4], joined[13];
    Geom_SplitName("tank.geo", name, extension);
    EXPECT_EQ(std::string(name, 8), std::string("tank\0\0\0\0", 8));
    EXPECT_EQ(std::string(extension, 4), ".geo");
    Geom_JoinName(joined, name, extension);
    EXPECT_STREQ(joined, "tank.geo");
    Geom_SplitName("abcdefghij.x", name, extension);
    EXPECT_EQ(std::string(name, 8), "abcdefgh");
    EXPECT_EQ(std::string(extension, 4), std::string(".x\0\0", 4));
    Geom_JoinName(joined, name, extension);
    EXPECT_STREQ(joined, "abcdefgh.x");
    EXPECT_EQ(Geom_MakeKey(3, 2), 0x30002);
}

TEST_F(GeometryTest, DumpWritesObjtestInTheProfileDirectory) {
    Install({GeoRecord(Triangle("dumped"))});
    Entity* e = NewRoot("e");
    KeepForRelease(e);
    ASSERT_EQ(GeomList_Add(e, "dumped.geo", 0, 0), 1);
    Geom_Dump(e->geometry);
    EXPECT_EQ(Debug_GetOutputMode(), kDebugOutLog);
    const std::string text = ReadFile(root + "/profile/objtest.txt");
    EXPECT_NE(text.find("Geometry object at "), std::string::npos);
    EXPECT_NE(text.find("References:\t\t1\nNumber of vertices:\t3\nNumber of normals:\t3\n\nVertex list:\n\n"),
              std::string::npos);
    EXPECT_NE(text.find("Vertex # 1:\t\t(1.000000, 0.000000, 0.000000)\n"), std::string::npos);
    EXPECT_NE(text.find("Normal # 0:\t\t(0.000000, 1.000000, 0.000000)\n"), std::string::npos);
    EXPECT_NE(text.find("Face # 0:\t\tVertices:\t  0   2   1 \n"), std::string::npos);
}
