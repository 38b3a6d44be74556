// Recording stand-ins for the function tables of later subsystems: every action the game
// loop calls is appended to one log as "table.field"; queries answer fixed values quietly, or
// pass through to the entry installed before where callers need its answer or effect. The
// recorder covers every entry of every table: a table that grows fails to compile here until
// its new entry is listed, and a test checks that every registered table is covered.
#pragma once
#include <string>
#include <vector>

#include "core/seams/ai.h"
#include "core/seams/audio.h"
#include "core/seams/cockpit.h"
#include "core/seams/core.h"
#include "core/seams/missions.h"
#include "core/seams/net.h"
#include "core/seams/objects.h"
#include "core/seams/planner.h"
#include "core/seams/render.h"
#include "core/seams/shell.h"
#include "core/seams/tools.h"
#include "core/seams/weapons.h"
#include "core/seams/world.h"

std::vector<std::string>& SeamLog();

// Installs the recorders for its lifetime and puts every table back afterwards. Tests replace
// single entries on top (Seam_Xxx().field = ...) to script answers.
class SeamRecorder {
public:
    SeamRecorder();
    ~SeamRecorder();
    SeamRecorder(const SeamRecorder&) = delete;
    SeamRecorder& operator=(const SeamRecorder&) = delete;

private:
    std::vector<std::vector<char>> saved_;  // every registered table, in registry order
};

// The entries of the log that start with a prefix, in order.
std::vector<std::string> SeamLogFiltered(const std::string& prefix);
