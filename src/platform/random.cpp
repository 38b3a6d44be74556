#include "platform/random.h"

#include <cstdlib>
#include <ctime>

namespace {
uint32_t g_state = 1;  // the C library's rand starts as if seeded with 1
}

void Random_Seed(uint32_t seed) { g_state = seed; }

int Random_Next() {
    g_state = g_state * 214013u + 2531011u;
    return static_cast<int>((g_state >> 16) & 0x7FFF);
}

uint32_t Random_StartSeed() {
    if (const char* text = std::getenv("GRAVENHOLT_SEED"); text && *text) {
        char* end = nullptr;
        const unsigned long value = std::strtoul(text, &end, 10);
        if (end != text && *end == '\0') return static_cast<uint32_t>(value);
    }
    return static_cast<uint32_t>(std::time(nullptr));
}
