#include "tools/telemetry.h"

#include <cmath>
#include <memory>

#include "fun3d/gameobject.h"
#include "fun3d/hovercraft.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "tools/debugvalues.h"

namespace {

float LengthOf(const Vector& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

class TelemetryGraph : public PhaseHook {
public:
    void MissionSetup() override {
        Free();
        const std::string cfg = Plat_ProfilePath("render.cfg");
        if (Plat_IniGetInt("Debug", "Telemetry", 0, cfg.c_str()) != 1) return;
        record_ = std::make_unique<VehicleTelemetry>();
        display_ = std::make_unique<TelemetryDisplay>();
    }
    void MissionCleanup() override { Free(); }
    void Render(RenderView*) override {
        if (!record_) return;
        Follow();
        TelemetryDisplay_Copy(*record_, display_.get());
    }

    void Free() {
        Detach();
        display_.reset();
        record_.reset();
    }
    TelemetryDisplay* Display() const { return display_.get(); }
    // Between tests the objects are gone already: nothing to detach from.
    void Forget() {
        craft_ = 0;
        display_.reset();
        record_.reset();
    }

private:
    // The record rides on the user's hover craft; a new user's craft takes it over.
    void Follow() {
        auto* user = dynamic_cast<HoverCraft*>(GameObject_GetUser());
        HoverCraft* current = Attached();
        if (user == current) return;
        Detach();
        if (!user) return;
        user->telemetry = record_.get();
        craft_ = user->GetObjHandle();
    }
    // The craft that holds the record, while it still exists.
    HoverCraft* Attached() const {
        if (!craft_) return nullptr;
        auto* craft = dynamic_cast<HoverCraft*>(GameObject::FromHandle(craft_));
        return craft && craft->telemetry == record_.get() ? craft : nullptr;
    }
    void Detach() {
        if (HoverCraft* craft = Attached()) craft->telemetry = nullptr;
        craft_ = 0;
    }

    std::unique_ptr<VehicleTelemetry> record_;
    std::unique_ptr<TelemetryDisplay> display_;
    uint32_t craft_ = 0;
};

TelemetryGraph g_graph;

}  // namespace

TelemetryDisplay::TelemetryDisplay() {
    SetLayer(3, 2);
    SetLayer(0, 2);
    SetLayer(7, 2);
}

void TelemetryDisplay::Draw() {
    DebugValues_Begin();
    DebugValues_Float("throt", throt);
    DebugValues_Float("steer", steer);
    DebugValues_Float("straf", straf);
    DebugValues_Float("brake", brake);
    DebugValues_Vector("posit", posit.x, posit.y, posit.z);
    DebugValues_Vector("veloc", veloc.x, veloc.y, veloc.z);
    DebugValues_Float("veloc", LengthOf(veloc));
    DebugValues_Vector("accel", accel.x, accel.y, accel.z);
    DebugValues_Float("accel", LengthOf(accel));
    DebugValues_Float("heightRatio", heightRatio);
    DebugValues_Float("thrustRatio", thrustRatio);
    DebugValues_Float("trackRatio", trackRatio);
}

void TelemetryDisplay_Copy(const VehicleTelemetry& record, TelemetryDisplay* display) {
    if (!display) return;
    display->posit = record.position;
    display->veloc = record.velocity;
    display->accel = record.force;
    display->steer = record.steering;
    display->throt = record.throttle;
    display->straf = record.strafe;
    display->brake = record.brake;
    display->heightRatio = record.heightRatio;
    display->thrustRatio = record.hoverFactor;
    display->trackRatio = record.gripRatio;
}

PhaseHook& TelemetryGraph_Member() { return g_graph; }
TelemetryDisplay* TelemetryGraph_Display() { return g_graph.Display(); }
void TelemetryGraph_Reset() { g_graph.Forget(); }
