// Resolutions from a printer table become ints without undefined casts.
#include "dlp/machineconfig.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace {

TEST(MachineConfig, ResolutionsSaturateInBothUpdates)
{
    struct Case {
        float value;
        int expected;
    };
    const Case cases[] = {
        {1920.7f, 1920}, {-3.9f, -3}, {NAN, 0}, {1e20f, INT_MAX}, {INFINITY, INT_MAX}, {-1e20f, INT_MIN},
    };
    for (const Case& c : cases) {
        DLP::MachineConfig config;
        EXPECT_EQ(config.updateMachineSettings(c.value, c.value, 50, 50, 100), c.expected) << c.value;
        EXPECT_EQ(config.YResolution, c.expected) << c.value;

        DLP::MachineConfig recalc;
        recalc.XRes = recalc.YRes = c.value;
        EXPECT_EQ(recalc.CalcPixPerMM(), c.expected) << c.value;
        EXPECT_EQ(recalc.YResolution, c.expected) << c.value;
    }
}

} // namespace
