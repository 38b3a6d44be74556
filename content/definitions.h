// The sample world's object definitions and "check.odf", the list of data files the content
// checksum covers.
#pragma once
#include <string>
#include <vector>

#include "archive_writer.h"

namespace content {

// The definition files, the information texts (".inf") of some classes, then "check.odf"
// naming each of them. False (error set) when a key the
// files use has no text in the key dictionary.
bool DefinitionRecords(std::vector<ArchiveRecord>* records, std::string* error);
// The text of a "check.odf" that names the files, one a line.
std::string CheckListText(const std::vector<std::string>& names);
// The sample craft class (definition name without ".odf") whose first hardpoint carries the
// weapon, or "" when none does.
std::string SampleCraftArmedFirstWith(const std::string& weapon);
// The records into the pack directory of the world's directory.
bool WriteDefinitionWorld(const std::string& dir, std::string* error);

}  // namespace content
