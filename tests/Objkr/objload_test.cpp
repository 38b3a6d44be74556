#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "Objkr/animobj.h"
#include "Terrain/terramap.h"
#include "bwd2_writer.h"
#include "models.h"
#include "model_fixture.h"
#include "platform/msgbox.h"
#include "support/exit_trap.h"

namespace {

using content::ArchiveRecord;
using content::Bwd2Chunk;

std::string Name(const Entity* e) { return std::string(e->name, strnlen(e->name, 8)); }

// The part records of a structure with the given parts (level 0, state 0 only).
std::string Parts120(const std::vector<content::PartRecord>& parts) {
    content::ModelDef model;
    for (const content::PartRecord& record : parts) {
        content::ModelPart part;
        part.record = record;
        part.geometry.assign(1, std::vector<std::string>(1, record.name));
        model.parts.push_back(part);
    }
    return content::GeoRecordsData(model);
}

content::PartRecord Record(const std::string& name, const std::string& parent, int type = 0) {
    content::PartRecord r;
    r.name = name;
    r.parent = parent;
    r.type = type;
    return r;
}

std::string SdfcChunk() { return std::string(40, '\0'); }

class ObjLoadTest : public ModelFixture {
protected:
    // A craft root (type 1, with its physics record) read from a vehicle file.
    Entity* ReadVehicle(const char* path, ObjLoadResult* result, int expect = 1) {
        Entity* root = NewRoot("craft");
        KeepForRelease(root);
        Classfnc_SetClass(root, kTypeCraft);
        *result = ObjLoadResult{};
        EXPECT_EQ(ObjLoad_ReadVdf(root, result, path), expect);
        return root;
    }
    Entity* ReadStructure(const char* name, ObjLoadResult* result, int expect = 1) {
        Entity* root = NewRoot("bldg");
        KeepForRelease(root);
        *result = ObjLoadResult{};
        EXPECT_EQ(ObjLoad_ReadSdf(root, result, name), expect);
        return root;
    }
};

}  // namespace

