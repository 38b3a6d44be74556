// Seed corpora for the fuzz targets of tests/fuzz/: valid inputs of every reader, framed the way
// each target reads its input, so that fuzzing starts from whole files instead of guessing its
// way past their headers. The build writes them with `gvtool fuzz-seeds DIR TARGET...`.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace content {

// Where one target's seeds go: DIR/<target>/<name>.
class FuzzSeedSet {
public:
    explicit FuzzSeedSet(std::string dir) : m_dir(std::move(dir)) {}
    // Writes one seed; false (error set) when the file cannot be written.
    bool Add(const std::string& name, const std::string& bytes, std::string* error);
    // The path of a seed for writers that make the file themselves.
    std::string Path(const std::string& name) const { return m_dir + "/" + name; }
    int Count() const { return m_count; }

private:
    std::string m_dir;
    int m_count = 0;
};

// Several files in one input: each part but the last is preceded by its length (32 bits,
// little-endian); the last part takes the rest.
std::string FuzzFrame(const std::vector<std::string>& parts);
// The parts of a framed input; a length past the end takes what is left, missing parts are empty.
std::vector<std::string> FuzzUnframe(const uint8_t* data, size_t size, size_t parts);

// The names of the targets that have seeds, in table order.
std::vector<std::string> FuzzSeedTargets();

// Writes DIR/<target>/ (emptied first) for each target named. False (error set) when a target
// has no row in the seed table, or a generator fails.
bool WriteFuzzSeeds(const std::string& dir, const std::vector<std::string>& targets, std::string* error);

}  // namespace content
