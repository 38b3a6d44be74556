// The project's one random generator, in the range of the C library's rand (0 to 32767).
#pragma once
#include <cstdint>

constexpr int GV_RAND_MAX = 32767;

void Random_Seed(uint32_t seed);
int Random_Next();  // 0..GV_RAND_MAX
