#include "archive_writer.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "core/zfs.h"

namespace content {

const char* const kPackDirectory = "pack";
const char* const kIndexFileNames[5] = {"kolta.zix", "kolta8s.zix", "kolta8l.zix", "kolta16s.zix", "kolta16l.zix"};

namespace {

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

bool WriteText(const std::string& path, const std::string& text, std::string* error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) return Fail(error, "cannot write " + path);
    return true;
}

const char kReadme[] =
    "Gravenholt sample world\n"
    "=======================\n"
    "\n"
    "This archive holds the data files of the generated sample world. Every file of the game\n"
    "is found by its plain name through the index file (kolta.zix and its display variants)\n"
    "and read from this archive, or from the addon directories, which win over it.\n";

std::string WorldList() {
    std::string text = "; files of the sample world, one a line\n";
    for (const char* name : {"readme.txt", "world.txt", "noise.bin", "addon.txt"}) text += std::string(name) + "\n";
    for (int i = 0; i < 40; ++i) text += "; reserved line " + std::to_string(i) + " for the world's later files\n";
    return text;
}

// Every regular file of the pack directory as a record, in name order.
bool CollectPacked(const std::string& dir, std::vector<ArchiveRecord>* records, std::string* error) {
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) return true;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
        if (entry.is_regular_file()) files.push_back(entry.path());
    if (ec) return Fail(error, "cannot list " + dir + ": " + ec.message());
    std::sort(files.begin(), files.end());
    for (const std::filesystem::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) return Fail(error, "cannot read " + file.string());
        records->push_back({file.filename().string(), data, true, 0});
    }
    return true;
}

}  // namespace

bool WriteArchive(const std::string& path, const std::vector<ArchiveRecord>& records, uint32_t mask,
                  std::string* error) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
    if (!Zfs_Create(path)) return Fail(error, Zfs_LastError());
    if (mask != 0) {
        // The mask word lives at offset 20 of the header.
        FILE* file = std::fopen(path.c_str(), "rb+");
        uint8_t word[4] = {uint8_t(mask), uint8_t(mask >> 8), uint8_t(mask >> 16), uint8_t(mask >> 24)};
        bool ok = file && std::fseek(file, 20, SEEK_SET) == 0 && std::fwrite(word, 1, 4, file) == 4;
        if (file) ok = std::fclose(file) == 0 && ok;
        if (!ok) return Fail(error, "cannot set the mask word of " + path);
    }
    ZfsArchive* archive = Zfs_Open(path, true);
    if (!archive) return Fail(error, Zfs_LastError());
    for (const ArchiveRecord& record : records) {
        if (!Zfs_Add(archive, record.name.c_str(), record.data.data(), static_cast<uint32_t>(record.data.size()),
                     record.userValue, record.compress)) {
            std::string reason = Zfs_LastError();
            Zfs_Close(archive);
            return Fail(error, reason);
        }
    }
    Zfs_Close(archive);
    return true;
}

std::string IndexText(const IndexSpec& spec) {
    std::string text = std::to_string(spec.countOverride >= 0 ? spec.countOverride : long(spec.files.size())) + "\n";
    text += "# volumes: number, base directory, label\n";
    for (const IndexVolume& volume : spec.volumes) {
        text += std::to_string(volume.number) + " " + volume.base + " " + volume.label;
        if (!volume.text.empty()) text += " '" + volume.text + "'";
        text += "\n";
    }
    text += "-\n# search paths\n";
    for (const IndexPath& path : spec.paths) text += path.keyword + " " + path.path + "\n";
    text += "-\n";
    for (const IndexEntry& entry : spec.files) text += std::to_string(entry.pathNumber) + " " + entry.name + "\n";
    return text;
}

bool WriteIndex(const std::string& path, const IndexSpec& spec, std::string* error) {
    return WriteText(path, IndexText(spec), error);
}

bool WriteArchiveWorld(const std::string& dir, std::string* error) {
    std::vector<ArchiveRecord> records = {
        {"readme.txt", kReadme, true, 0},
        {"world.txt", WorldList(), true, 0},
        {"noise.bin", Noise(4096, 20240611u), true, 0},
    };
    const std::string packDir = dir + "/" + kPackDirectory;
    if (!CollectPacked(packDir, &records, error)) return false;
    if (!WriteArchive(dir + "/kolta.zfs", records, 0, error)) return false;

    IndexSpec spec;
    spec.volumes.push_back({0, ".", "data", "Gravenholt sample world"});
    spec.paths.push_back({"cd0", "kolta.zfs"});
    for (const ArchiveRecord& record : records) spec.files.push_back({1, record.name});
    for (const char* name : kIndexFileNames)
        if (!WriteIndex(dir + "/" + name, spec, error)) return false;

    std::error_code ec;
    std::filesystem::create_directories(dir + "/addon", ec);
    if (ec) return Fail(error, "cannot create " + dir + "/addon: " + ec.message());
    return WriteText(dir + "/addon/addon.txt",
                     "Files in this directory and below are found before the archive's.\n", error);
}

std::string Noise(size_t length, uint32_t seed) {
    std::string bytes(length, '\0');
    for (char& c : bytes) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    return bytes;
}

}  // namespace content
