// Serves data files from memory through the data-file loader for the life of the object.
#pragma once
#include <map>
#include <string>

#include "core/datafile.h"

class MemoryFiles {
public:
    MemoryFiles();
    ~MemoryFiles();
    MemoryFiles(const MemoryFiles&) = delete;
    MemoryFiles& operator=(const MemoryFiles&) = delete;

    void Add(const std::string& name, const std::string& bytes) { m_files[name] = bytes; }
    void Remove(const std::string& name) { m_files.erase(name); }
    // How many times the loader was asked for name.
    int Loads(const std::string& name) const;

private:
    static bool Load(const char* name, std::vector<char>* bytes);
    std::map<std::string, std::string> m_files;
    std::map<std::string, int> m_loads;
    DataFileLoader m_previous;
};
