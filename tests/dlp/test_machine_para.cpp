#include "dlp/machinepara.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using DLP::SliceBuildConfig;

namespace {

struct Slot {
    int index;
    const char* name;
    std::function<void(SliceBuildConfig&, int)> set; // stores a value derived from the seed
};

template <typename T>
Slot slot(int index, const char* name, T SliceBuildConfig::*field)
{
    return {index, name, [field](SliceBuildConfig& c, int seed) { c.*field = static_cast<T>(seed); }};
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

TEST(MachinePara, EveryFieldAtItsIndex)
{
    const std::vector<Slot> slots = layout();
    ASSERT_EQ(slots.size(), 34u);
    SliceBuildConfig c;
    for (const Slot& s : slots)
        s.set(c, 1000 + 7 * s.index); // distinct whole values survive int and float fields alike
    c.PlateLayers = 99999; // not carried
    const ST_MachinePara para = DLP::machineParaFrom(c);
    for (const Slot& s : slots)
        EXPECT_EQ(floatAt(para, s.index), float(1000 + 7 * s.index)) << s.name;
    for (int i = 0; i < 34; ++i)
        EXPECT_EQ(DLP::machineParaValues(para)[i], floatAt(para, i));
}

TEST(MachinePara, FractionalFloatsAreCopiedExactly)
{
    SliceBuildConfig c;
    c.SliceThickness = 0.05f;
    c.TiltNearDistance2 = 0.2f;
    c.DotsPermmX = 21.164021f;
    const ST_MachinePara para = DLP::machineParaFrom(c);
    EXPECT_EQ(floatAt(para, 4), 0.05f);
    EXPECT_EQ(floatAt(para, 24), 0.2f);
    EXPECT_EQ(floatAt(para, 0), 21.164021f);
    EXPECT_EQ(floatAt(para, 30), 200.0f); // MachineHeight, not the machine's ZSize
    EXPECT_EQ(floatAt(para, 29), 1001.0f);
}
