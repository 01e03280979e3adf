// Feeds arbitrary bytes to the G-code job file reader and its line split.
#include "dlp/gcodefile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath("job.gcode");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    DLP::GCodeFile file;
    if (file.Load(path.toStdString()))
        (void)file.getLines();
    return 0;
}
