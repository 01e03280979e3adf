#include "printfile/printermodels.h"

#include "contour/slicegeometry.h"

#include <QCoreApplication>
#include <QVector>

#include <cmath>

namespace PrinterModels {

namespace {

struct Row
{
    const char* name;
    const char* extension;
    int code;
};

const Row kRows[] = {
    {"R10", "vxs", 10},           {"Pellar10", "vxs", 10},      {"R20", "vxs30", 30},
    {"Pellar30", "vxs30", 30},    {"Pellar4K", "vxs4k", 4000},  {"Pellar4Kmono", "vxs4k", 4500},
    {"Pellar120", "vxs120", 120}, {"Pellar200", "vxs200", 200}, {"Pellar200Pro", "vxs200p", 240},
    {"Pellar300", "vxs300", 300},
};

const Row* find(const QString& model)
{
    for (const Row& r : kRows)
        if (model == QLatin1String(r.name))
            return &r;
    return nullptr;
}

} // namespace

const QStringList& Names()
{
    static const QStringList names = [] {
        QStringList list;
        for (const Row& r : kRows)
            list << QString::fromLatin1(r.name);
        return list;
    }();
    return names;
}

bool IsProjectorPrinter(const QString& model)
{
    static const QStringList projector = {"Pellar120", "Pellar200", "Pellar200Pro", "Pellar300"};
    return projector.contains(model);
}

QString Extension(const QString& model)
{
    const Row* r = find(model);
    return r ? QString::fromLatin1(r->extension) : QString();
}

int MachineCode(const QString& model)
{
    const Row* r = find(model);
    return r ? r->code : 0;
}

QString ModelsOfCode(int code)
{
    QStringList names;
    for (const Row& r : kRows)
        if (r.code == code)
            names << QString::fromLatin1(r.name);
    return names.join(QStringLiteral(", "));
}

QString MachineCodeProblem(int fileCode, const QString& model, int modelCode)
{
    if (fileCode == modelCode)
        return QString();
    const QString owners = ModelsOfCode(fileCode);
    return QCoreApplication::translate("PrinterModels", "Wrong printer! the source is a print file of machine code %1 "
                                                        "(%2); %3 prints only files of its own code %4")
        .arg(fileCode)
        .arg(owners.isEmpty() ? QCoreApplication::translate("PrinterModels", "no known printer") : owners)
        .arg(model.isEmpty() ? QCoreApplication::translate("PrinterModels", "the printer") : model)
        .arg(modelCode);
}

QString PrintHeightProblem(qint64 layers, float thicknessMm, double heightMm, const QString& model)
{
    // A thickness with no layer step measures no height; the thickness
    // checks refuse it.
    if (!(std::trunc(thicknessMm * 1000.0f) >= 1.0f))
        return QString();
    if (layers <= contour::LayerPlanes::CountBelow(thicknessMm, heightMm))
        return QString();
    const double tall = double(layers) * double(thicknessMm);
    return QCoreApplication::translate("PrinterModels", "Too tall to print! its %1 layers of %2 mm make %3 mm, more "
                                                        "than the build height of %4, %5 mm")
        .arg(layers)
        .arg(double(thicknessMm), 0, 'g', 6)
        .arg(tall, 0, 'f', 2)
        .arg(model.isEmpty() ? QCoreApplication::translate("PrinterModels", "the printer") : model)
        .arg(heightMm, 0, 'g', 6);
}

bool ArchiveCheckFor(const QString& model, ArchiveCheck& row)
{
    static const struct
    {
        const char* names[2];
        ArchiveCheck row;
    } rows[] = {
        {{"Pellar10", "R10"}, {55440, 98637, 140000, 960, 1708}},
        {{"Pellar30", "R20"}, {68040, 120960, 170000, 1440, 2560}},
        {{"Pellar120", nullptr}, {68040, 120960, 150000, 1440, 2560}},
        {{"Pellar4K", "Pellar4Kmono"}, {68040, 120960, 190000, 6480, 3840}},
        {{"Pellar200", nullptr}, {192000, 120000, 230000, 2560, 1600}},
        {{"Pellar200Pro", nullptr}, {192000, 120000, 230000, 3840, 2400}},
        {{"Pellar300", nullptr}, {293760, 165240, 360000, 3840, 2160}},
    };
    for (const auto& r : rows)
        for (const char* name : r.names)
            if (name && model == QLatin1String(name)) {
                row = r.row;
                return true;
            }
    return false;
}

ArchiveCheck ArchiveFrameOf(const QMap<QString, QString>& header)
{
    const auto micrometres = [&header](const char* key) {
        const float um = header.value(QLatin1String(key)).toFloat() * 1000.0f;
        return std::isfinite(um) && std::fabs(um) <= 2.0e9f ? int(um) : 0;
    };
    ArchiveCheck frame;
    frame.machineX = micrometres("machineX");
    frame.machineY = micrometres("machineY");
    frame.machineZ = micrometres("machineZ");
    frame.resolutionX = header.value(QStringLiteral("resolutionX")).toInt();
    frame.resolutionY = header.value(QStringLiteral("resolutionY")).toInt();
    return frame;
}

QString ArchiveFrameProblem(const QMap<QString, QString>& header, const QString& model)
{
    ArchiveCheck row;
    if (!ArchiveCheckFor(model, row))
        return QString();
    const ArchiveCheck a = ArchiveFrameOf(header);
    if (a.machineX == row.machineX && a.machineY == row.machineY && a.machineZ == row.machineZ &&
        a.resolutionX == row.resolutionX && a.resolutionY == row.resolutionY)
        return QString();
    const auto mm = [](int um) { return QString::number(double(um) / 1000.0, 'g', 10); };
    return QCoreApplication::translate("PrinterModels", "The archive is made for %1 x %2 x %3 mm at %4 x %5 pixels; "
                                                        "%6 builds %7 x %8 x %9 mm at %10 x %11 pixels.")
        .arg(mm(a.machineX), mm(a.machineY), mm(a.machineZ))
        .arg(a.resolutionX)
        .arg(a.resolutionY)
        .arg(model, mm(row.machineX), mm(row.machineY), mm(row.machineZ))
        .arg(row.resolutionX)
        .arg(row.resolutionY);
}

ST_MachinePara ConverterDefaultPara()
{
    ST_MachinePara para = DLP::machineParaFrom(DLP::SliceBuildConfig());
    para.ZLiftBottomLayer = 10;
    para.HighofMiddleLayer = 0.6f;
    para.Dp = 150;
    return para;
}

void ApplyFrame(ST_MachinePara& para, const Frame& f)
{
    const float sx = f.rotate ? f.pixelSizeY : f.pixelSizeX;
    const float sy = f.rotate ? f.pixelSizeX : f.pixelSizeY;
    para.DotsPermmX = sx > 0 ? 1000.0f / sx : 0.0f;
    para.DotsPermmY = sy > 0 ? 1000.0f / sy : 0.0f;
    para.XResolution = f.rotate ? f.yResolution : f.xResolution;
    para.YResolution = f.rotate ? f.xResolution : f.yResolution;
    para.MachineHeight = f.zHeight;
}

Frame ResaveFrame(const ST_MachinePara& source, Frame model)
{
    if (model.rotate && source.XResolution == model.xResolution && source.YResolution == model.yResolution)
        model.rotate = false;
    return model;
}

QString SourceFrameProblem(const ST_MachinePara& source, const ST_MachinePara& model, const QString& modelName)
{
    // Layers only print on the frame they were made for.
    if (source.XResolution == model.XResolution && source.YResolution == model.YResolution)
        return QString();
    const bool turned = source.XResolution == model.YResolution && source.YResolution == model.XResolution;
    return QCoreApplication::translate("PrinterModels",
                                       "Image setting does not match! the source is %1 x %2 pixels, %3 takes %4 x %5%6")
        .arg(double(source.XResolution))
        .arg(double(source.YResolution))
        .arg(modelName)
        .arg(double(model.XResolution))
        .arg(double(model.YResolution))
        .arg(turned ? QCoreApplication::translate("PrinterModels", " (image turned a quarter turn)") : QString());
}

void ApplyRecipe(ST_MachinePara& para, const Recipe& r)
{
    auto set = [](double v, std::initializer_list<float*> into) {
        if (v >= 0)
            for (float* p : into)
                *p = float(v);
    };
    set(r.exposureMs, {&para.ExposureTimePerLayer});
    set(r.bottomExposureMs, {&para.BottomExposureTime});
    set(r.stableMs, {&para.BottomMaterialStable, &para.MaterialStable});
    set(r.bottomMm, {&para.HighofBottomLayer});
    set(r.lift1Mm, {&para.ZLiftDistance});
    set(r.lift2Mm, {&para.ZLiftDistance2});
    set(r.liftSpeed2, {&para.ZLiftSpeed, &para.ZRetractSpeed});
    set(r.liftSpeed1, {&para.ZLiftBottomSpeed, &para.ZLiftFirstBottomSpeed});
}

} // namespace PrinterModels
