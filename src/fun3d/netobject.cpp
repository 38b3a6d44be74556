#include "fun3d/netobject.h"

#include "core/seams/net.h"

NetObject::~NetObject() { Seam_Net().identityGone(this); }
