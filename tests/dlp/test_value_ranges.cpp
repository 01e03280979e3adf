// Values a printer cannot take never reach a G-code job.
#include "dlp/gcodegenerator.h"
#include "dlp/valueranges.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <limits>

using DLP::SliceBuildConfig;

namespace {

const float kNan = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

}  // namespace

TEST(ValueRanges, RangesAndTheirText)
{
    const struct { DLP::ValueRange range; double value; bool in; } rows[] = {
        {DLP::Ranges::recipeTimeMs, 0, true},      {DLP::Ranges::recipeTimeMs, 99999, true},
        {DLP::Ranges::recipeTimeMs, 100000, false}, {DLP::Ranges::recipeTimeMs, -0.5, false},
        {DLP::Ranges::recipeTimeMs, kNan, false},   {DLP::Ranges::timeMs, kInf, false},
        {DLP::Ranges::tilt1Mm, 0, true},           {DLP::Ranges::tilt1Mm, 0.0005, true},
        {DLP::Ranges::tilt1Mm, 0.5, false},        {DLP::Ranges::tilt1Mm, 50, true},
        {DLP::Ranges::tilt1Mm, -0.0001, false},    {DLP::Ranges::homeAdjustUm, -10000, true},
    };
    for (const auto& r : rows)
        EXPECT_EQ(r.range.contains(r.value), r.in) << r.range.text() << " " << r.value;
    EXPECT_EQ(DLP::Ranges::recipeTimeMs.text(), "0..99999");
    EXPECT_EQ(DLP::Ranges::tilt1Mm.text(), "0 or 1..50");
    EXPECT_EQ(DLP::Ranges::homeAdjustUm.text(), "-10000..10000");
    ASSERT_NE(DLP::recipeKeyRange("LiftSpeed2"), nullptr);
    EXPECT_EQ(DLP::recipeKeyRange("LiftSpeed2")->text(), "0..600");
    EXPECT_EQ(DLP::recipeKeyRange("name"), nullptr);
    EXPECT_EQ(DLP::lightKeyRange("light_pwm")->text(), "0..255");
    EXPECT_EQ(DLP::materialKeyRange("tilt_dist2")->text(), "0 or 1..500");
}

