// The start-up registration tables.
//
// Every registry of the program is filled from the ordered tables below, at start-up, in the
// order the game relies on (registries keep their entries in this order, and with equal
// priorities the subsystem registry calls its members in it). Registration_Init fills the
// named-factory registry; the owners of the other registries build theirs from these tables.
// When an owner lands it fills in its part of its table (create functions, prototypes, module
// objects); names, order, signatures and priorities are fixed here.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/factory.h"

// ---- Name ids and signatures ----

// An 8-character name id: the first 8 bytes of a name, zero-padded, read as one little-endian
// 64-bit value. Definition and class names are compared by id.
constexpr uint64_t NameId(const char* name) {
    uint64_t id = 0;
    for (int i = 0; i < 8 && name && name[i]; ++i) id |= static_cast<uint64_t>(static_cast<uint8_t>(name[i])) << (8 * i);
    return id;
}

// A class signature: the value of the multi-character constant ('HOVR' is 0x484F5652; the
// three-letter 'APC', 'SAV' and 'TUG' have a zero top byte).
constexpr uint32_t Signature(const char* text) {
    uint32_t value = 0;
    for (int i = 0; i < 4 && text[i]; ++i) value = value << 8 | static_cast<uint8_t>(text[i]);
    return value;
}

// ---- Tables ----

// 1. The named-factory registry: 133 class names. `create` is filled by each class's owner.
std::span<FactoryReg> Registration_FactoryTable();
// The table's entry of that name (compared exactly), null when the table has none.
FactoryReg* Registration_FactoryEntry(const char* name);
// An owner filling in its class's create function at start-up (nothing for a name not in the table).
void Registration_SetCreate(const char* name, FactoryCreate create);

// 2. Mission-script stems (a map whose name matches none runs "empty").
std::span<const char* const> Registration_MissionStems();

// 3-6. Class labels with their signatures, in registration order.
struct ClassLabel {
    const char* label;
    uint32_t signature;
};
std::span<const ClassLabel> Registration_ObjectClasses();  // 39 kinds, then 8 registered with the weapons
std::span<const ClassLabel> Registration_WeaponClasses();
std::span<const ClassLabel> Registration_OrdnanceClasses();
std::span<const ClassLabel> Registration_ExplosionClasses();

// 7. Subsystem registry members. The operations each member overrides, as bits by slot.
enum SubsystemOp : uint16_t {
    kOpStartup = 1u << 0,
    kOpShutdown = 1u << 1,
    kOpMissionSetup = 1u << 2,
    kOpPostLoad = 1u << 3,
    kOpMissionEnd = 1u << 4,
    kOpMissionCleanup = 1u << 5,
    kOpFrame = 1u << 6,
    kOpSimulate = 1u << 7,
    kOpRender = 1u << 8,
    kOpDrawOverlay = 1u << 9,
    kOpOnEntityAdded = 1u << 10,
    kOpOnEntityRemoved = 1u << 11,
    kOpOnObjectAdded = 1u << 12,
    kOpOnObjectRemoved = 1u << 13,
};
struct SubsystemMember {
    const char* name;
    uint16_t overrides;         // SubsystemOp bits
    int32_t startupPriority;    // every other priority is 0
    bool frameBroadcast;        // flag bit 0 set (takes part in the frame broadcast)
};
std::span<const SubsystemMember> Registration_SubsystemMembers();

// 8. Display elements, in registration order.
std::span<const char* const> Registration_DisplayElements();

// 9. Keyed texts registered at start-up.
struct KeyedText {
    const char* section;
    const char* entry;
    const char* defaultText;
};
std::span<const KeyedText> Registration_KeyedTexts();

// 10. Definition names kept as name ids for comparison.
#define GV_DEF_NAMES(X)                                                                                          \
    X(abbarr) X(abcafe) X(abcomm) X(abhang) X(abhqcp) X(ablpad) X(ablpow) X(abshld) X(abspow) X(absilo)       \
    X(abstor) X(absupp) X(abtowe) X(abtowe2) X(abwpow) X(apammo) X(apcamr) X(apcann) X(apmort) X(aprepa)     \
    X(aprock) X(apspec) X(apspln) X(apwrck) X(assold) X(aspilo) X(asuser) X(avapc) X(avartl) X(avcnst)       \
    X(avfigh) X(avhaul) X(avhraz) X(avland) X(avltnk) X(avmine) X(avmuf) X(avrckt) X(avrecy) X(avsav)        \
    X(avscav) X(avslf) X(avtank) X(avturr) X(avwalk) X(bbbar) X(bbcom2) X(bbcomm) X(bbhqcp) X(bvartl)        \
    X(bvhaul) X(bvhpc) X(bvhraz) X(bvltnk) X(bvmine) X(bvmuf) X(bvraz) X(bvrckt) X(bvrecy) X(bvscav)         \
    X(bvslf) X(bvtank) X(bvturr) X(bvwalk) X(grccmi) X(gsplint) X(nparr) X(sbbarr) X(sbcafe) X(sbcomm)       \
    X(sbhang) X(sbhqcp) X(sblpad) X(sblpow) X(sbmbld) X(sbshld) X(sbsilo) X(sbspow) X(sbtowe) X(sbwpow)      \
    X(scrap) X(spspln) X(sspilo) X(sssold) X(ssuser) X(svapc) X(svartl) X(svcnst) X(svfigh) X(svhaul)        \
    X(svhraz) X(svltnk) X(svmine) X(svmuf) X(svrckt) X(svrecy) X(svsav) X(svscav) X(svslf) X(svtank)         \
    X(svturr) X(svwalk)

enum class DefName : int {
#define GV_DEF_NAME_ENUM(n) n,
    GV_DEF_NAMES(GV_DEF_NAME_ENUM)
#undef GV_DEF_NAME_ENUM
        Count
};
constexpr size_t kDefNameCount = static_cast<size_t>(DefName::Count);
std::span<const char* const> Registration_DefNames();
// The id of a definition name, e.g. DefName_Id(DefName::avrecy) == NameId("avrecy").
uint64_t DefName_Id(DefName name);

// 11. The ordnance id table, by index.
std::span<const char* const> Registration_OrdnanceIds();

// 12. Cursor files loaded at start-up (32 by 32); the shell's saved cursor starts as the first.
std::span<const char* const> Registration_CursorFiles();

// ---- Start-up ----

// Fills the named-factory registry from its table (emptying it first, so running it again gives
// the same registry) and runs the compression library's start-up check. False when the check
// fails.
bool Registration_Init();
