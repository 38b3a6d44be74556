#include "Objkr/objload.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Objkr/animobj.h"
#include "Objkr/classfnc.h"
#include "Objkr/entitysvc.h"
#include "Objkr/geometry.h"
#include "core/bytes.h"
#include "core/helpers.h"
#include "core/debug.h"
#include "core/filecache.h"

namespace {

// ---- neighbours' stand-ins -----------------------------------------------------------------

// Until the object layer installs its own (GameObjects_InstallSeam): a part keeps its type.
int32_t StandInObjectClassType(const char*, int32_t type) { return type; }
// Until the renderer installs its light table (Light_InstallServices): lights off, no lights.
int StandInLightingSetting() { return 1; }
void StandInLightCreate(Entity*, int, float, float, const Vector&, const Vector&) {}

int AddAnimation(const uint8_t* chunk, uint32_t size, Entity* owner) { return AnimObj_Add(chunk, size, owner); }

// Until the terrain installs its own (Terrain_InstallSeam): headlight masks join no list.
void StandInTerrainAddEntity(Entity*) {}

constexpr ObjLoadServices kDefaultServices = {StandInObjectClassType, StandInLightingSetting, StandInLightCreate,
                                              StandInTerrainAddEntity, AddAnimation};
ObjLoadServices g_services = kDefaultServices;

// ---- bytes --------------------------------------------------------------------------------

size_t Available(const uint8_t* chunk, const uint8_t* end) { return end > chunk ? size_t(end - chunk) : 0; }

// A part or parent name: up to 8 characters with bit 7 cleared, zero-padded from the first zero.
void CleanName(char out[9], const uint8_t* bytes) {
    std::memset(out, 0, 9);
    for (int i = 0; i < 8 && bytes[i]; ++i) out[i] = static_cast<char>(bytes[i] & 0x7F);
}
uint32_t Word(const char* name8, int index) { return Bytes_U32(reinterpret_cast<const uint8_t*>(name8) + 4 * index); }

// The 9 rotation floats and 3 position floats from p.
Matrix ReadPlacement(const uint8_t* p) {
    Matrix m = kIdentityMatrix;
    m.right = Bytes_Vec(p);
    m.up = Bytes_Vec(p + 12);
    m.front = Bytes_Vec(p + 24);
    m.posit = DVector{Bytes_F32(p + 36), Bytes_F32(p + 40), Bytes_F32(p + 44)};
    return m;
}

std::string TagText(const void* tagBytes) {
    const auto* tag = static_cast<const uint8_t*>(tagBytes);
    std::string text;
    // A damaged file's tag is shown as escapes, so that a message never carries raw bytes.
    static const char kHex[] = "0123456789ABCDEF";
    for (int i = 0; i < 4 && tag[i]; ++i) {
        if (tag[i] >= 0x20 && tag[i] < 0x7F) {
            text.push_back(static_cast<char>(tag[i]));
        } else {
            text += "\\x";
            text.push_back(kHex[tag[i] >> 4]);
            text.push_back(kHex[tag[i] & 15]);
        }
    }
    return text;
}

PhysBody* CraftBody(Entity* root) {
    // A person's entity carries the same physics record as a craft's.
    if (!root || !root->classData || (root->type != kTypeCraft && root->type != kTypeCraft6 && root->type != kTypePerson))
        return nullptr;
    return static_cast<PhysBody*>(root->classData);
}

// ---- chunk handlers -----------------------------------------------------------------------

int NoOp(const uint8_t*, void*, const uint8_t*) { return 1; }

int ReadSdfc(const uint8_t* chunk, void* argument, const uint8_t* end) {
    auto* result = static_cast<ObjLoadResult*>(argument);
    if (!result || Available(chunk, end) < 48) return 0;
    std::memcpy(result->extra, chunk + 28, kEntityExtraSize);
    result->extraGiven = 1;
    return 1;
}

int ReadVdfc(const uint8_t* chunk, void* argument, const uint8_t* end) {
    auto* result = static_cast<ObjLoadResult*>(argument);
    if (!result || Available(chunk, end) < 56) return 0;
    if (PhysBody* body = CraftBody(result->root)) {
        const float mass = Bytes_F32(chunk + 52);
        if (std::isfinite(mass) && mass >= 0.0f) {
            // Mass and inverse mass are set together so they never disagree.
            EntityDynamics& d = body->dynamics;
            EntityDynamics_SetMass(d, mass, d.factorK);
            d.invMass = mass > 0.0001f ? 1.0f / mass : 1e30f;
        } else {
            Debug_Printf("vehicle mass %f ignored\n", double(mass));
        }
    }
    uint8_t* target = result->extraData ? result->extraData : result->vehicleScratch;
    std::memcpy(target, chunk + 32, kEntityExtraSize);
    result->extraGiven = 1;
    return 1;
}

int ReadSobj(const uint8_t* chunk, void* argument, const uint8_t* end) {
    auto* result = static_cast<ObjLoadResult*>(argument);
    if (!result || !result->root || Available(chunk, end) < 16) return 0;
    char name[16];
    // The root's own geometry goes through its list, so freeing the list gives its use back.
    GeomList_Add(result->root, ObjLoad_MakeName(name, chunk + 8, ".geo") ? name : nullptr, 0, 0);
    return 1;
}

bool SkipsGeometry(int32_t type, bool structure) {
    if (type == 38 || type == 40) return true;
    return type >= 70 && type <= (structure ? 74 : 77);
}

int ReadGeoRecords(ObjLoadResult* result, const uint8_t* chunk, const uint8_t* end, int levels, int states,
                   size_t recordSize) {
    const bool structure = recordSize == kStructurePartSize;
    Entity* root = result ? result->root : nullptr;
    const size_t available = Available(chunk, end);
    if (!root || available < 12) return 0;
    const uint64_t parts = Bytes_U32(chunk + 8);
    const uint64_t need = 12 + uint64_t(levels) * uint64_t(states) * parts * recordSize;
    if (need > available) {
        Debug_Printf("%llu part records do not fit their chunk\n", static_cast<unsigned long long>(parts));
        return 0;
    }
    std::vector<Entity*> made(size_t(parts), nullptr);
    for (int level = 0; level < levels; ++level) {
        for (int state = 0; state < states; ++state) {
            for (size_t i = 0; i < made.size(); ++i) {
                const uint8_t* record = chunk + 12 + ((size_t(level) * size_t(states) + size_t(state)) * made.size() + i) * recordSize;
                if (level == 0 && state == 0) {
                    char parentName[9], partName[9];
                    CleanName(parentName, record + 56);
                    CleanName(partName, record);
                    Entity* parent = root;
                    if (Text_CompareNoCaseN(parentName, "world", 5) != 0 &&
                        Text_CompareNoCaseN(parentName, "null", 4) != 0) {
                        parent = ObjLoad_FindByName(root, Word(parentName, 0), Word(parentName, 1));
                        if (!parent) {
                            Error_Warning("Can't find parent %s for object %s", parentName, partName);
                            parent = root;
                        }
                    }
                    made[i] = ObjLoad_MakeEntity(parent, record, recordSize, nullptr, false);
                    if (!made[i]) return 0;
                }
                const int32_t type = Bytes_I32(record + 92);
                if (SkipsGeometry(type, structure)) continue;
                char name[16];
                const bool named = ObjLoad_MakeName(name, record, ".geo");
                if (structure && !record[0]) continue;
                GeomList_Add(made[i], named ? name : nullptr, state, level);
                if (!structure && level == 2 && root->type == kTypeWeapon)
                    GeomList_Add(made[i], named ? name : nullptr, state, 3);
            }
        }
    }
    return 1;
}

int ReadSgeo(const uint8_t* chunk, void* argument, const uint8_t* end) {
    return ReadGeoRecords(static_cast<ObjLoadResult*>(argument), chunk, end, kStructureLevels, kStructureStates,
                          kStructurePartSize);
}
int ReadVgeo(const uint8_t* chunk, void* argument, const uint8_t* end) {
    return ReadGeoRecords(static_cast<ObjLoadResult*>(argument), chunk, end, kVehicleLevels, kVehicleStates,
                          kVehiclePartSize);
}

// A vehicle part record holding only a name, a placement and a type code.
void LocatorRecord(uint8_t record[kVehiclePartSize], const char* name, const uint8_t* placement, int32_t type) {
    std::memset(record, 0, kVehiclePartSize);
    Text_CopyFixed(reinterpret_cast<char*>(record), 8, name);
    std::memcpy(record + 8, placement, 48);
    for (int i = 0; i < 4; ++i) record[92 + i] = static_cast<uint8_t>(uint32_t(type) >> (8 * i));
}

int ReadVloc(const uint8_t* chunk, void* argument, const uint8_t* end) {
    auto* result = static_cast<ObjLoadResult*>(argument);
    Entity* root = result ? result->root : nullptr;
    if (!root || Available(chunk, end) < 60) return 0;
    const int32_t kind = Bytes_I32(chunk + 8);
    PhysBody* body = CraftBody(root);
    uint8_t record[kVehiclePartSize];
    switch (kind) {
    case '&': {
        // Without a physics record (a scratch model for measuring) nothing would ever drop the
        // reference a mask holds on the vehicle: no mask then.
        if (g_services.lightingSetting() == 1 || !body) {
            if (body) body->headlightMask = nullptr;
            return 1;
        }
        LocatorRecord(record, "hdlt_msk", chunk + 12, kind);
        Entity* mask = ObjLoad_MakeEntity(nullptr, record, sizeof record, nullptr, false);
        if (!mask) return 0;
        // Placed through the vehicle but not one of its parts; the extra reference keeps the
        // vehicle's records alive while the mask points at them.
        mask->up = root;
        Entity_AddRefTree(root);
        if (body) body->headlightMask = mask;
        g_services.terrainAddEntity(mask);
        GeomList_Add(mask, "hdlv_msk.geo", 0, 4);
        return 1;
    }
    case '(': {
        LocatorRecord(record, "", chunk + 12, kTypeCockpitPart);
        Entity* cockpit = ObjLoad_MakeEntity(root, record, sizeof record, nullptr, false);
        if (!cockpit) return 0;
        if (body) body->cockpitPart = cockpit;
        return 1;
    }
    case '*':
        if (body) body->locatorPoint = Bytes_Vec(chunk + 48);
        return 1;
    default:
        LocatorRecord(record, "", chunk + 12, kind);
        return ObjLoad_MakeEntity(root, record, sizeof record, nullptr, false) ? 1 : 0;
    }
}

int ReadLobj(const uint8_t* chunk, void* argument, const uint8_t* end) {
    auto* result = static_cast<ObjLoadResult*>(argument);
    if (!result || !result->root || Available(chunk, end) < 76) return 0;
    g_services.lightCreate(result->root, Bytes_I32(chunk + 8), Bytes_F32(chunk + 72), Bytes_F32(chunk + 68), Bytes_Vec(chunk + 36),
                           Bytes_Vec(chunk + 48));
    result->root->flags |= kEntityHasLight;
    return 1;
}

int ReadAnim(const uint8_t* chunk, void* argument, const uint8_t* end) {
    auto* result = static_cast<ObjLoadResult*>(argument);
    if (!result || !result->root) return 0;
    return g_services.animAdd(chunk, static_cast<uint32_t>(Available(chunk, end)), result->root) == 0;
}

int ReadColp(const uint8_t* chunk, void* argument, const uint8_t* end) {
    auto* result = static_cast<ObjLoadResult*>(argument);
    if (!result || !result->root || Available(chunk, end) < 56) return 0;
    if (result->root->type == kTypeCraft6) return 1;
    for (int i = 0; i < 12; ++i) result->collision[i] = Bytes_F32(chunk + 8 + 4 * i);
    result->collisionGiven = 1;
    return 1;
}

// ---- revisions ----------------------------------------------------------------------------

struct RevisionEntry {
    const char* extension;
    int revision;
};
constexpr RevisionEntry kRevisions[] = {
    {".msn", 2}, {".gdf", 7}, {".sdf", 8}, {".vcf", 3}, {".vdf", 7},
    {".vsf", 2}, {".vtf", 2}, {".wdf", 5}, {".xdf", 4}, {".cdf", 1},
};

// Keeps the file-cache lock for the length of a read, whatever way the read ends.
class CacheLock {
public:
    explicit CacheLock(const char* name) : name_(name), data_(Cache_UseItem(name)) {}
    ~CacheLock() {
        if (data_) Cache_UnlockItem(name_);
    }
    CacheLock(const CacheLock&) = delete;
    CacheLock& operator=(const CacheLock&) = delete;
    const uint8_t* data() const { return static_cast<const uint8_t*>(data_); }

private:
    const char* name_;
    void* data_;
};

}  // namespace

