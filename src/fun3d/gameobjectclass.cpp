#include "fun3d/gameobjectclass.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "Objkr/classfnc.h"
#include "Objkr/entity.h"
#include "Objkr/entitysvc.h"
#include "Objkr/objload.h"
#include "core/datafile.h"
#include "core/debug.h"
#include "core/helpers.h"
#include "core/odf.h"
#include "core/registration.h"
#include "core/seams/cockpit.h"
#include "core/seams/missions.h"
#include "core/seams/net.h"
#include "core/seams/render.h"
#include "core/seams/weapons.h"
#include "fun3d/gameobject.h"
#include "fun3d/teamrecord.h"

namespace {

constexpr uint32_t kCheatFreeBuilding = 0x2;
// Class look-ups load classes that look up further classes (pilots, parts of models); a chain
// this deep means the definitions name each other without end.
constexpr int kFindDepthLimit = 16;

const char* const kSideNames[4] = {"unknown", "american", "soviet", "alien"};

uint32_t g_debugFlags = 0;
int g_findDepth = 0;

// Both lists outlive every class (never destroyed), so a class may leave its list whenever it
// goes, program exit included.
std::vector<GameObjectClass*>& PrototypeList() {
    static auto* list = new std::vector<GameObjectClass*>;
    return *list;
}

std::vector<GameObjectClass*>& LoadedList() {
    static auto* list = new std::vector<GameObjectClass*>;
    return *list;
}

void Unlist(std::vector<GameObjectClass*>& list, GameObjectClass* cls) {
    list.erase(std::remove(list.begin(), list.end(), cls), list.end());
}

// An 8-byte definition name: at most 8 characters up to the first zero, bit 7 of every byte
// cleared, zero-padded.
void CleanName(char out[kClassNameSize], const char* name) {
    std::memset(out, 0, kClassNameSize);
    if (!name) return;
    for (int i = 0; i < kClassNameSize && name[i]; ++i) out[i] = static_cast<char>(name[i] & 0x7F);
}

// The name as text: up to the first zero of the 8 bytes.
std::string NameText(const char name[kClassNameSize]) {
    size_t n = 0;
    while (n < static_cast<size_t>(kClassNameSize) && name[n]) ++n;
    return std::string(name, n);
}

bool CheatOn(uint32_t bit) {
    if (Seam_Net().isNetworkGame()) return false;
    return (Seam_Cockpit().cheatFlags() & bit) != 0;
}

// The user's team and its allies (team numbers outside 0..7 are nobody's allies).
bool AlliedWithUser(int32_t team) {
    if (team < 0 || team >= kTeamCount) return false;
    const int32_t userTeam = GameObject_GetUserTeam();
    if (team == userTeam) return true;
    const TeamRecord* record = TeamRecord::Get(userTeam);
    return record && record->IsAlly(team);
}

// The model file read for an entity of the type code: 1 vehicle, 2 structure, 0 none.
int ModelKindOf(int32_t type) {
    switch (type) {
        case 1: case 3: case 4: case 6:
            return 1;
        case 2: case 5: case 7: case 8: case 10: case 15:
            return 2;
        default:
            return 0;
    }
}

// Reads the class's model into root (whose type code chooses the file). Nonzero on success.
int ReadModel(const GameObjectClass* cls, Entity* root, ObjLoadResult* result) {
    const std::string base = NameText(cls->baseName);
    switch (ModelKindOf(root->type)) {
        case 1:
            return ObjLoad_ReadVdf(root, result, base.c_str());
        case 2:
            return ObjLoad_ReadSdf(root, result, (base + ".sdf").c_str());
        default:
            return 1;
    }
}

// The root's extents, centre and radius into the class.
void StoreBounds(GameObjectClass* cls, const Entity* root) {
    Vector min{}, max{};
    Entity_ComputeExtents(root, min, max);
    if (min.x > max.x || min.y > max.y || min.z > max.z) {
        // No geometry at all: a point at the origin.
        cls->boxMin = cls->boxMax = cls->sphereCentre = Vector{0.0f, 0.0f, 0.0f};
        cls->sphereRadius = 0.0f;
        return;
    }
    cls->boxMin = min;
    cls->boxMax = max;
    cls->sphereCentre = Vector{(min.x + max.x) * 0.5f, (min.y + max.y) * 0.5f, (min.z + max.z) * 0.5f};
    cls->sphereRadius = Entity_ComputeRadius(root, cls->sphereCentre.x, cls->sphereCentre.y, cls->sphereCentre.z);
}

// Finds the weapon class named for a hardpoint, dropping those a network game forbids.
WeaponClass* HardpointWeapon(const char name[kClassNameSize]) {
    if (!name[0]) return nullptr;
    WeaponClass* weapon = Seam_Weapons().weaponClassFind(name);
    if (!weapon || !Seam_Net().isNetworkGame()) return weapon;
    NetSeam& net = Seam_Net();
    if (Seam_Weapons().weaponClassSignature(weapon) == Signature("SNIP") && !net.allowSniperWeapons()) return nullptr;
    char padded[kClassNameSize + 1] = {};
    std::memcpy(padded, name, kClassNameSize);
    if (NameId(padded) == DefName_Id(DefName::gsplint) && !net.allowSplinterWeapon() && !net.isDeathmatch())
        return nullptr;
    return weapon;
}

}  // namespace

