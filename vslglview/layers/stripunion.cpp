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
    std::vector<OutlineBox> subjectBoxes, clipBoxes;
    OutlineBox all;
    for (const Path* p : subject) {
        subjectBoxes.push_back(BoxOf(*p));
        all.Add(subjectBoxes.back());
    }
    for (const Path* p : clip) {
        clipBoxes.push_back(BoxOf(*p));
        all.Add(clipBoxes.back());
    }
    if (all.IsEmpty())
        return StripUnion::Done;
    const int strips = int(std::clamp<size_t>(clip.size() / kOutlinesPerStrip, 1, size_t(kMostStrips)));
    const cInt width = std::max<cInt>(1, (all.x1 - all.x0) / strips + 1);

    std::vector<const Path*> stripSubject, stripClip;
    Paths united, piece;
    for (int k = 0; k < strips; ++k) {
        if (stop && stop->load(std::memory_order_relaxed)) {
            out.clear();
            return StripUnion::Stopped;
        }
        OutlineBox strip;
        strip.x0 = all.x0 + cInt(k) * width;
        strip.x1 = k + 1 == strips ? all.x1 + 1 : strip.x0 + width;
        strip.y0 = all.y0 - 1;
        strip.y1 = all.y1 + 1;
        stripSubject.clear();
        stripClip.clear();
        for (size_t i = 0; i < subject.size(); ++i)
            if (subjectBoxes[i].Meets(strip))
                stripSubject.push_back(subject[i]);
        for (size_t i = 0; i < clip.size(); ++i)
            if (clipBoxes[i].Meets(strip))
                stripClip.push_back(clip[i]);
        if (stripSubject.empty() && stripClip.empty())
            continue;
        // Everything reaching the strip, united: inside the strip that is
        // the whole group's union. Then only the strip's part of it.
        if (!ExecuteOnThreadClipper(ClipperLib::ctUnion, stripSubject, ClipperLib::pftEvenOdd, stripClip,
                                    ClipperLib::pftNonZero, united))
            return out.clear(), StripUnion::Refused;
        const Path band = {{strip.x0, strip.y0}, {strip.x1, strip.y0}, {strip.x1, strip.y1}, {strip.x0, strip.y1}};
        std::vector<const Path*> unitedRefs;
        unitedRefs.reserve(united.size());
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
