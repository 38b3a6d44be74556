#include "keymaps.h"

#include <utility>
#include <vector>

#include "textfiles.h"

namespace content {

namespace {

// One block per binding: the sink and its lines ("+ keyboard Q").
using Block = std::pair<std::string, std::vector<std::string>>;

std::string Blocks(const std::string& heading, const std::vector<Block>& blocks) {
    std::string text = heading;
    for (const Block& block : blocks) {
        text += block.first + " {\n";
        for (const std::string& line : block.second) text += "\t" + line + "\n";
        text += "}\n\n";
    }
    return text;
}

}  // namespace

std::string InputMapText() {
    std::vector<Block> blocks = {
        {"throttle_up", {"+ keyboard Q"}},       {"throttle_down", {"+ keyboard S"}},
        {"strafe_left", {"+ keyboard A"}},       {"strafe_right", {"+ keyboard D"}},
        {"pitch_down", {"+ keyboard F"}},        {"pitch_up", {"+ keyboard C"}},
        // The keyboard's channels tell the keypad's arrows and Insert ("LeftArrow", "Insert") from
        // the arrow cluster's ("GreyLeftArrow", "GreyInsert"): a player reaches for either, so
        // both turn the craft and both fire.
        {"steer_left", {"+ keyboard GreyLeftArrow"}}, {"steer_left", {"+ keyboard LeftArrow"}},
        {"steer_right", {"+ keyboard GreyRightArrow"}}, {"steer_right", {"+ keyboard RightArrow"}},
        {"turbo", {"+ keyboard W"}},             {"jump", {"+ keyboard E"}},
        {"weapon_fire", {"+ keyboard GreyInsert"}}, {"weapon_fire", {"+ keyboard Insert"}},
        {"weapon_fire", {"+ mouse LeftBtn"}},
        {"weapon_cycle", {"+ keyboard KeypadEnter"}},
        {"menu_press", {"+ keyboard Space"}},    {"alt_press", {"+ keyboard Alt"}},
        {"frontal_target", {"+ keyboard T"}},    {"deploy", {"+ keyboard K"}},
        {"eject", {"+ keyboard B"}},             {"abandon", {"+ keyboard H"}},
    };
    const char* const digits[] = {"Zero", "One", "Two", "Three", "Four", "Five", "Six", "Seven", "Eight", "Nine"};
    for (int i = 0; i < 10; ++i)
        blocks.push_back({"mode_select_" + std::to_string(i), {std::string("+ keyboard ") + digits[i], "- keyboard Control"}});
    for (int i = 0; i < 10; ++i)
        blocks.push_back({"group_select_" + std::to_string(i), {std::string("+ keyboard ") + digits[i], "+ keyboard Control"}});
    return Blocks("# Gravenholt controls: each block binds one sink to a chord of device channels.\n"
                  "# The key-binding screen rewrites the \"+ keyboard\" lines.\n\n",
                  blocks);
}

std::string KeyboardDefaultsText() {
    return Blocks("# Keyboard defaults, read after input.map whenever the keyboard is open.\n\n",
                  {
                      {"track_yaw_minus", {"+ keyboard GreyLeftArrow"}},
                      {"track_yaw_plus", {"+ keyboard GreyRightArrow"}},
                      {"track_pitch_plus", {"+ keyboard GreyUpArrow"}},
                      {"track_pitch_minus", {"+ keyboard GreyDownArrow"}},
                      {"zoom_factor_plus", {"+ keyboard GreyPlus"}},
                      {"zoom_factor_minus", {"+ keyboard GreyMinus"}},
                      {"menu_up", {"+ keyboard UpArrow"}},
                      {"menu_down", {"+ keyboard DownArrow"}},
                      {"menu_enter", {"+ keyboard Enter"}},
                      {"menu_abort", {"+ keyboard Backspace"}},
                      {"center_player", {"+ keyboard Home"}},
                      {"drop_beacon", {"+ keyboard N"}},
                  });
}

std::string MouseDefaultsText() {
    return Blocks("# Mouse defaults: the mouse steers and aims, its buttons fire and command.\n\n",
                  {
                      {"steer", {"+ mouse HorizVel"}},
                      {"pitch", {"- mouse VertVel"}},
                      {"cmd_x", {"+ mouse HorizPos"}},
                      {"cmd_y", {"+ mouse VertPos"}},
                      {"weapon_special", {"+ mouse RightBtn"}},
                      {"cmd_lclick", {"+ mouse LeftBtn"}},
                      {"cmd_rclick", {"+ mouse RightBtn"}},
                  });
}

std::string JoystickDefaultsText() {
    return Blocks("# Joystick defaults: the first stick steers and pitches; its first button fires.\n\n",
                  {
                      {"steer", {"+ joystick1 HorizPos"}},
                      {"pitch", {"- joystick1 VertPos"}},
                      {"weapon_fire", {"+ joystick1 Button1"}},
                  });
}

std::string GameKeyMapText() {
    return "# Game keys: a game-key name and its key sequence (names joined by \"+\").\n"
           "COCKPIT_VIEW      F1\n"
           "NO_COCKPIT_VIEW   F2\n"
           "NO_HUD_VIEW       F3\n"
           "FRONT_VIEW        F4\n"
           "TRACK_VIEW        F5\n"
           "FREE_EYE_VIEW     F9\n"
           "SAVE_SCREEN       F11\n"
           "PAUSE_GAME        Pause\n"
           "# Developer keys: the run-time tuning list.\n"
           "ADVANCE_VAR       Control+Shift+F6\n"
           "INC_VAR           Control+Shift+F7\n"
           "DEC_VAR           Control+Shift+F8\n";
}

std::string LabelMapText() {
    return "# Screen texts by section and entry; an entry replaces the built-in English text.\n"
           "option_box {\n"
           "\t+ flat {FLAT}\n"
           "\t+ low_res {LOW RES}\n"
           "\t+ veryhard {VERY HARD}\n"
           "}\n";
}

bool WriteKeyMaps(const std::string& dir, std::string* error) {
    return WriteTextFile(dir + "/input.map", InputMapText(), error) &&
           WriteTextFile(dir + "/tovak/keyboard.std", KeyboardDefaultsText(), error) &&
           WriteTextFile(dir + "/tovak/mouse.std", MouseDefaultsText(), error) &&
           WriteTextFile(dir + "/tovak/joystick.std", JoystickDefaultsText(), error) &&
           WriteTextFile(dir + "/gamekey.map", GameKeyMapText(), error) &&
           WriteTextFile(dir + "/label.map", LabelMapText(), error);
}

}  // namespace content
