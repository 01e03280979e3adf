#pragma once

#include "dlp/machinepara.h"
#include "printfile/filesafety.h"

#include <QByteArray>
#include <QString>

class QIODevice;

// Offsets of the VXS header that a re-save touches or checks.
constexpr qint64 kVxsParaOffset = 28;
constexpr qint64 kVxsParaBytes = 34 * 4;
constexpr qint64 kVxsLayerCountOffset = kVxsParaOffset + kVxsParaBytes;
constexpr qint64 kVxsMinHeaderBytes = kVxsLayerCountOffset + 4;
// More layers than this is no print (a million layers of 10 micrometres is 10 m).
constexpr int kMaxVxsLayers = 1000000;

enum class ResaveResult
{
    Ok,
    SourceUnreadable,
    NotVxs,
    DestinationFailed,
    FrameMismatch,
    NothingLit,
    EmptyRun,
    WrongPrinter,
    TooTall
};

// The printer a re-save is for.
struct ResavePrinter
{
    QString model;
    int machineCode = 0;
};

// The image side a header element states: a whole number of pixels from 1
// to 16384, else 0.
int VxsFrameSide(float value);

// A layer thickness a print may state: 10 to 100 micrometres, judged as it
// stands (millimetres times 1000 in single precision, not cut to whole
// micrometres: 0.1009 mm is no 100 micrometre layer). `micrometres` gets
// that value.
bool IsPrintableLayerThickness(float mm, float* micrometres = nullptr);

// The parameter block as stored in a VXS file: 34 little-endian float32.
QByteArray VxsParaBytes(const ST_MachinePara& para);

// True when the first bytes of a file are a VXS header: the magic, 34
// parameter values and room for the layer count. `layerCount` gets the count.
bool IsVxsHeader(const QByteArray& head, int* layerCount = nullptr);

// What a whole-file check of a VXS file found.
struct VxsLayout
{
    int machineCode = 0;
    int layerCount = 0;
    int bitsPerPixel = 0;
    qint64 firstLayerOffset = 0;
    ST_MachinePara para{};
};

// Checks a VXS file as a whole: header, a layer count of 1 to kMaxVxsLayers,
// bits per pixel, preview and PNG block, and exactly the layer records the
// header counts, ending where the file ends. False with a reason in `error`
// otherwise.
bool ReadVxsLayout(QIODevice& file, VxsLayout& layout, QString& error);
bool ReadVxsLayout(const QString& path, VxsLayout& layout, QString& error);

// Every layer of a file ReadVxsLayout accepted covers exactly width x
// height pixels. A record longer than such a frame's code can be is refused
// before it is read. False with the first layer that does not (from 1) in
// `badLayer` and why in `error`. `lit` tells whether any layer lights a pixel.
// A layer holding a run of length 0 is refused too, unless `emptyRunLayer`
// is given: it then gets the first such layer (or 0) and the check goes on.
bool CheckVxsLayerFrames(QIODevice& file, const VxsLayout& layout, int width, int height, int& badLayer,
                         QString& error, bool* lit = nullptr, int* emptyRunLayer = nullptr);

// Writes `para` into the VXS file at `src` when `dst` is the same file, or
// else copies `src` to `dst` with the new block; the copy goes through a
// temporary file in the destination folder renamed over `dst` when complete.
// The source is checked whole first, and its layers against the frame of
// `para` (FrameMismatch, with the layer in `badLayer`): a print file whose
// header states another frame than its layers hold is never written, nor
// one whose layers light no pixel (NothingLit), nor one with a run of length
// 0 (EmptyRun, with the layer in `badLayer`), which a printer refuses. The
// source is never removed; on failure `dst` is left as it was.
// With `printer`, the source must carry its machine code (WrongPrinter: the
// header's code is kept, so the file would stay another printer's), and its
// layers of the new block's thickness must fit the block's height (TooTall).
ResaveResult ResaveVxs(const QString& src, const QString& dst, const ST_MachinePara& para, int* layerCount,
                       QString& error, int* badLayer = nullptr, const ResavePrinter* printer = nullptr);
