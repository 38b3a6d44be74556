// The game keys' reach into the camera, the display elements, the saved-game dialogs and, until
// they are wired in, the shell's menus, the audio messages and the network, in one table.
#include "interface/gamekeys.h"

#include "core/savegame.h"
#include "core/seams/audio.h"
#include "fun3d/gameobject.h"
#include "interface/camera.h"
#include "interface/hudbasic.h"

namespace {
void Nothing() {}
}  // namespace

const GameKeyActions& GameKey_PendingActions() {
    static const GameKeyActions actions = {
        [](int mode, GameObject* object) { Camera_SetMode(object, mode); },
        [] { return static_cast<int>(Camera_ModeId()); },
        ScreenTint_Flash,
        MissionTimer_Toggle,
        Nothing,                                  // PENDING(11.120) the in-game menu
        SaveGame_LoadDialog,
        [] { SaveGame_SaveDialog(0); },
        Nothing,                                  // PENDING(9.124) the info panel
        Nothing,                                  // PENDING(9.124) the objectives panel
        [] { Seam_Audio().audioMessageRepeat(); },
        Nothing,                                  // PENDING(12.108) the chat entry
        Nothing,                                  // PENDING(12.108) chat to all
        Nothing,                                  // PENDING(12.108) ally
        Nothing,                                  // PENDING(12.108) end the alliance
        Nothing,                                  // PENDING(12.120) the scoreboard
        Nothing,                                  // PENDING(12.105) the network debug display
        [] {
            const GameObject* user = GameObject_GetUser();
            return user && user->objClass ? user->objClass->classFlags : uint32_t{0};
        },
        [] { return int32_t{0}; },                // PENDING(12.122) the session's game settings
        GameObject_GetUser,
    };
    return actions;
}
