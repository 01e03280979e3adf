#pragma once
#include <polyclipping/clipper.hpp>

#include <vector>

// The slice workers run thousands of small unions per layer: one Clipper per
// thread keeps its lists' storage from one to the next instead of building
// them anew each time.
namespace layers {

// This thread's Clipper, cleared of any paths.
ClipperLib::Clipper& ThreadClipper();
// After a Clipper call that threw: it may be left mid-way, so the next
// ThreadClipper() starts a new one.
void ForgetThreadClipper();

// `type` of the subject and clip outlines (and `extraClip`, when given, as
// one more clip outline) on this thread's Clipper. False, and `out` empty,
// when Clipper refuses the input or throws.
bool ExecuteOnThreadClipper(ClipperLib::ClipType type, const std::vector<const ClipperLib::Path*>& subject,
                            ClipperLib::PolyFillType subjectFill, const std::vector<const ClipperLib::Path*>& clip,
                            ClipperLib::PolyFillType clipFill, ClipperLib::Paths& out,
                            const ClipperLib::Path* extraClip = nullptr);

} // namespace layers
