// The input fixture with a scratch data root and profile directory for key-map files, and a
// scripted device kind "fake" (fake1 opens, fake2 refuses to) whose values tests set.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "interface/input_fixture.h"

struct FakeDevices {
    int32_t analog[kInputAnalogValues] = {};
    uint32_t discrete[kInputDiscreteWords] = {};
    int opens = 0;
    int closes = 0;
    std::vector<int> resets;  // channels asked to reset
};
FakeDevices& Fake();

class KeyMapFixture : public InputFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes a file under the data root / the profile directory.
    void WriteData(const std::string& name, const std::string& text);
    void WriteProfile(const std::string& name, const std::string& text);
    std::string ReadProfile(const std::string& name);
    // Parses text as a key map, with keyboard, mouse and the fake kind searched.
    bool Parse(const std::string& text);
    // The texts of the boxes shown since the last call.
    std::vector<std::string> Boxes();

    std::string dataDir;
    std::string profileDir;

private:
    std::string scratch_;
    size_t boxesSeen_ = 0;
};
