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

struct Action {
    const char* text;
    std::vector<const char*> sinks;  // their bindings are listed in this order
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
        {"Turn left / right", {"steer_left", "steer_right", "steer"}},
        {"Pitch up / down", {"pitch_down", "pitch_up", "pitch"}},
        {"Strafe left / right", {"strafe_left", "strafe_right"}},
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
        std::string keys;
        for (const char* sink : action.sinks) {
            auto found = bindings.find(sink);
            if (found == bindings.end()) continue;
            for (const std::string& chord : found->second) keys += (keys.empty() ? "" : " or ") + chord;
        }
        if (keys.empty()) keys = "(unbound)";
        table += "| " + std::string(action.text) + " | " + keys + " |\n";
    }
    return table;
}

}  // namespace content
