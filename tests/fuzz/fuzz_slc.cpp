// Feeds arbitrary bytes to the SLC parser and thins what it accepts.
#include "slc/slcfile.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    slc::Contents contents;
    if (!slc::Parse(reinterpret_cast<const char*>(data), qint64(size), contents))
        return 0;
    qint64 points = 0;
    for (QVector<QPolygonF>& layer : contents.layers) {
        if (layer.isEmpty())
            __builtin_trap(); // empty layers are dropped
        for (QPolygonF& p : layer) {
            points += p.size();
            slc::Thin(p);
            for (const QPointF& q : p)
                if (!std::isfinite(q.x()) || !std::isfinite(q.y()))
                    __builtin_trap();
        }
    }
    if (points * 8 > qint64(size))
        __builtin_trap();
    return 0;
}
