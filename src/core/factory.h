// Persistent objects and the named-factory registry.
//
// Every AI process, unit task, event and mission script object is an sObject: it can be saved
// into a mission or saved-game file and re-created from it by its class name. Saving writes the
// class name ("name", 40 characters) and the object's save id ("sObject") ahead of the object's
// own fields; loading finds the factory by exact name, creates the object, registers the save id
// for the pointer fix-up and lets the object read its own fields.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

class sObject;
using FactoryCreate = sObject* (*)();

// One entry of the named-factory registry. The entries are filled from the ordered table of
// core/registration.cpp at start-up and never freed.
struct FactoryReg {
    const char* name;
    uint32_t reserved = 0;  // 0 for every entry
    FactoryCreate create = nullptr;
};

// Appends the entry at the end of the registry.
void Factory_Register(FactoryReg* entry);
// The first entry whose name equals name exactly (case-sensitive), else null.
const FactoryReg* Factory_Find(const char* name);
size_t Factory_Count();
const FactoryReg* Factory_At(size_t index);
// Empties the registry (start-up fills it again; tests build their own).
void Factory_Clear();

constexpr size_t kFactoryNameLength = 40;

class sObject {
public:
    sObject() = default;
    virtual ~sObject();
    sObject(const sObject&) = delete;
    sObject& operator=(const sObject&) = delete;

    // Reads the object's own fields from the current read state.
    virtual bool Load() = 0;
    // After every object of the file is loaded: turns saved ids in the object's fields into live
    // pointers. Overrides call the base last.
    virtual bool PostLoad();
    // Writes the object's own fields.
    virtual bool Save(FILE* stream) = 0;
    virtual const FactoryReg* GetFactory() const = 0;

    // An object with this set is skipped by saving.
    bool doNotSave = false;
};

// Writes the factory name, the save id and the object's own fields; an object marked do-not-save
// writes nothing and succeeds. False for a null object, one without a factory, or a failed write.
bool sObject_Save(FILE* stream, sObject* object);
// Reads an object saved by sObject_Save and returns it, or null. A name no entry carries (or an
// entry without a create function) creates nothing. When the object's own load fails, the object
// is destroyed, its save id forgotten and its queued pointer fields dropped.
// Files of version 1001 and earlier hold the save id as a 4-byte raw-bytes field.
sObject* sObject_Load();
