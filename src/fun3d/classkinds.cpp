// The object kinds and their prototypes, made in the order of the object-class registration
// table. Each kind that has no object and class records of its own yet is a stand-in: its
// prototype carries the kind's label, signature and category (its base kind's when it sets
// none), reads the keys every class reads and builds a plain object. Kinds built by the layers
// above (the weapons' mines, flares, magnets and day wrecker) come from the kind maker those
// layers install.
#include "core/debug.h"
#include "core/helpers.h"
#include "core/registration.h"
#include "fun3d/buildingkinds.h"
#include "fun3d/craft.h"
#include "fun3d/gameobjectclass.h"
#include "fun3d/hovercraft.h"
#include "fun3d/objectslot.h"
#include "fun3d/person.h"
#include "fun3d/powerup.h"
#include "fun3d/tugsav.h"
#include "fun3d/walker.h"

namespace {

class StandInKindClass : public GameObjectClass {
public:
    StandInKindClass(const char* kindLabel, uint32_t kindSignature, int32_t kindCategory) {
        label = kindLabel;
        signature = kindSignature;
        category = kindCategory;
    }
    StandInKindClass(GameObjectClass* p, const char* name) : GameObjectClass(p, name) {}

    GameObject* BuildObject(Entity* entity) override { return GameObject_New<GameObject>(entity, this); }
    GameObjectClass* Derive(const char* name) override { return new StandInKindClass(this, name); }
};

struct ObjectKind {
    const char* label;
    const char* signature;
    int32_t category;
};

// Every kind, the registration table's first; kinds it does not list follow in this order.
const ObjectKind kKinds[] = {
    {"ammopack", "AMMO", kCategoryPowerUp},
    {"animbuilding", "ANMB", kCategoryBuilding},
    {"apc", "APC", kCategoryCraft},                   // PENDING(3.107)
    {"armory", "ARMR", kCategoryProducer},            // PENDING(3.133)
    {"artifact", "ARTI", kCategoryBuilding},
    {"barracks", "BARR", kCategoryBuilding},
    {"m4qbuilding", "BLDG", kCategoryBuilding},
    {"m4qbuilding2", "BLD2", kCategoryBuilding},  // a plain building
    {"m4qsign", "SIGN", kCategoryBuilding},  // a plain building
    {"camerapod", "CPOD", kCategoryPowerUp},
    {"commtower", "COMM", kCategoryBuilding},
    {"constructionrig", "CNST", kCategoryProducer},   // PENDING(3.134)
    {"factory", "FACT", kCategoryProducer},           // PENDING(3.133)
    {"geyser", "GEIZ", kCategoryBuilding},
    {"repairkit", "RKIT", kCategoryPowerUp},
    {"hover", "HOVR", kCategoryCraft},
    {"howitzer", "HWTZ", kCategoryCraft},             // PENDING(3.107)
    {"minelayer", "MLYR", kCategoryCraft},            // PENDING(3.107)
    {"person", "PERS", kCategoryPerson},
    {"powerplant", "PLNT", kCategoryBuilding},
    {"powerup", "PWUP", kCategoryPowerUp},
    {"producer", "PROD", kCategoryProducer},          // PENDING(3.132)
    {"recycler", "RCYC", kCategoryProducer},          // PENDING(3.133)
    {"repairdepot", "RDEP", kCategoryBuilding},
    {"sav", "SAV", kCategoryCraft},
    {"scavenger", "SCAV", kCategoryCraft},            // PENDING(3.135)
    {"scrap", "SCRP", kCategoryScrap},
    {"dropoff", "SDRP", kCategoryPowerUp},
    {"scrapfield", "SFLD", kCategoryBuilding},
    {"shieldtower", "SHLD", kCategoryBuilding},
    {"scrapsilo", "SILO", kCategoryBuilding},
    {"spawnpnt", "SPWN", kCategorySpawnPoint},
    {"supplydepot", "SDEP", kCategoryBuilding},
    {"tug", "TUG", kCategoryCraft},
    {"turret", "TURR", kCategoryProducer},            // PENDING(3.150)
    {"turrettank", "TTNK", kCategoryCraft},           // PENDING(3.151)
    {"walker", "WALK", kCategoryCraft},
    {"wpnpower", "WEPN", kCategoryPowerUp},
    {"wingman", "WING", kCategoryCraft},
    {"daywrecker", "WRCK", kCategoryPowerUp},         // the weapons' kind maker
    {"flare", "FLAR", kCategorySpawnPoint},           // the weapons' kind maker
    {"magnet", "MGNT", kCategorySpawnPoint},          // the weapons' kind maker
    {"mine", "MINE", kCategorySpawnPoint},            // the weapons' kind maker
    {"proximity", "PROX", kCategorySpawnPoint},       // the weapons' kind maker
    {"spraybomb", "SBMB", kCategorySpawnPoint},       // the weapons' kind maker
    {"torpedo", "TORP", kCategoryPowerUp},            // the weapons' kind maker
    {"weaponmine", "WPNM", kCategorySpawnPoint},      // the weapons' kind maker
    {"craft", "CRFT", kCategoryCraft},
};

const ObjectKind* FindKind(const char* label) {
    for (const ObjectKind& kind : kKinds)
        if (Text_CompareNoCase(kind.label, label) == 0) return &kind;
    return nullptr;
}

GameObjectKindMaker g_kindMaker = nullptr;
std::vector<GameObjectClass*>* g_prototypes = nullptr;

GameObjectClass* MakePrototype(const ObjectKind& kind) {
    const uint32_t signature = Signature(kind.signature);
    if (g_kindMaker)
        if (GameObjectClass* made = g_kindMaker(kind.label, signature, kind.category)) return made;
    if (Text_CompareNoCase(kind.label, "craft") == 0) return new CraftClass(kind.label, signature, kind.category);
    if (Text_CompareNoCase(kind.label, "hover") == 0) return new HoverCraftClass(kind.label, signature, kind.category);
    if (Text_CompareNoCase(kind.label, "wingman") == 0) {
        // A combat hover craft that holds one of its team's ten craft slots while it lives.
        auto* wingman = new HoverCraftClass(kind.label, signature, kind.category);
        wingman->teamSlotFirst = 5;
        wingman->teamSlotLast = 14;
        return wingman;
    }
    if (Text_CompareNoCase(kind.label, "powerup") == 0) return new PowerUpClass(kind.label, signature, kind.category);
    if (Text_CompareNoCase(kind.label, "ammopack") == 0)
        return new AmmoPackClass(kind.label, signature, kind.category, "weapon.wav");
    if (Text_CompareNoCase(kind.label, "repairkit") == 0)
        return new RepairKitClass(kind.label, signature, kind.category, "repair.wav");
    if (Text_CompareNoCase(kind.label, "wpnpower") == 0)
        return new WeaponPowerupClass(kind.label, signature, kind.category, "weapon.wav");
    if (Text_CompareNoCase(kind.label, "person") == 0) return new PersonClass(kind.label, signature, kind.category);
    if (Text_CompareNoCase(kind.label, "camerapod") == 0) return new CameraPodClass(kind.label, signature, kind.category);
    if (Text_CompareNoCase(kind.label, "sav") == 0) return new SAVClass(kind.label, signature, kind.category);
    if (Text_CompareNoCase(kind.label, "tug") == 0) return new TugClass(kind.label, signature, kind.category);
    if (Text_CompareNoCase(kind.label, "walker") == 0) return new WalkerClass(kind.label, signature, kind.category);
    if (GameObjectClass* building = Building_MakePrototype(kind.label, signature, kind.category)) return building;
    return new StandInKindClass(kind.label, Signature(kind.signature), kind.category);
}

std::vector<GameObjectClass*> MakeAll() {
    std::vector<GameObjectClass*> made;
    for (const ClassLabel& row : Registration_ObjectClasses()) {
        const ObjectKind* kind = FindKind(row.label);
        if (!kind) {
            // Every registered label gets a prototype; one this layer does not know is a plain
            // object of the base kind.
            Debug_Printf("warning: object class label '%s' has no kind; built as a plain object\n", row.label);
            made.push_back(new StandInKindClass(row.label, row.signature, kCategoryBase));
            continue;
        }
        made.push_back(MakePrototype(*kind));
    }
    for (const ObjectKind& kind : kKinds) {
        bool registered = false;
        for (const ClassLabel& row : Registration_ObjectClasses())
            if (Text_CompareNoCase(row.label, kind.label) == 0) registered = true;
        if (!registered) made.push_back(MakePrototype(kind));
    }
    return made;
}

}  // namespace

const std::vector<GameObjectClass*>& GameObjectClass_Prototypes() {
    // Owned to the end of the program.
    if (!g_prototypes) g_prototypes = new std::vector<GameObjectClass*>(MakeAll());
    return *g_prototypes;
}

void GameObjectClass_SetKindMaker(GameObjectKindMaker maker) {
    g_kindMaker = maker;
    if (!g_prototypes || !maker) return;
    // Prototypes made before the maker came are stand-ins: each is replaced in its place, unless
    // a loaded class still derives from it (it stays until the program ends then).
    for (GameObjectClass*& prototype : *g_prototypes) {
        if (!dynamic_cast<StandInKindClass*>(prototype)) continue;
        bool inUse = false;
        for (const GameObjectClass* loaded : GameObjectClass_Loaded()) inUse = inUse || loaded->prototype == prototype;
        if (inUse) continue;
        GameObjectClass* made = maker(prototype->label, prototype->signature, prototype->category);
        if (!made) continue;
        delete prototype;
        prototype = made;
    }
}
