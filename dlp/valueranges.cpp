#include "dlp/valueranges.h"

#include <cmath>
#include <cstring>
#include <locale>
#include <sstream>

namespace DLP {

namespace {

std::string number(double value)
{
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.precision(10);
    out << value;
    return out.str();
}

template <size_t N>
const ValueRange* find(const KeyRange (&table)[N], const std::string& key)
{
    for (const KeyRange& row : table)
        if (key == row.key)
            return &row.range;
    return nullptr;
}

// The recipe editor's fields, by the keys the recipe file stores them under.
const KeyRange kRecipeKeys[] = {
    {"CuringTime", Ranges::recipeTimeMs},    {"BurninTime", Ranges::recipeTimeMs},
    {"StableTime", Ranges::recipeTimeMs},    {"BurninRange", Ranges::recipeBurnInMm},
    {"LiftDist1", Ranges::recipeLiftMm},     {"LiftSpeed1", Ranges::recipeLiftSpeed},
    {"LiftDist2", Ranges::recipeLiftMm},     {"LiftSpeed2", Ranges::recipeLiftSpeed},
};

// The print panels' material page, by the "Materials" keys.
const KeyRange kMaterialKeys[] = {
    {"exposure_tm", Ranges::timeMs},
    {"bottom_exposure", Ranges::timeMs},
    {"bottom_layers", Ranges::heightMm},
    {"middle_layers", Ranges::heightMm},
    {"MaterialStable", Ranges::timeMs},
    {"BottomMaterialStable", Ranges::timeMs},
    {"lift_bottom_layer", Ranges::layerCount},
    {"lift_first_bottom_speed", Ranges::speedMmPerMin},
    {"lift_bottom_speed", Ranges::speedMmPerMin},
    {"lift_dist1", Ranges::liftMm},
    {"lift_dist2", Ranges::distanceMm},
    {"lift_speed", Ranges::speedMmPerMin},
    {"retract_speed", Ranges::speedMmPerMin},
    {"tilt_dist1", Ranges::tilt1Mm},
    {"tilt_speed1", Ranges::speedMmPerMin},
    {"tilt_dist2", Ranges::tilt2Mm},
    {"tilt_speed2", Ranges::speedMmPerMin},
    {"retract_speed_2", Ranges::speedMmPerMin},
    {"tilt_near_dist", Ranges::distanceMm},
    {"tilt_near_dist2", Ranges::distanceMm},
    {"tilt_near_speed", Ranges::speedMmPerMin},
    {"rotate_dist", Ranges::rotateTurns},
    {"rotate_speed", Ranges::rotateTurnsPerMin},
    {"Dp", Ranges::penetrationUm},
};

const KeyRange kLightKeys[] = {
    {"longflip", Ranges::flag},        {"shortflip", Ranges::flag},       {"light_pwm", Ranges::lightPwm},
    {"homeadjx", Ranges::homeAdjustUm}, {"homeadjy", Ranges::homeAdjustUm}, {"homeadjz", Ranges::homeAdjustUm},
};

} // namespace

bool significantMove(float distance)
{
    return std::fabs(distance) >= 0.001f;
}

bool ValueRange::contains(double value) const
{
    if (!std::isfinite(value))
        return false;
    // Below a thousandth the job leaves the move out, as for 0.
    if (zeroMeansUnused && value >= 0 && value < 0.001)
        return true;
    return value >= min && value <= max;
}

std::string ValueRange::text() const
{
    const std::string span = number(min) + ".." + number(max);
    return zeroMeansUnused ? "0 or " + span : span;
}

std::string valueText(double value)
{
    return number(value);
}

const ValueRange* recipeKeyRange(const std::string& key)
{
    return find(kRecipeKeys, key);
}

const ValueRange* materialKeyRange(const std::string& key)
{
    return find(kMaterialKeys, key);
}

const ValueRange* lightKeyRange(const std::string& key)
{
    return find(kLightKeys, key);
}

std::optional<ValueProblem> checkJobValues(const SliceBuildConfig& c)
{
    std::optional<ValueProblem> problem;
    auto check = [&](const char* field, double value, const ValueRange& range) {
        if (!problem && !range.contains(value))
            problem = ValueProblem{field, number(value), range.text()};
    };
    // A feed that drives a move must be above 0 ("F0" never arrives).
    auto feed = [&](const char* field, double value, bool moves) {
        check(field, value, Ranges::speedMmPerMin);
        if (!problem && moves && !(value > 0))
            problem = ValueProblem{field, number(value), "above 0"};
    };

    check("SliceThickness", c.SliceThickness, Ranges::sliceThicknessMm);
    check("ExposureTimePerLayer", c.ExposureTimePerLayer, Ranges::timeMs);
    check("BottomExposureTime", c.BottomExposureTime, Ranges::timeMs);
    check("MaterialStable", c.MaterialStable, Ranges::timeMs);
    check("BottomMaterialStable", c.BottomMaterialStable, Ranges::timeMs);
    check("BlankTime", c.BlankTime, Ranges::timeMs);
    check("HighofBottomLayer", c.HighofBottomLayer, Ranges::heightMm);
    check("HighofMiddleLayer", c.HighofMiddleLayer, Ranges::heightMm);
    check("ZLiftBottomLayer", c.ZLiftBottomLayer, Ranges::layerCount);
    check("ZLiftDistance", c.ZLiftDistance, Ranges::liftMm);
    check("ZLiftDistance2", c.ZLiftDistance2, Ranges::distanceMm);
    check("TiltDistance1", c.TiltDistance1, Ranges::tilt1Mm);
    check("TiltDistance2", c.TiltDistance2, Ranges::tilt2Mm);
    check("TiltNearDistance", c.TiltNearDistance, Ranges::distanceMm);
    check("TiltNearDistance2", c.TiltNearDistance2, Ranges::distanceMm);
    check("RotateDistance", c.RotateDistance, Ranges::rotateTurns);
    check("LightPwm", c.LightPwm, Ranges::lightPwm);
    check("HomeAdjustX", c.HomeAdjustX, Ranges::homeAdjustUm);
    check("HomeAdjustY", c.HomeAdjustY, Ranges::homeAdjustUm);
    check("HomeAdjustZ", c.HomeAdjustZ, Ranges::homeAdjustUm);
    check("MirrorLongSide", c.MirrorLongSide, Ranges::flag);
    check("MirrorShortSide", c.MirrorShortSide, Ranges::flag);

    // Every layer lifts and returns on Z, the last move goes to the top.
    feed("ZLiftSpeed", c.ZLiftSpeed, true);
    feed("ZRetractSpeed", c.ZRetractSpeed, true);
    const bool slowLift = significantMove(c.ZLiftDistance2);
    feed("ZLiftBottomSpeed", c.ZLiftBottomSpeed, slowLift);
    feed("ZLiftFirstBottomSpeed", c.ZLiftFirstBottomSpeed, slowLift && c.ZLiftBottomLayer > 0);
    const bool tilt = significantMove(c.TiltDistance1) || significantMove(c.TiltDistance2);
    feed("TiltSpeed1", c.TiltSpeed1, tilt);
    feed("TiltSpeed2", c.TiltSpeed2, tilt);
    feed("TiltRetractSpeed", c.TiltRetractSpeed, significantMove(c.TiltNearDistance));
    feed("TiltNearSpeed", c.TiltNearSpeed, significantMove(c.TiltNearDistance2));
    check("RotateSpeed", c.RotateSpeed, Ranges::rotateTurnsPerMin);
    if (!problem && significantMove(c.RotateDistance) && !(c.RotateSpeed > 0))
        problem = ValueProblem{"RotateSpeed", number(c.RotateSpeed), "above 0"};
    return problem;
}

} // namespace DLP
