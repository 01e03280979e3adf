#pragma once

#include "archive_builder.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// Sources the converter meets from a hostile or careless hand: pictures
// named ".png" that are something else, a preview past any budget, pictures
// the conversion does not use, print files for another printer, prints
// taller than the printer. Shared by the tests of the tool and of the panel.
struct HostileSource
{
    const char* name;
    // The source's file name: an archive ".zip", or a print file whose
    // extension selects `model` in the panel.
    QString file;
    QString model;
    // Writes the source at `path`.
    std::function<bool(const QString& path)> write;
    // The job writes its file (with a note when `says` is not empty) rather than refusing.
    bool written;
    QStringList says;
    // The panel chooses an own file's printer by its extension and code, so
    // it never meets this one.
    bool toolOnly = false;
};

QVector<HostileSource> HostileSources();

// Gzip-compressed SVG text of about `megabytes` unpacked, whose header
// claims 1440 x 2560 pixels.
QByteArray SvgzBytes(int megabytes);
// SVG text claiming 1440 x 2560 pixels.
QByteArray SvgBytes();
// A 1440 x 2560 GIF (one pixel set, the rest the background).
QByteArray GifBytes();
// A 1440 x 2560 JPEG.
QByteArray JpegBytes();
// A whole PNG of `side` x `side` pixels, 16 bits RGBA, all transparent,
// written row by row without holding its pixels.
QByteArray HugePng16(int side);

// The PNG with `count` chunks inserted, zTXt, iTXt and iCCP in turn, each
// unpacking to `unpacked` bytes (the profiles, of sRGB, state that size in
// their first four bytes): two thirds after the image header, the rest
// after the pixel data.
QByteArray PngWithTextChunks(const QByteArray& png, int count, int unpacked);
// The PNG with one chunk of `type` holding `data` inserted after the image
// header (or before the end chunk when `afterPixels`), its checksum right.
QByteArray PngWithChunk(const QByteArray& png, const char* type, const QByteArray& data, bool afterPixels = false);
// A zlib stream of `bytes`.
QByteArray ZlibBytes(const QByteArray& bytes);

// A whole VXS file of the converter: machine code, frame, layer thickness,
// and `layers` white layers.
QByteArray VxsSource(int machineCode, int width, int height, float thicknessMm, int layers);

// Peak memory a run may reach on these sources, in kilobytes.
constexpr qint64 kHostileSourcePeakKb = 300 * 1024;
