// Object-definition keys: the game knows them only by their 32-bit hash. The texts we chose
// for them live in keys.txt (hash, then text); FindKeyText invents a readable text for a hash.
#pragma once
#include <cstdint>
#include <map>
#include <string>

namespace content {

// Finds a text made of prefix and a few pronounceable syllables whose hash, continued from
// state (the hash basis for a whole key, a prefix's hash state for the rest of a key),
// is target. Deterministic; takes seconds at most. False only when nothing within the
// search bounds matches (practically never).
bool FindKeyText(uint32_t target, const std::string& prefix, uint32_t state, std::string* text);

// Reads a key dictionary: lines "0xHASH text"; '#' starts a comment line.
bool LoadKeyDictionary(const std::string& path, std::map<uint32_t, std::string>* keys, std::string* error);
// The dictionary kept with the generator (content/keys.txt).
std::string KeyDictionaryPath();
// The text of a key in that dictionary; empty when the hash has none.
const std::string& KeyText(uint32_t hash);

}  // namespace content
