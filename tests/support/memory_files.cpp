#include "support/memory_files.h"

namespace {
MemoryFiles* g_current = nullptr;
}

MemoryFiles::MemoryFiles() : m_previous(DataFile_GetLoader()) {
    g_current = this;
    DataFile_SetLoader(Load);
}

MemoryFiles::~MemoryFiles() {
    DataFile_SetLoader(m_previous);
    g_current = nullptr;
}

int MemoryFiles::Loads(const std::string& name) const {
    auto it = m_loads.find(name);
    return it == m_loads.end() ? 0 : it->second;
}

bool MemoryFiles::Load(const char* name, std::vector<char>* bytes) {
    if (!g_current) return false;
    ++g_current->m_loads[name];
    auto it = g_current->m_files.find(name);
    if (it == g_current->m_files.end()) return false;
    bytes->assign(it->second.begin(), it->second.end());
    return true;
}
