#include "definitions.h"

#include "deployable_definitions.h"
#include "device_definitions_a.h"
#include "device_definitions_b.h"
#include "odfkeys.h"
#include "textfiles.h"
#include "torpedo_definitions.h"
#include "effect_definitions.h"
#include "weapon_definitions.h"

namespace content {

namespace {

// Keys of the object classes, by the hash the game looks them up by.
constexpr uint32_t kClassLabel = 0x92D04727u;
constexpr uint32_t kGeometryName = 0x0794B13Bu;
constexpr uint32_t kScrapCost = 0x9DE6F3F3u;
constexpr uint32_t kScrapValue = 0x262C569Bu;
constexpr uint32_t kPilotCost = 0xCDB7D0F4u;
constexpr uint32_t kBuildTime = 0x0ED76D3Au;
constexpr uint32_t kHealth = 0x19971F1Bu;
constexpr uint32_t kAmmo = 0x21C4FF9Bu;
constexpr uint32_t kFriendProcess = 0x98D7239Cu;
constexpr uint32_t kEnemyProcess = 0x48AD2AEAu;
constexpr uint32_t kWeaponLink = 0xBA10BBDDu;
constexpr uint32_t kDistance = 0x020844ADu;
constexpr uint32_t kSideName = 0x3957BD3Au;
constexpr uint32_t kScale1 = 0x21C2C4F0u;
constexpr uint32_t kHardpointPrefix = 0x157BA160u;  // numbered 1..5
constexpr uint32_t kWeaponPrefix = 0xFBF47DBAu;     // numbered 1..5
constexpr uint32_t kSensorRange = 0x487F8E17u;
constexpr uint32_t kConcealSpeed = 0xF91CC422u;
constexpr uint32_t kRadarRange = 0x398DD5D0u;
constexpr uint32_t kTargetRange = 0x006315BDu;
// The radio lines a craft speaks: its replies to orders, then its reports.
constexpr uint32_t kVoiceReplies = 0xE0D32ED5u;
constexpr uint32_t kVoiceReports = 0x4438FCF2u;
constexpr uint32_t kSensorPeriod = 0xDE687E15u;
constexpr uint32_t kAmmoPackAmount = 0x1EE6DDFAu;
constexpr uint32_t kRepairKitAmount = 0x6B176FDAu;
constexpr uint32_t kPodTurn = 0x73ACCD30u;
// How hard a hover craft's pads hold it against sliding when the driver asks for less than full
// throttle: at rest, and at top speed.
constexpr uint32_t kTractionRest = 0x6B8ECF11u;
constexpr uint32_t kTractionTop = 0x8EC6E538u;
constexpr uint32_t kHoverHeightKey = 0x4F358485u;
constexpr uint32_t kLiftBoostKey = 0xD4247E4Fu;
constexpr uint32_t kTopForwardKey = 0x9410FCFFu;
constexpr uint32_t kCruiseAltitudeKey = 0x2D6A7A45u;

struct Definition {
    std::string name;
    std::string text;
};

// A numbered key: the prefix's text followed by the number.
std::string Numbered(uint32_t prefix, int number, std::string* error) {
    const std::string& text = KeyText(prefix);
    if (text.empty() && error && error->empty()) *error = "no key text for a numbered key's prefix in " + KeyDictionaryPath();
    return text + std::to_string(number);
}

// What most classes set; a field left at its "unset" value is not written.
struct ClassValues {
    std::string label;
    std::string geometry;
    int scrapCost = -1;
    int scrapValue = -1;
    int pilotCost = -1;
    float buildTime = -1.0f;
    int health = -1;
    int ammo = -1;
    std::string friendProcess;
    std::string enemyProcess;
    std::string side;
    int hardpoints = 0;  // "hp1" .. "hpN": the first N hardpoints, slot by slot
};

OdfWriter ClassDefinition(const ClassValues& v, std::string* missing) {
    OdfWriter w;
    w.Section("GameObjectClass").String(kClassLabel, v.label).String(kGeometryName, v.geometry);
    if (v.scrapCost >= 0) w.Int(kScrapCost, v.scrapCost);
    if (v.scrapValue >= 0) w.Int(kScrapValue, v.scrapValue);
    if (v.pilotCost >= 0) w.Int(kPilotCost, v.pilotCost);
    if (v.buildTime >= 0.0f) w.Float(kBuildTime, v.buildTime);
    if (v.health >= 0) w.Int(kHealth, v.health);
    if (v.ammo >= 0) w.Int(kAmmo, v.ammo);
    if (!v.friendProcess.empty()) w.String(kFriendProcess, v.friendProcess);
    if (!v.enemyProcess.empty()) w.String(kEnemyProcess, v.enemyProcess);
    if (!v.side.empty()) w.String(kSideName, v.side);
    // A slot finds its hardpoint by the first three characters of the part's name, so each slot
    // names its own: the sample models call their hardpoints "hp1..", "hp2.." and so on.
    for (int n = 1; n <= v.hardpoints; ++n)
        w.String(Numbered(kHardpointPrefix, n, missing), "hp" + std::to_string(n));
    return w;
}

// The guns each sample craft carries, hardpoint by hardpoint (the first names hardpoint 1), never
// more than the class has mounts. The fight's craft, the player's and both sides' tanks and
// scouts, carry a cannon and a rocket launcher; the other sample weapons stay on the range.
struct Loadout {
    const char* file;
    std::vector<const char*> weapons;
};
const Loadout kLoadouts[] = {
    {"player.odf", {"wcannonp", "wrocket"}},
    {"avtank.odf", {"wcannon", "wrocket"}},
    {"avscout.odf", {"wcannon", "wrocket"}},
    // The pilots on foot carry the machine gun. A person kneels into its sniper stance whenever it
    // carries a sniper weapon and cannot walk from there, so a pilot with the sniper rifle would
    // never walk away from its wreck; the rifle stays on the range.
    {"aspilo.odf", {"wmgun"}},
    {"asuser.odf", {"wmgun"}},
    // The range's mine layer: a tank that drops magnets.
    {"avdisp.odf", {"wdisp"}},
    // The SAV's cannon, for its attacks on vehicles.
    {"svsav.odf", {"wcannon"}},
    {"avwalk.odf", {"wcannon"}},
};

void WriteLoadout(OdfWriter& w, const char* file, std::string* missing) {
    for (const Loadout& loadout : kLoadouts) {
        if (std::string(loadout.file) != file) continue;
        for (size_t i = 0; i < loadout.weapons.size(); ++i)
            w.String(Numbered(kWeaponPrefix, static_cast<int>(i) + 1, missing), loadout.weapons[i]);
    }
}

}  // namespace

std::string SampleCraftArmedFirstWith(const std::string& weapon) {
    for (const Loadout& loadout : kLoadouts) {
        if (loadout.weapons.empty() || weapon != loadout.weapons[0]) continue;
        std::string name = loadout.file;
        return name.substr(0, name.rfind('.'));
    }
    return "";
}

namespace {

bool Definitions(std::vector<Definition>* out, std::string* error) {
    std::string missing;
    struct Named {
        const char* file;
        ClassValues values;
    };
    // The player's hover tank and its pilots: "player.odf" is the american side's by its name.
    // The tanks and scouts that fight are wingmen: each holds one of its team's craft slots, so a
    // mission can tell when a side has no craft left.
    ClassValues tank{"wingman", "gvtank", 60, 20, 1, 8.0f, 2500, 1500, "TankFriend", "TankEnemy", "", 3};
    ClassValues player = tank;
    player.label = "hover";
    // The commander's own tank is armoured to take on the three craft the fight sends at it.
    player.health = 15000;
    // Enough rounds for its fast-firing cannon to fire through the whole fight.
    player.ammo = 6000;
    player.friendProcess.clear();
    player.enemyProcess.clear();
    ClassValues mineLayer = tank;
    mineLayer.label = "hover";
    const std::vector<Named> classes = {
        {"player.odf", player},
        {"avtank.odf", tank},
        {"avdisp.odf", mineLayer},
        {"aspilo.odf", {"person", "gvpilot", 0, 0, 1, 3.0f, 120, 200, "PersonFriend", "PersonEnemy", "", 1}},
        {"asuser.odf", {"person", "gvpilot", 0, 0, 1, 3.0f, 150, 300, "", "", "", 1}},
        // The walker: the class's own handling blocks, its cannon, the walker brains.
        {"avwalk.odf", {"walker", "gvwalker", 70, 25, 1, 9.0f, 3000, 1500, "GechFriend", "GechEnemy", "", 1}},
        {"avscout.odf", {"wingman", "gvscout", 40, 12, 1, 6.5f, 1800, 800, "ScoutFriend", "ScoutEnemy", "", 2}},
        {"avrecy.odf", {"recycler", "gvrecy", 80, 40, 0, 20.0f, 8000, -1, "RecyclerFriend", "RecyclerEnemy", "", 0}},
        {"abfact.odf", {"factory", "gvfact", 60, 30, 0, 15.0f, 7000, -1, "", "", "", 0}},
        {"avscav.odf", {"scavenger", "gvscav", 30, 10, 1, 7.0f, 2000, -1, "ScavengerFriend", "ScavengerEnemy", "", 0}},
        // Named like a soviet file, but scrap belongs to no side.
        {"scrap.odf", {"scrap", "gvscrap", -1, 1, 0, -1.0f, 50, -1, "", "", "unknown", 0}},
        // The three pieces that dying buildings and craft leave and scrap fields lay, one scrap
        // each.
        {"npscr1.odf", {"scrap", "gvscrap", -1, 1, 0, -1.0f, 50, -1, "", "", "unknown", 0}},
        {"npscr2.odf", {"scrap", "gvscrap", -1, 1, 0, -1.0f, 50, -1, "", "", "unknown", 0}},
        {"npscr3.odf", {"scrap", "gvscrap", -1, 1, 0, -1.0f, 50, -1, "", "", "unknown", 0}},
        {"ablpow.odf", {"powerplant", "gvpower", 40, 15, -1, 10.0f, 4500, -1, "", "", "", 0}},
        {"abcomm.odf", {"commtower", "gvtower", 60, 20, -1, 12.0f, 4000, -1, "", "", "", 0}},
        {"abbunk.odf", {"m4qbuilding", "gvbunker", 30, 10, -1, 9.0f, 6000, -1, "", "", "", 0}},
        {"absupp.odf", {"supplydepot", "gvbunker", 50, 15, -1, 10.0f, 5000, -1, "", "", "", 0}},
        // The supplies an armory sends steer themselves to where they are sent.
        {"aprepa.odf", {"repairkit", "gvrepair", 10, 3, -1, 4.0f, 100, -1, "PowerUpProcess", "PowerUpProcess", "", 0}},
        {"apammo.odf", {"ammopack", "gvrepair", 10, 3, -1, 4.0f, 100, -1, "PowerUpProcess", "PowerUpProcess", "", 0}},
        // The camera pods a craft drops behind it, one per side by the file's name.
        {"apcamr.odf", {"camerapod", "gvrepair", 5, 1, -1, 3.0f, 50, -1, "", "", "", 0}},
        {"spcamr.odf", {"camerapod", "gvrepair", 5, 1, -1, 3.0f, 50, -1, "", "", "", 0}},
        // A cannon lying in the field for any craft with a cannon mount.
        {"apwcan.odf", {"wpnpower", "gvrepair", 10, 3, -1, 4.0f, 100, -1, "PowerUpProcess", "PowerUpProcess", "", 0}},
        // The tug, which carries loose craft on its hook, and the SAV, a hover craft of the other
        // side that climbs high to travel and comes down to ram people on foot.
        {"avtug.odf", {"tug", "gvtug", 30, 10, 1, 8.0f, 2000, -1, "TugFriend", "TugEnemy", "", 0}},
        {"svsav.odf", {"sav", "gvscout", 40, 12, 0, 8.0f, 1500, 400, "", "SAVEnemy", "", 1}},
    };
    std::vector<Definition> files;
    for (const Named& named : classes) {
        OdfWriter writer = ClassDefinition(named.values, &missing);
        WriteLoadout(writer, named.file, &missing);
        if (std::string(named.file) == "avscout.odf") {
            // The scout fires its cannon and rocket launcher as one group and keeps its own radius
            // and proportions.
            writer.Int(kWeaponLink, 11).Float(kDistance, 4.5f).Float(kScale1, 1.25f);
            // It sees far, and hides from sensors while it creeps along.
            writer.Float(kSensorRange, 320.0f).Float(kConcealSpeed, 4.0f);
            writer.Float(kRadarRange, 300.0f).Float(kTargetRange, 250.0f);
            writer.String(kVoiceReplies, "radio2.wav").String(kVoiceReports, "radio1.wav");
        } else if (named.values.label == "ammopack") {
            writer.Int(kAmmoPackAmount, 400);
        } else if (named.values.label == "repairkit") {
            writer.Int(kRepairKitAmount, 800);
        } else if (named.values.label == "wpnpower") {
            writer.String(kWeaponPrefix, "wcannon");
        } else if (named.values.label == "camerapod") {
            // The pod turns slowly where it lies and watches around it.
            writer.Float(kPodTurn, 2.0f).Float(kSensorRange, 150.0f).Float(kSensorPeriod, 0.5f);
        } else if (named.values.geometry == "gvtank") {
            writer.Float(kSensorRange, 240.0f);
            writer.Float(kRadarRange, 250.0f).Float(kTargetRange, 200.0f);
            writer.String(kVoiceReplies, "radio1.wav").String(kVoiceReports, "radio2.wav");
        }
        if (named.values.label == "tug") {
            // The tug rides high, so that a craft hanging on its hook clears the ground.
            writer.Section("HoverCraftClass").Float(kHoverHeightKey, 5.0f);
        } else if (named.values.label == "sav") {
            // The SAV's climb and its ram's throttle are fractions of its lift and top speed:
            // about 5 m/s up at 30 frames a second, and 150 m/s at full throttle.
            writer.Section("HoverCraftClass").Float(kLiftBoostKey, 150.0f).Float(kTopForwardKey, 150.0f);
            writer.Section("SAVClass").Float(kCruiseAltitudeKey, 150.0f);
        } else if (named.values.label == "walker") {
            // A stride of the sample legs covers about a metre at the animation's rate.
            constexpr uint32_t kWalkerAnimRate = 0x91936A92u;
            writer.Section("WalkerClass").Float(kWalkerAnimRate, 4.0f);
            writer.Float(kSensorRange, 240.0f).Float(kRadarRange, 250.0f).Float(kTargetRange, 200.0f);
        }
        if (named.values.label == "hover" || named.values.label == "wingman") {
            // A craft left standing grips the ground: one pushed by a hit stops within a few
            // metres instead of coasting away. Full throttle drives on the ground's grip alone.
            writer.Section("HoverCraftClass").Float(kTractionRest, 40.0f).Float(kTractionTop, 20.0f);
        }
        if (!writer.Ok(error)) return false;
        files.push_back({named.file, writer.Text()});
    }
    if (!missing.empty()) {
        if (error) *error = missing;
        return false;
    }
    // The fight's settings, named after its mission file: a time limit, whose end loses the
    // mission for a player who has not won by then (a pilot left on foot, say).
    {
        constexpr uint32_t kMissionTimeLimit = 0x1752b305u;
        OdfWriter writer;
        writer.Section("InstantAction").Float(kMissionTimeLimit, 300.0f);
        if (!writer.Ok(error)) return false;
        files.push_back({"fight.odf", writer.Text()});
    }
    std::vector<NamedDefinition> weapons;
    if (!WeaponDefinitions(&weapons, error)) return false;
    for (NamedDefinition& d : weapons) files.push_back({d.name, d.text});
    std::vector<NamedDefinition> deployables;
    if (!DeployableDefinitions(&deployables, error)) return false;
    for (NamedDefinition& d : deployables) files.push_back({d.name, d.text});
    std::vector<NamedDefinition> effects;
    if (!EffectDefinitions(&effects, error)) return false;
    for (NamedDefinition& d : effects) files.push_back({d.name, d.text});
    std::vector<NamedDefinition> devicesA;
    if (!DeviceDefinitionsA(&devicesA, error)) return false;
    for (NamedDefinition& d : devicesA) files.push_back({d.name, d.text});
    std::vector<NamedDefinition> devices;
    if (!LaunchedDeviceDefinitions(&devices, error)) return false;
    for (NamedDefinition& d : devices) files.push_back({d.name, d.text});
    std::vector<NamedDefinition> torpedoes;
    if (!TorpedoDefinitions(&torpedoes, error)) return false;
    for (NamedDefinition& d : torpedoes) files.push_back({d.name, d.text});
    *out = std::move(files);
    return true;
}

// Information texts shown for some classes.
std::vector<Definition> InformationTexts() {
    return {
        {"player.inf", "Hover tank\r\nThe commander's own craft: fast, armoured, three hardpoints.\r\n"},
        {"avrecy.inf", "Recycler\r\nTurns scrap into new craft and buildings. Guard it well.\r\n"},
        {"abfact.inf", "Factory\r\nBuilds the heavier craft of the base.\r\n"},
        {"avscav.inf", "Scavenger\r\nGathers scrap from the field and brings it home.\r\n"},
        {"avtug.inf", "Tug\r\nHooks an empty craft or a wreck, carries it and sets it down where it is sent.\r\n"},
    };
}

}  // namespace

std::string CheckListText(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += name + "\r\n";
    return text;
}

bool DefinitionRecords(std::vector<ArchiveRecord>* records, std::string* error) {
    std::vector<Definition> definitions;
    if (!Definitions(&definitions, error)) return false;
    std::vector<std::string> names;
    records->clear();
    for (const Definition& definition : definitions) {
        records->push_back({definition.name, definition.text, true, 0});
        names.push_back(definition.name);
    }
    // The information texts are class content too: the checksum covers them as well.
    for (const Definition& info : InformationTexts()) {
        records->push_back({info.name, info.text, true, 0});
        names.push_back(info.name);
    }
    records->push_back({"check.odf", CheckListText(names), true, 0});
    return true;
}

bool WriteDefinitionWorld(const std::string& dir, std::string* error) {
    std::vector<ArchiveRecord> records;
    if (!DefinitionRecords(&records, error)) return false;
    for (const ArchiveRecord& record : records)
        if (!WriteTextFile(dir + "/" + kPackDirectory + "/" + record.name, record.data, error)) return false;
    return true;
}

}  // namespace content
