#include <QCoreApplication>
#include <gtest/gtest.h>

#include "scratch_home.h"
#include "vslfunction/threadsatexit.h"

int main(int argc, char** argv)
{
    UseScratchHome();
    // As the application does: no thread is half gone when the process ends.
    vsl::waitForThreadsAtExit();
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
