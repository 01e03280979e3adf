#pragma once

#include "dlp/gcodefile.h"
#include "dlp/machineconfig.h"
#include "dlp/slicebuildconfig.h"
#include "dlp/typeconversion.h"
#include "dlp/valueranges.h"

namespace DLP {

enum class GCodeError : int {
    None = 0,
    BadSliceThickness = 1, // zero, negative or not a number
    TooManyLayers = 2,     // the job text would not fit in memory
    BadValue = 3,          // a value outside the range a printer takes
};

// Writes the G-code job that the print loop sends to the printer line by line.
class GCodeGenerator
{
public:
    GCodeGenerator() {}
    ~GCodeGenerator() {}

    // On failure the returned file is empty and *error (when given) says why;
    // for BadValue, *problem (when given) names the field.
    GCodeFile Generate(int layerCount, SliceBuildConfig config, MachineConfig machine, GCodeError* error = nullptr,
                       ValueProblem* problem = nullptr);

    // About 400 bytes per layer: keeps the job text well below a gigabyte.
    static constexpr int kMaxLayerCount = 1000000;

private:
    TypeConversion converter;
};

// The job generated and saved at `path`, as a print starts it; false when it
// cannot be generated, `path` is empty or the file cannot be written.
bool WriteGCodeJob(const std::string& path, int layerCount, const SliceBuildConfig& config,
                   const MachineConfig& machine);

} // namespace DLP
