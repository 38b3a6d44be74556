#include "odfkeys.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "core/odf.h"

namespace content {

namespace {

// FNV-1a's step x -> (x ^ b) * prime is invertible because the prime is odd.
constexpr uint32_t InversePrime() {
    uint32_t inverse = kTextHashPrime;  // Newton's iteration doubles the correct low bits each time
    for (int i = 0; i < 5; ++i) inverse *= 2u - kTextHashPrime * inverse;
    return inverse;
}
constexpr uint32_t kInversePrime = InversePrime();
static_assert(kTextHashPrime * kInversePrime == 1u);

std::vector<std::string> Syllables() {
    std::vector<std::string> syllables;
    for (char consonant : std::string("bdfgklmnprstvz"))
        for (char vowel : std::string("aeiou")) syllables.push_back(std::string{consonant, vowel});
    return syllables;
}

uint32_t Forward(uint32_t state, const std::string& text) { return Text_HashNoCaseN(text.data(), text.size(), state); }
uint32_t Backward(uint32_t state, const std::string& text) {
    for (size_t i = text.size(); i-- > 0;) state = (state * kInversePrime) ^ static_cast<unsigned char>(text[i]);
    return state;
}

// The syllable string numbered index among strings of count syllables.
std::string Spell(const std::vector<std::string>& syllables, uint64_t index, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += syllables[index % syllables.size()];
        index /= syllables.size();
    }
    return text;
}

uint64_t Power(uint64_t base, int exponent) {
    uint64_t result = 1;
    while (exponent-- > 0) result *= base;
    return result;
}

}  // namespace

bool FindKeyText(uint32_t target, const std::string& prefix, uint32_t state, std::string* text) {
    // Meet in the middle: hash prefix + A forward from the state, undo B backward from the
    // target; a text prefix + A + B matches when the two meet.
    const std::vector<std::string> syllables = Syllables();
    const uint32_t start = Forward(state, prefix);
    constexpr int kForwardMax = 3, kBackwardMax = 4;
    std::vector<std::vector<std::pair<uint32_t, uint32_t>>> forward(kForwardMax + 1);
    for (int a = 0; a <= kForwardMax; ++a) {
        uint64_t n = Power(syllables.size(), a);
        forward[a].reserve(n);
        for (uint64_t i = 0; i < n; ++i)
            forward[a].emplace_back(Forward(start, Spell(syllables, i, a)), static_cast<uint32_t>(i));
        std::sort(forward[a].begin(), forward[a].end());
    }
    for (int total = 0; total <= kForwardMax + kBackwardMax; ++total) {
        // The cheapest split first: the backward side is enumerated, the forward side looked up.
        for (int b = std::max(0, total - kForwardMax); b <= std::min((total + 1) / 2, kBackwardMax); ++b) {
            int a = total - b;
            uint64_t n = Power(syllables.size(), b);
            for (uint64_t j = 0; j < n; ++j) {
                uint32_t meet = target;
                uint64_t index = j;
                std::vector<const std::string*> tail(b);
                for (int k = 0; k < b; ++k, index /= syllables.size()) tail[k] = &syllables[index % syllables.size()];
                for (int k = b; k-- > 0;) meet = Backward(meet, *tail[k]);
                auto it = std::lower_bound(forward[a].begin(), forward[a].end(), std::make_pair(meet, 0u));
                if (it != forward[a].end() && it->first == meet) {
                    *text = prefix + Spell(syllables, it->second, a) + Spell(syllables, j, b);
                    return true;
                }
            }
        }
    }
    return false;
}

bool LoadKeyDictionary(const std::string& path, std::map<uint32_t, std::string>* keys, std::string* error) {
    std::ifstream in(path);
    if (!in) {
        if (error) *error = "cannot read " + path;
        return false;
    }
    keys->clear();
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        std::istringstream fields(line);
        std::string hash, text, extra;
        fields >> hash >> text;
        unsigned long value = 0;
        size_t used = 0;
        bool ok = !text.empty() && !(fields >> extra);
        if (ok) {
            try {
                value = std::stoul(hash, &used, 16);
            } catch (...) {
                ok = false;
            }
        }
        if (!ok || used != hash.size() || value > 0xFFFFFFFFul) {
            if (error) *error = path + ":" + std::to_string(number) + ": expected \"0xHASH text\"";
            return false;
        }
        (*keys)[static_cast<uint32_t>(value)] = text;
    }
    return true;
}

std::string KeyDictionaryPath() { return std::string(GV_CONTENT_DIR) + "/keys.txt"; }

const std::string& KeyText(uint32_t hash) {
    static const std::map<uint32_t, std::string> keys = [] {
        std::map<uint32_t, std::string> loaded;
        std::string error;
        if (!LoadKeyDictionary(KeyDictionaryPath(), &loaded, &error)) std::fprintf(stderr, "gvtool: %s\n", error.c_str());
        return loaded;
    }();
    static const std::string none;
    auto it = keys.find(hash);
    return it == keys.end() ? none : it->second;
}

}  // namespace content