TEST_F(ObjLoadTest, HoverTankBuildsItsPartTree) {
    InstallSamples();
    ObjLoadResult result;
    Entity* root = ReadVehicle("odf\\GVTANK.odf", &result);
    auto* body = static_cast<PhysBody*>(root->classData);
    ASSERT_NE(body, nullptr);

    Entity* hull = ObjLoad_FindByName(root, "tkhull");
    Entity* turret = ObjLoad_FindByName(root, "tkturr");
    Entity* barrel = ObjLoad_FindByName(root, "tkbarl");
    Entity* cannon = ObjLoad_FindByName(root, "hp1cann");
    Entity* mortar = ObjLoad_FindByName(root, "hp3mort");
    ASSERT_TRUE(hull && turret && barrel && cannon && mortar);
    EXPECT_EQ(ObjLoad_FindByName(root, "nosuch"), nullptr);
    EXPECT_EQ(Entity_GetParent(hull), root);
    EXPECT_EQ(Entity_GetParent(turret), hull);
    EXPECT_EQ(Entity_GetParent(barrel), turret);
    EXPECT_EQ(Entity_GetParent(cannon), turret);
    EXPECT_EQ(Entity_GetParent(mortar), hull);
    EXPECT_FLOAT_EQ(float(turret->local.posit.y), 1.5f);
    EXPECT_EQ(cannon->type, 71);
    EXPECT_EQ(mortar->type, 73);
    // The exhaust leaves the vanes backwards and down, not forward into the hull.
    for (const char* name : {"tkthrl", "tkthrr"}) {
        Entity* thrust = ObjLoad_FindByName(root, name);
        ASSERT_NE(thrust, nullptr) << name;
        EXPECT_EQ(thrust->type, 75);
        EXPECT_LT(thrust->local.front.z, -0.5f) << name;
        EXPECT_LT(thrust->local.front.y, 0.0f) << name;
    }
    // Hardpoints carry no geometry at any level.
    EXPECT_EQ(cannon->geomList.count, 0);
    EXPECT_EQ(cannon->geometry, nullptr);

    // The hull: levels 0, 1, 2 and the wreck state at level 0.
    ASSERT_EQ(hull->geomList.count, 4);
    const int32_t keys[] = {Geom_MakeKey(0, 0), Geom_MakeKey(1, 0), Geom_MakeKey(0, 1), Geom_MakeKey(0, 2)};
    const char* names[] = {"tkhull", "tkhullx", "tkdash1", "tkhull2"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(hull->geomList.items[i].key, keys[i]);
        EXPECT_EQ(std::string(hull->geomList.items[i].name, strnlen(hull->geomList.items[i].name, 8)), names[i]);
        EXPECT_NE(hull->geomList.items[i].geometry, nullptr);
    }
    EXPECT_EQ(hull->geometry, hull->geomList.items[0].geometry);
    // Bounds come from the record.
    EXPECT_NEAR(hull->boxMax.z, 3.0f, 1e-5);
    EXPECT_NEAR(hull->boxMin.x, -2.0f, 1e-5);

    // Locators: several VLOC chunks in a row, each read. The cockpit is a type-40 child kept in
    // the physics record; '*' keeps only a position; other kinds become children of their kind.
    ASSERT_NE(body->cockpitPart, nullptr);
    EXPECT_EQ(body->cockpitPart->type, kTypeCockpitPart);
    EXPECT_EQ(Entity_GetParent(body->cockpitPart), root);
    EXPECT_NEAR(body->locatorPoint.y, 2.2f, 1e-5);
    EXPECT_NE(Entity_FindType(root, 'e'), nullptr);
    // The default lighting setting suppresses the headlight mask.
    EXPECT_EQ(body->headlightMask, nullptr);

    // Mass and inverse mass together; collision values; the vehicle's extra bytes stay apart.
    EXPECT_FLOAT_EQ(body->dynamics.mass, 7200.0f);
    EXPECT_FLOAT_EQ(body->dynamics.invMass, 1.0f / 7200.0f);
    EXPECT_EQ(result.collisionGiven, 1);
    EXPECT_FLOAT_EQ(result.collision[0], 3.0f);
    ObjLoadCollision* attached = ObjLoad_NewMatrix(result);
    EXPECT_EQ(attached->counts[0], 4);
    EXPECT_EQ(attached->counts[2], 4);
    // Slab bounds ascending per axis: x from s7, y from s11, z from s3.
    const float expected[12] = {-2.0f, -2.0f / 3, 2.0f / 3, 2.0f, 0.0f, 0.5f, 1.0f, 1.5f, -3.0f, -1.0f, 1.0f, 3.0f};
    for (int i = 0; i < 12; ++i) EXPECT_NEAR(attached->values[i], expected[i], 1e-5) << i;
    EXPECT_EQ(result.extraGiven, 1);
    const uint8_t zeros[kEntityExtraSize] = {};
    EXPECT_EQ(std::memcmp(result.extra, zeros, kEntityExtraSize), 0);
    float firstExtra;
    std::memcpy(&firstExtra, result.vehicleScratch, 4);
    EXPECT_FLOAT_EQ(firstExtra, 4.0f);

    // Entered in the table, the tree's geometry gives the record its box.
    EntityTableRecord* record = Entities_Add(root, 0, attached, result.extra);
    ASSERT_NE(record, nullptr);
    EXPECT_GT(record->radius, 3.0f);
    EXPECT_LT(record->boxMin.y, record->boxMax.y);
    EXPECT_EQ(record->attached, attached);
}

