#pragma once
#include <polyclipping/clipper.hpp>

#include <cmath>

// Region arithmetic on outline sets, read through Clipper's own boolean
// operations with non-zero fill on both sides.
namespace clippercheck {

inline ClipperLib::Paths Combine(ClipperLib::ClipType op, const ClipperLib::Paths& a, const ClipperLib::Paths& b)
{
    ClipperLib::Clipper c;
    c.AddPaths(a, ClipperLib::ptSubject, true);
    c.AddPaths(b, ClipperLib::ptClip, true);
    ClipperLib::Paths out;
    c.Execute(op, out, ClipperLib::pftNonZero, ClipperLib::pftNonZero);
    return out;
}

// Sum of the outlines' unsigned areas.
inline double AreaOf(const ClipperLib::Paths& paths)
{
    double area = 0;
    for (const ClipperLib::Path& p : paths)
        area += std::fabs(ClipperLib::Area(p));
    return area;
}

} // namespace clippercheck
