#pragma once
#include <polyclipping/clipper.hpp>

// The slice workers run thousands of small unions per layer: one Clipper per
// thread keeps its lists' storage from one to the next instead of building
// them anew each time.
namespace layers {

// This thread's Clipper, cleared of any paths.
ClipperLib::Clipper& ThreadClipper();
// After a Clipper call that threw: it may be left mid-way, so the next
// ThreadClipper() starts a new one.
void ForgetThreadClipper();

} // namespace layers
