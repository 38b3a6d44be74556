#include "interface/keymap_fixture.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "interface/inputdevices.h"
#include "interface/inputmap.h"
#include "platform/msgbox.h"
#include "platform/paths.h"

namespace {

FakeDevices g_fake;

const char* const kFakeAnalog[] = {"AxisA", "AxisB", "AxisC", "AxisD"};
const char* const kFakeDiscrete[] = {"Btn0", "Btn1", "Btn2", "Btn3", "Btn4"};

int FakeCount() { return 2; }
int FakeDescribe(int index, InputDeviceRecord* record) {
    std::snprintf(record->name, sizeof record->name, "fake%d", (index & 1) + 1);
    record->analogCount = 4;
    record->discreteCount = 5;
    record->analogShortNames = record->analogLongNames = kFakeAnalog;
    record->discreteShortNames = record->discreteLongNames = kFakeDiscrete;
    return 0;
}
int FakeOpen(InputDeviceRecord* record) {
    if (std::strcmp(record->name, "fake2") == 0) return 1;
    ++g_fake.opens;
    record->privateData = &g_fake;
    return 0;
}
void FakeClose(InputDeviceRecord* record) {
    if (record->privateData == &g_fake) ++g_fake.closes;
}
int FakeReset(void*, int channel) {
    g_fake.resets.push_back(channel);
    return 0;
}
int FakeRead(void*, int32_t* analog, uint32_t* discrete) {
    std::memcpy(analog, g_fake.analog, sizeof g_fake.analog);
    std::memcpy(discrete, g_fake.discrete, sizeof g_fake.discrete);
    return 0;
}

const InputDevice kFakeKind = {FakeCount, FakeDescribe, FakeOpen, FakeClose, FakeReset, FakeRead,
                               InputDevice_NoNextKey, InputDevice_NoFlush};
const InputDevice* const kKinds[] = {&KeyboardDevice, &MouseDevice, &kFakeKind};

}  // namespace

FakeDevices& Fake() { return g_fake; }

void KeyMapFixture::SetUp() {
    InputFixture::SetUp();
    g_fake = FakeDevices{};
    std::string pattern = (std::filesystem::temp_directory_path() / "gv_keymap_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    scratch_ = pattern;
    dataDir = scratch_ + "/data";
    profileDir = scratch_ + "/profile";
    std::filesystem::create_directories(dataDir + "/tovak");
    std::filesystem::create_directories(profileDir);
    Plat_SetDataRoot(dataDir);
    Plat_SetProfileDir(profileDir);
    Plat_ForgetDirectoryCache();
    InputMap_SetDeviceKinds(kKinds, 3);
    boxesSeen_ = Plat_MessageBoxLog().size();
}

void KeyMapFixture::TearDown() {
    Input_Close();
    Plat_SetDataRoot("");
    Plat_SetProfileDir("");
    std::error_code ec;
    // Read-only files inside do not stop the removal of a directory the test owns.
    std::filesystem::remove_all(scratch_, ec);
    Plat_ForgetDirectoryCache();
    InputFixture::TearDown();
}

void KeyMapFixture::WriteData(const std::string& name, const std::string& text) {
    std::ofstream(dataDir + "/" + name, std::ios::binary) << text;
    Plat_ForgetDirectoryCache();
}

void KeyMapFixture::WriteProfile(const std::string& name, const std::string& text) {
    std::ofstream(profileDir + "/" + name, std::ios::binary) << text;
    Plat_ForgetDirectoryCache();
}

std::string KeyMapFixture::ReadProfile(const std::string& name) {
    std::ifstream in(profileDir + "/" + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool KeyMapFixture::Parse(const std::string& text) {
    WriteData("parse.map", text);
    FILE* file = Plat_OpenFile(Plat_DataPath("parse.map"), "r");
    EXPECT_NE(file, nullptr);
    if (!file) return false;
    const bool ok = InputMap_ParseFile(file);
    std::fclose(file);
    return ok;
}

std::vector<std::string> KeyMapFixture::Boxes() {
    std::vector<std::string> texts;
    const auto& log = Plat_MessageBoxLog();
    for (size_t i = boxesSeen_; i < log.size(); ++i) texts.push_back(log[i].text);
    boxesSeen_ = log.size();
    return texts;
}
