#pragma once
#include <polyclipping/clipper.hpp>

#include <atomic>
#include <cstddef>
#include <vector>

// Supports standing closer than their own width touch one another across
// the whole plate: one group of tens of thousands of outlines, whose single
// union takes seconds a layer and cannot be stopped. Such a group is united
// strip by strip across x instead: each strip unites only the outlines
// reaching it and keeps what lies in it. The strips' pieces meet edge to edge
// along the strip lines and cover the region the one union covers; a
// crossing may round a unit (a micrometre) apart from it.
namespace layers {

// Groups with at least this many support outlines are united in strips.
constexpr size_t kStripUnionFrom = 2048;

enum class StripUnion { Done, Stopped, Refused };

// union(subject filled even-odd, clip filled non-zero) into `out`, strip by
// strip; between two strips it gives up once `stop` is set. `out` is empty
// unless Done.
StripUnion UniteInStrips(const std::vector<const ClipperLib::Path*>& subject,
                         const std::vector<const ClipperLib::Path*>& clip, ClipperLib::Paths& out,
                         const std::atomic<bool>* stop = nullptr);

} // namespace layers
