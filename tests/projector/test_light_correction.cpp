#include "light_data.h"
#include "lightcorrection.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace lightdata;

namespace {

LightCorrection build(const Grid& g)
{
    return buildLightCorrection(25, linearGrey(), items(g), QSize(g.width, g.height));
}

}  // namespace

TEST(GreyTables, ResponseCurveAndLut)
{
    using Probes = std::vector<std::pair<int, float>>;
    struct { const char* name; QList<QByteArray> grey; int greyStart; Probes lut, curve; } cases[] = {
        {"all coefficients 0", greyLines({}, 1.0), 25, {{0, 0}, {1, 255}, {1000, 255}}, {}},
        {"linear response", linearGrey(), 25, {{0, 0}, {1, 1}, {500, 128}, {1000, 255}}, {}},
        // The response peaks just under 1 mid-way; only level 255 reaches 1.
        {"dipping response is flattened", greyLines({0, 4.0 / 255, -4.0 / (255.0 * 255.0)}, 1.0), 25,
         {{999, 124}, {1000, 255}}, {}},
        {"k = 0", linearGrey(0.0), 25, {}, {{0, 0}, {24, 0}, {25, 1}, {255, 1}}},
        {"k = 2, grey start 0", linearGrey(2.0), 0, {},
         {{255, 1}, {0, float(std::exp(-2.0))}, {128, float(std::exp(2.0 * (128 - 255) / 255.0))}}},
        {"unreadable and missing lines count 0", {"junk", "0.00392156862745098", "nan"}, 25, {{500, 128}}, {{30, 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LightCorrection t = buildLightCorrection(c.greyStart, c.grey, std::nullopt, QSize());
        EXPECT_TRUE(t.status == LightCorrection::NoLightData && t.pixelGain.empty());
        ASSERT_EQ(t.greyLut.size(), 1001u);
        EXPECT_TRUE(std::is_sorted(t.greyLut.begin(), t.greyLut.end()));
        for (auto [v, want] : c.lut)
            EXPECT_EQ(t.greyLut[size_t(v)], int(want)) << v;
        for (auto [v, want] : c.curve)
            EXPECT_FLOAT_EQ(t.greyCurve[size_t(v)], want) << v;
    }
}

TEST(LightTables, GainAndWhite)
{
    struct { const char* name; float target, light, gain; int white; } cases[] = {
        {"light at the target", 50, 50, 1, 255},
        {"light 100 under target 50", 50, 100, 0.5f, 128},
        {"light dimmer than the target", 150, 100, 1, 255},
        {"light below 0.1 used as 0.1", 0.05f, 0.01f, 0.5f, 128},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LightCorrection t = build(Grid{c.target, 16, 12, {8}, {6}, {c.light}});
        ASSERT_EQ(t.pixelGain.size(), 16u * 12u) << t.problem.toStdString();
        for (float g : t.pixelGain)
            ASSERT_NEAR(g, c.gain, 1e-6f);
        EXPECT_EQ(t.pixelWhite, std::vector<uint8_t>(16 * 12, uint8_t(c.white)));
    }
    // An extrapolated border below 0.1 is used as 0.1 too.
    const LightCorrection t = build(Grid{10, 40, 10, {10, 30}, {5}, {1, 5}});
    EXPECT_EQ(t.gridAt(0, 1), 0.1f);  // (1 x 3 - 5) / 2
    EXPECT_EQ(t.gridAt(3, 1), 7.0f);  // (5 x 3 - 1) / 2
}

// One measuring line has no slope: its border is a copy, not a lopsided
// 1.5 and 0.75 times the line. Two or more lines keep the half-step rule.
TEST(LightTables, BorderOfOneOrSeveralLines)
{
    const Grid grids[] = {Grid{10, 30, 30, {15}, {5, 15, 25}, {100, 120, 140}},
                          Grid{10, 30, 30, {5, 15, 25}, {15}, {100, 120, 140}}, Grid{10, 30, 30, {15}, {15}, {100}}};
    for (const Grid& g : grids) {
        const int nx = int(g.xs.size()), ny = int(g.ys.size());
        SCOPED_TRACE(testing::Message() << "nx " << nx << " ny " << ny);
        const LightCorrection t = build(g);
        ASSERT_EQ(t.status, LightCorrection::Complete) << t.problem.toStdString();
        // The border value beside line `in`, with `next` one further in.
        auto border = [](float in, float next, int lines) { return lines == 1 ? in : (in * 3 - next) * 0.5f; };
        for (int j = 1; j <= ny; ++j) {
            EXPECT_EQ(t.gridAt(0, j), border(t.gridAt(1, j), t.gridAt(std::min(2, nx), j), nx));
            EXPECT_EQ(t.gridAt(nx + 1, j), border(t.gridAt(nx, j), t.gridAt(std::max(nx - 1, 1), j), nx));
        }
        for (int i = 1; i <= nx; ++i) {
            EXPECT_EQ(t.gridAt(i, 0), border(t.gridAt(i, 1), t.gridAt(i, std::min(2, ny)), ny));
            EXPECT_EQ(t.gridAt(i, ny + 1), border(t.gridAt(i, ny), t.gridAt(i, std::max(ny - 1, 1)), ny));
        }
    }
    // A single point lights the whole image evenly.
    const LightCorrection t = build(grids[2]);
    EXPECT_EQ(t.pixelGain, std::vector<float>(30 * 30, 0.1f));
}

// Light rising linearly over a 9 x 9 grid is found again at every pixel centre.
TEST(LightTables, LinearRampReproducedEverywhere)
{
    Grid g = evenGrid(180, 90, 9, 1.0f);
    auto light = [](float x, float y) { return 40.0f + 0.5f * x + 0.25f * y; };
    for (float x : g.xs)
        for (float y : g.ys)
            g.values.push_back(light(x, y));
    const LightCorrection t = build(g);
    ASSERT_EQ(t.pixelGain.size(), size_t(g.width * g.height)) << t.problem.toStdString();
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x) {
            const float want = 1.0f / light(x + 0.5f, y + 0.5f);
            ASSERT_NEAR(t.pixelGain[size_t(y * g.width + x)], want, want * 1e-4f) << x << "," << y;
        }
}

TEST(LightItems, ReplyAndMachineFile)
{
    // Three header lines of one word each, then the light items.
    const QByteArray machineFile = "h1\nh2\nh3\n50  64\t48 1\r\n1 32 24 100\n";
    const QList<QByteArray> want{"50", "64", "48", "1", "1", "32", "24", "100"};
    for (int n = 1; n <= 3; ++n) {
        EXPECT_TRUE(lightItemsNeedMachineFile(n));
        EXPECT_EQ(lightItemsFromReply(QVector<QByteArray>(n, "M701\r").toList(), machineFile), want) << n;
    }
    EXPECT_FALSE(lightItemsNeedMachineFile(0) || lightItemsNeedMachineFile(4));
    // Four items or more: the reply's own, CR and blanks trimmed.
    EXPECT_EQ(lightItemsFromReply({"a", "b", "c", " 50\r", "64\r"}, machineFile), (QList<QByteArray>{"50", "64"}));
    // A file shorter than the lines to skip gives nothing.
    EXPECT_TRUE(lightItemsFromReply({"x"}, "only\n").isEmpty() && lightItemsFromReply({}, machineFile).isEmpty());
}

// Data that would read or write outside the tables is refused before any
// per-pixel table is made, naming the limit.
TEST(LightItems, MalformedDataRefused)
{
    const std::pair<QList<QByteArray>, const char*> cases[] = {
        {{"50", "64", "48", "1"}, "at least 5"},
        {{"50", "64", "48", "0", "1", "24", "100"}, "nx 0"},
        {{"50", "64", "48", "1", "-1", "32", "100"}, "ny -1"},
        {{"50", "0", "48", "1", "1", "0", "24", "100"}, "width 0"},
        {{"50", "16385", "48", "1", "1", "32", "24", "100"}, "width 16385"},
        {{"50", "64", "-5", "1", "1", "32", "24", "100"}, "height -5"},
        {{"50", "64", "48", "2", "2", "10", "20", "10", "20", "1", "2", "3"}, "needed"},
        {{"50", "64", "48", "100000", "100000", "1"}, "nx 100000"},
        {{"50", "64", "48", "2", "1", "20", "20", "24", "1", "2"}, "not strictly rising"},
        {{"50", "64", "48", "1", "1", "64.5", "24", "100"}, "outside 0..64"},
        {{"50", "64", "48", "1", "1", "32", "-1", "100"}, "outside 0..48"},
        {{"50", "64", "48", "1", "1", "nan", "24", "100"}, "outside"},
        {{"-1", "64", "48", "1", "1", "32", "24", "100"}, "target"},
        {{"inf", "64", "48", "1", "1", "32", "24", "100"}, "target"},
        {{"nan", "64", "48", "1", "1", "32", "24", "100"}, "target"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first.join(' ').toStdString());
        const LightCorrection t = buildLightCorrection(25, linearGrey(), c.first, QSize(64, 48));
        EXPECT_TRUE(t.status == LightCorrection::BadLightData && t.pixelGain.empty());
        EXPECT_TRUE(t.problem.contains(QLatin1String(c.second))) << t.problem.toStdString();
        EXPECT_EQ(t.greyLut.size(), 1001u);  // the grey tables are still built
    }
    // Positions on the very borders are within the limits.
    const LightCorrection edge = build(Grid{50, 64, 48, {0, 64}, {48}, {100, 100}});
    EXPECT_EQ(edge.status, LightCorrection::Complete) << edge.problem.toStdString();
}

// Every light value and the target must be a reading a light engine gives:
// finite, above 0 and within a 16-bit sensor's scale. One wrong point would
// leave the layer dark or dim around it; the grid is refused instead.
TEST(LightItems, ValuesALightEngineReports)
{
    const Grid base{50, 64, 48, {16, 48}, {12, 36}, {100, 95, 90, 85}};
    auto with = [&](int at, const char* value) {
        QList<QByteArray> list = items(base);
        list[at] = value;
        return list;
    };
    const int point = 5 + 2 + 2 + 2;  // the third light value: column 2, row 1
    const struct { const char* name; QList<QByteArray> items; const char* problem; } rows[] = {
        {"inf at one point", with(point, "inf"), "light value inf at point (2,1)"},
        {"1e30 at one point", with(point, "1e30"), "light value 1e+30 at point (2,1)"},
        {"-1 at one point", with(point, "-1"), "light value -1 at point (2,1)"},
        {"0 at one point", with(point, "0"), "light value 0 at point (2,1)"},
        {"nan at one point", with(point, "nan"), "light value nan at point (2,1)"},
        {"no number at one point", with(point, "bright"), "light value 0 at point (2,1)"},
        {"just beyond a sensor's scale", with(point, "65535.5"), "light value 65535.5 at point (2,1)"},
        {"the first point", with(9, "-0.5"), "at point (1,1)"},
        {"the last point", with(12, "1e9"), "at point (2,2)"},
        {"target 0", with(0, "0"), "target 0 outside"},
        {"target 1e30", with(0, "1e30"), "target 1e+30 outside"},
        {"target -inf", with(0, "-inf"), "target -inf outside"},
        // Readings at the ends of the scale are what a light engine gives.
        {"a sensor's largest reading", with(point, "65535"), nullptr},
        {"a faint reading", with(point, "0.001"), nullptr},
        {"target at the top of the scale", with(0, "65535"), nullptr},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const LightCorrection t = buildLightCorrection(25, linearGrey(), r.items, QSize(64, 48));
        if (!r.problem) {
            EXPECT_EQ(t.status, LightCorrection::Complete) << t.problem.toStdString();
            EXPECT_EQ(t.pixelGain.size(), size_t(64 * 48));
            continue;
        }
        EXPECT_TRUE(t.status == LightCorrection::BadLightData && t.pixelGain.empty() && t.pixelWhite.empty());
        EXPECT_TRUE(t.problem.contains(QLatin1String(r.problem))) << t.problem.toStdString();
    }
}
