#include <QApplication>
#include <gtest/gtest.h>

#include <dlfcn.h>

int main(int argc, char** argv)
{
    // Mesa unloads its software driver when the last GL context goes; what
    // that driver still owns then looks leaked to LeakSanitizer, with no
    // library to name. Pinning the driver keeps its state reachable.
    dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_NODELETE);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
