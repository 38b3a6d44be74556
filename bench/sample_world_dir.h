// The sample world written to a scratch directory that serves as both the data root and the
// profile directory, with the file system started over it. Going away it closes the data files
// and removes the directory; as the last member of a bench's world it goes before the others,
// after the world's own destructor has freed what it loaded.
#pragma once
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "content.h"
#include "core/filesys.h"
#include "platform/paths.h"

class SampleWorldDir {
public:
    // pattern: a mkdtemp pattern, ending in XXXXXX.
    explicit SampleWorldDir(std::string pattern) {
        dir = mkdtemp(pattern.data());
        std::string error;
        content::WriteWorld(dir, &error);
        Plat_SetDataRoot(dir);
        Plat_SetProfileDir(dir);
        FileSys_TryStart(0);
    }
    ~SampleWorldDir() {
        Data_Close();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    SampleWorldDir(const SampleWorldDir&) = delete;
    SampleWorldDir& operator=(const SampleWorldDir&) = delete;

    std::string dir;
};
