#include "printfile/vxsresave.h"

#include "printfile/printermodels.h"
#include "printfile/runlength.h"

#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include <cstring>

namespace {

// Converter files carry this format word; only their code 120 has a PNG block.
constexpr qint32 kConverterFormatWord = -16777215;
constexpr qint32 kMaxPreviewSide = 4096;
constexpr qint64 kPreviewOffset = kVxsLayerCountOffset + 8;
constexpr float kMaxFrameSide = 16384.0f;

bool readInt(QIODevice& file, qint64 offset, qint32& value)
{
    uchar bytes[4];
    if (!file.seek(offset) || file.read(reinterpret_cast<char*>(bytes), 4) != 4)
        return false;
    value = qFromLittleEndian<qint32>(bytes);
    return true;
}

// How many layer records fill [offset, size) exactly; 0 when the bytes are
// no whole number of records.
int countWholeRecords(QIODevice& file, qint64 offset, qint64 size)
{
    int count = 0;
    while (offset < size && count < kMaxVxsLayers) {
        qint32 n = 0;
        if (!readInt(file, offset, n) || n < 0 || offset + 4 + n > size)
            return 0;
        offset += 4 + n;
        ++count;
    }
    return offset == size ? count : 0;
}

} // namespace

int VxsFrameSide(float value)
{
    if (!(value >= 1.0f && value <= kMaxFrameSide) || value != float(int(value)))
        return 0;
    return int(value);
}

bool IsPrintableLayerThickness(float mm, float* micrometres)
{
    const float um = mm * 1000.0f;
    if (micrometres)
        *micrometres = um;
    return um >= 10.0f && um <= 100.0f; // false for NaN
}

QByteArray VxsParaBytes(const ST_MachinePara& para)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    const float* values = DLP::machineParaValues(para);
    for (int i = 0; i < 34; ++i)
        out << values[i];
    return bytes;
}

bool IsVxsHeader(const QByteArray& head, int* layerCount)
{
    if (head.size() < kVxsMinHeaderBytes || !head.startsWith("Vexmor3D"))
        return false;
    const auto* data = reinterpret_cast<const uchar*>(head.constData());
    if (qFromLittleEndian<qint32>(data + 24) != 34)
        return false;
    if (layerCount)
        *layerCount = qFromLittleEndian<qint32>(data + kVxsLayerCountOffset);
    return true;
}

bool ReadVxsLayout(QIODevice& file, VxsLayout& layout, QString& error)
{
    const qint64 size = file.size();
    if (!file.seek(0)) {
        error = QStringLiteral("cannot be read");
        return false;
    }
    const QByteArray head = file.read(kPreviewOffset + 8);
    int layers = 0;
    if (!IsVxsHeader(head, &layers)) {
        error = QStringLiteral("is not a VXS print file");
        return false;
    }
    if (head.size() < kPreviewOffset + 8) {
        error = QStringLiteral("ends inside its header");
        return false;
    }
    const auto* data = reinterpret_cast<const uchar*>(head.constData());
    const qint32 format = qFromLittleEndian<qint32>(data + 8);
    layout.machineCode = qFromLittleEndian<qint32>(data + 16);
    float* values = &layout.para.DotsPermmX;
    for (int i = 0; i < 34; ++i) {
        const quint32 bits = qFromLittleEndian<quint32>(data + kVxsParaOffset + 4 * i);
        std::memcpy(values + i, &bits, 4);
    }
    if (layers < 1 || layers > kMaxVxsLayers) {
        error = QStringLiteral("claims %1 layers (1 to %2 can be printed)").arg(layers).arg(kMaxVxsLayers);
        return false;
    }
    const qint32 bits = qFromLittleEndian<qint32>(data + kVxsLayerCountOffset + 4);
    if (bits < 1 || bits > 7) {
        error = QStringLiteral("claims %1 bits per pixel").arg(bits);
        return false;
    }
    const qint32 pw = qFromLittleEndian<qint32>(data + kPreviewOffset);
    const qint32 ph = qFromLittleEndian<qint32>(data + kPreviewOffset + 4);
    if (pw < 0 || ph < 0 || pw > kMaxPreviewSide || ph > kMaxPreviewSide) {
        error = QStringLiteral("claims a preview of %1 x %2 pixels").arg(pw).arg(ph);
        return false;
    }
    qint64 offset = kPreviewOffset + 8 + 2 * qint64(pw) * ph;
    const bool png = layout.machineCode == 120 || (layout.machineCode == 200 && format != kConverterFormatWord);
    if (png) {
        qint32 n = 0;
        if (!readInt(file, offset, n) || n < 0 || offset + 4 + n > size) {
            error = QStringLiteral("ends inside its preview image");
            return false;
        }
        offset += 4 + (qint64(n) + 3) / 4 * 4;
    }
    layout.firstLayerOffset = offset;
    for (int i = 0; i < layers; ++i) {
        qint32 n = 0;
        if (!readInt(file, offset, n) || n < 0 || offset + 4 + n > size) {
            error = QStringLiteral("is cut short: layer %1 of %2 is missing or incomplete").arg(i + 1).arg(layers);
            return false;
        }
        offset += 4 + n;
    }
    // A printer reads the layers its header counts; whatever follows them
    // would be copied along and never printed.
    if (offset != size) {
        const int more = countWholeRecords(file, offset, size);
        if (more > 0)
            error = QStringLiteral("holds %1 layer records, not the %2 its header counts").arg(layers + more).arg(layers);
        else
            error = QStringLiteral("holds %1 bytes after its last layer").arg(size - offset);
        return false;
    }
    layout.layerCount = layers;
    layout.bitsPerPixel = bits;
    return true;
}

