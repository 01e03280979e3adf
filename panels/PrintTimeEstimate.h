#pragma once

#include "dlp/slicebuildconfig.h"

// The print time of a job of `layers` layers from its build configuration:
// every layer waits the blank and stable times and 100 ms, bottom layers
// expose the burn-in time, the rest the curing time; rounded up to seconds.
struct PrintTimeEstimate
{
    int totalSeconds = 0;
    int hours = 0;
    int minutes = 0;
};

PrintTimeEstimate estimatePrintTime(int layers, const DLP::SliceBuildConfig& config);
