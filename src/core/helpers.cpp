#include "core/helpers.h"

#include <cstring>

#include "platform/clock.h"
#include "platform/random.h"

float Vec_MinStrided(const void* records, int n) {
    float least = 1e30f;
    const auto* bytes = static_cast<const uint8_t*>(records);
    for (int i = 0; i < n; ++i) {
        float value;
        std::memcpy(&value, bytes + 24 * static_cast<size_t>(i) + 8, sizeof value);
        if (i == 0 || value < least) least = value;
    }
    return least;
}

double Clock_GetSystemSeconds() { return Plat_Milliseconds() * 0.001; }

namespace {

struct LeadTable {
    uint16_t offsets[256] = {};
    LeadTable() {
        uint16_t next = 192;
        for (int b = 129; b <= 252; ++b) {
            if (b == 133 || b == 134 || b == 235 || b == 236) continue;
            int nibble = b >> 4;
            if (!(nibble <= 9 || nibble >= 14)) continue;
            if (!(b <= 238 || b >= 250)) continue;
            offsets[b] = next;
            next = static_cast<uint16_t>(next + 192);
        }
    }
};

}  // namespace

const uint16_t* ShiftJis_LeadTable() {
    static const LeadTable table;
    return table.offsets;
}

float Rand_Signed() { return static_cast<float>(Random_Next()) * (2.0f / static_cast<float>(GV_RAND_MAX)) - 1.0f; }
