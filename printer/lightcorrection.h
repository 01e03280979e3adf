#pragma once

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>
#include <QVector>

#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

// The tables with which the projector window evens out the light of each
// layer, built without any window or file so they can be checked alone.
//
// In: the lines of "GreyTestFinal.dat" (six response coefficients, the grey
// curve exponent, six unused numbers) and the light-engine items that follow
// the three header items (target, W, H, nx, ny, x positions, y positions,
// light values column by column). Out: the grey curve and look-up table, and
// when the light items are present and sound, the per-pixel gain and white.

// Largest light grid side accepted; beyond it the tables would not fit.
constexpr int kMaxLightGridSide = 16384;
// Most measuring columns (and rows) accepted: a light engine measures a few
// points per axis; thousands only cost time and log.
constexpr int kMaxLightPoints = 64;
// Largest light value (measured or target) accepted: a light engine's sensor
// reports 16-bit readings. A value beyond, or one that is not finite and
// positive, would dim or darken the layer around its point.
constexpr float kMaxLightValue = 65535.0f;

struct LightCorrection
{
    enum Status {
        Complete,      // every table built
        NoLightData,   // grey tables only: no light items were given
        BadLightData,  // grey tables only: the light items break a limit (see problem)
    };

    Status status = NoLightData;
    QString problem;  // which limit the light items broke

    std::vector<double> response;  // p(0..255), flattened to non-decreasing
    std::vector<float> greyCurve;   // 256: wanted output per coverage level
    std::vector<uint8_t> greyLut;   // 1001: grey level per output in thousandths

    // Complete only.
    float target = 0;
    int width = 0, height = 0;     // light grid = layer image size
    int nx = 0, ny = 0;
    std::vector<float> xs, ys;      // cuts 0, positions..., W (resp. H)
    std::vector<float> grid;        // (nx + 2) x (ny + 2), entry i * (ny + 2) + j, border extended
    std::vector<float> pixelGain;   // W x H, row by row
    std::vector<uint8_t> pixelWhite;

    float gridAt(int i, int j) const { return grid[size_t(i) * size_t(ny + 2) + size_t(j)]; }
};

// One number per line; a missing or unreadable line (or one that is not a
// finite number) counts as 0. Always 13 values.
std::vector<double> parseGreyFile(const QList<QByteArray>& lines);

// True when a reply of this many items needs "machine.dat" to complete it.
bool lightItemsNeedMachineFile(int replyItems);

// The light items after the three header items: the reply's own, or, for a
// reply of 1 to 3 items, the words of "machine.dat" after its first
// replyItems lines. CR and blanks are trimmed from each item.
QList<QByteArray> lightItemsFromReply(const QList<QByteArray>& reply, const QByteArray& machineFile = {});

// Whole-pixel cut of a measuring position: a half goes up.
inline int lightPixelCut(float position)
{
    return int(position + 0.5f);
}

// The whole table build for a projector of `frame` pixels: the light grid
// must be exactly that size. Every limit of the light items is checked before
// a per-pixel table is made, so a refusal costs nothing and leaves nothing.
LightCorrection buildLightCorrection(int greyStart, const QList<QByteArray>& greyLines,
                                     const std::optional<QList<QByteArray>>& lightItems, QSize frame);

// The corrected grey of a pixel painted with coverage level v (the window's
// per-pixel rule, shared with the tests).
inline uint8_t correctedGrey(uint8_t v, float gain, uint8_t white, const float* greyCurve,
                             const uint8_t* greyLut)
{
    if (v == 0)
        return 0;
    if (v == 255)
        return white;
    const float n = std::ceil(greyCurve[v] * gain * 1000.0f);
    // A curve from an extreme exponent may be huge or not a number.
    if (!(n < 1001.0f))
        return greyLut[1000];
    if (!(n > 0.0f))
        return greyLut[0];
    return greyLut[int(n)];
}