// ---- tables -------------------------------------------------------------------------------

const ObjLoadChunkEntry kObjLoadHeaderTable[2] = {
    {{'B', 'W', 'D', '2'}, 0, NoOp, kChunkFatal | kChunkMandatory},
    {{'R', 'E', 'V', 0}, 0, ObjLoad_CheckRevision, kChunkFailOnFail | kChunkArgFileName},
};

const ObjLoadChunkEntry kObjLoadStructureTable[7] = {
    {{'S', 'D', 'F', 'C'}, 0, ReadSdfc, kChunkArgResult},
    {{'S', 'O', 'B', 'J'}, 0, ReadSobj, kChunkArgResult},
    {{'S', 'G', 'E', 'O'}, 0, ReadSgeo, kChunkArgResult},
    {{'S', 'C', 'H', 'K'}, 0, NoOp, kChunkArgResult | kChunkRepeat},
    {{'L', 'O', 'B', 'J'}, 0, ReadLobj, kChunkArgResult | kChunkRepeat},
    {{'A', 'N', 'I', 'M'}, 0, ReadAnim, kChunkArgResult},
    {{'E', 'X', 'I', 'T'}, 0, nullptr, kChunkArgEntry},
};

const ObjLoadChunkEntry kObjLoadVehicleTable[14] = {
    {{'V', 'D', 'F', 'C'}, 0, ReadVdfc, kChunkArgResult},
    {{'S', 'O', 'B', 'J'}, 0, ReadSobj, kChunkArgResult},
    {{'V', 'S', 'H', 'L'}, 0, nullptr, kChunkSkipped},
    {{'V', 'L', 'O', 'C'}, 0, ReadVloc, kChunkArgResult | kChunkRepeat},
    {{'V', 'G', 'E', 'O'}, 0, ReadVgeo, kChunkArgResult},
    {{'A', 'N', 'I', 'M'}, 0, ReadAnim, kChunkArgResult},
    {{'V', 'C', 'H', 'K'}, 0, NoOp, kChunkArgResult | kChunkRepeat},
    {{'L', 'O', 'B', 'J'}, 0, ReadLobj, kChunkArgResult | kChunkRepeat},
    {{'C', 'O', 'L', 'P'}, 0, ReadColp, kChunkArgResult},
    {{'W', 'L', 'O', 'C'}, 0, NoOp, kChunkArgResult},
    {{'H', 'L', 'O', 'C'}, 0, NoOp, kChunkArgResult | kChunkCounted},
    {{'E', 'T', 'B', 'L'}, 0, NoOp, kChunkArgResult | kChunkRepeat},
    {{'S', 'P', 'C', 'S'}, 0, nullptr, kChunkSkipped},
    {{'E', 'X', 'I', 'T'}, 0, nullptr, kChunkArgEntry},
};

