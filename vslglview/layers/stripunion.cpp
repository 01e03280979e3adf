#include "layers/stripunion.h"

#include "layers/outlinebox.h"
#include "layers/threadclipper.h"

#include <algorithm>

namespace layers {

using ClipperLib::cInt;
using ClipperLib::Path;
using ClipperLib::Paths;

namespace {

// Outlines per strip: few enough that the sweep's active edges stay short.
constexpr size_t kOutlinesPerStrip = 256;
constexpr int kMostStrips = 256;

} // namespace

StripUnion UniteInStrips(const std::vector<const Path*>& subject, const std::vector<const Path*>& clip, Paths& out,
                         const std::atomic<bool>* stop)
{
    out.clear();
    std::vector<OutlineBox> boxes; // subject's, then clip's
    boxes.reserve(subject.size() + clip.size());
    OutlineBox all;
    for (const auto* paths : {&subject, &clip})
        for (const Path* p : *paths) {
            boxes.push_back(BoxOf(*p));
            all.Add(boxes.back());
        }
    if (all.IsEmpty())
        return StripUnion::Done;
    const int strips = int(std::clamp<size_t>(clip.size() / kOutlinesPerStrip, 1, size_t(kMostStrips)));
    const cInt width = std::max<cInt>(1, (all.x1 - all.x0) / strips + 1);
    auto stripOf = [&](cInt x) { return int(std::clamp<cInt>((x - all.x0) / width, 0, strips - 1)); };

    // Each outline in the strips its box meets (touching counts), sorted
    // once for the whole group.
    std::vector<std::vector<const Path*>> stripSubject(static_cast<size_t>(strips)),
        stripClip(static_cast<size_t>(strips));
    for (size_t i = 0; i < boxes.size(); ++i) {
        const bool isSubject = i < subject.size();
        const Path* path = isSubject ? subject[i] : clip[i - subject.size()];
        for (int k = stripOf(boxes[i].x0 - 1); k <= stripOf(boxes[i].x1); ++k)
            (isSubject ? stripSubject : stripClip)[size_t(k)].push_back(path);
    }

    Paths united, piece;
    std::vector<const Path*> unitedRefs;
    for (int k = 0; k < strips; ++k) {
        if (stop && stop->load(std::memory_order_relaxed)) {
            out.clear();
            return StripUnion::Stopped;
        }
        if (stripSubject[size_t(k)].empty() && stripClip[size_t(k)].empty())
            continue;
        // Everything reaching the strip, united: inside the strip that is
        // the whole group's union. Then only the strip's part of it.
        if (!ExecuteOnThreadClipper(ClipperLib::ctUnion, stripSubject[size_t(k)], ClipperLib::pftEvenOdd,
                                    stripClip[size_t(k)], ClipperLib::pftNonZero, united))
            return out.clear(), StripUnion::Refused;
        const cInt x0 = all.x0 + cInt(k) * width, x1 = k + 1 == strips ? all.x1 + 1 : x0 + width;
        const cInt y0 = all.y0 - 1, y1 = all.y1 + 1;
        const Path band = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
        unitedRefs.clear();
        for (const Path& p : united)
            unitedRefs.push_back(&p);
        if (!ExecuteOnThreadClipper(ClipperLib::ctIntersection, unitedRefs, ClipperLib::pftNonZero, {&band},
                                    ClipperLib::pftNonZero, piece))
            return out.clear(), StripUnion::Refused;
        for (Path& p : piece)
            out.push_back(std::move(p));
    }
    return StripUnion::Done;
}

} // namespace layers