bool ReadVxsLayout(const QString& path, VxsLayout& layout, QString& error)
{
    const QString problem = InputFileProblem(path);
    if (!problem.isEmpty()) {
        error = problem;
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        return false;
    }
    if (!ReadVxsLayout(static_cast<QIODevice&>(file), layout, error)) {
        error = path + QLatin1Char(' ') + error;
        return false;
    }
    return true;
}

bool CheckVxsLayerFrames(QIODevice& file, const VxsLayout& layout, int width, int height, int& badLayer,
                         QString& error, bool* lit, int* emptyRunLayer)
{
    badLayer = 0;
    if (lit)
        *lit = false;
    if (emptyRunLayer)
        *emptyRunLayer = 0;
    const quint64 frame = quint64(qMax(width, 0)) * quint64(qMax(height, 0));
    if (frame == 0) {
        error = QStringLiteral("the header states no frame (%1 x %2 pixels)").arg(width).arg(height);
        return false;
    }
    qint64 offset = layout.firstLayerOffset;
    QByteArray code;
    const quint64 maxCode = MaxRunLengthBytes(frame);
    for (int i = 0; i < layout.layerCount; ++i) {
        qint32 n = 0;
        // The layout was checked whole: every record lies within the file.
        if (!readInt(file, offset, n) || n < 0 || !file.seek(offset + 4)) {
            error = QStringLiteral("cannot read layer %1").arg(i + 1);
            badLayer = i + 1;
            return false;
        }
        // Judged by its size before it is read: a record the frame cannot
        // need (a sparse file may claim gigabytes) is never allocated.
        if (quint64(n) > maxCode) {
            error = QStringLiteral("layer %1 holds %2 bytes of code, more than the %3 x %4 frame the header states "
                                   "can need")
                        .arg(i + 1)
                        .arg(n)
                        .arg(width)
                        .arg(height);
            badLayer = i + 1;
            return false;
        }
        code = file.read(n);
        if (code.size() != n) {
            error = QStringLiteral("cannot read layer %1").arg(i + 1);
            badLayer = i + 1;
            return false;
        }
        // Counted a little past the frame, so the message can say how many.
        const quint64 limit = frame * 16;
        const quint64 pixels = RunLengthPixelCount(reinterpret_cast<const uchar*>(code.constData()), n,
                                                   layout.bitsPerPixel, limit);
        if (pixels != frame) {
            error = QStringLiteral("layer %1 holds %2 pixels, not the %3 x %4 frame the header states")
                        .arg(i + 1)
                        .arg(pixels > limit ? QStringLiteral("more than %1").arg(limit) : QString::number(pixels))
                        .arg(width)
                        .arg(height);
            badLayer = i + 1;
            return false;
        }
        const auto* runs = reinterpret_cast<const uchar*>(code.constData());
        if ((!emptyRunLayer || !*emptyRunLayer) && RunLengthHasEmptyRun(runs, n, layout.bitsPerPixel)) {
            if (!emptyRunLayer) {
                error = QStringLiteral("layer %1 holds a run of length 0").arg(i + 1);
                badLayer = i + 1;
                return false;
            }
            *emptyRunLayer = i + 1;
        }
        if (lit && !*lit)
            *lit = RunLengthLightsAnyPixel(runs, n, layout.bitsPerPixel);
        offset += 4 + n;
    }
    return true;
}

namespace {

QString writeError(const QString& path, const QFileDevice& file)
{
    return QStringLiteral("cannot write %1: %2").arg(path, WriteFailureSentence(file));
}

ResaveResult patchInPlace(const QString& path, const QByteArray& block, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        error = QStringLiteral("cannot open %1 for writing: %2").arg(path, FileErrorSentence(file.error()));
        return ResaveResult::DestinationFailed;
    }
    if (!file.seek(kVxsParaOffset) || file.write(block) != block.size() || !file.flush()) {
        error = writeError(path, file);
        return ResaveResult::DestinationFailed;
    }
    return ResaveResult::Ok;
}