ObjLoadServices& ObjLoad_Services() { return g_services; }
void ObjLoad_ResetServices() { g_services = kDefaultServices; }


// ---- the chunk reader ---------------------------------------------------------------------

const uint8_t* ObjLoad_ReadChunks(const uint8_t* at, const uint8_t* end, ObjLoadChunkEntry* table, int entries,
                                  void* argument, const char* fileName) {
    if (!at || !end || !table || entries <= 0) return nullptr;
    const char* file = fileName ? fileName : "";
    const bool passData = (table[0].flags & kChunkPassData) != 0;
    bool failed = false;
    bool inCountedRun = false;
    int entry = 0;
    while (entry < entries && at < end) {
        const uint32_t size = Available(at, end) >= kChunkHeaderSize ? Bytes_U32(at + 4) : 0;
        if (size < kChunkHeaderSize || size > Available(at, end)) {
            const std::string tag = Available(at, end) >= 4 ? TagText(at) : std::string("cut");
            Error_Warning("Warning - %s chunk of %s has a bad size (%u)", tag.c_str(), file, unsigned(size));
            failed = true;
            break;
        }
        ObjLoadChunkEntry& e = table[entry];
        if (std::memcmp(at, e.tag, 4) != 0) {
            if (entry == entries - 1) break;
            ++entry;
            continue;
        }
        e.flags |= kChunkSeen;
        if (e.flags & kChunkCount) {
            if (inCountedRun) Error_Warning("Warning - too many count chunks found");
            inCountedRun = true;
        } else if (inCountedRun && !(e.flags & kChunkCounted)) {
            Error_Warning("Warning - expected count chunk");
            inCountedRun = false;
        }
        const uint32_t sources = e.flags & (kChunkArgResult | kChunkArgEntry | kChunkArgFileName);
        if (sources & (sources - 1)) Error_Warning("Warning - attempt made to pass too many variables");
        void* handlerArgument = nullptr;
        if (e.flags & kChunkArgResult) handlerArgument = argument;
        else if (e.flags & kChunkArgEntry) handlerArgument = &e;
        else if (e.flags & kChunkArgFileName) handlerArgument = const_cast<char*>(file);

        const bool ok = !e.handler || e.handler(passData ? at + kChunkHeaderSize : at, handlerArgument, at + size);
        if (!ok) {
            const std::string tag = TagText(e.tag);
            if (e.flags & kChunkFatal) {
                Error_Fatal("Error - reading of %s chunk failed\nin %s", tag.c_str(), file);
                return nullptr;
            }
            if (e.flags & kChunkWarn) Error_Warning("Error - reading of %s chunk failed\nin %s", tag.c_str(), file);
            if (e.flags & kChunkStopOnFail) return at;
            if (e.flags & kChunkFailOnFail) return nullptr;
        }
        at += size;
        if (!(e.flags & kChunkRepeat)) ++entry;
    }
    for (int i = 0; i < entries; ++i) {
        if ((table[i].flags & kChunkMandatory) && !(table[i].flags & kChunkSeen)) {
            Error_Fatal("Error - mandatory %s chunk not found\nin %s", TagText(table[i].tag).c_str(), file);
            return nullptr;
        }
    }
    return failed ? nullptr : at;
}

