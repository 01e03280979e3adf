#pragma once

#include "dlp/machinepara.h"

#include <QMap>
#include <QString>
#include <QStringList>

// The converter's printer-model tables (model name to print-file extension
// and machine code) and the parameter block it builds for a model, shared by
// the converter panel and the command-line tools.
namespace PrinterModels {

// The ten model names of the tables, in table order.
const QStringList& Names();
// A projector printer, driven over the serial link with the light file's
// values; the others print from their file alone.
bool IsProjectorPrinter(const QString& model);
// Print-file extension without the dot ("vxs30"); empty for an unknown model.
QString Extension(const QString& model);
// Machine code written into the print file; 0 for an unknown model.
int MachineCode(const QString& model);

// The models of the tables whose files carry `code`, joined by ", ".
QString ModelsOfCode(int code);
// The sentences below speak the interface's language (context
// "PrinterModels"); without a translation they are English.
// Empty when a print file of machine code `fileCode` is one `model` (of
// code `modelCode`) prints; else why not, beginning "Wrong printer!". A
// re-save keeps the file's code, so it stays its own printer's file.
QString MachineCodeProblem(int fileCode, const QString& model, int modelCode);
// Empty when `layers` layers of `thicknessMm` fit the build height
// `heightMm` of `model`, by the count Slice judges a plate by
// (contour::LayerPlanes::CountBelow); else why not, naming both heights,
// beginning "Too tall to print!".
QString PrintHeightProblem(qint64 layers, float thicknessMm, double heightMm, const QString& model);

// What the converter panel compares a foreign archive's header with before
// converting it for a model: build size in whole micrometres and resolution.
struct ArchiveCheck
{
    int machineX = 0;
    int machineY = 0;
    int machineZ = 0;
    int resolutionX = 0;
    int resolutionY = 0;
};
// False when the model has no row (its archives are taken unchecked).
bool ArchiveCheckFor(const QString& model, ArchiveCheck& row);
// What an archive's header ("machineX", "machineY", "machineZ" in mm,
// "resolutionX", "resolutionY") states, as the check compares it: sizes in
// micrometres cut toward zero, anything missing or not a number 0.
ArchiveCheck ArchiveFrameOf(const QMap<QString, QString>& header);
// Empty when the header fits the check row of `model` (or the model has
// none); else the archive's frame and the printer's, as a sentence for
// the detail under "Image setting does not match!".
QString ArchiveFrameProblem(const QMap<QString, QString>& header, const QString& model);

// What the block takes from a row of the printer-model table.
struct Frame
{
    float xResolution = 0;
    float yResolution = 0;
    float pixelSizeX = 0; // micrometres
    float pixelSizeY = 0;
    float zHeight = 0;    // mm
    bool rotate = false;  // image turned a quarter turn: X and Y exchanged
};

// The converter's default block: the default build configuration with
// ZLiftBottomLayer 10, HighofMiddleLayer 0.6 and Dp 150.
ST_MachinePara ConverterDefaultPara();

// Elements 0 to 3 and 30 from a model row (X and Y exchanged for a rotated row).
void ApplyFrame(ST_MachinePara& para, const Frame& frame);

// The frame a re-save of a file whose block states `source` keeps for
// `model`. The converter states a turned model's frame turned; the
// application's own print files state the model's row as it stands, over
// the same turned layers: a re-save takes either and keeps it.
Frame ResaveFrame(const ST_MachinePara& source, Frame model);

// Empty when a re-save source's resolution (elements 2 and 3 of its block)
// is the frame that ApplyFrame gives the model; else why it is refused,
// beginning "Image setting does not match!".
QString SourceFrameProblem(const ST_MachinePara& source, const ST_MachinePara& model, const QString& modelName);

// The recipe values the converter writes; a negative value leaves its elements alone.
struct Recipe
{
    double exposureMs = -1;       // 5
    double bottomExposureMs = -1; // 6
    double stableMs = -1;         // 8 and 9
    double bottomMm = -1;         // 10 (burn-in range)
    double lift1Mm = -1;          // 12
    double lift2Mm = -1;          // 13
    double liftSpeed2 = -1;       // 14 and 15, mm/min
    double liftSpeed1 = -1;       // 16 and 17, mm/min
};
void ApplyRecipe(ST_MachinePara& para, const Recipe& recipe);

} // namespace PrinterModels
