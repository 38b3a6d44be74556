// The run-time tuning list: a developer display that steps through a few numbers of the running
// game from the keyboard (the game keys "next", "raise" and "lower") and shows the current one at
// (100, 40), white on black. Its items are a cycler over thirteen named parameters and the
// simulation tick rate. The parameters are globals of their own that nothing else reads yet:
// they exist to be changed here.
#pragma once
#include <memory>
#include <vector>

#include "fun3d/proginput.h"
#include "interface/hudelement.h"

// One entry of the list.
class TuningItem {
public:
    virtual ~TuningItem() = default;
    // Steps inside the item; false when the item is finished and the list moves on.
    virtual bool Next() { return false; }
    virtual void Print() {}
    virtual void Increase() {}
    virtual void Decrease() {}
};

struct TuningParameter {
    float* value;
    float minimum, maximum, step;
    const char* name;
};
constexpr int kTuningParameterCount = 13;
// The table, in cycling order.
const TuningParameter* TuningParameters();
// The value of a parameter by index (0..12); 0 for another index.
float TuningParameter_Value(int index);

// Cycles the parameter table: index 13 means "not entered".
class ParameterCycler : public TuningItem {
public:
    bool Next() override;
    void Print() override;  // "%s (%f)", name and value
    void Increase() override;
    void Decrease() override;
    int index = kTuningParameterCount;
};

// The simulation tick rate, in steps of 10 ticks a second; never down to 10 or fewer.
class TickRateItem : public TuningItem {
public:
    bool Next() override;  // enters on the first call, leaves on the second
    void Print() override;  // "ticksPerSec(%f)"
    void Increase() override;
    void Decrease() override;
    bool entered = false;
};

class TuningList : public HudElement, public TuningTarget {
public:
    TuningList();
    ~TuningList() override;
    void Draw() override;
    int TuningOperation(int operation) override;  // 0 next, 1 raise, 2 lower

    void PlaceLayers();  // layers 0 and 9, priority 5
    TuningItem* Current() const { return current_ < 0 ? nullptr : items_[static_cast<size_t>(current_)].get(); }

    void Next();
    void Increase();
    void Decrease();
    // Back to its state at construction: no current item, the cycler not entered.
    void Reset();

private:
    std::vector<std::unique_ptr<TuningItem>> items_;
    int current_ = -1;
};

void TuningList_Next();
void TuningList_Increase();
void TuningList_Decrease();

// The one list; built with the display elements (the display base asks for it in the
// display-element table's order) and the current tuning target from then on.
TuningList* TuningList_Instance();
// Hands the display base the list's maker (start-up, before the display elements are built).
void TuningList_InstallSeam();
// The parameters and the tick period back to their start values, the list back to its state at
// construction and into its layers (tests, after the display's layers were emptied).
void TuningList_Reset();
