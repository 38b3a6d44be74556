#include "core/seams/tools.h"

namespace {

ToolsSeam MakeDefault() {
    ToolsSeam s{};
    s.editorIsOn = [] { return false; };  // PENDING(13.120)
    s.editorLeave = [] {};                // PENDING(13.120)
    return s;
}

}  // namespace

ToolsSeam& Seam_Tools() {
    static ToolsSeam seam = MakeDefault();
    return seam;
}
