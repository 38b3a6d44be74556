#include "definitions.h"

#include "odfkeys.h"
#include "textfiles.h"

namespace content {

namespace {

// Keys of the object classes, by the hash the game looks them up by.
constexpr uint32_t kClassLabel = 0x92D04727u;
constexpr uint32_t kGeometryName = 0x0794B13Bu;
constexpr uint32_t kScrapCost = 0x9DE6F3F3u;
constexpr uint32_t kScrapValue = 0x262C569Bu;
constexpr uint32_t kBuildTime = 0x0ED76D3Au;
constexpr uint32_t kHealth = 0x19971F1Bu;
constexpr uint32_t kHardpointPrefix = 0x157BA160u;  // numbered 1..5

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

bool Definitions(std::vector<Definition>* out, std::string* error) {
    std::string missing;
    OdfWriter scout;
    scout.Section("GameObjectClass")
        .String(kClassLabel, "hover")
        .String(kGeometryName, "scout")
        .Int(kScrapCost, 40)
        .Int(kScrapValue, 12)
        .Float(kBuildTime, 6.5f)
        .Int(kHealth, 1800)
        .String(Numbered(kHardpointPrefix, 1, &missing), "gun")
        .String(Numbered(kHardpointPrefix, 2, &missing), "gun");
    OdfWriter relay;
    relay.Section("GameObjectClass")
        .String(kClassLabel, "commtower")
        .String(kGeometryName, "relay")
        .Int(kScrapCost, 60)
        .Int(kScrapValue, 20)
        .Float(kBuildTime, 12.0f)
        .Int(kHealth, 4000);
    OdfWriter depot;
    depot.Section("GameObjectClass")
        .String(kClassLabel, "supplydepot")
        .String(kGeometryName, "depot")
        .Int(kScrapCost, 50)
        .Int(kScrapValue, 15)
        .Float(kBuildTime, 10.0f)
        .Int(kHealth, 5000);
    for (const OdfWriter* writer : {&scout, &relay, &depot})
        if (!writer->Ok(error)) return false;
    if (!missing.empty()) {
        if (error) *error = missing;
        return false;
    }
    *out = {{"scout.odf", scout.Text()}, {"relay.odf", relay.Text()}, {"depot.odf", depot.Text()}};
    return true;
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
