// The class-record scheme shared by weapon, ordnance and explosion classes.
//
// Each kind keeps two lists: the prototypes, one per class label, made once from the kind's
// registration table and kept to program exit; and the records derived from definition files
// in the current mission, freed newest first at mission teardown. A record is found by its
// 8-character definition name, compared as two 32-bit words with bit 7 of every byte cleared;
// the first look-up of a name reads "<name>.odf" and derives the record from the prototype
// whose label the file names.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "core/helpers.h"
#include "core/odf.h"

constexpr uint32_t kOdfClassLabelKey = 0x92d04727;
constexpr uint32_t kClassNameMask = 0x7f7f7f7f;

// A definition name: the first 8 characters (fewer when a zero byte comes first), zero-padded,
// as two little-endian words with bit 7 of every byte cleared.
struct ClassName {
    uint32_t words[2] = {0, 0};
    bool Empty() const { return words[0] == 0 && words[1] == 0; }
    bool operator==(const ClassName& other) const { return words[0] == other.words[0] && words[1] == other.words[1]; }
};
ClassName ClassName_From(const char* name);
// The name's characters up to the first zero byte, then ".odf" (at most 12 characters).
void ClassName_FileName(const ClassName& name, char out[16]);
// The name's characters up to the first zero byte (at most 8) and a terminator.
void ClassName_Text(const ClassName& name, char out[9]);

// The common fields and the two lists of one kind. Record is the kind's class record, which
// derives from ClassRecord<Record> and provides:
//   static void MakePrototypes();            // builds the prototypes in registration order
//   Record* ReadOdf(const ClassName& name);  // on a prototype: a new derived record
template <class Record>
class ClassRecord {
public:
    Record* prototype = nullptr;  // a prototype points to itself
    uint32_t signature = 0;
    const char* label = nullptr;
    ClassName odfName;
    char fileName[16] = {};
    char nameText[9] = {};  // odfName as text, for messages and saves

    // The prototypes, built on first use (the kind's registration order).
    static const std::vector<Record*>& Prototypes() {
        auto& list = PrototypeStore();
        if (list.empty()) Record::MakePrototypes();
        return PrototypeRefs();
    }
    // The records derived in this mission, oldest first.
    static std::vector<Record*>& Loaded() {
        static std::vector<Record*> loaded;
        return loaded;
    }
    static Record* Find(const char* name) {
        const ClassName key = ClassName_From(name);
        if (key.Empty()) return nullptr;
        for (Record* r : Loaded())
            if (r->odfName == key) return r;
        char file[16];
        ClassName_FileName(key, file);
        OdfFile odf;
        if (!odf.Open(file)) return nullptr;
        char classLabel[16];
        odf.GetString(kOdfClassLabelKey, classLabel, sizeof classLabel, "");
        for (Record* p : Prototypes())
            if (p->label && Text_CompareNoCase(p->label, classLabel) == 0) return p->ReadOdf(key);
        return nullptr;
    }
    // Deletes the derived records newest first until none is left.
    static void FreeAll() {
        auto& loaded = Loaded();
        while (!loaded.empty()) {
            Record* last = loaded.back();
            delete last;  // the destructor takes it off the list
            if (!loaded.empty() && loaded.back() == last) loaded.pop_back();
        }
    }

protected:
    // The kind's constructors and destructor call these with their own `this` (the record is
    // only a Record once the kind's constructor runs).
    // A prototype: points to itself; the prototype list owns it.
    void InitPrototype(Record* self, const char* classLabel, uint32_t classSignature) {
        prototype = self;
        signature = classSignature;
        label = classLabel;
    }
    // A derived record: the prototype's signature and label, the name, listed as loaded.
    void InitDerived(Record* self, Record* from, const ClassName& name) {
        prototype = from;
        signature = from->signature;
        label = from->label;
        odfName = name;
        ClassName_FileName(name, fileName);
        ClassName_Text(name, nameText);
        Loaded().push_back(self);
    }
    // Off the loaded list (a derived record's destructor).
    void Unlist(Record* self) {
        if (prototype == self) return;
        auto& loaded = Loaded();
        for (auto it = loaded.end(); it != loaded.begin();) {
            --it;
            if (*it == self) {
                loaded.erase(it);
                break;
            }
        }
    }
    // Hands a new prototype to the list (the registration table's order).
    static void AddPrototype(std::unique_ptr<Record> record) {
        PrototypeRefs().push_back(record.get());
        PrototypeStore().push_back(std::move(record));
    }

private:
    static std::vector<std::unique_ptr<Record>>& PrototypeStore() {
        static std::vector<std::unique_ptr<Record>> store;
        return store;
    }
    static std::vector<Record*>& PrototypeRefs() {
        static std::vector<Record*> refs;
        return refs;
    }
};
