// Feeds arbitrary bytes to the STL reader through a file, as the model does.
#include "VSLModelLoader.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath("input.stl");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    VSLModelLoader loader;
    loader.path = path;
    QVector<VSLTriangle3D> out;
    if (loader.IsReady() && loader.LoadData(out)) {
        for (const VSLTriangle3D& t : out)
            if (!(t.minBound.x() <= t.maxBound.x()))
                __builtin_trap();
    }
    return 0;
}