int ObjLoad_ReadFile(const char* name, const ObjLoadChunkEntry* table, int entries, void* argument) {
    if (!name || !table || entries <= 0) return 0;
    CacheLock lock(name);
    if (!lock.data()) return 0;
    const uint8_t* end = lock.data() + Cache_GetItemSize(name);
    ObjLoadChunkEntry header[2] = {kObjLoadHeaderTable[0], kObjLoadHeaderTable[1]};
    const uint8_t* at = ObjLoad_ReadChunks(lock.data(), end, header, 2, argument, name);
    if (!at) return 0;
    std::vector<ObjLoadChunkEntry> body(table, table + entries);
    return ObjLoad_ReadChunks(at, end, body.data(), entries, argument, name) ? 1 : 0;
}

int ObjLoad_ExpectedRevision(const char* extension) {
    if (!extension) return -1;
    for (const RevisionEntry& entry : kRevisions)
        if (Text_CompareNoCase(entry.extension, extension) == 0) return entry.revision;
    return -1;
}

int ObjLoad_CheckRevision(const uint8_t* chunk, void* fileName, const uint8_t* end) {
    const char* name = fileName ? static_cast<const char*>(fileName) : "";
    if (Available(chunk, end) < 12) return 0;
    const char* dot = std::strrchr(name, '.');
    const int expected = ObjLoad_ExpectedRevision(dot);
    if (expected < 0) {
        Error_Warning("Unknown file type found: %s", name);
        return 1;
    }
    if (Bytes_U32(chunk + 8) != uint32_t(expected)) {
        Error_Warning("Bad BWD revision for file %s", name);
        return 0;
    }
    return 1;
}

