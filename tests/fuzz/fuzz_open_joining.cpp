// Feeds arbitrary loose chains to the open-shell joining: ends in clusters,
// on lines, far apart, out to the 32-bit micrometres the slicer gives. Its
// outlines must be those of the all-pairs rule, in the same order.
#include "../contour/join_by_all_pairs.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

// Bytes as a little-endian signed value of `n` bytes; zero past the end.
int64_t Take(const uint8_t*& p, const uint8_t* end, int n)
{
    uint64_t v = 0;
    for (int k = 0; k < n; ++k)
        v |= uint64_t(p < end ? *p++ : 0) << (8 * k);
    const int shift = 64 - 8 * n;
    return int64_t(v << shift) >> shift;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t* p = data;
    const uint8_t* end = data + size;
    // First byte: coordinate width (1 to 4 bytes) and a scale, so that ends
    // crowd within a unit or spread to the ends of the slicer's range.
    const int width = 1 + (*p & 3);
    const int64_t scale = int64_t(1) << ((*p >> 2) & 31);
    ++p;
    std::vector<contour::OpenShellChainer::Chain> loose;
    while (p < end && loose.size() < 160) {
        const int points = 1 + (*p++ & 3);
        contour::OpenShellChainer::Chain chain;
        for (int k = 0; k < points; ++k) {
            auto coordinate = [&] {
                return std::clamp<int64_t>(Take(p, end, width) * scale, INT32_MIN, INT32_MAX);
            };
            const int64_t x = coordinate(), y = coordinate();
            chain.push_back(ClipperLib::IntPoint(x, y));
        }
        loose.push_back(chain);
    }
    ClipperLib::Paths out;
    contour::OpenShellChainer::JoinLooseChains(loose, out);
    if (out != contour::JoinByAllPairs(loose))
        std::abort();
    return 0;
}
