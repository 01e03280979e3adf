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

} // namespace layers