// ---- the readers --------------------------------------------------------------------------

int ObjLoad_ReadSdf(Entity* root, ObjLoadResult* result, const char* fileName) {
    if (!fileName || Text_CompareNoCaseN(fileName, "null", 4) == 0) return 1;
    if (!result) return 0;
    result->root = root;
    if (!result->extraData) result->extraData = result->extra;
    return ObjLoad_ReadFile(fileName, kObjLoadStructureTable, 7, result);
}

int ObjLoad_ReadVdf(Entity* root, ObjLoadResult* result, const char* path) {
    if (!path || Text_CompareNoCaseN(path, "null", 4) == 0) return 1;
    if (!result) return 0;
    std::string name = path;
    const size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t dot = name.find('.');
    if (dot != std::string::npos) name.erase(dot);
    if (name.empty() || Text_CompareNoCaseN(name.c_str(), "null", 4) == 0) return 1;
    name += ".vdf";
    result->root = root;
    // A vehicle's extra bytes are kept apart: the table record gets the caller's own.
    result->extraData = result->vehicleScratch;
    return ObjLoad_ReadFile(name.c_str(), kObjLoadVehicleTable, 14, result);
}

// ---- names, entities, look-ups ------------------------------------------------------------

bool ObjLoad_MakeName(char* out, const uint8_t* name, const char* extension) {
    out[0] = 0;
    if (!name) return false;
    char clean[9];
    CleanName(clean, name);
    if (!clean[0] || Text_CompareNoCaseN(clean, "null", 4) == 0) return false;
    size_t n = std::strlen(clean);
    std::memcpy(out, clean, n);
    if (extension && extension[0]) {
        std::strcpy(out + n, extension);
    } else {
        std::memset(out + n, 0, 9 - n);
    }
    return true;
}

