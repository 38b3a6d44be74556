// The entity layer over a scratch data root whose index finds geometry and definition files
// built by the content writers (the sample models unless a test installs its own).
#pragma once
#include "support/data_root_fixture.h"
#include <string>
#include <vector>

#include "Objkr/geometry.h"
#include "Objkr/objload.h"
#include "archive_writer.h"
#include "objkr_fixture.h"

class ModelFixture : public ObjkrFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // Packs the records into an archive and builds the index over it.
    void Install(const std::vector<content::ArchiveRecord>& records);
    // The sample models plus the given records.
    void InstallSamples(const std::vector<content::ArchiveRecord>& more = {});

    // Debugger output (Debug_Trace, and Debug_Printf in mode 2) since SetUp.
    static std::vector<std::string>& Traces();
    bool Traced(const std::string& text) const;
    std::vector<std::string> BoxTexts() const;

    std::string root;

private:
    ScratchDataRoot scratch_;
};
