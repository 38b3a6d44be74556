// One running copy per profile directory: a lock file there, held while the game runs.
#pragma once

// True when this process now holds the lock (again true when it already does); false when
// another live process holds it or the lock file cannot be opened. The file is left in place:
// the lock ends with the process that holds it.
bool Plat_AcquireInstanceLock(const char* name);
void Plat_ReleaseInstanceLock();
