#include "layers/threadclipper.h"

#include <memory>

namespace layers {

namespace {
thread_local std::unique_ptr<ClipperLib::Clipper> t_clipper;
} // namespace

ClipperLib::Clipper& ThreadClipper()
{
    if (!t_clipper)
        t_clipper = std::make_unique<ClipperLib::Clipper>();
    t_clipper->Clear();
    return *t_clipper;
}

void ForgetThreadClipper()
{
    t_clipper.reset();
}

bool ExecuteOnThreadClipper(ClipperLib::ClipType type, const std::vector<const ClipperLib::Path*>& subject,
                            ClipperLib::PolyFillType subjectFill, const std::vector<const ClipperLib::Path*>& clip,
                            ClipperLib::PolyFillType clipFill, ClipperLib::Paths& out, const ClipperLib::Path* extraClip)
{
    out.clear();
    try {
        ClipperLib::Clipper& clipper = ThreadClipper();
        for (const ClipperLib::Path* p : subject)
            clipper.AddPath(*p, ClipperLib::ptSubject, true);
        for (const ClipperLib::Path* p : clip)
            clipper.AddPath(*p, ClipperLib::ptClip, true);
        if (extraClip)
            clipper.AddPath(*extraClip, ClipperLib::ptClip, true);
        if (clipper.Execute(type, out, subjectFill, clipFill))
            return true;
    } catch (...) {
        ForgetThreadClipper();
    }
    out.clear();
    return false;
}

} // namespace layers
