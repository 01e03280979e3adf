#pragma once

#include "dlp/slicebuildconfig.h"

#include <QTime>

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

// Direct-print layer reports: the blank time is re-measured only once the
// previous image layer lies beyond the bottom layers (their count plus one).
int blankTimeThreshold(const DLP::SliceBuildConfig& config);
// Milliseconds from `last` to `now` by their clock fields; a null `last`
// counts -1 for each field, as QTime reports it.
int layerIntervalMs(const QTime& last, const QTime& now);
