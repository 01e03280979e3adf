#include "printfile/layerrender.h"
#include "printfile/layerrenderpool.h"
#include "printfile/previewcodec.h"
#include "printfile/printfilewriter.h"
#include "printfile/filesafety.h"
#include "printfile/runlength.h"
#include "printfile/savefilestream.h"

#include <QSize>

#include <cmath>

namespace PrintFile {

namespace {

bool IsASourceFile(const PrintJobInput& input, const QString& path)
{
    return NamesAnyOf(path, input.sourceFiles);
}

constexpr int kBitsPerPixel = kLayerImageBits;
constexpr int kParameterCount = 34;
constexpr float kMaxFrameSide = 16384.0f; // bounds each worker's frame allocation

bool hasPngBlock(int machineCode)
{
    return machineCode == 120 || machineCode == 200;
}

// Truncates a resolution from the parameter block; 0 when it is not a frame side.
int frameSide(float value)
{
    if (!(value >= 1.0f && value <= kMaxFrameSide))
        return 0;
    return int(value);
}

void writeHeader(SaveFileStream& out, const PrintJobInput& input, const ST_MachinePara& para, int layerCount)
{
    QDataStream& s = out.stream();
    out.writeRaw("Vexmor3D", 8);
    s << qint32(1) << qint32(1) << qint32(input.machineCode) << qint32(0);
    s << qint32(kParameterCount);
    const float* values = DLP::machineParaValues(para);
    for (int i = 0; i < kParameterCount; ++i)
        s << values[i];
    s << qint32(layerCount) << qint32(kBitsPerPixel);
}

void writePreview(SaveFileStream& out, const PrintJobInput& input)
{
    const QSize size = input.preview.isNull() ? QSize(0, 0) : VxsPreviewSize(input.machineCode);
    const QVector<quint16> pixels = PreviewRgb565(input.preview, size);
    out.stream() << qint32(size.width()) << qint32(size.height());
    QByteArray bigEndian(pixels.size() * 2, Qt::Uninitialized);
    for (int i = 0; i < pixels.size(); ++i) {
        bigEndian[2 * i] = char(pixels[i] >> 8);
        bigEndian[2 * i + 1] = char(pixels[i] & 0xFF);
    }
    out.writeRaw(bigEndian.constData(), bigEndian.size());
}

void writePngBlock(SaveFileStream& out, const QImage& image)
{
    const QByteArray png = PreviewPng(image);
    out.stream() << qint32(png.size());
    out.writeRaw(png.constData(), png.size());
    out.writeZeros((4 - png.size() % 4) % 4);
}

} // namespace

QSize VxsPreviewSize(int machineCode)
{
    switch (machineCode) {
    case 10: case 30: case 120: case 200: case 240: case 300: case 4000: case 4500:
        return QSize(120, 150);
    case 201:
        return QSize(200, 150);
    case 301:
        return QSize(220, 200);
    default:
        return QSize(0, 0);
    }
}

int CheckVxs(const PrintJobInput& input, const ST_MachinePara& para)
{
    if (!input.modelLayers)
        return PrintFileNoLayers;
    // A file without layers cures nothing; the printer would still run it.
    if (input.modelLayers->isEmpty())
        return PrintFileNothingLit;
    if (frameSide(para.XResolution) == 0 || frameSide(para.YResolution) == 0)
        return PrintFileBadFrame;
    return PrintFileOk;
}

int WriteVxs(const PrintJobInput& input, const ST_MachinePara& para, SaveFileStream& out, int workerCount)
{
    const int check = CheckVxs(input, para);
    if (check != PrintFileOk)
        return check;
    const SliceLayers& layers = *input.modelLayers;
    const int width = frameSide(para.XResolution);
    const int height = frameSide(para.YResolution);

    writeHeader(out, input, para, layers.size());
    writePreview(out, input);
    if (hasPngBlock(input.machineCode))
        writePngBlock(out, input.previewLarge);
    if (!out.ok())
        return out.writeFailure();

    const int workers = workerCount > 0 ? workerCount : LayerRenderPool::defaultWorkerCount(layers.size());
    LayerRenderPool pool(input.imageRotate, kBitsPerPixel, width, height, workers);
    bool writeFailed = false;
    bool lit = false;
    const bool rendered = pool.run(layers, [&](int, const QVector<unsigned char>& code) {
        lit = lit || RunLengthLightsAnyPixel(code.constData(), code.size(), kBitsPerPixel);
        out.stream() << qint32(code.size());
        out.writeRaw(code.constData(), code.size());
        writeFailed = !out.ok();
        return !writeFailed;
    });
    if (writeFailed)
        return out.writeFailure();
    if (!rendered)
        return PrintFileRenderFailed;
    // Outlines too small to light a pixel leave every frame black: such a
    // file is never committed.
    if (!lit)
        return PrintFileNothingLit;
    return PrintFileOk;
}

int generatePrintableData_VXS(const PrintJobInput& input, const ST_MachinePara& para, const QString& /*path*/,
                              int workerCount)
{
    if (IsASourceFile(input, input.saveFileName))
        return PrintFileOntoSource;
    const int check = CheckVxs(input, para);
    if (check != PrintFileOk)
        return check;
    SaveFileStream out(input.saveFileName);
    const int opened = out.open();
    if (opened != PrintFileOk)
        return opened;
    const int written = WriteVxs(input, para, out, workerCount);
    if (written != PrintFileOk)
        return written; // the temporary file goes with `out`
    return out.commit();
}

QString VxtFileName(const QString& saveFileName)
{
    const int slash = qMax(saveFileName.lastIndexOf('/'), saveFileName.lastIndexOf('\\'));
    const int dot = saveFileName.lastIndexOf('.');
    if (dot > slash)
        return saveFileName.left(dot + 1) + "vxt";
    return saveFileName + ".vxt";
}

int generatePrintableData(const PrintJobInput& input, const ST_MachinePara& para, const QString& path)
{
    if (input.machineCode != 120)
        return generatePrintableData_VXS(input, para, path);

    // Both files or neither: every check comes before either is written, and
    // both are complete before either replaces its destination.
    const QString vxtPath = VxtTargetPath(input, VxtFileName(input.saveFileName));
    if (NamesSameFile(vxtPath, input.saveFileName))
        return PrintFileNameClash;
    if (IsASourceFile(input, vxtPath) || IsASourceFile(input, input.saveFileName))
        return PrintFileOntoSource;
    if (!DestinationProblem(vxtPath).isEmpty() || !DestinationProblem(input.saveFileName).isEmpty())
        return PrintFileBadDestination;
    const int check = CheckVxs(input, para);
    if (check != PrintFileOk)
        return check;
    SaveFileStream vxt(vxtPath);
    SaveFileStream vxs(input.saveFileName);
    int result = vxt.open();
    if (result == PrintFileOk)
        result = vxs.open();
    if (result == PrintFileOk)
        result = WriteVxt(input, para, vxt);
    if (result == PrintFileOk)
        result = WriteVxs(input, para, vxs, 0);
    if (result != PrintFileOk)
        return result;
    result = vxt.commit();
    if (result != PrintFileOk)
        return result;
    return vxs.commit();
}

} // namespace PrintFile
