// What the light tables cost in memory, counted through operator new: data
// that the projector cannot use must be refused before anything large is
// allocated. (Its own program: the counting operator new is process-wide.)
#include "light_data.h"
#include "lightcorrection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

using namespace lightdata;

namespace {

std::atomic<bool> g_counting{false};
std::atomic<size_t> g_bytes{0};

// Bytes that operator new handed out while `build` ran.
template <class Build>
size_t bytesAllocatedBy(Build build)
{
    g_bytes = 0;
    g_counting = true;
    build();
    g_counting = false;
    return g_bytes;
}

}  // namespace

void* operator new(size_t size)
{
    if (g_counting)
        g_bytes += size;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, size_t) noexcept
{
    std::free(p);
}

// A projector of 854 x 480 and light grids the printer might declare: only
// the one of exactly that size is built; the others cost a few kilobytes.
TEST(LightTableMemory, GridsAreCheckedAgainstTheProjectorBeforeAnyTable)
{
    const QSize frame(854, 480);
    const size_t pixels = size_t(frame.width()) * size_t(frame.height());
    Grid huge{50, 16384, 16384, {8192}, {8192}, {100}};
    Grid smaller{50, 427, 240, {200}, {120}, {100}};
    Grid larger{50, 1708, 960, {800}, {480}, {100}};
    Grid manyPoints = evenGrid(854, 480, 1000, 50);
    manyPoints.values.assign(1000 * 1000, 100);
    Grid fits{50, 854, 480, {142, 427, 712}, {120, 360}, {100, 95, 90, 85, 92, 88}};
    struct { const char* name; const Grid& grid; bool built; const char* problem; } rows[] = {
        {"16384 x 16384 declared", huge, false, "differs from the projector's 854 x 480"},
        {"smaller than the projector", smaller, false, "differs from the projector's"},
        {"larger than the projector", larger, false, "differs from the projector's"},
        {"1000 x 1000 measuring points", manyPoints, false, "nx 1000 outside 1..64"},
        {"the projector's own size", fits, true, ""},
    };
    const QList<QByteArray> grey = linearGrey();
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const QList<QByteArray> lightItems = items(r.grid);
        LightCorrection tables;
        const size_t bytes = bytesAllocatedBy([&] { tables = buildLightCorrection(25, grey, lightItems, frame); });
        EXPECT_EQ(tables.status == LightCorrection::Complete, r.built) << tables.problem.toStdString();
        EXPECT_TRUE(tables.problem.contains(QLatin1String(r.problem))) << tables.problem.toStdString();
        if (r.built) {
            // The gain and white tables, and little else.
            EXPECT_GE(bytes, pixels * (sizeof(float) + 1));
            EXPECT_LE(bytes, pixels * (sizeof(float) + 1) + (64u << 10));
        } else {
            EXPECT_LE(bytes, 64u << 10);
            EXPECT_TRUE(tables.pixelGain.empty() && tables.pixelWhite.empty());
        }
    }
}
