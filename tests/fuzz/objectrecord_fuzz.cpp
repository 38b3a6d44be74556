// The object records peers send: a power-up's state and extra records, a received "RG", an
// object's state record with its header, a pilot on foot's state and a building's health record. The first byte picks the reader; the rest is the
// record, copied exactly so that a read past it is caught. Any bytes are refused or applied.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Objkr/entity.h"
#include "core/registration.h"
#include "core/seams/net.h"
#include "fun3d/building.h"
#include "fun3d/objectpool.h"
#include "fun3d/objectslot.h"
#include "fun3d/person.h"
#include "fun3d/powerup.h"

namespace {

struct Objects {
    PowerUp* powerUp;
    AmmoPack* ammoPack;
    GameObject* receiver;
    Person* person;
    Building* building;
};

Entity* NewRoot(const char* name, int32_t type) {
    Entity* root = Entity_New(nullptr);
    Entity_SetName(root, name);
    root->type = type;
    return root;
}

const Objects& FuzzObjects() {
    static const Objects objects = [] {
        GameObject_PoolInit();
        auto* cls = new PowerUpClass("powerup", Signature("PWUP"), kCategoryPowerUp);
        cls->health = 100;
        auto* ammoCls = new AmmoPackClass("ammopack", Signature("AMMO"), kCategoryPowerUp);
        ammoCls->health = 100;
        Objects made{};
        made.powerUp = GameObject_New<PowerUp>(NewRoot("fuzz", kTypePowerUp), cls);
        made.ammoPack = GameObject_New<AmmoPack>(NewRoot("fuzzammo", kTypePowerUp), ammoCls);
        made.receiver = GameObject_New<PowerUp>(NewRoot("fuzzcraft", kTypeCraft), cls);
        auto* personCls = new PersonClass("person", Signature("PERS"), kCategoryPerson);
        personCls->health = 100;
        Entity* personRoot = NewRoot("fuzzpilot", kTypePerson);
        personRoot->classData = Person_NewRecord();
        made.person = GameObject_New<Person>(personRoot, personCls);
        auto* buildingCls = new BuildingClass("m4qbuilding", Signature("BLDG"), kCategoryBuilding);
        buildingCls->health = 100;
        made.building = GameObject_New<Building>(NewRoot("fuzzbldg", kTypeBuilding), buildingCls);
        made.powerUp->netId = 1;
        made.ammoPack->netId = 2;
        made.receiver->netId = 3;
        Seam_Net().findObject = [](uint32_t id) -> NetObject* {
            const Objects& o = FuzzObjects();
            return id == 1 ? static_cast<NetObject*>(o.powerUp)
                 : id == 2 ? static_cast<NetObject*>(o.ammoPack)
                 : id == 3 ? static_cast<NetObject*>(o.receiver)
                           : nullptr;
        };
        return made;
    }();
    return objects;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const Objects& o = FuzzObjects();
    std::vector<uint8_t> record(data + 1, data + size);
    const int32_t length = static_cast<int32_t>(record.size());
    // The readers keep their state between runs: clear the marks a record may leave.
    o.powerUp->entity->flags &= ~(kEntityDead | kEntityDestroyRequested | 0x80u);
    o.ammoPack->entity->flags &= ~(kEntityDead | kEntityDestroyRequested | 0x80u);
    o.person->entity->flags &= ~(kEntityDead | kEntityDestroyRequested | 0x80u);
    o.building->entity->flags &= ~(kEntityDead | kEntityDestroyRequested | 0x80u);
    uint8_t out[64];
    int32_t written = 0;
    switch (data[0] % 6) {
        case 0:
            o.powerUp->UnpackNetState(record.data(), length);
            o.powerUp->PackNetState(out, written);
            break;
        case 1:
            o.powerUp->UnpackNetExtra(record.data(), length);
            o.powerUp->PackNetExtra(out, written);
            break;
        case 2:
            PowerUp_ReceiveGrant(record.data(), length);
            break;
        case 3:
            o.ammoPack->ReceiveRecord(7, record.data(), length);
            break;
        case 4:
            // A building's health record: a short or non-finite one is refused.
            o.building->UnpackNetState(record.data(), length);
            o.building->PackNetState(out, written);
            break;
        default:
            o.person->UnpackNetState(record.data(), length);
            o.person->PackNetState(out, written);
            break;
    }
    return 0;
}
