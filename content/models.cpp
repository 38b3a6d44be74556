#include "models.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>

namespace content {

namespace {

// Faces name the sample textures (content/texture_writer); "beacon" is an animated one.
const GeoStyle kHull{92, 104, 70, "hovtank"};
const GeoStyle kDark{48, 52, 56, "hovturt"};
const GeoStyle kGlass{80, 140, 200, ""};
const GeoStyle kWreck{40, 36, 32, ""};
const GeoStyle kConcrete{150, 146, 136, "bunker"};
const GeoStyle kRoof{120, 60, 40, "factory"};
const GeoStyle kScrap{130, 110, 80, "scrap"};
const GeoStyle kGlow{220, 200, 60, "beacon"};
const GeoStyle kSkin{210, 170, 140, ""};
const GeoStyle kSuit{60, 80, 120, "pilot"};

// A collision box of four evenly spaced slabs per axis, stored as the "COLP" values: x
// ascending in s7..s4, y in s11..s8, z in s3..s0.
void CollisionBox(ModelDef& m, const Vector& min, const Vector& max) {
    m.collision = true;
    for (int i = 0; i < 4; ++i) {
        const float f = i / 3.0f;
        m.collisionValues[7 - i] = min.x + (max.x - min.x) * f;
        m.collisionValues[11 - i] = min.y + (max.y - min.y) * f;
        m.collisionValues[3 - i] = min.z + (max.z - min.z) * f;
    }
}

// The meshes, by name, as the models are built.
std::map<std::string, GeoMesh>& Meshes() {
    static std::map<std::string, GeoMesh> meshes;
    return meshes;
}
const GeoMesh& Keep(GeoMesh mesh) {
    auto& meshes = Meshes();
    return meshes[mesh.name] = std::move(mesh);
}

// A part whose level-0 state-0 mesh gives its name and bounds.
ModelPart Part(const GeoMesh& mesh, const std::string& parent, const Vector& position, int type = 0) {
    ModelPart part;
    part.record.name = mesh.name;
    part.record.parent = parent;
    part.record.position = position;
    part.record.type = type;
    Vector min, max;
    GeoBounds(mesh, &min, &max);
    part.record.centre = Vector{(min.x + max.x) / 2, (min.y + max.y) / 2, (min.z + max.z) / 2};
    part.record.half = Vector{(max.x - min.x) / 2, (max.y - min.y) / 2, (max.z - min.z) / 2};
    const Vector& h = part.record.half;
    part.record.radius = std::sqrt(h.x * h.x + h.y * h.y + h.z * h.z);
    part.geometry.assign(1, std::vector<std::string>(1, mesh.name));
    return part;
}
// A locator part without geometry (hardpoints: types 70..77).
ModelPart Point(const std::string& name, const std::string& parent, const Vector& position, int type) {
    ModelPart part;
    part.record.name = name;
    part.record.parent = parent;
    part.record.position = position;
    part.record.type = type;
    // Every record of a locator names it, so no level shows a geometry for it.
    part.geometry.assign(7, std::vector<std::string>(4, name));
    return part;
}
// The point turned about its x axis by the angle (degrees): its front row then leans from +z
// toward -y.
ModelPart Turned(ModelPart part, float degrees) {
    const float a = degrees * 3.14159265f / 180.0f;
    const float c = std::cos(a), s = std::sin(a);
    const float rotation[9] = {1, 0, 0, 0, c, s, 0, -s, c};  // right, up, front
    std::copy(rotation, rotation + 9, part.record.rotation);
    return part;
}
void SetGeometry(ModelPart& part, int level, int state, const GeoMesh& mesh) {
    if (part.geometry.size() <= size_t(level)) part.geometry.resize(size_t(level) + 1);
    auto& states = part.geometry[size_t(level)];
    if (states.size() <= size_t(state)) states.resize(size_t(state) + 1);
    states[size_t(state)] = mesh.name;
}

ModelDef HoverTank() {
    ModelDef m;
    m.file = "gvtank.vdf";
    m.vehicle = true;
    // Heavy enough that a round's hit nudges the craft rather than throws it.
    m.mass = 7200;
    m.extra[0] = 4, m.extra[1] = 8, m.extra[2] = 16;
    GeoMesh hull = GeoBox("tkhull", {-2.0f, 0.0f, -3.0f}, {2.0f, 1.2f, 3.0f}, kHull);
    GeoMerge(hull, GeoBox("", {-1.6f, 1.2f, 1.6f}, {1.6f, 1.5f, 2.6f}, kGlass), {0, 0, 0});
    ModelPart hullPart = Part(Keep(hull), "world", {0, 0.6f, 0});
    // Level 1 is what the driver sees of the craft from its own cockpit: a dashboard low ahead of
    // the eye. The cockpit point sits 2.7 above the hull's origin, 1.9 forward: well above the
    // hull, the glass and the gun, so the views that draw the whole craft around the eye (no
    // cockpit, no HUD) look out over the gun, whose muzzle shows low in the middle, and not at
    // the inside of the hull (an eye a hand's breadth over the barrel sees little but the barrel).
    SetGeometry(hullPart, 1, 0, Keep(GeoBox("tkdash1", {-1.2f, 2.1f, 2.4f}, {1.2f, 2.4f, 2.8f}, kDark)));
    SetGeometry(hullPart, 2, 0, Keep(GeoPyramid("tkhull2", 4, 3.2f, 0.0f, 1.5f, kHull)));
    SetGeometry(hullPart, 0, 1, Keep(GeoBox("tkhullx", {-2.0f, 0.0f, -3.0f}, {2.0f, 0.8f, 3.0f}, kWreck)));

    ModelPart turret = Part(Keep(GeoPrism("tkturr", 8, 1.3f, 1.0f, 0.0f, 0.7f, kHull)), "tkhull", {0, 1.5f, -0.3f});
    SetGeometry(turret, 0, 1, Keep(GeoPrism("tkturrx", 8, 1.3f, 1.0f, 0.0f, 0.4f, kWreck)));
    ModelPart barrel = Part(Keep(GeoBox("tkbarl", {-0.12f, -0.12f, 0.0f}, {0.12f, 0.12f, 2.8f}, kDark)), "tkturr",
                            {0, 0.35f, 0.9f});
    // The hover gear: two vanes under the rear corners with a thrust point under each, a fan
    // the throttle spins, a rudder the steering turns, and two dust points under the skirt.
    ModelPart vaneLeft = Part(Keep(GeoBox("tkvanel", {-0.05f, -0.5f, -0.3f}, {0.05f, 0.0f, 0.3f}, kDark)), "tkhull",
                              {-1.5f, 0.0f, -2.2f}, 67);
    ModelPart vaneRight = Part(Keep(GeoBox("tkvaner", {-0.05f, -0.5f, -0.3f}, {0.05f, 0.0f, 0.3f}, kDark)), "tkhull",
                               {1.5f, 0.0f, -2.2f}, 67);
    ModelPart fan = Part(Keep(GeoBox("tkfan", {-0.6f, 0.0f, -0.06f}, {0.6f, 0.12f, 0.06f}, kDark)), "tkhull",
                         {0, 1.2f, -2.4f}, 66);
    ModelPart rudder = Part(Keep(GeoBox("tkrudr", {-0.04f, 0.0f, -0.3f}, {0.04f, 0.5f, 0.0f}, kDark)), "tkhull",
                            {0, 1.2f, -2.7f}, 68);
    m.parts = {hullPart,
               turret,
               barrel,
               // The hardpoints, slot by slot (a class's slot N finds the part named "hpN.."),
               // each of its kind: the cannon at the barrel's muzzle, a rocket rack on the
               // hull's right and a mortar at the back.
               Point("hp1cann", "tkturr", {0, 0.35f, 3.7f}, 71),
               Point("hp2rock", "tkhull", {1.4f, 1.3f, 0.0f}, 72),
               Point("hp3mort", "tkhull", {0, 1.3f, -2.2f}, 73),
               vaneLeft,
               vaneRight,
               // The exhaust leaves each vane's trailing edge backwards and a little down.
               Turned(Point("tkthrl", "tkvanel", {0, -0.25f, -0.3f}, 75), 160.0f),
               Turned(Point("tkthrr", "tkvaner", {0, -0.25f, -0.3f}, 75), 160.0f),
               fan,
               rudder,
               Point("tkdust1", "tkhull", {-1.2f, -0.6f, 0}, 77),
               Point("tkdust2", "tkhull", {1.2f, -0.6f, 0}, 77),
               // Where damage smoke leaves the hull: the two rear corners.
               Point("smoke1", "tkhull", {-1.5f, 1.2f, -2.8f}, 76),
               Point("smoke2", "tkhull", {1.5f, 1.2f, -2.8f}, 76)};
    m.locators = {{'(', {0, 3.3f, 1.9f}}, {'*', {0, 2.2f, 1.0f}}, {'&', {0, 0.8f, 3.0f}}, {'e', {0, 0.6f, -3.0f}}};
    Keep(GeoPyramid("hdlv_msk", 4, 4.0f, 20.0f, 0.0f, kGlow));
    m.lights = {{1, {0, -0.2f, 1}, {0, 1.0f, 3.0f}, 0.6f, 40.0f}};
    CollisionBox(m, {-2.0f, 0.0f, -3.0f}, {2.0f, 1.5f, 3.0f});
    return m;
}

ModelDef Scout() {
    ModelDef m;
    m.file = "gvscout.vdf";
    m.vehicle = true;
    m.mass = 3600;  // half the tank's, like its armour
    GeoMesh body = GeoPyramid("schull", 3, 2.0f, 0.0f, 1.0f, kHull);
    ModelPart hull = Part(Keep(body), "world", {0, 0.5f, 0});
    SetGeometry(hull, 1, 0, Keep(GeoBox("scdash1", {-0.8f, 0.2f, 0.9f}, {0.8f, 0.35f, 1.2f}, kDark)));
    ModelPart wings = Part(Keep(GeoBox("scwing", {-2.6f, 0.0f, -0.6f}, {2.6f, 0.15f, 0.6f}, kDark)), "schull",
                           {0, 0.4f, -0.3f});
    // A cannon at the right wing's tip and a rocket rack at the left's.
    m.parts = {hull, wings, Point("hp1cann", "scwing", {2.4f, 0.1f, 0.6f}, 71),
               Point("hp2rock", "scwing", {-2.4f, 0.1f, 0.6f}, 72)};
    m.locators = {{'(', {0, 1.0f, 0.5f}}, {'*', {0, 1.4f, 0.2f}}};
    CollisionBox(m, {-2.6f, 0.0f, -2.0f}, {2.6f, 1.0f, 2.0f});
    return m;
}

// The tug: a flat hover hull with a hook arm under it and the tow point (type 74) below the arm,
// where the cargo hangs. Its animation block holds two sequences: 0 lowers the hook, 1 raises it.
ModelDef Tug() {
    ModelDef m;
    m.file = "gvtug.vdf";
    m.vehicle = true;
    m.mass = 5000;
    ModelPart hull = Part(Keep(GeoBox("tghull", {-2.4f, 0.0f, -3.4f}, {2.4f, 1.0f, 3.4f}, kHull)), "world", {0, 0.6f, 0});
    ModelPart cab = Part(Keep(GeoBox("tgcab", {-1.0f, 0.0f, 1.4f}, {1.0f, 0.8f, 3.0f}, kGlass)), "tghull", {0, 1.0f, 0});
    ModelPart hook = Part(Keep(GeoBox("tghook", {-0.3f, -0.8f, -0.3f}, {0.3f, 0.0f, 0.3f}, kDark)), "tghull", {0, 0, 0});
    m.parts = {hull, cab, hook, Point("tgtow", "tghook", {0, -1.0f, 0}, 74),
               Point("tgdust1", "tghull", {-1.2f, -0.6f, 0}, 77), Point("tgdust2", "tghull", {1.2f, -0.6f, 0}, 77)};
    m.locators = {{'(', {0, 2.0f, 2.2f}}, {'*', {0, 2.4f, 1.0f}}};
    m.animation = AnimationData({"tghook"}, {AnimSequence{0, 3, 0, 30.0f, 0.0f}, AnimSequence{1, 3, 0, 30.0f, 0.0f}});
    CollisionBox(m, {-2.4f, 0.0f, -3.4f}, {2.4f, 1.8f, 3.4f});
    return m;
}

ModelDef Pilot() {
    ModelDef m;
    m.file = "gvpilot.vdf";
    m.vehicle = true;
    m.mass = 80;
    // Without a box of its own a pilot touches nothing, and so never climbs into the empty craft
    // it walks up to.
    CollisionBox(m, {-0.3f, 0.0f, -0.3f}, {0.3f, 1.7f, 0.3f});
    ModelPart body = Part(Keep(GeoBox("ptbody", {-0.3f, 0, -0.2f}, {0.3f, 1.4f, 0.2f}, kSuit)), "world", {0, 0, 0});
    // Far away the body is a plain prism. Level 1, what the pilot sees of itself from its own
    // eye, is left empty: the eye sits at the front of the head, and anything of the body drawn
    // around it would cover the view.
    SetGeometry(body, 2, 0, Keep(GeoPrism("ptbody1", 4, 0.3f, 0.3f, 0.0f, 1.4f, kSuit)));
    ModelPart head = Part(Keep(GeoBox("pthead", {-0.15f, 0, -0.15f}, {0.15f, 0.3f, 0.15f}, kSkin)), "ptbody",
                          {0, 1.4f, 0});
    m.parts = {body, head, Point("hp1pist", "ptbody", {0.35f, 1.0f, 0.2f}, 70)};
    m.locators = {{'(', {0, 1.6f, 0.2f}}, {'*', {0, 1.6f, 0.1f}}};
    return m;
}

ModelDef Recycler() {
    ModelDef m;
    m.file = "gvrecy.vdf";
    m.vehicle = true;
    m.mass = 6000;
    ModelPart hull = Part(Keep(GeoBox("rchull", {-3.5f, 0, -5.0f}, {3.5f, 2.5f, 5.0f}, kHull)), "world", {0, 0.8f, 0});
    SetGeometry(hull, 1, 0, Keep(GeoPyramid("rchull1", 4, 6.0f, 0.0f, 2.5f, kHull)));
    // State 1: deployed, the bay open.
    ModelPart bay = Part(Keep(GeoBox("rcbay", {-2.0f, 0, -2.0f}, {2.0f, 1.0f, 2.0f}, kDark)), "rchull", {0, 2.5f, 0});
    SetGeometry(bay, 0, 1, Keep(GeoPrism("rcbayd", 6, 2.2f, 2.8f, 0.0f, 2.0f, kDark)));
    m.parts = {hull, bay};
    m.locators = {{'(', {0, 2.6f, 4.0f}}, {'*', {0, 3.2f, 3.5f}}};
    CollisionBox(m, {-3.5f, 0.0f, -5.0f}, {3.5f, 3.5f, 5.0f});
    return m;
}

ModelDef Scavenger() {
    ModelDef m;
    m.file = "gvscav.vdf";
    m.vehicle = true;
    m.mass = 2500;
    ModelPart hull = Part(Keep(GeoBox("svhull", {-2.2f, 0, -3.5f}, {2.2f, 2.0f, 3.5f}, kHull)), "world", {0, 0.7f, 0});
    ModelPart scoop = Part(Keep(GeoBox("svscoop", {-1.8f, 0, 0}, {1.8f, 0.8f, 1.2f}, kDark)), "svhull",
                           {0, 0.2f, 3.5f});
    m.parts = {hull, scoop};
    m.locators = {{'(', {0, 2.1f, 2.0f}}};
    CollisionBox(m, {-2.2f, 0.0f, -3.5f}, {2.2f, 2.0f, 4.7f});
    return m;
}

ModelDef Factory() {
    ModelDef m;
    // A producer: it arrives as a vehicle and deploys, so its model is a vehicle definition.
    m.file = "gvfact.vdf";
    m.vehicle = true;
    m.mass = 9000;
    m.extra[0] = 6, m.extra[1] = 12, m.extra[2] = 30;
    ModelPart base = Part(Keep(GeoBox("fcbase", {-8, 0, -8}, {8, 6, 8}, kConcrete)), "world", {0, 0, 0});
    SetGeometry(base, 1, 0, Keep(GeoPyramid("fcbase1", 4, 11.0f, 0.0f, 6.0f, kConcrete)));
    SetGeometry(base, 0, 1, Keep(GeoBox("fcbasex", {-8, 0, -8}, {8, 2, 8}, kWreck)));
    ModelPart roof = Part(Keep(GeoPyramid("fcroof", 4, 11.0f, 0.0f, 3.0f, kRoof)), "fcbase", {0, 6, 0});
    ModelPart crane = Part(Keep(GeoBox("fccrane", {-0.5f, 0, -0.5f}, {0.5f, 8, 6}, kDark)), "fcbase", {6, 6, 6}, 15);
    crane.record.spinValue = 400;
    crane.record.spinRate[1] = 0.3f;
    m.parts = {base, roof, crane, Point("fcbuild", "fcbase", {0, 0, 10}, 72)};
    return m;
}

ModelDef PowerPlant() {
    ModelDef m;
    m.file = "gvpower.sdf";
    m.extra[0] = 5, m.extra[1] = 10, m.extra[2] = 25;
    ModelPart base = Part(Keep(GeoPrism("pwbase", 8, 6.0f, 4.0f, 0.0f, 7.0f, kConcrete)), "world", {0, 0, 0});
    SetGeometry(base, 1, 0, Keep(GeoPrism("pwbase1", 4, 6.0f, 4.0f, 0.0f, 7.0f, kConcrete)));
    SetGeometry(base, 2, 0, Keep(GeoPyramid("pwbase2", 4, 6.0f, 0.0f, 7.0f, kConcrete)));
    ModelPart fan = Part(Keep(GeoBox("pwfan", {-3.5f, 0, -0.4f}, {3.5f, 0.3f, 0.4f}, kDark)), "pwbase", {0, 7.2f, 0}, 15);
    fan.record.spinValue = 400;
    fan.record.spinRate[1] = 3.0f;
    m.parts = {base, fan};
    m.lights = {{0, {0, -1, 0}, {0, 9, 0}, 0.2f, 25.0f}};
    return m;
}

ModelDef CommTower() {
    ModelDef m;
    m.file = "gvtower.sdf";
    m.extra[0] = 3, m.extra[1] = 6, m.extra[2] = 20;
    ModelPart base = Part(Keep(GeoBox("twbase", {-2.5f, 0, -2.5f}, {2.5f, 3, 2.5f}, kConcrete)), "World", {0, 0, 0});
    ModelPart mast = Part(Keep(GeoPrism("twmast", 4, 0.6f, 0.3f, 0.0f, 12.0f, kDark)), "twbase", {0, 3, 0});
    ModelPart dish = Part(Keep(GeoPyramid("twdish", 6, 2.0f, 0.6f, 0.0f, kGlass)), "twmast", {0, 12, 0});
    m.parts = {base, mast, dish};
    m.animation = AnimationData({"twdish"}, 1, 30, 0, 10.0f, 3.14159265f);
    return m;
}

ModelDef Bunker() {
    ModelDef m;
    m.file = "gvbunker.sdf";
    m.extra[0] = 3, m.extra[1] = 6, m.extra[2] = 15;
    ModelPart base = Part(Keep(GeoBox("bkbase", {-4, 0, -3}, {4, 2.5f, 3}, kConcrete)), "world", {0, 0, 0});
    SetGeometry(base, 0, 1, Keep(GeoBox("bkbasex", {-4, 0, -3}, {4, 1.0f, 3}, kWreck)));
    m.parts = {base};
    return m;
}

ModelDef ScrapPiece() {
    ModelDef m;
    m.file = "gvscrap.sdf";
    m.objectGeometry = "scrap1";
    GeoMesh scrap = GeoPyramid("scrap1", 5, 0.8f, 0.0f, 0.6f, kScrap);
    GeoMerge(scrap, GeoBox("", {0.2f, 0, -0.5f}, {0.9f, 0.25f, 0.1f}, kScrap), {0, 0, 0});
    Keep(scrap);
    return m;
}

ModelDef PowerUp() {
    ModelDef m;
    // Power-ups bounce on the ground: vehicle definitions, like every moving thing.
    m.file = "gvrepair.vdf";
    m.vehicle = true;
    m.mass = 50;
    ModelPart pod = Part(Keep(GeoPrism("rppod", 6, 0.8f, 0.8f, 0.0f, 0.5f, kDark)), "world", {0, 0, 0});
    ModelPart cross = Part(Keep(GeoBox("rpcross", {-0.6f, 0, -0.15f}, {0.6f, 0.3f, 0.15f}, kGlow)), "rppod",
                           {0, 0.7f, 0}, 15);
    GeoMerge(Meshes()["rpcross"], GeoBox("", {-0.15f, 0, -0.6f}, {0.15f, 0.3f, 0.6f}, kGlow), {0, 0, 0});
    cross.record.spinValue = 400;
    cross.record.spinRate[1] = 1.5f;
    m.parts = {pod, cross};
    // Craft pick power-ups up by touching them, and only boxes make contacts.
    CollisionBox(m, {-0.8f, 0.0f, -0.8f}, {0.8f, 1.0f, 0.8f});
    return m;
}

ModelDef Torpedo() {
    ModelDef m;
    // A torpedo skims the ground like a small craft: a vehicle definition, long along z.
    m.file = "gvtorp.vdf";
    m.vehicle = true;
    m.mass = 120;
    GeoMesh body = GeoBox("tpbody", {-0.35f, 0.0f, -1.4f}, {0.35f, 0.5f, 1.0f}, kDark);
    GeoMerge(body, GeoBox("", {-0.2f, 0.1f, 1.0f}, {0.2f, 0.4f, 1.4f}, kGlow), {0, 0, 0});
    ModelPart hull = Part(Keep(body), "world", {0, 0, 0});
    ModelPart fin = Part(Keep(GeoBox("tpfin", {-0.03f, 0.0f, -0.4f}, {0.03f, 0.35f, 0.0f}, kHull)), "tpbody",
                         {0, 0.5f, -1.0f});
    m.parts = {hull, fin};
    CollisionBox(m, {-0.35f, 0.0f, -1.4f}, {0.35f, 0.85f, 1.4f});
    return m;
}

ModelDef Walker() {
    ModelDef m;
    m.file = "gvwalker.vdf";
    m.vehicle = true;
    m.mass = 9000;
    // A body on two legs; the entity's origin is at the feet, where it stands on the ground.
    ModelPart legLeft = Part(Keep(GeoBox("wklegl", {-0.35f, -3.0f, -0.35f}, {0.35f, 0.0f, 0.35f}, kDark)), "world",
                             {-1.0f, 3.0f, 0});
    ModelPart legRight = Part(Keep(GeoBox("wklegr", {-0.35f, -3.0f, -0.35f}, {0.35f, 0.0f, 0.35f}, kDark)), "world",
                              {1.0f, 3.0f, 0});
    ModelPart body = Part(Keep(GeoBox("wkbody", {-1.5f, 0, -1.4f}, {1.5f, 1.6f, 1.4f}, kHull)), "world", {0, 3.0f, 0});
    SetGeometry(body, 1, 0, Keep(GeoBox("wkdash1", {-1.0f, 1.9f, 1.0f}, {1.0f, 2.1f, 1.3f}, kDark)));
    ModelPart gun = Part(Keep(GeoBox("wkgun", {-0.15f, -0.15f, 0.0f}, {0.15f, 0.15f, 1.8f}, kDark)), "wkbody",
                         {0, 0.9f, 1.4f});
    m.parts = {body, legLeft, legRight, gun, Point("hp1cann", "wkbody", {0, 0.9f, 3.3f}, 71)};
    m.locators = {{'(', {0, 5.1f, 1.0f}}, {'*', {0, 4.0f, 1.0f}}, {'&', {0, 3.9f, 3.2f}}};
    // Eight leg sequences by key: crouch, rise, stand, the empty stance, then the four strides
    // (forward, back, left, right), which loop; the legs swing one way over a stride.
    std::vector<AnimSequence> legs = {{0, 12, 1, 10.0f, 0.0f}, {1, 12, 1, 10.0f, 0.0f}, {2, 2, 1, 10.0f, 0.0f},
                                      {3, 2, 1, 10.0f, 0.0f}, {4, 16, 0, 16.0f, 0.7f}, {5, 16, 0, 16.0f, -0.7f},
                                      {6, 16, 0, 16.0f, 0.5f}, {7, 16, 0, 16.0f, -0.5f}};
    m.animation = AnimationData({"wklegl", "wklegr"}, legs);
    CollisionBox(m, {-1.6f, 0.0f, -1.5f}, {1.6f, 4.6f, 1.5f});
    return m;
}

}  // namespace

std::vector<ModelDef> SampleModels() {
    Meshes().clear();
    return {HoverTank(), Scout(), Pilot(), Recycler(), Scavenger(), Factory(),
            PowerPlant(), CommTower(), Bunker(), ScrapPiece(), PowerUp(), Torpedo(),
            Tug(), Walker()};
}

std::vector<GeoMesh> SampleMeshes() {
    SampleModels();
    std::vector<GeoMesh> meshes;
    for (auto& entry : Meshes()) meshes.push_back(entry.second);
    return meshes;
}

std::vector<ArchiveRecord> ModelRecords() {
    std::vector<ArchiveRecord> records;
    for (const ModelDef& model : SampleModels()) records.push_back({model.file, ModelFileBytes(model)});
    for (auto& entry : Meshes()) records.push_back({entry.first + ".geo", GeoBytes(entry.second)});
    // Debris chunks: small enough to burst as secondary explosions (radius between 0.5 and 2).
    records.push_back({"chunk1.geo", GeoBytes(GeoBox("chunk1", {-0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, 0.5f}, kWreck))});
    records.push_back({"chunk2.geo", GeoBytes(GeoPyramid("chunk2", 4, 0.9f, -0.4f, 0.6f, kWreck))});
    return records;
}

bool WriteModelWorld(const std::string& dir, std::string* error) {
    const std::string pack = dir + "/" + kPackDirectory;
    std::error_code ec;
    std::filesystem::create_directories(pack, ec);
    for (const ArchiveRecord& record : ModelRecords()) {
        std::ofstream out(pack + "/" + record.name, std::ios::binary | std::ios::trunc);
        out << record.data;
        if (!out.flush()) {
            if (error) *error = "cannot write " + pack + "/" + record.name;
            return false;
        }
    }
    return true;
}

}  // namespace content
