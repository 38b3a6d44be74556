#include "tools/tuninglist.h"

#include <algorithm>
#include <cstdio>

#include "core/simtick.h"
#include "interface/hudbasic.h"
#include "render/palette.h"
#include "tools/debugvalues.h"

namespace {

struct ParameterStart {
    float value, minimum, maximum, step;
    const char* name;
};
const ParameterStart kStarts[kTuningParameterCount] = {
    {8.0f, 0.0f, 100.0f, 5.0f, "task dist 1"},
    {5.0f, 0.0f, 20.0f, 1.0f, "task dist 2"},
    {5.0f, 0.0f, 30.0f, 5.0f, "task speed 1"},
    {0.0f, 0.0f, 1.0f, 0.01f, "task angle 1"},
    {5.0f, 0.0f, 10.0f, 0.5f, "task time 1"},
    {0.5f, -1.0f, 1.0f, 0.1f, "task control 1"},
    {0.5f, -1.0f, 1.0f, 0.1f, "task control 2"},
    {1.0f, -2.0f, 2.0f, 0.1f, "task factor 1"},
    {1.0f, -2.0f, 2.0f, 0.1f, "task factor 2"},
    {0.005f, -2.0f, 2.0f, 0.005f, "task braccel factor"},
    {-1.0f, -5.0f, 5.0f, 0.1f, "task steer factor"},
    {1.0f, -5.0f, 5.0f, 0.1f, "task strafe factor"},
    {1.0f, -5.0f, 5.0f, 0.1f, "task pitch factor"},
};

float g_values[kTuningParameterCount];

const TuningParameter* MakeTable() {
    static TuningParameter table[kTuningParameterCount];
    for (int i = 0; i < kTuningParameterCount; ++i) {
        const ParameterStart& s = kStarts[i];
        g_values[i] = s.value;
        table[i] = TuningParameter{&g_values[i], s.minimum, s.maximum, s.step, s.name};
    }
    return table;
}
const TuningParameter* g_table = MakeTable();

// The tick rate goes no lower than this (the rate as ticks a second, with room for rounding).
constexpr float kLowestTickRate = 10.0f + 1e-3f;

void PrintLine(const char* text) {
    DebugText_Print(text, Palette_FindNearest(1.0f, 1.0f, 1.0f), Palette_FindNearest(0.0f, 0.0f, 0.0f));
}

TuningList* g_list = nullptr;

}  // namespace

const TuningParameter* TuningParameters() { return g_table; }
float TuningParameter_Value(int index) {
    return index >= 0 && index < kTuningParameterCount ? g_values[index] : 0.0f;
}

// ---- the parameter cycler ----

bool ParameterCycler::Next() {
    if (index >= kTuningParameterCount) {
        index = 0;
        return true;
    }
    if (index < kTuningParameterCount - 1) {
        ++index;
        return true;
    }
    index = kTuningParameterCount;
    return false;
}

void ParameterCycler::Print() {
    if (index < 0 || index >= kTuningParameterCount) return;
    char line[kDebugLineMax + 1];
    std::snprintf(line, sizeof line, "%s (%f)", g_table[index].name, static_cast<double>(*g_table[index].value));
    PrintLine(line);
}

void ParameterCycler::Increase() {
    if (index < 0 || index >= kTuningParameterCount) return;
    const TuningParameter& p = g_table[index];
    *p.value = std::clamp(*p.value + p.step, p.minimum, p.maximum);
}

void ParameterCycler::Decrease() {
    if (index < 0 || index >= kTuningParameterCount) return;
    const TuningParameter& p = g_table[index];
    *p.value = std::clamp(*p.value - p.step, p.minimum, p.maximum);
}

// ---- the tick rate ----

bool TickRateItem::Next() {
    entered = !entered;
    return entered;
}

void TickRateItem::Print() {
    char line[kDebugLineMax + 1];
    std::snprintf(line, sizeof line, "ticksPerSec(%f)", static_cast<double>(1.0f / Sim_TickPeriod));
    PrintLine(line);
}

void TickRateItem::Increase() { Sim_TickPeriod = 1.0f / (1.0f / Sim_TickPeriod + 10.0f); }

void TickRateItem::Decrease() {
    // At 10 ticks a second the period would divide by zero, and below it turn negative.
    const float rate = 1.0f / Sim_TickPeriod - 10.0f;
    if (rate < kLowestTickRate) return;
    Sim_TickPeriod = 1.0f / rate;
}

// ---- the list ----

TuningList::TuningList() {
    items_.push_back(std::make_unique<ParameterCycler>());
    items_.push_back(std::make_unique<TickRateItem>());
    PlaceLayers();
    TuningHook_SetCurrent(this);
}

TuningList::~TuningList() { TuningHook_Forget(this); }

void TuningList::PlaceLayers() {
    SetLayer(0, 5);
    SetLayer(9, 5);
}

void TuningList::Next() {
    if (current_ < 0) {
        current_ = 0;
        items_[0]->Next();
        return;
    }
    if (items_[static_cast<size_t>(current_)]->Next()) return;
    ++current_;
    if (current_ >= static_cast<int>(items_.size())) {
        current_ = -1;
        return;
    }
    items_[static_cast<size_t>(current_)]->Next();
}

void TuningList::Increase() {
    if (TuningItem* item = Current()) item->Increase();
}

void TuningList::Decrease() {
    if (TuningItem* item = Current()) item->Decrease();
}

void TuningList::Draw() {
    TuningItem* item = Current();
    if (!item) return;
    DebugText_SetCursor(100, 40);
    item->Print();
}

int TuningList::TuningOperation(int operation) {
    switch (operation) {
        case 0: Next(); break;
        case 1: Increase(); break;
        case 2: Decrease(); break;
        default: break;
    }
    return 0;
}

void TuningList::Reset() {
    current_ = -1;
    items_.clear();
    items_.push_back(std::make_unique<ParameterCycler>());
    items_.push_back(std::make_unique<TickRateItem>());
}

void TuningList_Next() {
    if (g_list) g_list->Next();
}
void TuningList_Increase() {
    if (g_list) g_list->Increase();
}
void TuningList_Decrease() {
    if (g_list) g_list->Decrease();
}

TuningList* TuningList_Instance() {
    static TuningList list;
    g_list = &list;
    return g_list;
}

void TuningList_InstallSeam() {
    Hud_SetTuningListMaker([] { TuningList_Instance(); });
    // When the display elements stand already, the list joins them now.
    if (HudElement_Count() > 0) TuningList_Instance();
}

void TuningList_Reset() {
    MakeTable();
    SimTick_Reset();
    if (!g_list) return;
    g_list->Reset();
    g_list->PlaceLayers();
    TuningHook_SetCurrent(g_list);
}
