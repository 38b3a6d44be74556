// Puts the program's global state back to how a fresh process starts: every seam table and
// service table to its stand-ins, the hooks to their defaults, and the module counters and
// caches that tests touch to empty. The test main calls it before every test, so no test sees
// what an earlier one (in any order) left behind; fixtures need not undo what they replaced.
#pragma once

void ResetProgramStateForTest();
