// The sample mission "sample.qmn": the player's hover tank with its base, scrap and power-ups
// on the flat ground of the map "sample", and team 2's craft on the plateau. It is written by
// the game's own saved-game writer from a headless world built on the data already generated.
#pragma once
#include <string>

namespace content {

class SavedState;

// A headless game world over a data directory: the data root, profile directory, index, the
// terrain and object seams and the saved-game code are set up, the entity layer, object pool
// and team records start clean. Everything it changes (roots, seams, loaders, the saved-game
// globals) is put back when it goes, and what it built is freed. For tools, tests and benches.
class HeadlessWorld {
public:
    HeadlessWorld(const std::string& dataDir, const std::string& profileDir);
    ~HeadlessWorld();
    HeadlessWorld(const HeadlessWorld&) = delete;
    HeadlessWorld& operator=(const HeadlessWorld&) = delete;
    // False when the data directory's index could not be read.
    bool Ready() const { return ready_; }
    // Removes every object and starts the world and the saved-game globals clean.
    void Reset();

private:
    SavedState* saved_;
    bool ready_ = false;
};

// Builds the world over the data in dir (its index must exist) and writes the mission to out.
// Everything the world changes (roots, seams, loaders) is put back afterwards.
bool WriteSampleMission(const std::string& dir, const std::string& out, std::string* error);
// "nocraft.qmn": the same world without the player's craft (its mission is lost once it runs).
bool WriteNoCraftMission(const std::string& dir, const std::string& out, std::string* error);
// "fight.qmn": the player's tank on the plateau with the map's named paths ("edge_path", a
// looping and a plain route) and one area of interest of team 2; later units join it.
bool WriteFightMission(const std::string& dir, const std::string& out, std::string* error);
// "tugs.qmn": a tug carrying an empty scout to a drop-off point, and a SAV near a pilot on foot.
bool WriteTugsMission(const std::string& dir, const std::string& out, std::string* error);
// Writes the missions into the pack directory and packs the archive again with it.
// "walker.qmn": the walker's mission (its world is built in walker_mission.cpp).
bool WriteWalkerMission(const std::string& dir, const std::string& out, std::string* error);
bool BuildWalkerWorld(std::string* error);
bool WriteMissionWorld(const std::string& dir, std::string* error);
// The last step of the world: the pack directory goes.
bool RemovePackDirectory(const std::string& dir, std::string* error);

}  // namespace content
