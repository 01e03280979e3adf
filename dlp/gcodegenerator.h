#pragma once

#include "dlp/gcodefile.h"
#include "dlp/machineconfig.h"
#include "dlp/slicebuildconfig.h"
#include "dlp/typeconversion.h"

namespace DLP {

enum class GCodeError : int {
    None = 0,
    BadSliceThickness = 1, // zero, negative or not a number
    TooManyLayers = 2,     // the job text would not fit in memory
};

// Writes the G-code job that the print loop sends to the printer line by line.
class GCodeGenerator
{
public:
    GCodeGenerator() {}
    ~GCodeGenerator() {}

    // On failure the returned file is empty and *error (when given) says why.
    GCodeFile Generate(int layerCount, SliceBuildConfig config, MachineConfig machine, GCodeError* error = nullptr);

    // About 400 bytes per layer: keeps the job text well below a gigabyte.
    static constexpr int kMaxLayerCount = 1000000;

private:
    TypeConversion converter;
};

} // namespace DLP
