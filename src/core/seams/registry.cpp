#include "core/seams/registry.h"

namespace {

std::vector<SeamTableInfo>& Tables() {
    static std::vector<SeamTableInfo> tables;
    return tables;
}

}  // namespace

const std::vector<SeamTableInfo>& Seams_All() { return Tables(); }

void Seams_ResetAll() {
    for (const SeamTableInfo& info : Tables()) info.reset();
}

void Seams_Register(const SeamTableInfo& info) { Tables().push_back(info); }
