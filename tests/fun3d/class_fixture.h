// The object layer over a scratch data root whose index finds the sample world's models and
// object definitions (plus whatever records a test adds); the class registry is emptied of
// loaded classes before and after each test.
#pragma once
#include "support/data_root_fixture.h"
#include <string>
#include <vector>

#include "archive_writer.h"
#include "core/seams/render.h"
#include "fun3d/gameobjectclass.h"
#include "fun3d_fixture.h"

class ClassFixture : public Fun3dFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // Packs the sample models and definitions plus the given records into an archive and
    // builds the index over it.
    void InstallWorld(const std::vector<content::ArchiveRecord>& more = {});
    // A definition file text with the given key lines ("hash" key texts from the dictionary).
    static std::string Definition(const std::string& label, const std::string& geometry,
                                  const std::vector<std::pair<uint32_t, std::string>>& values = {});

    std::string root;

private:
    RenderSeam render_{};
    ScratchDataRoot scratch_;
};
