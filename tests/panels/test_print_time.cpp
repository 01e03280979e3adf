#include "PrintTimeEstimate.h"

#include <gtest/gtest.h>

TEST(PrintTime, Estimates)
{
    struct Row { int layers; float thick, burnIn; int blank, stable, cure, bottom; int seconds, hours, minutes; };
    const Row rows[] = {
        {3, 0.1f, 0.25f, 0, 50, 100, 200, 1, 0, 0},         // 950 ms
        {3, 0.1f, 0.25f, 1, 50, 100, 200, 1, 0, 0},         // 953 ms
        {1, 0.1f, 0.0f, 0, 0, 901, 0, 2, 0, 0},             // 1001 ms rounds up
        {1, 0.1f, 0.0f, 0, 0, 900, 0, 1, 0, 0},             // exactly 1000 ms
        {2, 0.0f, 0.3f, 0, 0, 1000, 50000, 3, 0, 0},        // no thickness: no bottom layer
        {2, 0.05f, 10.0f, 0, 0, 1000, 2000, 5, 0, 0},       // burn-in taller than the job
        {2592, 0.1f, 0.0f, 0, 0, 999900, 0, 2592000, 720, 0}, // 30 days
    };
    for (const Row& r : rows) {
        DLP::SliceBuildConfig c;
        c.SliceThickness = r.thick;
        c.HighofBottomLayer = r.burnIn;
        c.BlankTime = r.blank;
        c.MaterialStable = r.stable;
        c.ExposureTimePerLayer = r.cure;
        c.BottomExposureTime = r.bottom;
        const PrintTimeEstimate e = estimatePrintTime(r.layers, c);
        EXPECT_EQ(e.totalSeconds, r.seconds) << r.layers << " " << r.cure;
        EXPECT_EQ(e.hours, r.hours);
        EXPECT_EQ(e.minutes, r.minutes);
    }
}
