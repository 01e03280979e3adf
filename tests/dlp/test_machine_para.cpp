#include "dlp/machinepara.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using DLP::SliceBuildConfig;

namespace {

struct Slot {
    const char* name;
    std::function<float(SliceBuildConfig&, double)> set; // returns what the field holds
};

template <typename T>
Slot slot(const char* name, T SliceBuildConfig::*field)
{
    return {name, [field](SliceBuildConfig& c, double v) { return float(c.*field = static_cast<T>(v)); }};
}
#define SLOT(field) slot(#field, &SliceBuildConfig::field)

float floatAt(const ST_MachinePara& para, int index)
{
    unsigned char bytes[sizeof(ST_MachinePara)];
    std::memcpy(bytes, &para, sizeof bytes);
    float value;
    std::memcpy(&value, bytes + 4 * index, 4);
    return value;
}

} // namespace

// Distinct fractional values: a float field passed through an int shows.
TEST(MachinePara, EveryFieldAtItsIndex)
{
    // Each configuration field at its index of the 136-byte block.
    const std::vector<Slot> slots = {
        SLOT(DotsPermmX), SLOT(DotsPermmY), SLOT(XResolution), SLOT(YResolution), SLOT(SliceThickness),
        SLOT(ExposureTimePerLayer), SLOT(BottomExposureTime), SLOT(ZLiftBottomLayer), SLOT(BottomMaterialStable),
        SLOT(MaterialStable), SLOT(HighofBottomLayer), SLOT(HighofMiddleLayer), SLOT(ZLiftDistance),
        SLOT(ZLiftDistance2), SLOT(ZLiftSpeed), SLOT(ZRetractSpeed), SLOT(ZLiftBottomSpeed),
        SLOT(ZLiftFirstBottomSpeed), SLOT(TiltDistance1), SLOT(TiltSpeed1), SLOT(TiltDistance2), SLOT(TiltSpeed2),
        SLOT(TiltRetractSpeed), SLOT(TiltNearDistance), SLOT(TiltNearDistance2), SLOT(TiltNearSpeed),
        SLOT(RotateDistance), SLOT(RotateSpeed), SLOT(Dp), SLOT(MaterialID), SLOT(MachineHeight), SLOT(BlankTime),
        SLOT(XOffset), SLOT(YOffset)
    };
    ASSERT_EQ(slots.size(), 34u);
    SliceBuildConfig c;
    std::vector<float> held;
    for (size_t i = 0; i < slots.size(); ++i)
        held.push_back(slots[i].set(c, 1000.25 + 7 * i));
    c.PlateLayers = 99999; // not carried
    const ST_MachinePara para = DLP::machineParaFrom(c);
    for (size_t i = 0; i < slots.size(); ++i)
        EXPECT_EQ(floatAt(para, int(i)), held[i]) << slots[i].name;
    EXPECT_EQ(held[4], 1028.25f); // SliceThickness is a float
    for (int i = 0; i < 34; ++i)
        EXPECT_EQ(DLP::machineParaValues(para)[i], floatAt(para, i));
}
