// Object classes: what every object of a kind is built from, and the class registry.
//
// Every kind of object has one prototype, made at start-up in the order of the object-class
// registration table (GameObjectClass_Prototypes). A concrete class is loaded from its object
// definition file ("<name>.odf") on the first look-up of its 8-character definition name: the
// file's class label picks the prototype, which derives the class from the file. A class builds
// live objects: it makes the entity, loads its model (".vdf" or ".sdf"), enters it in the
// entity table and builds the object in a pool slot.
//
// Loaded classes are owned by the registry; GameObjectClass_FreeAll deletes them at mission
// teardown (together with the weapon classes they point at). Prototypes live to program exit.
#pragma once
#include <cstdint>
#include <vector>

#include "core/mathlib.h"
#include "fun3d/plannerslots.h"

class GameObject;
class WeaponClass;
struct Entity;

constexpr int kHardpointCount = 5;
constexpr int kClassNameSize = 8;
constexpr int kClassProcessNameSize = 32;
constexpr int32_t kClassCostNever = 2147483647;  // an underived class is never affordable
constexpr float kClassRadiusUnknown = -1e30f;

// Object categories: they also choose the entity's type code (class-function row).
enum ObjectCategory : int32_t {
    kCategoryBase = 0,
    kCategoryCraft = 1,
    kCategoryBuilding = 2,
    kCategoryPowerUp = 3,
    kCategoryPerson = 4,
    kCategorySpawnPoint = 5,
    kCategoryProducer = 6,
    kCategoryScrap = 7,
};

// Sides, in the order of their names.
enum ObjectSide : int32_t { kSideUnknown = 0, kSideAmerican = 1, kSideSoviet = 2, kSideAlien = 3 };

// Definition keys of every class (the game knows them only by hash).
constexpr uint32_t kOdfClassLabel = 0x92D04727u;
constexpr uint32_t kOdfGeometryName = 0x0794B13Bu;
constexpr uint32_t kOdfScrapCost = 0x9DE6F3F3u;
constexpr uint32_t kOdfScrapValue = 0x262C569Bu;
constexpr uint32_t kOdfPilotCost = 0xCDB7D0F4u;
constexpr uint32_t kOdfBuildTime = 0x0ED76D3Au;
constexpr uint32_t kOdfHealth = 0x19971F1Bu;
constexpr uint32_t kOdfAmmo = 0x21C4FF9Bu;
constexpr uint32_t kOdfSpriteName = 0x45A8BC04u;
constexpr uint32_t kOdfFriendProcess = 0x98D7239Cu;
constexpr uint32_t kOdfEnemyProcess = 0x48AD2AEAu;
constexpr uint32_t kOdfWeaponLink = 0xBA10BBDDu;
constexpr uint32_t kOdfDistance = 0x020844ADu;
constexpr uint32_t kOdfSideName = 0x3957BD3Au;
constexpr uint32_t kOdfScale[3] = {0x21C2C4F0u, 0xF52CB94Fu, 0xB1C56677u};
constexpr uint32_t kOdfHardpointPrefix = 0x157BA160u;  // continued over the digit 1..5
constexpr uint32_t kOdfWeaponPrefix = 0xFBF47DBAu;     // continued over the digit 1..5

// The global debug flag that makes every derived class measure its bounds at once.
constexpr uint32_t kDebugMeasureClasses = 0x8000;
uint32_t& GameObjectClass_DebugFlags();

class GameObjectClass : public PlannerSlotHolder {
public:
    // A prototype: appended to the prototype list; the base values below.
    GameObjectClass();
    // Derives a class from the definition file of name (up to 8 characters, bit 7 of each
    // byte cleared) with the prototype's values as defaults; appended to the loaded classes.
    GameObjectClass(GameObjectClass* prototype, const char* name);
    // Leaves whichever list holds it; frees the information text.
    ~GameObjectClass() override;

    // Slot 1: a new object of the kind for the entity in a pool slot (null when the pool is
    // full).
    virtual GameObject* BuildObject(Entity* entity) = 0;
    // Slot 2: a new class of the kind derived from the definition name, this being its
    // prototype.
    virtual GameObjectClass* Derive(const char* name) = 0;

    // The loaded class of the definition name (up to 8 characters; bit 7 ignored), loading it
    // on first look-up; null for an empty name, a missing file or an unknown class label.
    static GameObjectClass* Find(const char* name);
    // A new object of the class at the matrix: entity flags team << 16, 0x10 for the user's
    // object, 1 for a person; number below 1 takes the next instance number for the base name;
    // a null label gives "<definition name><number>_<class label>". Null without a class, or
    // when the pool is full.
    static GameObject* Build(GameObjectClass* cls, const Matrix& matrix, int32_t team, bool user, int32_t number,
                             const char* label);
    // Loads the model into a scratch entity and stores box, centre and radius.
    static void ComputeBounds(GameObjectClass* cls);
    // Computes the bounds first when the radius is still unknown.
    static void GetBoundingSphere(GameObjectClass* cls, Vector* centre, float* radius);

