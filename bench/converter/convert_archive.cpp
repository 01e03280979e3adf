// Runs the converter without a window, as the converter panel does:
//   convert_archive --model NAME [--machine-code C] [RECIPE] --out FILE ARCHIVE.zip
//   convert_archive --resave SRC --model NAME [RECIPE] --out DST
// RECIPE: --exposure-ms, --bottom-exposure-ms, --stable-ms (0 to 99999),
// --bottom-mm (0 to 1), --lift1-mm, --lift2-mm (0 to 99), --lift-speed1,
// --lift-speed2 (0 to 600 mm/min), the recipe editor's ranges; values left
// out keep the converter's defaults.
// A re-save keeps the source's layer thickness and machine code, and refuses
// a source that is not a whole VXS file, whose resolution does not fit the
// model or whose machine code is not the model's. Neither job writes a print
// taller than the model builds. No destination may be an input, a device,
// FIFO or folder.
// Prints "layers=<L> seconds=<t>" and exits 0, or a message on stderr and exits 1.

#include "bench/tooloptions.h"
#include "dlp/machinepara.h"
#include "dlp/valueranges.h"
#include "frmDeviceInterfaceSettings.h"
#include "printfile/ExportThread.h"
#include "printfile/filesafety.h"
#include "printfile/gcodeheader.h"
#include "printfile/printermodels.h"
#include "printfile/vxsresave.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <climits>
#include <cstdio>

