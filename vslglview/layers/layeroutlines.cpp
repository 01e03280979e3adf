#include "layers/layeroutlines.h"

#include "layers/layerunion.h"

#include <algorithm>
#include <utility>

namespace layers {

using ClipperLib::Path;
using ClipperLib::Paths;

bool UnitePaths(const Paths& subject, ClipperLib::PolyFillType subjectFill, const Paths& clip,
                ClipperLib::PolyFillType clipFill, Paths& result)
{
    Paths united;
    try {
        ClipperLib::Clipper clipper;
        clipper.AddPaths(subject, ClipperLib::ptSubject, true);
        clipper.AddPaths(clip, ClipperLib::ptClip, true);
        if (!clipper.Execute(ClipperLib::ctUnion, united, subjectFill, clipFill)) {
            result.clear();
            return false;
        }
    } catch (...) {
        // Clipper throws on coordinates beyond its range; report it as a value.
        result.clear();
        return false;
    }
    result.swap(united);
    return true;
}

qint64 OrientationSum(const Path& outline) { return OrientationSum(outline.data(), outline.size()); }

qint64 OrientationSum(const ClipperLib::IntPoint* outline, size_t count)
{
    if (count < 2)
        return 0;
    // Unsigned arithmetic wraps instead of overflowing on absurd coordinates.
    quint64 sum = 0;
    for (size_t i = 1; i <= count; ++i) {
        const ClipperLib::IntPoint& a = outline[i - 1];
        const ClipperLib::IntPoint& b = outline[i % count];
        sum += quint64(b.X - a.X) * quint64(b.Y + a.Y);
    }
    return qint64(sum);
}

namespace {

const Paths& SlotLayer(const ShellLayerContours& contours, int slot, int layer)
{
    return contours[slot][layer];
}

Paths UniteSlotsOfLayer(const ShellLayerContours& contours, int layer, bool& isUnion)
{
    Paths singles;
    Paths multi;
    isUnion = false;
    for (int slot = 0; slot < contours.size(); ++slot) {
        const Paths& outlines = SlotLayer(contours, slot, layer);
        if (outlines.empty())
            continue;
        if (outlines.size() == 1) {
            const Path& outline = outlines.front();
            if (outline.size() < 3)
                continue;
            const qint64 s = OrientationSum(outline);
            if (s == 0)
                continue;
            if (s < 0) {
                singles.push_back(outline);
            } else {
                // Keep the first point first, then run backwards.
                Path reversed;
                reversed.reserve(outline.size());
                reversed.push_back(outline.front());
                reversed.insert(reversed.end(), outline.rbegin(), outline.rend() - 1);
                singles.push_back(std::move(reversed));
            }
            continue;
        }
        if (multi.empty()) {
            multi = outlines;
        } else {
            UnitePaths(multi, ClipperLib::pftEvenOdd, outlines, ClipperLib::pftEvenOdd, multi);
            isUnion = true;
        }
    }
    if (singles.empty())
        return multi;
    if (multi.empty())
        multi.push_back(singles.front());
    Paths united;
    UnitePaths(multi, ClipperLib::pftEvenOdd, singles, ClipperLib::pftNonZero, united);
    isUnion = true;
    return united;
}

} // namespace

Paths ModelLayerOutlines(const ShellLayerContours& contours, int layer, bool slicedOpen, bool* isUnion)
{
    bool united = false;
    Paths outlines = contours.size() == 1 && !slicedOpen ? SlotLayer(contours, 0, layer)
                                                         : UniteSlotsOfLayer(contours, layer, united);
    if (isUnion)
        *isUnion = united;
    return outlines;
}

QVector<Paths> BuildModelLayerOutlines(const ShellLayerContours& contours, int layerCount, bool slicedOpen)
{
    QVector<Paths> outlines;
    if (layerCount <= 0)
        return outlines;
    outlines.resize(layerCount);
    for (int layer = 0; layer < layerCount; ++layer)
        outlines[layer] = ModelLayerOutlines(contours, layer, slicedOpen);
    return outlines;
}

void MergeSupportPaths(QVector<Paths>& modelOutlines, QVector<Paths>& supports)
{
    const int layerCount = std::min(modelOutlines.size(), supports.size());
    LayerOutlines united;
    for (int layer = 0; layer < layerCount; ++layer) {
        Paths& support = supports[layer];
        if (support.empty())
            continue;
        UniteLayer(modelOutlines[layer], PlainSupportOutlines(support), nullptr, united);
        Paths merged;
        merged.reserve(united.items.size());
        for (const LayerOutlines::Item& item : united.items)
            merged.push_back(*item.path);
        modelOutlines[layer].swap(merged);
        support.clear();
    }
}

} // namespace layers