ResaveResult copyPatched(const QString& src, const QString& dst, const QByteArray& block, QString& error)
{
    QFile in(src);
    if (!in.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot open %1: %2").arg(src, in.errorString());
        return ResaveResult::SourceUnreadable;
    }
    QByteArray head = in.read(kVxsMinHeaderBytes);
    if (!IsVxsHeader(head)) {
        error = QStringLiteral("%1 is not a VXS print file").arg(src);
        return ResaveResult::NotVxs;
    }
    head.replace(static_cast<int>(kVxsParaOffset), static_cast<int>(kVxsParaBytes), block);

    QSaveFile out(dst);
    if (!out.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("cannot create %1: %2").arg(dst, FileErrorSentence(out.error()));
        return ResaveResult::DestinationFailed;
    }
    bool ok = out.write(head) == head.size();
    QByteArray chunk;
    while (ok && !in.atEnd()) {
        chunk = in.read(1 << 20);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError) {
            error = QStringLiteral("cannot read %1: %2").arg(src, in.errorString());
            out.cancelWriting();
            out.commit();
            return ResaveResult::SourceUnreadable;
        }
        ok = out.write(chunk) == chunk.size();
    }
    if (!ok) {
        error = writeError(dst, out);
        out.cancelWriting();
        out.commit();
        return ResaveResult::DestinationFailed;
    }
    QString why;
    if (!CommitSaveFile(out, why)) {
        error = QStringLiteral("cannot write %1: %2").arg(dst, why);
        return ResaveResult::DestinationFailed;
    }
    return ResaveResult::Ok;
}

} // namespace

ResaveResult ResaveVxs(const QString& src, const QString& dst, const ST_MachinePara& para, int* layerCount,
                       QString& error, int* badLayer, const ResavePrinter* printer)
{
    const QByteArray block = VxsParaBytes(para);
    if (!QFileInfo::exists(src) || !QFileInfo(src).isFile()) {
        error = InputFileProblem(src);
        return ResaveResult::SourceUnreadable;
    }
    const QString destination = DestinationProblem(dst);
    if (!destination.isEmpty()) {
        error = destination;
        return ResaveResult::DestinationFailed;
    }
    // A truncated or lying source is refused before anything is copied.
    VxsLayout layout;
    if (!ReadVxsLayout(src, layout, error))
        return ResaveResult::NotVxs;
    if (layerCount)
        *layerCount = layout.layerCount;
    if (printer) {
        QString problem = PrinterModels::MachineCodeProblem(layout.machineCode, printer->model, printer->machineCode);
        if (!problem.isEmpty()) {
            error = src + QStringLiteral(": ") + problem;
            return ResaveResult::WrongPrinter;
        }
        problem = PrinterModels::PrintHeightProblem(layout.layerCount, para.SliceThickness,
                                                    double(para.MachineHeight), printer->model);
        if (!problem.isEmpty()) {
            error = src + QStringLiteral(": ") + problem;
            return ResaveResult::TooTall;
        }
    }
    // Layers only print on the frame they were made for, and the new
    // header must state that frame.
    const int width = VxsFrameSide(para.XResolution), height = VxsFrameSide(para.YResolution);
    if (layout.para.XResolution != para.XResolution || layout.para.YResolution != para.YResolution) {
        error = QStringLiteral("Image setting does not match! the source is %1 x %2 pixels, the new header states "
                               "%3 x %4")
                    .arg(double(layout.para.XResolution))
                    .arg(double(layout.para.YResolution))
                    .arg(double(para.XResolution))
                    .arg(double(para.YResolution));
        return ResaveResult::FrameMismatch;
    }
    {
        QFile in(src);
        int bad = 0, emptyRun = 0;
        bool lit = false;
        if (!in.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("cannot open %1: %2").arg(src, in.errorString());
            return ResaveResult::SourceUnreadable;
        }
        if (!CheckVxsLayerFrames(in, layout, width, height, bad, error, &lit, &emptyRun)) {
            error = src + QLatin1Char(' ') + error;
            if (badLayer)
                *badLayer = bad;
            return ResaveResult::FrameMismatch;
        }
        if (!lit) {
            error = QStringLiteral("Nothing to print. No layer of %1 lights a pixel.").arg(src);
            return ResaveResult::NothingLit;
        }
        // A copy, or the source patched in place, would carry the run on
        // to a printer that refuses it.
        if (emptyRun) {
            error = QStringLiteral("%1 layer %2 holds a run of length 0: the file is damaged").arg(src).arg(emptyRun);
            if (badLayer)
                *badLayer = emptyRun;
            return ResaveResult::EmptyRun;
        }
    }
    if (IsSameFile(src, dst))
        return patchInPlace(src, block, error);
    return copyPatched(src, dst, block, error);
}
