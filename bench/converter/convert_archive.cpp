// Runs the converter without a window:
//   convert_archive --model NAME --machine-code C --out FILE.vxs ARCHIVE.zip
//   convert_archive --resave SRC.vxs [--thickness MM] --out DST.vxs
// Prints "layers=<L> seconds=<t>" and exits 0, or a message on stderr and exits 1.

#include "dlp/machinepara.h"
#include "dlp/slicebuildconfig.h"
#include "printfile/ExportThread.h"
#include "printfile/gcodeheader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <cstdio>

namespace {

// Layer thickness the converter panel accepts, micrometres.
constexpr double kMinThicknessMm = 0.010;
constexpr double kMaxThicknessMm = 0.100;
constexpr int kMaxResolution = 16384;

int usage(const char* why)
{
    std::fprintf(stderr,
                 "convert_archive: %s\n"
                 "usage: convert_archive --model NAME --machine-code C --out FILE.vxs ARCHIVE.zip\n"
                 "       convert_archive --resave SRC.vxs [--thickness MM] --out DST.vxs\n",
                 why);
    return 1;
}

int failWith(const QString& message)
{
    std::fprintf(stderr, "convert_archive: %s\n", qPrintable(message));
    return 1;
}

bool thicknessOk(double mm)
{
    return mm >= kMinThicknessMm - 1e-9 && mm <= kMaxThicknessMm + 1e-9;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();

    QString model, out, resave, archive;
    QString codeText, thicknessText;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        auto value = [&](QString& into) {
            if (i + 1 >= args.size())
                return false;
            into = args.at(++i);
            return true;
        };
        bool ok = true;
        if (a == "--model")
            ok = value(model);
        else if (a == "--machine-code")
            ok = value(codeText);
        else if (a == "--out")
            ok = value(out);
        else if (a == "--resave")
            ok = value(resave);
        else if (a == "--thickness")
            ok = value(thicknessText);
        else if (a.startsWith("--") || !archive.isEmpty())
            return usage(qPrintable(QString("unexpected argument %1").arg(a)));
        else
            archive = a;
        if (!ok)
            return usage(qPrintable(QString("%1 needs a value").arg(a)));
    }
    if (out.isEmpty())
        return usage("--out is required");

    DLP::SliceBuildConfig config;
    ExportThread job;
    job.m_dstPath = out;
    job.m_exportPath = out;

    if (!resave.isEmpty()) {
        if (!archive.isEmpty() || !model.isEmpty() || !codeText.isEmpty())
            return usage("--resave takes no archive, model or machine code");
        if (!thicknessText.isEmpty()) {
            bool ok = false;
            const double mm = thicknessText.toDouble(&ok);
            if (!ok || !thicknessOk(mm))
                return failWith(QString("layer thickness %1 mm is outside 0.01 to 0.1 mm").arg(thicknessText));
            config.SliceThickness = static_cast<float>(mm);
        }
        job.m_exportType = "Vexmor3D";
        job.m_srcPath = resave;
    } else {
        if (archive.isEmpty() || model.isEmpty() || codeText.isEmpty())
            return usage("a conversion needs --model, --machine-code and an archive");
        if (!thicknessText.isEmpty())
            return usage("--thickness belongs to --resave");
        bool ok = false;
        const int code = codeText.toInt(&ok);
        if (!ok)
            return usage("the machine code is not a number");
        job.m_zipPath = archive;
        if (job.LoadGcode_ChiTuBox() != ExportOk)
            return failWith(job.lastMessage());
        int xres = 0, yres = 0;
        double layerMm = 0;
        if (!GcodeHeaderInt(job.m_gcodeParas, "resolutionX", 1, kMaxResolution, xres) ||
            !GcodeHeaderInt(job.m_gcodeParas, "resolutionY", 1, kMaxResolution, yres))
            return failWith(QString("the archive's resolution \"%1\" x \"%2\" is not usable")
                                .arg(job.m_gcodeParas.value("resolutionX"), job.m_gcodeParas.value("resolutionY")));
        if (!GcodeHeaderReal(job.m_gcodeParas, "layerHeight", kMinThicknessMm - 1e-9, kMaxThicknessMm + 1e-9, layerMm))
            return failWith(QString("the archive's layer height \"%1\" is outside 0.01 to 0.1 mm")
                                .arg(job.m_gcodeParas.value("layerHeight")));
        config.XResolution = xres;
        config.YResolution = yres;
        config.SliceThickness = static_cast<float>(layerMm);
        job.m_exportType = "ChiTuBox";
        job.m_machineName = model;
        job.m_machineCode = code;
        job.m_grayBits = 4;
    }
    config.UpdateblankTime();
    job.m_para = DLP::machineParaFrom(config);

    QElapsedTimer timer;
    timer.start();
    job.start(QThread::HighPriority);
    job.wait();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (job.lastResult() != ExportOk)
        return failWith(QString("%1 (code %2)").arg(job.lastMessage()).arg(job.lastResult()));
    std::printf("layers=%d seconds=%.3f\n", job.m_totalLayer, seconds);
    return 0;
}