TEST_F(ObjLoadTest, StructuresReadParentsSpinnersLightsAndAnimations) {
    InstallSamples();
    struct Light {
        Entity* owner;
        int kind;
        float range, cone;
    };
    static std::vector<Light> lights;
    lights.clear();
    ObjLoad_Services().lightCreate = [](Entity* owner, int kind, float range, float cone, const Vector&,
                                        const Vector&) { lights.push_back({owner, kind, range, cone}); };

    ObjLoadResult result;
    Entity* tower = ReadStructure("gvtower.sdf", &result);
    // "World" in capitals makes the base a child of the root.
    Entity* base = ObjLoad_FindByName(tower, "twbase");
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(Entity_GetParent(base), tower);
    EXPECT_EQ(Entity_GetParent(ObjLoad_FindByName(tower, "twdish")), ObjLoad_FindByName(tower, "twmast"));
    EXPECT_EQ(result.extraGiven, 1);
    float sizes[3];
    std::memcpy(sizes, result.extra, sizeof sizes);
    EXPECT_FLOAT_EQ(sizes[0], 3.0f);
    EXPECT_FLOAT_EQ(sizes[2], 20.0f);
    // The animation block is kept for its root, with the counts the generator wrote.
    ASSERT_EQ(AnimObj_BlockCount(), 1);
    EXPECT_EQ(AnimObj_Block(0)->owner, tower);
    EXPECT_EQ(AnimObj_Block(0)->sequences, 1);
    EXPECT_EQ(AnimObj_Block(0)->tracks, 1);
    EXPECT_EQ(AnimObj_Block(0)->rotationKeys, 2);
    EXPECT_EQ(result.collisionGiven, 0);

    Entity* power = ReadStructure("gvpower.sdf", &result);
    Entity* fan = ObjLoad_FindByName(power, "pwfan");
    ASSERT_NE(fan, nullptr);
    EXPECT_EQ(fan->type, kTypeSpinner);
    auto* spin = static_cast<SpinnerData*>(fan->classData);
    ASSERT_NE(spin, nullptr);
    EXPECT_FLOAT_EQ(spin->rate.y, 3.0f);
    EXPECT_FLOAT_EQ(spin->value1, 400.0f);
    ASSERT_EQ(lights.size(), 1u);
    EXPECT_EQ(lights[0].owner, power);
    EXPECT_FLOAT_EQ(lights[0].range, 25.0f);
    EXPECT_FLOAT_EQ(lights[0].cone, 0.2f);
    EXPECT_TRUE(power->flags & kEntityHasLight);
    // Three levels of the base.
    EXPECT_EQ(ObjLoad_FindByName(power, "pwbase")->geomList.count, 3);

    // The scrap piece has no parts: its root shows the object geometry.
    Entity* scrap = ReadStructure("gvscrap.sdf", &result);
    EXPECT_EQ(scrap->child, nullptr);
    ASSERT_NE(scrap->geometry, nullptr);
    EXPECT_EQ(scrap->geometry->cacheEntry->useCount, 1);
}

TEST_F(ObjLoadTest, EverySampleModelReads) {
    InstallSamples();
    for (const content::ModelDef& model : content::SampleModels()) {
        SCOPED_TRACE(model.file);
        ObjLoadResult result;
        Plat_ClearMessageBoxLog();
        Entity* root = model.vehicle ? ReadVehicle(model.file.c_str(), &result)
                                     : ReadStructure(model.file.c_str(), &result);
        EXPECT_TRUE(BoxTexts().empty());
        for (const content::ModelPart& part : model.parts) {
            Entity* e = ObjLoad_FindByName(root, part.record.name.c_str());
            ASSERT_NE(e, nullptr) << part.record.name;
            if (part.record.type < 70) {
                EXPECT_NE(e->geometry, nullptr) << part.record.name;
            }
        }
    }
}

TEST_F(ObjLoadTest, PilotWithoutOptionalChunksReads) {
    InstallSamples();
    ObjLoadResult result;
    Entity* root = ReadVehicle("gvpilot", &result);
    // No light and no animation; its collision box is all it carries beyond its parts.
    EXPECT_EQ(result.collisionGiven, 1);
    EXPECT_EQ(AnimObj_BlockCount(), 0);
    EXPECT_FALSE(root->flags & kEntityHasLight);
    EXPECT_NE(ObjLoad_FindByName(root, "pthead"), nullptr);
}

TEST_F(ObjLoadTest, NamesMissingFilesAndNullNames) {
    InstallSamples();
    ObjLoadResult result{};
    Entity* root = NewRoot();
    KeepForRelease(root);
    EXPECT_EQ(ObjLoad_ReadSdf(root, &result, "nothere.sdf"), 0);
    EXPECT_EQ(ObjLoad_ReadVdf(root, &result, "nothere"), 0);
    EXPECT_EQ(ObjLoad_ReadSdf(root, &result, nullptr), 1);
    EXPECT_EQ(ObjLoad_ReadVdf(root, &result, "NULLthing"), 1);
    EXPECT_EQ(root->child, nullptr);

    char out[16];
    const uint8_t high[8] = {'t' | 0x80, 'a', 'n', 'k', 0, 'x', 'x', 'x'};
    EXPECT_TRUE(ObjLoad_MakeName(out, high, ".geo"));
    EXPECT_STREQ(out, "tank.geo");
    EXPECT_TRUE(ObjLoad_MakeName(out, reinterpret_cast<const uint8_t*>("abcdefghij"), ".geo"));
    EXPECT_STREQ(out, "abcdefgh.geo");
    EXPECT_TRUE(ObjLoad_MakeName(out, reinterpret_cast<const uint8_t*>("ab\0\0\0\0\0\0"), nullptr));
    EXPECT_EQ(std::string(out, 9), std::string("ab\0\0\0\0\0\0\0", 9));
    EXPECT_FALSE(ObjLoad_MakeName(out, reinterpret_cast<const uint8_t*>("Null1234"), ".geo"));
    EXPECT_FALSE(ObjLoad_MakeName(out, reinterpret_cast<const uint8_t*>("\0abcdefg"), ".geo"));
}

