#include "core/factory.h"

#include <cstring>
#include <vector>

#include "core/debug.h"
#include "core/fieldarchive.h"
#include "core/fixup.h"

namespace {
// Registration order is lookup order.
std::vector<FactoryReg*>& Registry() {
    static std::vector<FactoryReg*> registry;
    return registry;
}
}  // namespace

void Factory_Register(FactoryReg* entry) {
    if (entry) Registry().push_back(entry);
}

const FactoryReg* Factory_Find(const char* name) {
    if (!name) return nullptr;
    for (const FactoryReg* entry : Registry())
        if (entry->name && std::strcmp(entry->name, name) == 0) return entry;
    return nullptr;
}

size_t Factory_Count() { return Registry().size(); }

const FactoryReg* Factory_At(size_t index) { return index < Registry().size() ? Registry()[index] : nullptr; }

void Factory_Clear() { Registry().clear(); }

sObject::~sObject() = default;

bool sObject::PostLoad() { return true; }

bool sObject_Save(FILE* stream, sObject* object) {
    if (!object) return false;
    if (object->doNotSave) return true;
    const FactoryReg* factory = object->GetFactory();
    if (!factory || !factory->name) return false;
    char name[kFactoryNameLength] = {};
    std::strncpy(name, factory->name, sizeof name - 1);
    return Field_WriteString(stream, name, sizeof name, "name") && Field_WritePointer(stream, object, "sObject") &&
           object->Save(stream);
}

sObject* sObject_Load() {
    char name[kFactoryNameLength + 1] = {};
    if (!Field_ReadString("name", name, kFactoryNameLength)) return nullptr;
    uint32_t saved = 0;
    if (Field_Version() >= 1002) {
        if (!Field_ReadPointer("sObject", &saved)) return nullptr;
    } else {
        uint8_t bytes[4];
        if (!Field_ReadBytes("sObject", bytes, sizeof bytes)) return nullptr;
        saved = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    }
    const FactoryReg* factory = Factory_Find(name);
    if (!factory || !factory->create) {
        Debug_Printf("sObject_Load: no factory for \"%s\"\n", name);
        return nullptr;
    }
    sObject* object = factory->create();
    if (!object) return nullptr;
    const size_t queued = Field_FixupQueueSize();
    Field_RegisterPointer(saved, object);
    if (object->Load()) return object;
    Field_TruncateFixupQueue(queued);
    Field_UnregisterPointer(saved, object);
    delete object;
    return nullptr;
}
