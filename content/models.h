// The sample world's models: their geometry files and their structure and vehicle definitions.
#pragma once
#include <string>
#include <vector>

#include "archive_writer.h"
#include "bwd2_writer.h"
#include "geo_writer.h"

namespace content {

// Every geometry of the sample models (file name without ".geo" as the mesh name).
std::vector<GeoMesh> SampleMeshes();
// Every sample model definition.
std::vector<ModelDef> SampleModels();
// The ".geo", ".sdf" and ".vdf" files as archive records.
std::vector<ArchiveRecord> ModelRecords();
// The sample models into the pack directory of the world's directory.
bool WriteModelWorld(const std::string& dir, std::string* error);

}  // namespace content
