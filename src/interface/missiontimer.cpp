#include "interface/missiontimer.h"

#include "interface/hudbasic.h"

void MissionTimer_InitCountUp(MissionTimer& timer, int32_t start, int32_t warn, int32_t alert) {
    timer.timer = start;
    timer.frac = 1.0f;
    timer.warn = warn;
    timer.alert = alert;
    timer.countdown = 0;
    timer.active = 1;
}

void MissionTimer_Stop(MissionTimer& timer) { timer.active = 0; }

void MissionTimer_Stop() { MissionTimer_Stop(MissionTimer_Instance()); }

void MissionTimer_StartCountUp(int32_t seconds, int32_t warn, int32_t alert) {
    MissionTimer_InitCountUp(MissionTimer_Instance(), seconds, warn, alert);
    MissionTimer_Show();
}

int32_t MissionTimer_GetTime() { return MissionTimer_Instance().timer; }