namespace {

constexpr int kMaxResolution = 16384;

int usage(const QString& why)
{
    std::fprintf(stderr,
                 "convert_archive: %s\n"
                 "usage: convert_archive --model NAME [--machine-code C] [recipe] --out FILE ARCHIVE.zip\n"
                 "       convert_archive --resave SRC --model NAME [recipe] --out DST\n",
                 qPrintable(why));
    return 1;
}

int failWith(const QString& message)
{
    std::fprintf(stderr, "convert_archive: %s\n", qPrintable(message));
    return 1;
}

struct RecipeOption
{
    const char* name;
    double max;
    double PrinterModels::Recipe::*field;
};

// The recipe editor's ranges: the panel converts with a recipe made there.
const RecipeOption kRecipeOptions[] = {
    {"--exposure-ms", DLP::Ranges::recipeTimeMs.max, &PrinterModels::Recipe::exposureMs},
    {"--bottom-exposure-ms", DLP::Ranges::recipeTimeMs.max, &PrinterModels::Recipe::bottomExposureMs},
    {"--stable-ms", DLP::Ranges::recipeTimeMs.max, &PrinterModels::Recipe::stableMs},
    {"--bottom-mm", DLP::Ranges::recipeBurnInMm.max, &PrinterModels::Recipe::bottomMm},
    {"--lift1-mm", DLP::Ranges::recipeLiftMm.max, &PrinterModels::Recipe::lift1Mm},
    {"--lift2-mm", DLP::Ranges::recipeLiftMm.max, &PrinterModels::Recipe::lift2Mm},
    {"--lift-speed1", DLP::Ranges::recipeLiftSpeed.max, &PrinterModels::Recipe::liftSpeed1},
    {"--lift-speed2", DLP::Ranges::recipeLiftSpeed.max, &PrinterModels::Recipe::liftSpeed2},
};

bool modelFrame(const QString& model, PrinterModels::Frame& frame)
{
    const auto table = frmDeviceInterfaceSettings::machineParaTable();
    const auto it = table.constFind(model);
    if (it == table.constEnd())
        return false;
    frame.xResolution = it->xResolution;
    frame.yResolution = it->yResolution;
    frame.pixelSizeX = it->pixelSizeX;
    frame.pixelSizeY = it->pixelSizeY;
    frame.zHeight = it->zHeight;
    frame.rotate = it->rotate;
    return true;
}

// A destination must be neither an input (any spelling or link) nor a
// device, FIFO or folder.
bool destinationOk(const QString& out, const QString& input, QString& error)
{
    error = DestinationProblem(out);
    if (!error.isEmpty())
        return false;
    if (NamesSameFile(out, input)) {
        error = QStringLiteral("--out %1 would overwrite the input %2").arg(out, input);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();

    QString model, out, resave, archive, codeText;
    PrinterModels::Recipe recipe;
    QString error;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        auto value = [&](QString& into) {
            if (i + 1 >= args.size())
                return false;
            into = args.at(++i);
            return true;
        };
        bool ok = true;
        bool recipeOption = false;
        for (const RecipeOption& r : kRecipeOptions)
            if (a == QLatin1String(r.name)) {
                recipeOption = true;
                QString text;
                if (!value(text))
                    return usage(QString("%1 needs a value").arg(a));
                if (!tooloptions::Real(a, text, 0, r.max, recipe.*r.field, error))
                    return failWith(error);
            }
        if (recipeOption)
            continue;
        if (a == "--model")
            ok = value(model);
        else if (a == "--machine-code")
            ok = value(codeText);
        else if (a == "--out")
            ok = value(out);
        else if (a == "--resave")
            ok = value(resave);
        else if (a == "--thickness")
            return usage("--thickness is gone: a re-save keeps the source's layer thickness, a conversion the "
                         "archive's");
        else if (a.startsWith("--") || !archive.isEmpty())
            return usage(QString("unexpected argument %1").arg(a));
        else
            archive = a;
        if (!ok)
            return usage(QString("%1 needs a value").arg(a));
    }
    if (out.isEmpty())
        return usage("--out is required");
    if (model.isEmpty())
        return usage("--model is required");

    ExportThread job;
    job.m_dstPath = out;
    job.m_exportPath = out;
    ST_MachinePara para = PrinterModels::ConverterDefaultPara();
    PrinterModels::Frame frame;
    const bool knownFrame = modelFrame(model, frame);
    if (knownFrame)
        PrinterModels::ApplyFrame(para, frame);

    if (!resave.isEmpty()) {
        if (!archive.isEmpty() || !codeText.isEmpty())
            return usage("--resave takes no archive or machine code");
        if (!knownFrame)
            return failWith(QString("unknown printer model %1 (one of %2)")
                                .arg(model, frmDeviceInterfaceSettings::machineParaTable().keys().join(", ")));
        VxsLayout source;
        if (!ReadVxsLayout(resave, source, error))
            return failWith(error);
        PrinterModels::ApplyFrame(para, PrinterModels::ResaveFrame(source.para, frame));
        if (!IsPrintableLayerThickness(source.para.SliceThickness))
            return failWith(QString("Wrong layer thickness! %1 holds %2 mm (0.01 to 0.1 mm)")
                                .arg(resave)
                                .arg(double(source.para.SliceThickness)));
        error = PrinterModels::SourceFrameProblem(source.para, para, model);
        if (error.isEmpty())
            error = PrinterModels::MachineCodeProblem(source.machineCode, model, PrinterModels::MachineCode(model));
        if (error.isEmpty())
            error = PrinterModels::PrintHeightProblem(source.layerCount, source.para.SliceThickness,
                                                      double(frame.zHeight), model);
        if (!error.isEmpty())
            return failWith(resave + ": " + error);
        if (!destinationOk(out, resave, error))
            return failWith(error);
        para.SliceThickness = source.para.SliceThickness;
        job.m_exportType = "Vexmor3D";
        job.m_srcPath = resave;
        job.m_machineName = model;
        job.m_machineCode = PrinterModels::MachineCode(model);
    } else {
        if (archive.isEmpty())
            return usage("a conversion needs an archive");
        qint64 code = PrinterModels::MachineCode(model);
        if (!codeText.isEmpty()) {
            qint64 given = 0;
            if (!tooloptions::Whole("--machine-code", codeText, INT_MIN, INT_MAX, given, error))
                return failWith(error);
            if (code != 0 && given != code)
                return failWith(QString("--machine-code %1 is not the code of %2 (%3)").arg(given).arg(model).arg(code));
            code = given;
        }
        if (code == 0)
            return failWith(QString("unknown printer model %1: give --machine-code").arg(model));
        error = InputFileProblem(archive);
        if (!error.isEmpty())
            return failWith(error);
        if (!destinationOk(out, archive, error))
            return failWith(error);
        job.m_zipPath = archive;
        if (job.LoadGcode_ChiTuBox() != ExportOk)
            return failWith(job.lastMessage());
        int xres = 0, yres = 0;
        double layerMm = 0;
        if (!GcodeHeaderInt(job.m_gcodeParas, "resolutionX", 1, kMaxResolution, xres) ||
            !GcodeHeaderInt(job.m_gcodeParas, "resolutionY", 1, kMaxResolution, yres))
            return failWith(QString("the archive's resolution \"%1\" x \"%2\" is not usable")
                                .arg(job.m_gcodeParas.value("resolutionX"), job.m_gcodeParas.value("resolutionY")));
        if (!GcodeHeaderReal(job.m_gcodeParas, "layerHeight", 0, 1, layerMm) ||
            !IsPrintableLayerThickness(float(layerMm)))
            return failWith(QString("the archive's layer height \"%1\" is outside 0.01 to 0.1 mm")
                                .arg(job.m_gcodeParas.value("layerHeight")));
        const QString frames = PrinterModels::ArchiveFrameProblem(job.m_gcodeParas, model);
        if (!frames.isEmpty())
            return failWith("Image setting does not match! " + frames);
        if (!knownFrame) {
            para.XResolution = float(xres);
            para.YResolution = float(yres);
        }
        para.SliceThickness = float(layerMm);
        job.m_exportType = "ChiTuBox";
        job.m_machineName = model;
        job.m_machineCode = int(code);
        job.m_grayBits = 4;
    }
    PrinterModels::ApplyRecipe(para, recipe);
    job.m_para = para;

    QElapsedTimer timer;
    timer.start();
    job.start(QThread::HighPriority);
    job.wait();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (job.lastResult() != ExportOk)
        return failWith(QString("%1 (code %2)").arg(job.lastMessage()).arg(job.lastResult()));
    // A file written without the archive's preview says so.
    if (!job.lastMessage().isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(job.lastMessage()));
    std::printf("layers=%d seconds=%.3f\n", job.m_totalLayer, seconds);
    return 0;
}