    // The definition name as text (at most 8 characters).
    void GetDefName(char out[kClassNameSize + 1]) const;

    // ---- fields ---------------------------------------------------------------------------
    uint32_t signature = 0;         // four characters, such as 'GOBJ'
    const char* label = nullptr;    // class label (the prototype's text), such as "powerup"
    int32_t category = kCategoryBase;
    GameObjectClass* prototype;     // a prototype names itself
    char baseName[kClassNameSize] = {};  // the model files' base name, not NUL-terminated when 8 long
    char defName[kClassNameSize] = {};   // definition name, not NUL-terminated when 8 long
    char fileName[16] = {};              // the definition name and ".odf"
    int32_t scrapCost = kClassCostNever;
    int32_t scrapValue = 0;
    int32_t pilotCost = 0;
    float buildTime = 5.0f;
    int32_t health = 0;
    int32_t ammo = 0;
    int32_t spriteIndex = 0;
    char friendProcess[kClassProcessNameSize] = {};
    char enemyProcess[kClassProcessNameSize] = {};  // for team 2 in a single-player game
    int32_t weaponLinkDigits = 11111;  // five decimal digits, one per hardpoint
    float distance = -1e30f;           // copied into each object when above 0
    int32_t side = kSideUnknown;
    GameObjectClass* pilotClass = nullptr;
    GameObjectClass* userPilotClass = nullptr;
    // The image, radar and heat signatures: how strongly seekers of each kind sense the class.
    float scales[3] = {1.0f, 1.0f, 1.0f};
    float ImageSignature() const { return scales[0]; }
    float HeatSignature() const { return scales[2]; }
    char hardpointNames[kHardpointCount][4] = {};
    WeaponClass* weaponClasses[kHardpointCount] = {};
    Vector boxMin{};
    Vector boxMax{};
    Vector sphereCentre{};
    float sphereRadius = kClassRadiusUnknown;
    // The class flag word the game's other parts test bits of (0 unless a kind sets them); the
    // unit AI's searches read the low byte: 0x0c keeps a building or pick-up out of the target
    // searches, 0x80 lets an enemy object beyond the vehicles be picked as a nearby threat.
    uint32_t classFlags = 0;
    int32_t teamSlotFirst = -1;
    int32_t teamSlotLast = -1;
    char* infoText = nullptr;  // owned

private:
    bool derived_ = false;
};

// ---- the registry ---------------------------------------------------------------------------

// The prototypes in registration order, made on first use from the object-class registration
// table (every label there, then the kinds only this layer names).
const std::vector<GameObjectClass*>& GameObjectClass_Prototypes();
// Makes the prototype of a kind that a layer above the object layer builds (label, signature and
// category of the kind); null for a label it does not build.
using GameObjectKindMaker = GameObjectClass* (*)(const char* label, uint32_t signature, int32_t category);
// Installs the kind maker of the layers above (start-up). Prototypes already made as stand-ins
// for its labels are replaced in their places.
void GameObjectClass_SetKindMaker(GameObjectKindMaker maker);
// Every prototype that exists (the registered ones and any made since), in construction order.
const std::vector<GameObjectClass*>& GameObjectClass_PrototypeList();
// The first prototype whose label matches, ignoring case; null for none.
GameObjectClass* GameObjectClass_FindPrototype(const char* label);
// The loaded classes in loading order.
const std::vector<GameObjectClass*>& GameObjectClass_Loaded();
// Deletes every loaded class (mission teardown).
void GameObjectClass_FreeAll();

// ---- costs and values -----------------------------------------------------------------------

// The scrap cost for a team: 0 for the user's allies (the user's team included) while the
// free-building cheat is on, one less (not below 0) for them at difficulty 1.
int32_t GameObjectClass_GetScrapCost(int32_t team, const GameObjectClass* cls);
// The pilot cost for a team: 0 for the user's allies while the free-building cheat is on.
int32_t GameObjectClass_GetPilotCost(int32_t team, const GameObjectClass* cls);
int32_t GameObjectClass_GetMaxHealth(int32_t team, const GameObjectClass* cls);

// The side whose name ("unknown", "american", "soviet", "alien") matches, ignoring case; 0 for
// none.
int32_t GameObjectClass_SideByName(const char* name);
const char* GameObjectClass_SideName(int32_t side);
// The side a definition file's name suggests by its first letter.
int32_t GameObjectClass_GuessSide(const char* fileName);

// The entity type code of the class named by a model part (the part's own type when no class
// of that name loads).
int32_t GameObjectClass_EntityTypeOf(const char name[8], int32_t type);

// The centres of the six faces of an object's box (+z, -x, +x, -z, -y, +y): the class's measured
// box, else a cube around the entity's bounds.
void GameObjectClass_BoxFaceCentres(const GameObjectClass* cls, const Entity* entity, Vector out[6]);

// The kinds that stand still in the world (codes 2, 5, 7 and 10). An object's entity type code
// is its class kind, so the code of a hit entity answers for its object too.
bool ObjectClass_IsKindGroup(int32_t kind);
bool ObjectClass_IsKindGroup(const GameObjectClass* cls);
