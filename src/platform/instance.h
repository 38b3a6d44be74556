// One running copy per profile directory: a lock file there, held while the game runs.
#pragma once

// True when this process now holds the lock (again true when it already does); false when
// another live process holds it or the lock file cannot be opened. The file is left in place:
// the lock ends with the process that holds it.
bool Plat_AcquireInstanceLock(const char* name);
// Why the last failed acquisition failed: 0 when another process holds the lock, else the
// error number of opening the lock file (the directory cannot be written, say).
int Plat_InstanceLockError();
void Plat_ReleaseInstanceLock();