uint32_t& GameObjectClass_DebugFlags() { return g_debugFlags; }

// ---- construction -------------------------------------------------------------------------

GameObjectClass::GameObjectClass() : signature(Signature("GOBJ")), prototype(this) {
    PrototypeList().push_back(this);
}

GameObjectClass::GameObjectClass(GameObjectClass* p, const char* name) : prototype(p), derived_(true) {
    LoadedList().push_back(this);
    SizePlannerSlots();

    signature = p->signature;
    label = p->label;
    category = p->category;
    CleanName(defName, name);
    const std::string defText = NameText(defName);
    std::snprintf(fileName, sizeof fileName, "%s.odf", defText.c_str());
    OdfFile odf(fileName);

    odf.GetName8(kOdfGeometryName, baseName, defName);
    odf.GetInt(kOdfScrapCost, &scrapCost, p->scrapCost);
    odf.GetInt(kOdfScrapValue, &scrapValue, p->scrapValue);
    odf.GetInt(kOdfPilotCost, &pilotCost, p->pilotCost);
    odf.GetFloat(kOdfBuildTime, &buildTime, p->buildTime);
    odf.GetInt(kOdfHealth, &health, p->health);
    odf.GetInt(kOdfAmmo, &ammo, p->ammo);
    char spriteName[32];
    odf.GetString(kOdfSpriteName, spriteName, sizeof spriteName, "");
    spriteIndex = spriteName[0] ? Seam_Render().spriteFind(spriteName) : p->spriteIndex;
    odf.GetString(kOdfFriendProcess, friendProcess, sizeof friendProcess, p->friendProcess);
    odf.GetString(kOdfEnemyProcess, enemyProcess, sizeof enemyProcess, p->enemyProcess);
    odf.GetInt(kOdfWeaponLink, &weaponLinkDigits, p->weaponLinkDigits);
    odf.GetFloat(kOdfDistance, &distance, p->distance);

    char sideName[32];
    odf.GetString(kOdfSideName, sideName, sizeof sideName, GameObjectClass_SideName(GameObjectClass_GuessSide(fileName)));
    side = GameObjectClass_SideByName(sideName);

    // The pilot classes may lead back to this class: it is already listed under its name.
    if (pilotCost >= 1 && side == kSideAmerican) {
        pilotClass = Find("aspilo");
        userPilotClass = Find("asuser");
    } else if (pilotCost >= 1 && side == kSideSoviet) {
        pilotClass = Find("sspilo");
        userPilotClass = Find("ssuser");
    }

    for (int i = 0; i < 3; ++i) odf.GetFloat(kOdfScale[i], &scales[i], p->scales[i]);

    for (int n = 1; n <= kHardpointCount; ++n) {
        odf.GetString(Text_HashNumbered(kOdfHardpointPrefix, n), hardpointNames[n - 1], sizeof hardpointNames[0], "");
        char weaponName[kClassNameSize];
        const char none[kClassNameSize] = {};
        odf.GetName8(Text_HashNumbered(kOdfWeaponPrefix, n), weaponName, none);
        weaponClasses[n - 1] = HardpointWeapon(weaponName);
    }

    boxMin = p->boxMin;
    boxMax = p->boxMax;
    sphereCentre = p->sphereCentre;
    sphereRadius = p->sphereRadius;
    teamSlotFirst = p->teamSlotFirst;
    teamSlotLast = p->teamSlotLast;

    const std::string infoName = defText + ".inf";
    std::vector<char> bytes;
    if (DataFile_Load(infoName.c_str(), &bytes) && !bytes.empty()) {
        infoText = new char[bytes.size() + 1];
        std::memcpy(infoText, bytes.data(), bytes.size());
        infoText[bytes.size()] = '\0';
    } else {
        infoText = new char[infoName.size() + 1];
        std::memcpy(infoText, infoName.c_str(), infoName.size() + 1);
    }

    if (g_debugFlags & kDebugMeasureClasses) ComputeBounds(this);
}

