#include "platform/random.h"

namespace {
uint32_t g_state = 1;  // the C library's rand starts as if seeded with 1
}

void Random_Seed(uint32_t seed) { g_state = seed; }

int Random_Next() {
    g_state = g_state * 214013u + 2531011u;
    return static_cast<int>((g_state >> 16) & 0x7FFF);
}
