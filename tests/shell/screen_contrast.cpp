#include "screen_contrast.h"

#include <QHash>

#include <cmath>

namespace {

double channel(int value)
{
    const double c = value / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

QRgb mostFrequent(const QHash<QRgb, int>& counts)
{
    QRgb best = 0;
    int bestCount = -1;
    for (auto it = counts.begin(); it != counts.end(); ++it)
        if (it.value() > bestCount || (it.value() == bestCount && it.key() < best)) {
            best = it.key();
            bestCount = it.value();
        }
    return best;
}

} // namespace

double relativeLuminance(QRgb colour)
{
    return 0.2126 * channel(qRed(colour)) + 0.7152 * channel(qGreen(colour)) + 0.0722 * channel(qBlue(colour));
}

double contrastRatio(QRgb a, QRgb b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TextContrast measureText(const QImage& image, const QRect& area)
{
    TextContrast result;
    const QRect r = area.intersected(image.rect());
    if (r.isEmpty())
        return result;
    QHash<QRgb, int> all;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            ++all[image.pixel(x, y) | 0xff000000u];
    result.background = mostFrequent(all);
    // Anti-aliased glyph edges spread over many shades; the full ink is one
    // colour shared by the glyphs' cores, so it is the most frequent of them.
    QHash<QRgb, int> ink;
    for (auto it = all.begin(); it != all.end(); ++it)
        if (contrastRatio(it.key(), result.background) >= 1.5) {
            ink[it.key()] += it.value();
            result.textPixels += it.value();
        }
    // A few stray pixels (a frame corner) are no caption.
    if (result.textPixels < 8)
        return result;
    result.text = mostFrequent(ink);
    result.ratio = contrastRatio(result.text, result.background);
    return result;
}
