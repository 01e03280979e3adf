// Feeds arbitrary bytes to the STL reader through a file, as the model does.
// Whatever it keeps must be a model: finite corners within 100 m, never more
// triangles than the bytes can hold, and a warning exactly for a cut file
// (binary) or for facets left out or a missing end (ASCII).
#include "VSLModelLoader.h"
#include "fuzz_input.h"
#include "vslfunction/modelbound.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString path = FuzzFolder().filePath("input.stl");
    if (!WriteFuzzInput(path, data, size))
        return 0;
    VSLModelLoader loader;
    loader.path = path;
    QVector<VSLTriangle3D> out;
    if (!loader.IsReady())
        return 0;
    const bool loaded = loader.LoadData(out);
    if (!loaded) {
        if (!out.isEmpty() || loader.errorString().isEmpty())
            __builtin_trap();
        return 0;
    }
    if (out.isEmpty())
        __builtin_trap();
    for (const VSLTriangle3D& t : out) {
        if (!(t.minBound.x() <= t.maxBound.x()))
            __builtin_trap();
        for (const QVector3D& v : t.vertices)
            if (!WithinModelBound(v))
                __builtin_trap();
    }
    if (loader.isAscii == 0) {
        // A binary file holds 50 bytes per facet after its 84-byte header.
        if (size < 84 || quint64(out.size()) > (size - 84) / 50)
            __builtin_trap();
        const quint32 declared = quint32(data[80]) | quint32(data[81]) << 8 | quint32(data[82]) << 16 |
                                 quint32(data[83]) << 24;
        if (loader.warningString().isEmpty() != (quint64(out.size()) == declared))
            __builtin_trap();
    } else {
        // An ASCII file warns of facets left out or a missing end, and only of those;
        // a file without "endsolid" (keywords in any case) always warns.
        const QString warning = loader.warningString();
        if (!warning.isEmpty() && !warning.contains("left out") && !warning.contains("endsolid"))
            __builtin_trap();
        if (!QByteArray(reinterpret_cast<const char*>(data), int(size)).toLower().contains("endsolid")
            && warning.isEmpty())
            __builtin_trap();
    }
    return 0;
}