TEST_F(ObjLoadTest, RevisionsAreChecked) {
    const std::string sgeo = Parts120({});
    Install({{"oldrev.sdf", content::Bwd2FileBytes(7, {{"SDFC", SdfcChunk()}, {"SGEO", sgeo}})},
             {"other.xyz", content::Bwd2FileBytes(1, {{"SDFC", SdfcChunk()}})},
             {"oldrev.vdf", content::Bwd2FileBytes(8, {})}});
    ObjLoadResult result;
    Plat_ClearMessageBoxLog();
    ReadStructure("oldrev.sdf", &result, 0);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Bad BWD revision for file oldrev.sdf"});
    EXPECT_EQ(result.extraGiven, 0);  // nothing after the header was read
    Plat_ClearMessageBoxLog();
    ReadVehicle("oldrev", &result, 0);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Bad BWD revision for file oldrev.vdf"});

    Plat_ClearMessageBoxLog();
    result = ObjLoadResult{};
    Entity* root = NewRoot();
    KeepForRelease(root);
    result.root = root;
    EXPECT_EQ(ObjLoad_ReadFile("other.xyz", kObjLoadStructureTable, 7, &result), 1);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Unknown file type found: other.xyz"});
    EXPECT_EQ(result.extraGiven, 1);
    EXPECT_EQ(ObjLoad_ExpectedRevision(".VDF"), 7);
    EXPECT_EQ(ObjLoad_ExpectedRevision(".cdf"), 1);
}

TEST_F(ObjLoadTest, AMissingMandatoryChunkIsFatal) {
    std::string noHeader = content::Bwd2FileBytes(8, {{"SDFC", SdfcChunk()}});
    noHeader.erase(0, 8);  // drop the "BWD2" chunk
    Install({{"nohead.sdf", noHeader}});
    ObjLoadResult result{};
    Entity* root = NewRoot();
    KeepForRelease(root);
    EXPECT_EQ(RunForExit([&] { ObjLoad_ReadSdf(root, &result, "nohead.sdf"); }), 112);
    EXPECT_EQ(LastBoxText(), "Error - mandatory BWD2 chunk not found\nin nohead.sdf");
}

TEST_F(ObjLoadTest, UnknownParentsFallBackToTheRootAndNullPartsGetTheIdentity) {
    content::PartRecord wing = Record("wing", "ghost");
    wing.position = {5, 0, 0};
    content::PartRecord nothing = Record("null", "NULL");
    for (float& f : nothing.rotation) f = 0;
    nothing.position = {7, 7, 7};
    content::PartRecord tail = Record("tail", "wing");
    Install({{"odd.sdf",
              content::Bwd2FileBytes(8, {{"SDFC", SdfcChunk()}, {"SGEO", Parts120({wing, nothing, tail})}})}});
    ObjLoadResult result;
    Plat_ClearMessageBoxLog();
    Entity* root = ReadStructure("odd.sdf", &result);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Can't find parent ghost for object wing"});
    Entity* w = ObjLoad_FindByName(root, "wing");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(Entity_GetParent(w), root);
    EXPECT_EQ(Entity_GetParent(ObjLoad_FindByName(root, "tail")), w);
    Entity* n = ObjLoad_FindByName(root, "null");
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(Entity_GetParent(n), root);
    EXPECT_EQ(n->local.right.x, 1.0f);
    EXPECT_EQ(n->local.posit.x, 0.0);
    // Geometry files of these parts do not exist: the items stay without geometry.
    EXPECT_EQ(w->geomList.count, 1);
    EXPECT_EQ(w->geometry, nullptr);
}

