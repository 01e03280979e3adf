#include "dlp/machinepara.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using DLP::SliceBuildConfig;

namespace {

struct Slot {
    int index;
    const char* name;
    std::function<float(SliceBuildConfig&, double)> set; // returns what the field holds
};

template <typename T>
Slot slot(int index, const char* name, T SliceBuildConfig::*field)
{
    return {index, name, [field](SliceBuildConfig& c, double v) { return float(c.*field = static_cast<T>(v)); }};
}

// Where each configuration field must land in the 136-byte block.
std::vector<Slot> layout()
{
    using C = SliceBuildConfig;
    return {
        slot(0, "DotsPermmX", &C::DotsPermmX), slot(1, "DotsPermmY", &C::DotsPermmY),
        slot(2, "XResolution", &C::XResolution), slot(3, "YResolution", &C::YResolution),
        slot(4, "SliceThickness", &C::SliceThickness), slot(5, "ExposureTimePerLayer", &C::ExposureTimePerLayer),
        slot(6, "BottomExposureTime", &C::BottomExposureTime), slot(7, "ZLiftBottomLayer", &C::ZLiftBottomLayer),
        slot(8, "BottomMaterialStable", &C::BottomMaterialStable), slot(9, "MaterialStable", &C::MaterialStable),
        slot(10, "HighofBottomLayer", &C::HighofBottomLayer), slot(11, "HighofMiddleLayer", &C::HighofMiddleLayer),
        slot(12, "ZLiftDistance", &C::ZLiftDistance), slot(13, "ZLiftDistance2", &C::ZLiftDistance2),
        slot(14, "ZLiftSpeed", &C::ZLiftSpeed), slot(15, "ZRetractSpeed", &C::ZRetractSpeed),
        slot(16, "ZLiftBottomSpeed", &C::ZLiftBottomSpeed), slot(17, "ZLiftFirstBottomSpeed", &C::ZLiftFirstBottomSpeed),
        slot(18, "TiltDistance1", &C::TiltDistance1), slot(19, "TiltSpeed1", &C::TiltSpeed1),
        slot(20, "TiltDistance2", &C::TiltDistance2), slot(21, "TiltSpeed2", &C::TiltSpeed2),
        slot(22, "TiltRetractSpeed", &C::TiltRetractSpeed), slot(23, "TiltNearDistance", &C::TiltNearDistance),
        slot(24, "TiltNearDistance2", &C::TiltNearDistance2), slot(25, "TiltNearSpeed", &C::TiltNearSpeed),
        slot(26, "RotateDistance", &C::RotateDistance), slot(27, "RotateSpeed", &C::RotateSpeed),
        slot(28, "Dp", &C::Dp), slot(29, "MaterialID", &C::MaterialID),
        slot(30, "MachineHeight", &C::MachineHeight), slot(31, "BlankTime", &C::BlankTime),
        slot(32, "XOffset", &C::XOffset), slot(33, "YOffset", &C::YOffset),
    };
}

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
    const std::vector<Slot> slots = layout();
    ASSERT_EQ(slots.size(), 34u);
    SliceBuildConfig c;
    std::vector<float> held;
    for (const Slot& s : slots)
        held.push_back(s.set(c, 1000.25 + 7 * s.index));
    c.PlateLayers = 99999; // not carried
    const ST_MachinePara para = DLP::machineParaFrom(c);
    for (const Slot& s : slots)
        EXPECT_EQ(floatAt(para, s.index), held[s.index]) << s.name;
    EXPECT_EQ(held[4], 1028.25f); // SliceThickness is a float
    for (int i = 0; i < 34; ++i)
        EXPECT_EQ(DLP::machineParaValues(para)[i], floatAt(para, i));
}
