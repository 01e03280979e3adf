#include <QApplication>
#include <QSurfaceFormat>
#include <gtest/gtest.h>

#include "scratch_home.h"
#include "vslfunction/threadsatexit.h"

#include <dlfcn.h>

int main(int argc, char** argv)
{
    UseScratchHome();
    // As the application does: no thread is half gone when the process ends.
    vsl::waitForThreadsAtExit();
    // Mesa unloads its software driver when the last GL context goes; what
    // that driver still owns then looks leaked to LeakSanitizer, with no
    // library to name. Pinning the driver keeps its state reachable.
    dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_NODELETE);
    // No session bus here: libdbus would try to start one and leak what it
    // set up for the attempt.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    // As the application does: the web view and the GL views share contexts,
    // made in the 3D view's format.
    QSurfaceFormat format;
    format.setSamples(4);
    format.setDepthBufferSize(24);
    format.setStencilBufferSize(8);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    QSurfaceFormat::setDefaultFormat(format);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
