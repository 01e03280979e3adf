#pragma once

// Reads a caption off a screen grab as a person would: the background is the
// colour most of the caption's area has, the text is what stands out from
// it, and the two are compared by their WCAG contrast ratio.

#include <QImage>
#include <QRect>

double relativeLuminance(QRgb colour);
double contrastRatio(QRgb a, QRgb b);

struct TextContrast
{
    QRgb background = 0;
    QRgb text = 0;         // the most frequent colour among the text pixels
    int textPixels = 0;    // pixels that stand out from the background at all
    double ratio = 1.0;    // 1 when no text shows
};

// The caption inside `area` of `image` (clipped to the image).
TextContrast measureText(const QImage& image, const QRect& area);
