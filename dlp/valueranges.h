#pragma once

#include "dlp/slicebuildconfig.h"

#include <cstddef>
#include <optional>
#include <string>

namespace DLP {

// The values a value may take on its way to a printer command: the range of
// the form field that edits it (its validator or spin box), and where a field
// has none, what a printer can take. Not a number and infinity never pass.
struct ValueRange
{
    double min = 0;
    double max = 0;
    bool zeroMeansUnused = false; // 0 passes as well: the field is left empty

    bool contains(double value) const;
    std::string text() const; // "0..99999", or "0 or 1..50"
};

// One place for every range.
namespace Ranges {
// The recipe editor's spin boxes: what a recipe file may hold.
inline constexpr ValueRange recipeTimeMs{0, 99999};
inline constexpr ValueRange recipeBurnInMm{0, 1};
inline constexpr ValueRange recipeLiftMm{0, 99};
inline constexpr ValueRange recipeLiftSpeed{0, 600};
// The print panels' fields: integer validators 0..1000000 and 1..50 (tilt 2
// up to 500), and for the fields without one, bounds a printer takes.
inline constexpr ValueRange timeMs{0, 1000000};
inline constexpr ValueRange speedMmPerMin{0, 1000000};
inline constexpr ValueRange liftMm{0, 1000000};
inline constexpr ValueRange distanceMm{0, 1000};
inline constexpr ValueRange heightMm{0, 1000};
inline constexpr ValueRange tilt1Mm{1, 50, true};
inline constexpr ValueRange tilt2Mm{1, 500, true};
inline constexpr ValueRange layerCount{0, 1000000};
inline constexpr ValueRange rotateTurns{0, 100};
inline constexpr ValueRange rotateTurnsPerMin{0, 1000};
inline constexpr ValueRange penetrationUm{0, 1000000};
inline constexpr ValueRange sliceThicknessMm{0.001, 1};
// The support panel's spin boxes: density, attaching point (tip) and shaft
// diameter in mm, lift distance in mm; the shaft never thinner than the tip.
inline constexpr ValueRange supportDensity{0.1, 1.5};
inline constexpr ValueRange supportTipMm{0.2, 3.0};
inline constexpr ValueRange supportShaftMm{0.4, 4.0};
inline constexpr ValueRange supportLiftMm{0, 20};
// "Light.ini": the LED current the form names (0~255), the home adjustment
// in micrometres either way, the two mirror flags.
inline constexpr ValueRange lightPwm{0, 255};
inline constexpr ValueRange homeAdjustUm{-10000, 10000};
inline constexpr ValueRange flag{0, 1};
} // namespace Ranges

// A key of a settings file and its range.
struct KeyRange
{
    const char* key;
    ValueRange range;
};

// The keys of a user recipe ("Recipe/<name>/..."), of a material entry
// ("Materials/<n>/...") and of "Light.ini" ("LightConfig/1/..."); null when
// the key holds no number that reaches a printer.
const ValueRange* recipeKeyRange(const std::string& key);
const ValueRange* materialKeyRange(const std::string& key);
const ValueRange* lightKeyRange(const std::string& key);

// A value outside its range: the field, its value as text, the range.
struct ValueProblem
{
    std::string field;
    std::string value;
    std::string allowed;
};

// A move or a distance long enough to go into a job (shorter ones are left
// out, so they need no feed).
bool significantMove(float distance);

// The number as a message shows it (nan and inf included).
std::string valueText(double value);

// Every value of `config` that a G-code job turns into a printer command or
// a wait, against its range; and a move that travels needs a feed above 0.
// The first problem found, by field name (for example "ZLiftSpeed").
std::optional<ValueProblem> checkJobValues(const SliceBuildConfig& config);

} // namespace DLP
