#include "howtoplay.h"

#include <map>
#include <sstream>
#include <vector>

#include "keymaps.h"

namespace content {

namespace {

// The bindings of every sink in a key map text: "sink {" opens a block, "+ device channel" lines
// form one chord of channels held together; "-" lines are channels that must not be held, or
// alone in a block, an axis read inverted.
void ReadBindings(const std::string& text, std::map<std::string, std::vector<std::string>>* out) {
    std::istringstream in(text);
    std::string line, sink, chord, inverted;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line.size() > 2 && line.compare(line.size() - 2, 2, " {") == 0) {
            sink = line.substr(0, line.size() - 2);
            chord.clear();
            inverted.clear();
            continue;
        }
        if (line == "}") {
            // A block of "-" lines alone is an inverted axis: it is still the sink's binding.
            if (chord.empty()) chord = inverted;
            if (!sink.empty() && !chord.empty()) (*out)[sink].push_back(chord);
            sink.clear();
            continue;
        }
        std::istringstream words(line);
        std::string sign, device, channel;
        if (!(words >> sign >> device >> channel) || (sign != "+" && sign != "-")) continue;
        std::string name = channel;
        if (device == "mouse") name = "mouse " + channel;
        else if (device.rfind("joystick", 0) == 0) name = device + " " + channel;
        std::string& into = sign == "+" ? chord : inverted;
        into = into.empty() ? name : name + "+" + into;
    }
}

// Game keys: a name and its key sequence, one per line.
void ReadGameKeys(const std::string& text, std::map<std::string, std::vector<std::string>>* out) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string name, keys;
        if (words >> name >> keys) (*out)[name].push_back(keys);
    }
}

// A channel as the player finds it on the device: the keypad's keys by their keypad number and
// the arrow printed on them, the arrow cluster and the six keys above it by their own labels,
// mouse and stick movements by the way they are moved. Names without an entry read as they are
// ("Q", "F1", "Pause").
std::string PlayerName(const std::string& channel) {
    static const std::map<std::string, std::string> kNames = {
        {"LeftArrow", "Keypad 4 (Left)"},
        {"RightArrow", "Keypad 6 (Right)"},
        {"UpArrow", "Keypad 8 (Up)"},
        {"DownArrow", "Keypad 2 (Down)"},
        {"Home", "Keypad 7 (Home)"},
        {"End", "Keypad 1 (End)"},
        {"PageUp", "Keypad 9 (PgUp)"},
        {"PageDown", "Keypad 3 (PgDn)"},
        {"Insert", "Keypad 0 (Ins)"},
        {"Delete", "Keypad . (Del)"},
        {"KeypadEnter", "Keypad Enter"},
        {"GreyPlus", "Keypad +"},
        {"GreyMinus", "Keypad -"},
        {"GreyStar", "Keypad *"},
        {"GreySlash", "Keypad /"},
        {"GreyLeftArrow", "Left arrow"},
        {"GreyRightArrow", "Right arrow"},
        {"GreyUpArrow", "Up arrow"},
        {"GreyDownArrow", "Down arrow"},
        {"GreyInsert", "Insert"},
        {"GreyDelete", "Delete"},
        {"GreyHome", "Home"},
        {"GreyEnd", "End"},
        {"GreyPageUp", "Page Up"},
        {"GreyPageDown", "Page Down"},
        {"mouse LeftBtn", "left mouse button"},
        {"mouse RightBtn", "right mouse button"},
        {"mouse HorizVel", "the mouse"},
        {"mouse VertVel", "the mouse"},
        {"joystick1 HorizPos", "the joystick"},
        {"joystick1 VertPos", "the joystick"},
        {"joystick1 Button1", "joystick button 1"},
    };
    std::string readable;
    size_t from = 0;
    // A chord's channels are joined by '+'.
    for (;;) {
        const size_t plus = channel.find('+', from);
        const std::string part = channel.substr(from, plus == std::string::npos ? std::string::npos : plus - from);
        const auto found = kNames.find(part);
        readable += found == kNames.end() ? part : found->second;
        if (plus == std::string::npos) break;
        readable += " + ";
        from = plus + 1;
    }
    return readable;
}

struct Action {
    const char* text;
    std::vector<const char*> sinks;  // their bindings are listed in this order
    // The first two sinks are the two ways of one movement (left and right): their bindings are
    // shown in pairs, "Left arrow / Right arrow".
    bool paired = false;
};

}  // namespace

std::string HowToPlayTable() {
    std::map<std::string, std::vector<std::string>> bindings;
    ReadBindings(InputMapText(), &bindings);
    ReadBindings(KeyboardDefaultsText(), &bindings);
    ReadBindings(MouseDefaultsText(), &bindings);
    ReadBindings(JoystickDefaultsText(), &bindings);
    ReadGameKeys(GameKeyMapText(), &bindings);

    const std::vector<Action> actions = {
        {"Thrust forward", {"throttle_up"}},
        {"Thrust back", {"throttle_down"}},
        {"Turbo", {"turbo"}},
        {"Turn left / right", {"steer_left", "steer_right", "steer"}, true},
        {"Pitch up / down", {"pitch_up", "pitch_down", "pitch"}, true},
        {"Strafe left / right", {"strafe_left", "strafe_right"}, true},
        {"Jump", {"jump"}},
        {"Fire", {"weapon_fire"}},
        {"Special weapon", {"weapon_special"}},
        {"Shift weapon", {"weapon_cycle"}},
        {"Target ahead", {"frontal_target"}},
        {"Drop a camera pod", {"drop_beacon"}},
        {"Deploy", {"deploy"}},
        {"Eject", {"eject"}},
        {"Hop out", {"abandon"}},
        {"Cockpit view", {"COCKPIT_VIEW"}},
        {"View without cockpit", {"NO_COCKPIT_VIEW"}},
        {"View without HUD", {"NO_HUD_VIEW"}},
        {"Chase view", {"FRONT_VIEW"}},
        {"Track view", {"TRACK_VIEW"}},
        {"Free eye", {"FREE_EYE_VIEW"}},
        {"Screenshot", {"SAVE_SCREEN"}},
        {"Pause", {"PAUSE_GAME"}},
    };
    std::string table = "| Action | Default |\n|---|---|\n";
    for (const Action& action : actions) {
        std::vector<std::string> ways;
        size_t next = 0;
        if (action.paired) {
            const std::vector<std::string>& one = bindings[action.sinks[0]];
            const std::vector<std::string>& other = bindings[action.sinks[1]];
            for (size_t i = 0; i < one.size() || i < other.size(); ++i)
                ways.push_back((i < one.size() ? PlayerName(one[i]) : "-") + " / " +
                               (i < other.size() ? PlayerName(other[i]) : "-"));
            next = 2;
        }
        for (; next < action.sinks.size(); ++next) {
            auto found = bindings.find(action.sinks[next]);
            if (found == bindings.end()) continue;
            for (const std::string& chord : found->second) ways.push_back(PlayerName(chord));
        }
        std::string keys;
        for (const std::string& way : ways) keys += (keys.empty() ? "" : " or ") + way;
        if (keys.empty()) keys = "(unbound)";
        table += "| " + std::string(action.text) + " | " + keys + " |\n";
    }
    return table;
}

}  // namespace content
