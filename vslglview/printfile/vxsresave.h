#pragma once

#include "dlp/machinepara.h"

#include <QByteArray>
#include <QString>

// Offsets of the VXS header that a re-save touches or checks.
constexpr qint64 kVxsParaOffset = 28;
constexpr qint64 kVxsParaBytes = 34 * 4;
constexpr qint64 kVxsLayerCountOffset = kVxsParaOffset + kVxsParaBytes;
constexpr qint64 kVxsMinHeaderBytes = kVxsLayerCountOffset + 4;

enum class ResaveResult { Ok, SourceUnreadable, NotVxs, DestinationFailed };

// The parameter block as stored in a VXS file: 34 little-endian float32.
QByteArray VxsParaBytes(const ST_MachinePara& para);

// True when the first bytes of a file are a VXS header: the magic, 34
// parameter values and room for the layer count. `layerCount` gets the count.
bool IsVxsHeader(const QByteArray& head, int* layerCount = nullptr);

// True when both paths name one existing file (any spelling, link or hard link).
bool IsSameFile(const QString& a, const QString& b);

// Writes `para` into the VXS file at `src` when `dst` is the same file, or
// else copies `src` to `dst` with the new block; the copy goes through a
// temporary file in the destination folder renamed over `dst` when complete.
// The source is never removed; on failure `dst` is left as it was.
ResaveResult ResaveVxs(const QString& src, const QString& dst, const ST_MachinePara& para, int* layerCount,
                       QString& error);
