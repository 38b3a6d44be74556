// The executable: picks the platform backend, starts the wiring and runs the program.
#include <cstdio>
#include <string>

#include "core/app.h"
#include "platform/system.h"
#include "startup/startup.h"

int main(int argc, char** argv) {
    BackendKind kind = Plat_ChooseBackend();
    if (!Plat_Init(kind)) {
        std::fprintf(stderr, "gravenholt: no display could be opened; running headless\n");
        Plat_Init(BackendKind::Headless);
    }
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    Startup_InstallAll();
    int code = App_Main(commandLine.c_str());
    Plat_Shutdown();
    return code;
}
