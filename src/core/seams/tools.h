// What the core calls of the developer tools and editors.
#pragma once

struct ToolsSeam {
    bool (*editorIsOn)();
    void (*editorLeave)();  // clears the editor's flags and view
};

ToolsSeam& Seam_Tools();
