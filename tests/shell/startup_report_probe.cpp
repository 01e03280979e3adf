// A program that ends on purpose before it would show a window, the way the
// application's start can: `exit` (a library calling exit()), `throw` (an
// unhandled exception), `shown` (a warning after the window, then exit).

#include "logoutput.h"
#include "startupreport.h"

#include <QtGlobal>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

int main(int argc, char** argv)
{
    qInstallMessageHandler(VexmorMessageOutput);
    StartupReport startup;
    const char* mode = argc > 1 ? argv[1] : "";
    qWarning("GL context made without multisampling");
    if (std::strcmp(mode, "exit") == 0)
        std::exit(3);
    if (std::strcmp(mode, "throw") == 0)
        throw std::runtime_error("resources missing");
    startup.windowShown();
    qWarning("a warning once the window shows");
    return 0;
}
