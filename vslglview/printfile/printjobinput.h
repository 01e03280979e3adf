#pragma once

#include "printfile/slicelayers.h"
#include "support/SupportGeometry.h"
#include "vslfunction/VSLTriangle3D.h"

#include <QCoreApplication>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

// Everything the scene hands to the print-file writers. The layer lists are
// the job's own (implicitly shared) copies, taken on the GUI thread: the
// scene may slice again or drop its lists while the file is written
// elsewhere, and the writers only ever read them (const access never
// detaches, so the render workers can point into them).
struct PrintJobInput
{
    std::optional<SliceLayers> modelLayers;   // plate layers first; none: nothing to write
    std::optional<SliceLayers> supportLayers; // none: no support layers
    int machineCode = 0;
    QString machineName;
    bool imageRotate = false;
    QImage preview;      // plate preview as captured
    QImage previewLarge; // the 1200 x 1600 preview, embedded as PNG
    QString saveFileName;
    // The files the plate's models were read from: no print file may take
    // their place, by any spelling or link.
    QStringList sourceFiles;
    // Sliced job, for the vector file.
    int sliceXResolution = 0;
    int sliceYResolution = 0;
    float layerThicknessMm = 0.0f;
    float buildHeightMm = 200.0f;
    // Model triangles of every instance in key order; world millimetres.
    QVector<VSLTriangle3D> plateTriangles;
    // Then the supports of every instance in the same order.
    QVector<supportgeom::PlacedSupports> plateSupports;
};

// Results of the print-file writers. The destination is only replaced when
// the whole file was written, so on any failure the old file (or none) stays.
enum PrintFileResult : int {
    PrintFileOk = 0,
    PrintFileNoLayers = 1,      // the model layer list is missing
    PrintFileBadFrame = 2,      // resolution in the parameters is not a usable frame size
    PrintFileOpenFailed = 3,    // the temporary file beside the destination cannot be created
    PrintFileWriteFailed = 4,   // a write failed (disk full, I/O error)
    PrintFileCommitFailed = 5,  // flushing the finished file or replacing the destination failed
    PrintFileRenderFailed = 6,  // a layer could not be rendered (frame not allocated)
    PrintFileTooLarge = 7,      // the layer data exceed the 32-bit offsets of the vector file
    PrintFileNoSpace = 8,       // the device is full
    PrintFileBadDestination = 9, // the destination is a folder, device or FIFO
    PrintFileNameClash = 10,    // the vector file would take the layer-image file's name
    PrintFileOntoSource = 11,   // a print file would take the place of a model file on the plate
    PrintFileNothingLit = 12,   // no layer lights a pixel: the printer would cure nothing
};

// A sentence for the user about a writer result, as the source text of its
// translation (context "PrintFile"); null for a code without one.
inline const char* PrintFileResultSource(int code)
{
    switch (code) {
    case PrintFileOk: return QT_TRANSLATE_NOOP("PrintFile", "the print file was written");
    case PrintFileNoLayers: return QT_TRANSLATE_NOOP("PrintFile", "there are no sliced layers to write");
    case PrintFileBadFrame: return QT_TRANSLATE_NOOP("PrintFile", "the printer resolution is not a usable frame size");
    case PrintFileOpenFailed: return QT_TRANSLATE_NOOP("PrintFile", "the destination folder cannot be written to");
    case PrintFileWriteFailed: return QT_TRANSLATE_NOOP("PrintFile", "The file could not be written");
    case PrintFileCommitFailed: return QT_TRANSLATE_NOOP("PrintFile", "the finished file could not replace the destination");
    case PrintFileRenderFailed: return QT_TRANSLATE_NOOP("PrintFile", "a layer could not be rendered");
    case PrintFileTooLarge: return QT_TRANSLATE_NOOP("PrintFile", "the job is too large for the vector file");
    case PrintFileNoSpace: return QT_TRANSLATE_NOOP("PrintFile", "No space left on the device");
    case PrintFileBadDestination: return QT_TRANSLATE_NOOP("PrintFile", "the destination exists and is not a regular file");
    case PrintFileNameClash:
        return QT_TRANSLATE_NOOP("PrintFile", "the vector file and the layer-image file would have the same name");
    case PrintFileOntoSource: return QT_TRANSLATE_NOOP("PrintFile", "the destination is the file of a model on the plate");
    // As the slice says it when no layer was sliced.
    case PrintFileNothingLit: return QT_TRANSLATE_NOOP("PrintFile", "Nothing to print.");
    default: return nullptr;
    }
}

// The sentence in English (logs, the command-line tools).
inline QString PrintFileResultText(int code)
{
    const char* source = PrintFileResultSource(code);
    return source ? QString::fromLatin1(source) : QStringLiteral("unknown error %1").arg(code);
}

// The sentence in the interface's language.
inline QString PrintFileResultShown(int code)
{
    const char* source = PrintFileResultSource(code);
    return source ? QCoreApplication::translate("PrintFile", source)
                  : QCoreApplication::translate("PrintFile", "unknown error %1").arg(code);
}
