// The cockpit warning voice: short recorded warnings to the player (units or buildings of the
// player's team attacked or lost, the player's craft hit, pilots running out). Reports become
// one of fourteen messages, queued and spoken one at a time, never over a mission's audio
// message and never while a camera state is saved on the camera stack.
#pragma once
#include <cstdint>

class GameObject;
class PhaseHook;

namespace BettyVoice {
void ReportUnit(GameObject* object);      // a unit of the player's team hit or lost (0 to 3)
void ReportBuilding(GameObject* object);  // a building of the player's team destroyed (11, 13)
void ReportPanel(GameObject* object);     // status panel: 6 for the player's craft, else 4
void ReportCraft(GameObject* object);     // status panel: 8 for the player's craft, else 7
void ReportKind(GameObject* object);      // hit by an enemy (5, with a quiet time of 30 s)
void ReportMenu();                        // 9
void ReportTower();                       // 12
void ReportResource();                    // 10: the team's pilots reached 0
}  // namespace BettyVoice

void BettyVoice_ScrapEmpty();

// The registry member's operations: world start and the per-frame play.
void BettyVoice_WorldStart();
void BettyVoice_Play();
// Reports waiting, the message names (tests).
int BettyVoice_Waiting();
const char* BettyVoice_Name(int message);
bool BettyVoice_IsFree();

PhaseHook& CockpitWarningVoice_Member();
void BettyVoice_InstallSeam();
void BettyVoice_ResetForTests();
