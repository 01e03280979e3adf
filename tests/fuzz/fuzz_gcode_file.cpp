// Feeds arbitrary bytes to the G-code job file reader and its line split.
#include "dlp/gcodefile.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString path = FuzzFolder().filePath("job.gcode");
    if (!WriteFuzzInput(path, data, size))
        return 0;
    DLP::GCodeFile file;
    if (file.Load(path.toStdString()))
        (void)file.getLines();
    return 0;
}
