#include "core/seams/tools.h"

#include "core/seams/registry.h"

namespace {

ToolsSeam MakeDefault() {
    ToolsSeam s{};
    s.editorIsOn = [] { return false; };  // PENDING(13.120)
    s.editorLeave = [] {};                // PENDING(13.120)
    return s;
}

}  // namespace

ToolsSeam& Seam_Tools() { return SeamTableInstance<ToolsSeam, MakeDefault>(); }

namespace {
const SeamRegistration<ToolsSeam, MakeDefault> kRegistration("ToolsSeam");
}  // namespace
