// The planner's assertion reporter and its debug allocation log.
//
// DR_Assert reports a broken expectation and lets the caller go on: the text goes to standard
// output and, identically, to the debugger output (Debug_Trace). Callers test the answer
// themselves and return before touching what is missing.
//
// The allocation log wraps malloc and friends, writes one trace line per call through
// DR_DebugPrint and counts the blocks not yet released; Debug_Done runs the at-done callbacks
// and reports what is still outstanding.
#pragma once
#include <cstddef>
#include <cstdio>

#include "core/debug.h"

// Reports when value is 0 ("ASSERTION FAILED\n\n%s(%d): ASSERT (%s);\n"); always answers 0.
int DR_Assert(long value, int line, const char* file, const char* expression);
// The caller's own source name goes in DR_SOURCE_NAME, defined before the call site.
#define DR_ASSERT(cond) DR_Assert((cond) ? 1 : 0, __LINE__, DR_SOURCE_NAME, #cond)

// Levels of DR_DebugPrint; accepted and ignored, every message goes out.
constexpr int kDrLevelError = -1;
constexpr int kDrLevelTrace = -2;
// Formats at most 255 characters and sends them to the debugger output.
void DR_DebugPrint(int level, const char* format, ...) GV_PRINTF(2, 3);

// ---- The allocation log ---------------------------------------------------------------------

void* DR_Malloc(size_t size, const char* file, int line);
void* DR_Calloc(size_t items, size_t size, const char* file, int line);
// Frees *block and sets it to null; a null block pointer still writes its line.
void DR_Free(void** block, const char* file, int line);
// On failure the old block stays the caller's and null comes back.
void* DR_Realloc(void* block, size_t size, const char* file, int line);
char* DR_Strdup(const char* text, const char* file, int line);
FILE* DR_Fopen(const char* path, const char* mode);
int DR_Fclose(FILE* file, const char* file_name, int line);

using DrAtDoneFn = void (*)();
// The newest callback runs first.
void DR_AtDone(DrAtDoneFn callback);
// Registers Debug_Done to run at program exit (once).
void DR_DebugInit();
void Debug_Done();

// The heap's status. Our platform has no heap walk; the sanitizers of the test build check the
// heap for real, so the check answers "sound" and prints nothing.
constexpr int kDrHeapOk = -2;
int DR_HeapCheck();

// Counters of the log: the trace sequence number and the blocks not yet released.
int DR_Sequence();
int DR_Outstanding();

// ---- Allocation for the planner's containers ------------------------------------------------

// A zeroed block of count * size bytes (null on overflow or failure); released with std::free.
void* DR_RawCalloc(size_t count, size_t size);
// Tests: after skip more allocations through DR_RawCalloc and the log, the next count fail
// (count 0 stops it).
void DR_FailAllocations(int count, int skip = 0);

// Counters, at-done list and fault injection back to their start.
void DR_ResetForTests();
