#include "light_data.h"
#include "lightcorrection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace lightdata;

namespace {

LightCorrection build(const Grid& g, const QList<QByteArray>& grey = linearGrey(), int greyStart = 25)
{
    return buildLightCorrection(greyStart, grey, items(g));
}

size_t px(const LightCorrection& t, int x, int y)
{
    return size_t(y) * size_t(t.width) + size_t(x);
}

}  // namespace

TEST(GreyTables, ResponseCurveAndLut)
{
    struct Case {
        const char* name;
        QList<QByteArray> grey;
        int greyStart;
        std::function<void(const LightCorrection&)> check;
    };
    const Case cases[] = {
        {"all coefficients 0", greyLines({}, 1.0), 25,
         [](const LightCorrection& t) {
             EXPECT_EQ(t.greyLut[0], 0);
             for (int v = 1; v <= 1000; ++v)
                 ASSERT_EQ(t.greyLut[size_t(v)], 255) << v;
         }},
        {"linear response", linearGrey(), 25,
         [](const LightCorrection& t) {
             EXPECT_EQ(t.greyLut[0], 0);
             EXPECT_EQ(t.greyLut[1], 1);
             EXPECT_EQ(t.greyLut[500], 128);
             EXPECT_EQ(t.greyLut[1000], 255);
         }},
        {"dipping response is flattened", greyLines({0, 4.0 / 255, -4.0 / (255.0 * 255.0)}, 1.0), 25,
         [](const LightCorrection& t) {
             for (int v = 1; v <= 1000; ++v)
                 ASSERT_GE(t.greyLut[size_t(v)], t.greyLut[size_t(v) - 1]) << v;
             // The response peaks just under 1 mid-way, then only level 255 reaches 1.
             EXPECT_LE(t.greyLut[999], 128);
             EXPECT_EQ(t.greyLut[1000], 255);
         }},
        {"k = 0", linearGrey(0.0), 25,
         [](const LightCorrection& t) {
             for (int v = 0; v < 256; ++v)
                 ASSERT_EQ(t.greyCurve[size_t(v)], v < 25 ? 0.0f : 1.0f) << v;
         }},
        {"k = 2, grey start 0", linearGrey(2.0), 0,
         [](const LightCorrection& t) {
             EXPECT_EQ(t.greyCurve[255], 1.0f);
             EXPECT_FLOAT_EQ(t.greyCurve[0], float(std::exp(-2.0)));
             EXPECT_FLOAT_EQ(t.greyCurve[128], float(std::exp(2.0 * (128 - 255) / 255.0)));
         }},
        {"unreadable and missing lines count 0", QList<QByteArray>{"junk", "0.00392156862745098", "nan"}, 25,
         [](const LightCorrection& t) {
             EXPECT_EQ(t.greyLut[500], 128);  // still the linear response
             EXPECT_EQ(t.greyCurve[30], 1.0f);  // k missing: 0
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LightCorrection t = buildLightCorrection(c.greyStart, c.grey, std::nullopt);
        EXPECT_EQ(t.status, LightCorrection::NoLightData);
        EXPECT_TRUE(t.pixelGain.empty());
        c.check(t);
    }
}

TEST(LightTables, GainAndWhite)
{
    struct Case {
        const char* name;
        float target, light, gain;
        int white;
    };
    for (const Case c : {Case{"light at the target", 50, 50, 1, 255}, Case{"light 100 under target 50", 50, 100, 0.5f, 128},
                         Case{"light dimmer than the target", 150, 100, 1, 255},
                         Case{"light below 0.1 used as 0.1", 0.05f, 0.01f, 0.5f, 128}}) {
        SCOPED_TRACE(c.name);
        const LightCorrection t = build(Grid{c.target, 16, 12, {8}, {6}, {c.light}});
        ASSERT_EQ(t.status, LightCorrection::Complete) << t.problem.toStdString();
        ASSERT_EQ(t.pixelGain.size(), 16u * 12u);
        ASSERT_EQ(t.pixelWhite.size(), 16u * 12u);
        for (size_t i = 0; i < t.pixelGain.size(); ++i) {
            ASSERT_FLOAT_EQ(t.pixelGain[i], c.gain) << i;
            ASSERT_EQ(t.pixelWhite[i], c.white) << i;
        }
    }
    // An extrapolated border below 0.1 is used as 0.1 too.
    const LightCorrection t = build(Grid{10, 40, 10, {10, 30}, {5}, {1, 5}});
    EXPECT_EQ(t.gridAt(0, 1), 0.1f);  // (1 x 3 - 5) / 2
    EXPECT_EQ(t.gridAt(3, 1), 7.0f);  // (5 x 3 - 1) / 2
}

TEST(LightTables, HalfPixelCutsRoundUp)
{
    EXPECT_EQ(lightPixelCut(10.5f), 11);
    EXPECT_EQ(lightPixelCut(10.49f), 10);
    EXPECT_EQ(lightPixelCut(0.0f), 0);
}

// One measuring line has no slope: its border is a copy, not a lopsided
// 1.5 and 0.75 times the line. Two or more lines keep the half-step rule.
TEST(LightTables, BorderOfOneOrSeveralLines)
{
    struct Case {
        Grid grid;
        int nx, ny;
    };
    const Case cases[] = {
        {Grid{10, 30, 30, {15}, {5, 15, 25}, {100, 120, 140}}, 1, 3},
        {Grid{10, 30, 30, {5, 15, 25}, {15}, {100, 120, 140}}, 3, 1},
        {Grid{10, 30, 30, {15}, {15}, {100}}, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "nx " << c.nx << " ny " << c.ny);
        const LightCorrection t = build(c.grid);
        ASSERT_EQ(t.status, LightCorrection::Complete) << t.problem.toStdString();
        for (int j = 1; j <= c.ny; ++j) {
            if (c.nx == 1) {
                EXPECT_EQ(t.gridAt(0, j), t.gridAt(1, j));
                EXPECT_EQ(t.gridAt(2, j), t.gridAt(1, j));
            } else {
                EXPECT_EQ(t.gridAt(0, j), (t.gridAt(1, j) * 3 - t.gridAt(2, j)) * 0.5f);
                EXPECT_EQ(t.gridAt(c.nx + 1, j), (t.gridAt(c.nx, j) * 3 - t.gridAt(c.nx - 1, j)) * 0.5f);
            }
        }
        for (int i = 1; i <= c.nx; ++i) {
            if (c.ny == 1) {
                EXPECT_EQ(t.gridAt(i, 0), t.gridAt(i, 1));
                EXPECT_EQ(t.gridAt(i, 2), t.gridAt(i, 1));
            } else {
                EXPECT_EQ(t.gridAt(i, 0), (t.gridAt(i, 1) * 3 - t.gridAt(i, 2)) * 0.5f);
            }
        }
        // The light along the measured line is even across the whole width.
        if (c.nx == 1 && c.ny == 1) {
            EXPECT_FLOAT_EQ(t.pixelGain[px(t, 0, 0)], 0.1f);
            EXPECT_FLOAT_EQ(t.pixelGain[px(t, 29, 29)], 0.1f);
        }
    }
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
    ASSERT_EQ(t.status, LightCorrection::Complete) << t.problem.toStdString();
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x) {
            const float want = 1.0f / light(x + 0.5f, y + 0.5f);
            ASSERT_NEAR(t.pixelGain[px(t, x, y)], want, want * 1e-4f) << x << "," << y;
        }
}

TEST(LightItems, ReplyAndMachineFile)
{
    // Three header lines of one word each, then the light items.
    const QByteArray machineFile = "h1\nh2\nh3\n50  64\t48 1\r\n1 32 24 100\n";
    const QList<QByteArray> want{"50", "64", "48", "1", "1", "32", "24", "100"};
    for (int n = 1; n <= 3; ++n) {
        QList<QByteArray> reply;
        for (int k = 0; k < n; ++k)
            reply << "M701\r";
        EXPECT_TRUE(lightItemsNeedMachineFile(n));
        EXPECT_EQ(lightItemsFromReply(reply, machineFile), want) << n << " reply items";
    }
    EXPECT_FALSE(lightItemsNeedMachineFile(0));
    EXPECT_FALSE(lightItemsNeedMachineFile(4));
    // Four items or more: the reply's own, CR and blanks trimmed.
    EXPECT_EQ(lightItemsFromReply({"a", "b", "c", " 50\r", "64\r"}, machineFile), (QList<QByteArray>{"50", "64"}));
    // A file shorter than the lines to skip gives nothing, read once.
    EXPECT_TRUE(lightItemsFromReply({"x"}, "only\n").isEmpty());
    EXPECT_TRUE(lightItemsFromReply({}, machineFile).isEmpty());
}

// Data that would read or write outside the tables is refused before any
// per-pixel table is made, naming the limit.
TEST(LightItems, MalformedDataRefused)
{
    struct Case {
        const char* name;
        QList<QByteArray> items;
        const char* problem;
    };
    const Case cases[] = {
        {"four items", {"50", "64", "48", "1"}, "at least 5"},
        {"nx 0", {"50", "64", "48", "0", "1", "24", "100"}, "nx 0"},
        {"ny negative", {"50", "64", "48", "1", "-1", "32", "100"}, "ny -1"},
        {"width 0", {"50", "0", "48", "1", "1", "0", "24", "100"}, "width 0"},
        {"width too large", {"50", "16385", "48", "1", "1", "32", "24", "100"}, "width 16385"},
        {"height negative", {"50", "64", "-5", "1", "1", "32", "24", "100"}, "height -5"},
        {"values missing", {"50", "64", "48", "2", "2", "10", "20", "10", "20", "1", "2", "3"}, "needed"},
        {"counts overflow", {"50", "64", "48", "100000", "100000", "1"}, "needed"},
        {"x not rising", {"50", "64", "48", "2", "1", "20", "20", "24", "1", "2"}, "not strictly rising"},
        {"x beyond width", {"50", "64", "48", "1", "1", "64.5", "24", "100"}, "outside 0..64"},
        {"y negative", {"50", "64", "48", "1", "1", "32", "-1", "100"}, "outside 0..48"},
        {"x not a number", {"50", "64", "48", "1", "1", "nan", "24", "100"}, "outside"},
        {"target negative", {"-1", "64", "48", "1", "1", "32", "24", "100"}, "target"},
        {"target infinite", {"inf", "64", "48", "1", "1", "32", "24", "100"}, "target"},
        {"target not a number", {"nan", "64", "48", "1", "1", "32", "24", "100"}, "target"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LightCorrection t = buildLightCorrection(25, linearGrey(), c.items);
        EXPECT_EQ(t.status, LightCorrection::BadLightData);
        EXPECT_TRUE(t.problem.contains(QLatin1String(c.problem))) << t.problem.toStdString();
        EXPECT_TRUE(t.pixelGain.empty());
        EXPECT_EQ(t.greyLut.size(), 1001u);  // the grey tables are still built
    }
    // Positions on the very borders are within the limits.
    const LightCorrection edge = build(Grid{50, 64, 48, {0, 64}, {48}, {100, 100}});
    EXPECT_EQ(edge.status, LightCorrection::Complete) << edge.problem.toStdString();
}
