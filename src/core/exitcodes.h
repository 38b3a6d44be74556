// The program's exit codes. They reach the shell modulo 256; the README lists them.
#pragma once

constexpr int kExitNormal = 0;              // also: another copy already runs on this profile
constexpr int kExitOutOfMemory = 107;       // memory ran out while loading
constexpr int kExitNoColourMode = 108;      // the desktop cannot show the software display
constexpr int kExitScriptFile = 110;        // a script file could not be preprocessed
constexpr int kExitNumericFatal = 111;      // the planner's numeric arrays gave up (no caller yet)
constexpr int kExitFatal = 112;             // a fatal error (its box says which)
constexpr int kExitWarningCancelled = 113;  // a warning's box was cancelled
constexpr int kExitProfileDir = 114;        // the profile directory cannot be created or written
constexpr int kExitDataFiles = 115;         // the data root's index or archives are missing or damaged
constexpr int kExitLoadFailed = 116;        // the mission or saved game to start did not load
constexpr int kExitSwapSpace = 151;         // too little memory at start
constexpr int kExitObjectPool = 152;        // the object pool ran out of memory
