// What the core calls of the game objects: team records, the object pool's frame passes,
// the scrap grid and the object classes.
#pragma once

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
};

ObjectsSeam& Seam_Objects();