GameObjectClass::~GameObjectClass() {
    Unlist(derived_ ? LoadedList() : PrototypeList(), this);
    delete[] infoText;
    infoText = nullptr;
}

void GameObjectClass::GetDefName(char out[kClassNameSize + 1]) const {
    std::memcpy(out, defName, kClassNameSize);
    out[kClassNameSize] = '\0';
}

// ---- the registry -------------------------------------------------------------------------

const std::vector<GameObjectClass*>& GameObjectClass_PrototypeList() { return PrototypeList(); }
const std::vector<GameObjectClass*>& GameObjectClass_Loaded() { return LoadedList(); }

GameObjectClass* GameObjectClass_FindPrototype(const char* label) {
    if (!label) return nullptr;
    GameObjectClass_Prototypes();
    for (GameObjectClass* p : PrototypeList())
        if (p->label && Text_CompareNoCase(p->label, label) == 0) return p;
    return nullptr;
}

void GameObjectClass_FreeAll() {
    std::vector<GameObjectClass*>& list = LoadedList();
    while (!list.empty()) delete list.back();  // the destructor unlists it
}

GameObjectClass* GameObjectClass::Find(const char* name) {
    char clean[kClassNameSize];
    CleanName(clean, name);
    if (std::all_of(clean, clean + kClassNameSize, [](char c) { return c == 0; })) return nullptr;
    for (GameObjectClass* cls : LoadedList())
        if (std::memcmp(cls->defName, clean, kClassNameSize) == 0) return cls;

    const std::string text = NameText(clean);
    if (text.empty()) return nullptr;
    OdfFile odf;
    if (!odf.Open((text + ".odf").c_str())) return nullptr;
    char classLabel[16];
    odf.GetString(kOdfClassLabel, classLabel, sizeof classLabel, "");
    GameObjectClass* p = GameObjectClass_FindPrototype(classLabel);
    if (!p) return nullptr;
    if (g_findDepth >= kFindDepthLimit) {
        Error_Warning("Object class '%s' not loaded: its definitions name classes %d deep", text.c_str(),
                      kFindDepthLimit);
        return nullptr;
    }
    ++g_findDepth;
    GameObjectClass* cls = p->Derive(clean);
    --g_findDepth;
    return cls;
}

// ---- building -----------------------------------------------------------------------------

GameObject* GameObjectClass::Build(GameObjectClass* cls, const Matrix& matrix, int32_t team, bool user,
                                   int32_t number, const char* label) {
    if (!cls) return nullptr;
    if (team < 0 || team >= kTeamCount) {
        Error_Warning("Object of class '%.8s' not built: team %d is not 0 to %d", cls->defName, team, kTeamCount - 1);
        return nullptr;
    }
    if (number < 1) number = Entities_NewInstanceNumber(Entity_NameWordOf(cls->baseName, 0), Entity_NameWordOf(cls->baseName, 1));
    char defaultLabel[64];
    if (!label) {
        std::snprintf(defaultLabel, sizeof defaultLabel, "%.8s%d_%s", cls->defName, number, cls->label ? cls->label : "");
        label = defaultLabel;
    }

    Entity* root = Entity_New(nullptr);
    char name[kClassNameSize + 1];
    cls->GetDefName(name);
    Entity_SetName(root, name);
    root->local = matrix;
    root->flags = (static_cast<uint32_t>(team) << kEntityTeamShift) | (user ? kEntityUser : 0u) |
                  (cls->category == kCategoryPerson ? kEntityNotDrawn : 0u);
    Classfnc_SetClass(root, cls->category);

    ObjLoadResult result{};
    if (!ReadModel(cls, root, &result))
        Error_Warning("Object class '%.8s': its model '%.8s' could not be read", cls->defName, cls->baseName);
    StoreBounds(cls, root);

    void* attached = result.collisionGiven ? ObjLoad_NewMatrix(result) : nullptr;
    EntityTableRecord* record = Entities_Add(root, number, attached, result.extraGiven ? result.extra : nullptr);
    GameObject* object = cls->BuildObject(root);
    if (!object) {
        if (record) Entities_Remove(record);
        Entity_Release(root);
        return nullptr;
    }
    object->SetLabel(label);
    return object;
}

