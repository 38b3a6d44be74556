// Fuzz targets hand the input bytes to the data-file loader: every file name the parser asks
// for (includes among them) gets the same bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/datafile.h"

inline void FuzzServeInput(const uint8_t* data, size_t size) {
    static const uint8_t* g_data;
    static size_t g_size;
    g_data = data;
    g_size = size;
    DataFile_SetLoader([](const char*, std::vector<char>* bytes) {
        bytes->assign(g_data, g_data + g_size);
        return true;
    });
}
