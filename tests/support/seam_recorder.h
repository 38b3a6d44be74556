// Recording stand-ins for the function tables of later subsystems: every action the game
// loop calls is appended to one log as "table.field"; queries answer fixed values quietly.
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
    WorldSeam world_;
    ObjectsSeam objects_;
    WeaponsSeam weapons_;
    AiSeam ai_;
    MissionsSeam missions_;
    ToolsSeam tools_;
    CoreSeam core_;
    RenderSeam render_;
    CockpitSeam cockpit_;
    AudioSeam audio_;
    ShellSeam shell_;
    NetSeam net_;
};

// The entries of the log that start with a prefix, in order.
std::vector<std::string> SeamLogFiltered(const std::string& prefix);