TEST_F(ObjLoadTest, BadChunkSizesEndTheReadWithAWarning) {
    const std::string good = content::Bwd2FileBytes(8, {{"SDFC", SdfcChunk()}, {"SGEO", Parts120({})}});
    // Offsets: BWD2 0, REV 8, SDFC 20, SGEO 68.
    auto withSize = [&](size_t at, uint32_t size) {
        std::string bytes = good;
        for (int i = 0; i < 4; ++i) bytes[at + 4 + size_t(i)] = static_cast<char>((size >> (8 * i)) & 0xFF);
        return bytes;
    };
    std::string shortParts = good;
    shortParts[68 + 8] = 5;  // five parts announced, none there
    Install({{"zero.sdf", withSize(20, 0)},
             {"past.sdf", withSize(20, 4096)},
             {"seven.sdf", withSize(68, 7)},
             {"cut.sdf", good.substr(0, good.size() - 3)},
             {"parts.sdf", shortParts}});
    for (const char* name : {"zero.sdf", "past.sdf", "seven.sdf", "cut.sdf"}) {
        SCOPED_TRACE(name);
        Plat_ClearMessageBoxLog();
        ObjLoadResult result;
        ReadStructure(name, &result, 0);
        ASSERT_EQ(BoxTexts().size(), 1u);
        EXPECT_NE(BoxTexts()[0].find("has a bad size"), std::string::npos);
    }
    // A count that does not fit its chunk fails the chunk; the read goes on (no failure flags).
    Plat_ClearMessageBoxLog();
    ObjLoadResult result;
    Entity* root = ReadStructure("parts.sdf", &result, 1);
    EXPECT_EQ(root->child, nullptr);
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(ObjLoadTest, WeaponRootsShowLevelTwoAsLevelThree) {
    InstallSamples();
    Entity* root = NewRoot("gun");
    KeepForRelease(root);
    root->type = kTypeWeapon;  // no class data needed here
    ObjLoadResult result{};
    ASSERT_EQ(ObjLoad_ReadVdf(root, &result, "gvtank"), 1);
    Entity* hull = ObjLoad_FindByName(root, "tkhull");
    EXPECT_EQ(hull->geomList.count, 5);
    EXPECT_EQ(GeomList_Select(hull, 0, 3), 1);
    EXPECT_EQ(hull->geometry, hull->geomList.items[3].geometry);
    EXPECT_EQ(std::string(hull->geomList.items[4].name, 7), "tkhull2");
    // Without a physics record the mass is not set and nothing else breaks.
    EXPECT_EQ(result.collisionGiven, 1);
}

TEST_F(ObjLoadTest, HeadlightMaskWhenLightingAllowsIt) {
    InstallSamples();
    Terrain_ClearEntityList();
    ObjLoad_Services().terrainAddEntity = Terrain_AddEntity;  // as the terrain installs it at start-up
    ObjLoad_Services().lightingSetting = [] { return 0; };
    ObjLoadResult result;
    Entity* root = ReadVehicle("gvtank", &result);
    auto* body = static_cast<PhysBody*>(root->classData);
    Entity* mask = body->headlightMask;
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(Name(mask), "hdlt_msk");
    EXPECT_EQ(mask->type, '&');
    EXPECT_EQ(mask->up, root);
    EXPECT_EQ(Entity_GetRoot(mask), root);
    EXPECT_EQ(Entity_FindType(root, '&'), nullptr);  // not one of the vehicle's parts
    EXPECT_EQ(root->useCount, 3);  // its own, the class list's and the mask's
    ASSERT_EQ(Terrain_EntityCount(), 1);
    EXPECT_EQ(Terrain_EntityAt(0), mask);
    ASSERT_EQ(mask->geomList.count, 1);
    EXPECT_EQ(mask->geomList.items[0].key, Geom_MakeKey(0, 4));
    EXPECT_NE(mask->geomList.items[0].geometry, nullptr);
    // The terrain list lets go of the mask; then the vehicle's extra reference is dropped.
    Terrain_ReleaseEntities();
    Entity_Unref(root);
    EXPECT_EQ(root->useCount, 2);
}

TEST_F(ObjLoadTest, MasslessVehiclesKeepMassAndInverseInStep) {
    content::ModelDef model;
    model.file = "ghost.vdf";
    model.vehicle = true;
    model.mass = 0;
    Install({{"ghost.vdf", content::ModelFileBytes(model)}});
    ObjLoadResult result;
    Entity* root = ReadVehicle("ghost", &result);
    auto* body = static_cast<PhysBody*>(root->classData);
    EXPECT_EQ(body->dynamics.mass, 0.0f);
    EXPECT_EQ(body->dynamics.invMass, 1e30f);
}

// Craft and persons alike carry a physics record, and each takes its mass from its model (a
// pilot on foot weighs what its model says, not the record's default).
TEST_F(ObjLoadTest, EveryRootWithAPhysicsRecordTakesTheModelsMass) {
    content::ModelDef model;
    model.file = "walker.vdf";
    model.vehicle = true;
    model.mass = 75;
    Install({{"walker.vdf", content::ModelFileBytes(model)}});
    for (const int32_t type : {kTypeCraft, kTypeCraft6, kTypePerson}) {
        SCOPED_TRACE(type);
        Entity* root = NewRoot("body");
        KeepForRelease(root);
        Classfnc_SetClass(root, kTypeCraft);  // a physics record, freed as a craft's
        auto* body = static_cast<PhysBody*>(root->classData);
        ASSERT_NE(body, nullptr);
        ASSERT_NE(body->dynamics.mass, 75.0f);
        root->type = type;
        ObjLoadResult result{};
        EXPECT_EQ(ObjLoad_ReadVdf(root, &result, "walker"), 1);
        root->type = kTypeCraft;
        EXPECT_FLOAT_EQ(body->dynamics.mass, 75.0f);
        EXPECT_FLOAT_EQ(body->dynamics.invMass, 1.0f / 75.0f);
    }
}

TEST_F(ObjLoadTest, ChunkTableWalk) {
    // A table of three repeatable/optional entries read against hand-made chunk runs.
    static std::vector<std::string> calls;
    calls.clear();
    auto record = [](const uint8_t* chunk, void* argument, const uint8_t*) -> int {
        calls.push_back(std::string(reinterpret_cast<const char*>(chunk), 4));
        return argument != nullptr;
    };
    ObjLoadChunkEntry table[3] = {
        {{'A', 'A', 'A', 'A'}, 0, record, kChunkArgResult},
        {{'B', 'B', 'B', 'B'}, 0, record, kChunkArgResult | kChunkRepeat},
        {{'C', 'C', 'C', 'C'}, 0, record, kChunkArgResult | kChunkMandatory},
    };
    std::string bytes;
    for (const char* tag : {"BBBB", "BBBB", "BBBB", "AAAA", "CCCC", "DDDD"})
        bytes += content::Bwd2ChunkBytes({tag, "xy"});
    int argument = 0;
    const auto* begin = reinterpret_cast<const uint8_t*>(bytes.data());
    const uint8_t* stop = begin;
    EXPECT_EQ(RunForExit([&] { stop = ObjLoad_ReadChunks(begin, begin + bytes.size(), table, 3, &argument, "walk"); }),
              112);
    // "AAAA" left out at the start is skipped; the "AAAA" after the B run no longer matches
    // anything, so the walk ends there.
    EXPECT_EQ(calls, (std::vector<std::string>{"BBBB", "BBBB", "BBBB"}));
    EXPECT_EQ(stop, begin);  // the mandatory "CCCC" was never seen: the program ends
    EXPECT_EQ(LastBoxText(), "Error - mandatory CCCC chunk not found\nin walk");

    // With the mandatory chunk in place the walk returns where it stopped.
    calls.clear();
    table[0].flags = kChunkArgResult;
    table[1].flags = kChunkArgResult | kChunkRepeat;
    table[2].flags = kChunkArgResult | kChunkMandatory;
    std::string second;
    for (const char* tag : {"AAAA", "CCCC", "DDDD"}) second += content::Bwd2ChunkBytes({tag, "xy"});
    begin = reinterpret_cast<const uint8_t*>(second.data());
    stop = ObjLoad_ReadChunks(begin, begin + second.size(), table, 3, &argument, "walk");
    EXPECT_EQ(calls, (std::vector<std::string>{"AAAA", "CCCC"}));
    EXPECT_EQ(stop, begin + 20);
    EXPECT_TRUE(table[0].flags & kChunkSeen);
    EXPECT_FALSE(table[1].flags & kChunkSeen);
}
