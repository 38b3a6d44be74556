// The project's one random generator, in the range of the C library's rand (0 to 32767).
#pragma once
#include <cstdint>

constexpr int GV_RAND_MAX = 32767;

void Random_Seed(uint32_t seed);
// The seed a run starts with: GRAVENHOLT_SEED when it holds a number (to replay a run),
// otherwise the time of day.
uint32_t Random_StartSeed();
int Random_Next();  // 0..GV_RAND_MAX
