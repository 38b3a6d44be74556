// Where the rest of the program reaches the game objects: the core's objects seam and the
// entity layer's services that ask about objects and their classes.
#pragma once

// Fills, at start-up: the team records' creation and deletion and the class registry's free
// (core objects seam), the object class of a model part (ObjLoad_Services().objectClassType)
// and an owner's flag word (Objkr_Services().ownerFlags: the owning object's entity flags).
void GameObjects_InstallSeam();
