// What the core calls of the game objects: team records, the object pool's frame passes,
// the scrap grid and the object classes.
#pragma once
#include <cstdint>
#include <cstdio>

#include "core/mathlib.h"

struct ObjectsSeam {
    void (*teamRecordCreateAll)();
    void (*teamRecordDestroyAll)();
    void (*animBuildingPostLoad)();  // the animated buildings' step after a load
    void (*gameObjectCreateGrid)();
    void (*gameObjectFreeGrid)();
    void (*gameObjectUpdateGrid)();
    void (*gameObjectUpdateVisibility)();
    void (*gameObjectRevealAll)();
    void (*gameObjectRemoveAll)();
    void (*sendNetUpdates)();
    // While paused: the user's object alone, its controller's step then its simulate step.
    void (*stepUserObject)(float frameTime);
    void (*scrapCreateGrid)();
    void (*scrapFreeGrid)();
    void (*scrapRefreshGrid)();
    void (*classesFreeAll)();  // the object classes loaded during the mission

    // Saved games and mission files: the object and team sections.
    bool (*saveAll)(FILE* stream);
    bool (*loadAll)();
    bool (*postLoadAll)();
    // After a failed load: every object the load built goes, with its entities.
    void (*discardLoaded)();
    bool (*teamSaveAll)(FILE* stream);
    bool (*teamLoadAll)();
    bool (*teamPostLoadAll)();
    // A new mission on a bare map: the user's "player" object at the position (false when
    // it cannot be built).
    bool (*buildStartPlayer)(const Vector& position);
    // The user's object, when there is one, gets its user process and the pilot "asuser".
    void (*startUserObject)();
    // Network identities for every loaded object except spawn points, geysers and the user's
    // object, which registers itself last: local ones on the host, remote ones on a client.
    void (*registerNetObjects)(bool host);
    // The serial counter from which every new object takes its number.
    uint32_t (*getSerialCounter)();
    void (*setSerialCounter)(uint32_t value);
};

ObjectsSeam& Seam_Objects();