Entity* ObjLoad_MakeEntity(Entity* parent, const uint8_t* record, size_t recordSize, const char* name8,
                           bool classOnly) {
    if (!record || recordSize < kVehiclePartSize) return nullptr;
    char name[9];
    CleanName(name, name8 ? reinterpret_cast<const uint8_t*>(name8) : record);
    Entity* e = Entity_New(parent);
    Entity_SetName(e, name);
    e->local = ReadPlacement(record + 8);
    if (Text_CompareNoCase(name, "null") == 0 && Bytes_F32(record + 8) == 0.0f && Bytes_F32(record + 12) == 0.0f &&
        Bytes_F32(record + 16) == 0.0f)
        e->local = kIdentityMatrix;
    e->flags = Bytes_U32(record + 96);
    int32_t type = Bytes_I32(record + 92);
    if (type == kTypeCraft || type == kTypePowerUp || type == kTypeCraft6) type = g_services.objectClassType(name, type);
    Classfnc_SetClass(e, type);
    if (!classOnly) {
        const Vector centre = Bytes_Vec(record + 64);
        const Vector half = Bytes_Vec(record + 80);
        e->boundsCentre = centre;
        e->boundsRadius = Bytes_F32(record + 76);
        e->boxMin = Vector{centre.x - half.x, centre.y - half.y, centre.z - half.z};
        e->boxMax = Vector{centre.x + half.x, centre.y + half.y, centre.z + half.z};
        if (type == kTypeSpinner && recordSize >= kStructurePartSize) {
            Spinner_SetRate(e, Bytes_F32(record + 104), Bytes_F32(record + 108), Bytes_F32(record + 112));
            Spinner_SetValues(e, Bytes_F32(record + 100));
        }
    }
    return e;
}

Entity* ObjLoad_FindByName(Entity* root, uint32_t word1, uint32_t word2) {
    std::vector<Entity*> stack;
    if (root) stack.push_back(root);
    while (!stack.empty()) {
        Entity* e = stack.back();
        stack.pop_back();
        if (Entity_NameWord(e, 0) == word1 && Entity_NameWord(e, 1) == word2) return e;
        if (e->next && e != root) stack.push_back(e->next);
        if (e->child) stack.push_back(e->child);
    }
    return nullptr;
}

Entity* ObjLoad_FindByName(Entity* root, const char* name) {
    char name8[8] = {};
    Text_CopyFixed(name8, 8, name);
    return ObjLoad_FindByName(root, Word(name8, 0), Word(name8, 1));
}

ObjLoadCollision* ObjLoad_NewMatrix(const ObjLoadResult& result) {
    auto* record = static_cast<ObjLoadCollision*>(std::calloc(1, sizeof(ObjLoadCollision)));
    if (!record) return nullptr;
    record->counts[0] = record->counts[1] = record->counts[2] = 4;
    static constexpr int kOrder[12] = {7, 6, 5, 4, 11, 10, 9, 8, 3, 2, 1, 0};
    for (int i = 0; i < 12; ++i) record->values[i] = result.collision[kOrder[i]];
    return record;
}
