#pragma once

#include <QImage>
#include <QRect>
#include <QVector>
#include <QtGlobal>

// Run-length code of a grey layer image: pixels are quantised to their high
// `bitsPerPixel` bits (the level); each run is written as its count in base
// 2^(8 - bitsPerPixel), most significant digit first, one byte per digit
// holding level | digit. Runs continue across row ends.
//
// Replaces the contents of `out` (its capacity is kept). Returns false, with
// `out` empty, when the image is not Format_Grayscale8, has no pixels, or
// bitsPerPixel is outside 1..7.
bool EncodeRunLength(const QImage& grey8, int bitsPerPixel, QVector<unsigned char>& out);

// The same code for an image known to be black (0) outside `litBox`: only the
// pixels inside the box are read; the rows and row margins outside it join the
// black runs as counts.
bool EncodeRunLength(const QImage& grey8, int bitsPerPixel, QVector<unsigned char>& out, const QRect& litBox);

// The pixels a code covers: consecutive bytes of one level are one run.
// Counting stops just past `limit`, so no code can overflow it.
quint64 RunLengthPixelCount(const uchar* code, qint64 bytes, int bitsPerPixel, quint64 limit);

// Whether a code lights any pixel: some run of a level above black covers at
// least one pixel (a lit run of length 0 lights nothing).
bool RunLengthLightsAnyPixel(const uchar* code, qint64 bytes, int bitsPerPixel);

// Whether some run of a code has length 0 (all its digits 0). The encoder
// never writes one; a printer's reader refuses a layer that holds one.
bool RunLengthHasEmptyRun(const uchar* code, qint64 bytes, int bitsPerPixel);

// The most bytes a code of `pixels` pixels takes: one byte a pixel, since a
// count of c never needs more than c digits. A record claiming more is not
// read.
inline quint64 MaxRunLengthBytes(quint64 pixels)
{
    return pixels;
}

// RGB565 of an ARGB pixel; alpha is dropped.
inline quint16 Rgb565(quint32 argb)
{
    return static_cast<quint16>(((argb >> 8) & 0xF800u) | ((argb >> 5) & 0x07E0u) | ((argb >> 3) & 0x001Fu));
}