void GameObjectClass::ComputeBounds(GameObjectClass* cls) {
    if (!cls) return;
    Entity* root = Entity_New(nullptr);
    char name[kClassNameSize + 1];
    cls->GetDefName(name);
    Entity_SetName(root, name);
    // The type code only chooses the model file: the scratch root gets no class of its own.
    root->type = cls->category;
    ObjLoadResult result{};
    ReadModel(cls, root, &result);
    StoreBounds(cls, root);
    root->type = 0;
    Entity_Release(root);
    // Parts that took a class (spinners) are dropped from the class lists now that they are
    // released; entities waiting for activation elsewhere stay where they are.
    Classfnc_Purge();
}

void GameObjectClass::GetBoundingSphere(GameObjectClass* cls, Vector* centre, float* radius) {
    if (!cls) return;
    if (cls->sphereRadius < 0.0f) ComputeBounds(cls);
    if (centre) *centre = cls->sphereCentre;
    if (radius) *radius = cls->sphereRadius;
}

// ---- costs --------------------------------------------------------------------------------

int32_t GameObjectClass_GetScrapCost(int32_t team, const GameObjectClass* cls) {
    if (!cls) return kClassCostNever;
    int32_t cost = cls->scrapCost;
    if (AlliedWithUser(team)) {
        if (CheatOn(kCheatFreeBuilding)) return 0;
        if (Seam_Missions().difficulty() == 1) cost = std::max(cost - 1, 0);
    }
    return cost;
}

int32_t GameObjectClass_GetPilotCost(int32_t team, const GameObjectClass* cls) {
    if (!cls) return 0;
    if (AlliedWithUser(team) && CheatOn(kCheatFreeBuilding)) return 0;
    return cls->pilotCost;
}

int32_t GameObjectClass_GetMaxHealth(int32_t, const GameObjectClass* cls) { return cls ? cls->health : 0; }

// ---- sides --------------------------------------------------------------------------------

int32_t GameObjectClass_SideByName(const char* name) {
    if (!name) return kSideUnknown;
    for (int32_t i = 0; i < 4; ++i)
        if (Text_CompareNoCase(name, kSideNames[i]) == 0) return i;
    return kSideUnknown;
}

const char* GameObjectClass_SideName(int32_t side) {
    return side >= 0 && side < 4 ? kSideNames[side] : kSideNames[0];
}

int32_t GameObjectClass_GuessSide(const char* fileName) {
    if (!fileName) return kSideUnknown;
    switch (fileName[0]) {
        case 'H': case 'h': case 'O': case 'o':
            return kSideAlien;
        case 'A': case 'a': case 'B': case 'b':
            return kSideAmerican;
        case 'S': case 's':
            return kSideSoviet;
        case 'P': case 'p':
            return Text_CompareNoCase(fileName, "player.odf") == 0 ? kSideAmerican : kSideUnknown;
        default:
            return kSideUnknown;
    }
}

int32_t GameObjectClass_EntityTypeOf(const char name[8], int32_t type) {
    char text[kClassNameSize + 1] = {};
    if (name) std::memcpy(text, name, kClassNameSize);
    const GameObjectClass* cls = GameObjectClass::Find(text);
    return cls ? cls->category : type;
}

void GameObjectClass_BoxFaceCentres(const GameObjectClass* cls, const Entity* entity, Vector out[6]) {
    Vector lo = cls->boxMin, hi = cls->boxMax;
    if (cls->sphereRadius == kClassRadiusUnknown || (lo.x == hi.x && lo.y == hi.y && lo.z == hi.z)) {
        const Vector c = entity->boundsCentre;
        const float r = entity->boundsRadius;
        lo = Vector{c.x - r, c.y - r, c.z - r};
        hi = Vector{c.x + r, c.y + r, c.z + r};
    }
    const Vector mid{(lo.x + hi.x) * 0.5f, (lo.y + hi.y) * 0.5f, (lo.z + hi.z) * 0.5f};
    out[0] = Vector{mid.x, mid.y, hi.z};
    out[1] = Vector{lo.x, mid.y, mid.z};
    out[2] = Vector{hi.x, mid.y, mid.z};
    out[3] = Vector{mid.x, mid.y, lo.z};
    out[4] = Vector{mid.x, lo.y, mid.z};
    out[5] = Vector{mid.x, hi.y, mid.z};
}

bool ObjectClass_IsKindGroup(int32_t kind) { return kind == 2 || kind == 5 || kind == 7 || kind == 10; }

bool ObjectClass_IsKindGroup(const GameObjectClass* cls) { return cls && ObjectClass_IsKindGroup(cls->category); }
