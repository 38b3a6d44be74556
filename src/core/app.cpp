#include "core/app.h"

int App_Main(const char*) { return 0; }
