// Whole-file reads of game data files by their plain name. The definition, configuration and
// parameter-file readers take their bytes from here, so tests and tools can swap the source.
#pragma once
#include <vector>

// Fills bytes with the whole file and returns true; false when the file cannot be had.
using DataFileLoader = bool (*)(const char* name, std::vector<char>* bytes);

// Replaces the loader; null restores the default one, the file cache.
void DataFile_SetLoader(DataFileLoader loader);
DataFileLoader DataFile_GetLoader();
// The bytes of the named data file through the current loader. False (bytes emptied) for a
// null or empty name and when the loader cannot have the file.
bool DataFile_Load(const char* name, std::vector<char>* bytes);
// Reads a host file whole through the path module (names relative to the working directory).
bool DataFile_ReadHostFile(const char* path, std::vector<char>* bytes);
