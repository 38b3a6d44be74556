// One running copy per profile directory: a lock file there, held while the game runs.
#pragma once

// True when this process now holds the lock; false when another live process holds it.
bool Plat_AcquireInstanceLock(const char* name);
void Plat_ReleaseInstanceLock();
