// Feeds arbitrary bytes to the G-code job file reader, its line split and
// the check a job file passes before it is played.
#include "dlp/gcodefile.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString path = FuzzFolder().filePath("job.gcode");
    if (!WriteFuzzInput(path, data, size))
        return 0;
    DLP::GCodeFile file;
    if (file.Load(path.toStdString())) {
        (void)DLP::JobFileProblem(file.text);
        (void)file.getLines();
    }
    return 0;
}