// The job builder refuses, by field, what makes "G1 Z-9 F-1", "G1 Z-100 F0",
// ";(<Delay> -5000 )", ";(<Delay> 2147483647 )", "M225 Bnan" or "M230 Xinf".
TEST(ValueRanges, JobBuilderRefusesValuesAPrinterCannotTake)
{
    const struct { const char* field; std::function<void(SliceBuildConfig&)> set; const char* value; const char* allowed; }
        rows[] = {
            {"ZLiftDistance", [](SliceBuildConfig& c) { c.ZLiftDistance = -9; }, "-9", "0..1000000"},
            {"ZLiftSpeed", [](SliceBuildConfig& c) { c.ZLiftSpeed = -1; }, "-1", "0..1000000"},
            {"ZLiftSpeed", [](SliceBuildConfig& c) { c.ZLiftSpeed = 0; }, "0", "above 0"},
            {"ZRetractSpeed", [](SliceBuildConfig& c) { c.ZRetractSpeed = 0; }, "0", "above 0"},
            {"ZLiftDistance2", [](SliceBuildConfig& c) { c.ZLiftDistance2 = -100; }, "-100", "0..1000"},
            {"ZLiftBottomSpeed", [](SliceBuildConfig& c) { c.ZLiftBottomSpeed = 0; }, "0", "above 0"},
            {"MaterialStable", [](SliceBuildConfig& c) { c.MaterialStable = -5000; }, "-5000", "0..1000000"},
            {"BlankTime", [](SliceBuildConfig& c) { c.BlankTime = INT_MAX; }, "2147483647", "0..1000000"},
            {"ExposureTimePerLayer", [](SliceBuildConfig& c) { c.ExposureTimePerLayer = INT_MAX; }, "2147483647",
             "0..1000000"},
            {"ZLiftDistance", [](SliceBuildConfig& c) { c.ZLiftDistance = 2.14748e9f; }, "2147480064", "0..1000000"},
            {"LightPwm", [](SliceBuildConfig& c) { c.LightPwm = kNan; }, "nan", "0..255"},
            {"HomeAdjustX", [](SliceBuildConfig& c) { c.HomeAdjustX = kInf; }, "inf", "-10000..10000"},
            {"HomeAdjustY", [](SliceBuildConfig& c) { c.HomeAdjustY = -kInf; }, "-inf", "-10000..10000"},
            {"TiltSpeed1", [](SliceBuildConfig& c) { c.TiltSpeed1 = 0; }, "0", "above 0"},
            {"TiltDistance1", [](SliceBuildConfig& c) { c.TiltDistance1 = 60; }, "60", "0 or 1..50"},
            {"TiltRetractSpeed", [](SliceBuildConfig& c) { c.TiltRetractSpeed = 0; }, "0", "above 0"},
            {"RotateSpeed", [](SliceBuildConfig& c) { c.RotateSpeed = 0; }, "0", "above 0"},
            {"HighofBottomLayer", [](SliceBuildConfig& c) { c.HighofBottomLayer = kNan; }, "nan", "0..1000"},
            {"MirrorLongSide", [](SliceBuildConfig& c) { c.MirrorLongSide = 2; }, "2", "0..1"},
        };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.field);
        SliceBuildConfig config;
        r.set(config);
        const std::optional<DLP::ValueProblem> problem = DLP::checkJobValues(config);
        ASSERT_TRUE(problem.has_value());
        EXPECT_EQ(problem->field, r.field);
        EXPECT_EQ(problem->value, r.value);
        EXPECT_EQ(problem->allowed, r.allowed);
        // The builder writes no job at all.
        DLP::GCodeError error = DLP::GCodeError::None;
        DLP::ValueProblem named;
        EXPECT_EQ(DLP::GCodeGenerator().Generate(3, config, DLP::MachineConfig(), &error, &named).text, "");
        EXPECT_EQ(error, DLP::GCodeError::BadValue);
        EXPECT_EQ(named.field, r.field);
    }
}

// A feed of 0 is harmless where its move is left out of the job; the default
// configuration and a save panel's job (tilt, near moves and rotation off)
// pass.
TEST(ValueRanges, FeedsOfMovesLeftOutAndUsualJobsPass)
{
    SliceBuildConfig panelJob;
    panelJob.TiltDistance1 = panelJob.TiltDistance2 = 0;
    panelJob.TiltSpeed1 = panelJob.TiltSpeed2 = panelJob.TiltRetractSpeed = 0;
    panelJob.TiltNearDistance = panelJob.TiltNearDistance2 = panelJob.TiltNearSpeed = 0;
    panelJob.RotateDistance = panelJob.RotateSpeed = 0;
    panelJob.ZLiftBottomLayer = 0;
    panelJob.ZLiftFirstBottomSpeed = 0;  // only the first bottom layers use it
    panelJob.LightPwm = 30;
    panelJob.HomeAdjustY = -5;
    for (const SliceBuildConfig& c : {SliceBuildConfig(), panelJob}) {
        const std::optional<DLP::ValueProblem> problem = DLP::checkJobValues(c);
        EXPECT_FALSE(problem.has_value()) << (problem ? problem->field : "");
        DLP::GCodeError error = DLP::GCodeError::BadValue;
        EXPECT_NE(DLP::GCodeGenerator().Generate(2, c, DLP::MachineConfig(), &error).text, "");
        EXPECT_EQ(error, DLP::GCodeError::None);
    }
    panelJob.ZLiftDistance2 = 0;  // no slow lift: its feed unused
    panelJob.ZLiftBottomSpeed = 0;
    EXPECT_FALSE(DLP::checkJobValues(panelJob).has_value());
}
