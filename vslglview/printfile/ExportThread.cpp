#include "printfile/ExportThread.h"

#include "printfile/archivemember.h"
#include "printfile/filesafety.h"
#include "printfile/gcodeheader.h"
#include "printfile/layercodingpool.h"
#include "printfile/printermodels.h"
#include "printfile/runlength.h"
#include "printfile/vxsresave.h"

#include "mesh/workerpriority.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDataStream>
#include <QFileInfo>

#include <climits>

namespace {

// More layers than this is no print (100 000 layers of 10 micrometres is a metre).
constexpr int kMaxArchiveLayers = 100000;

// Preview size of a converted file, chosen by printer model name.
QSize previewSizeFor(const QString& model)
{
    static const QStringList small = {"Pellar10", "R10", "Pellar30", "Pellar40", "Pellar4K",
                                      "Pellar4Kmono", "R20", "Pellar120"};
    if (small.contains(model))
        return QSize(120, 150);
    if (model == QLatin1String("Pellar20"))
        return QSize(200, 150);
    if (model == QLatin1String("Pellar300"))
        return QSize(220, 200);
    return QSize(0, 0);
}

QString layerName(int layer)
{
    return QString::number(layer) + QStringLiteral(".png");
}

// The printer frame a model's layers are scaled to; invalid when they are
// taken at their own size.
QSize scaledFrameFor(int machineCode)
{
    return machineCode == 10 ? QSize(480, 854) : QSize();
}

QString frameMismatch(int layer, const QSize& size, const QSize& stated)
{
    return QStringLiteral("layer %1 (\"%2\") is %3 x %4 pixels, the header states %5 x %6")
        .arg(layer)
        .arg(layerName(layer))
        .arg(size.width())
        .arg(size.height())
        .arg(stated.width())
        .arg(stated.height());
}

// Names listed in a note at most; the rest are counted.
constexpr int kMaxNamedPictures = 20;

// The number a picture's name could give a layer: the name, in any folder,
// is digits (leading zeros too) and ".png" in any case. -1 when it is no
// number (a thumbnail, "x3.png"); INT_MAX when it is past any count.
int pictureNumber(const QString& name)
{
    if (!name.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        return -1;
    const int slash = qMax(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    const QStringRef stem = name.midRef(slash + 1, name.size() - 4 - (slash + 1));
    if (stem.isEmpty())
        return -1;
    int significant = 0;
    int n = 0;
    for (const QChar c : stem) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        if (significant > 0 || c != QLatin1Char('0')) {
            if (++significant <= 9)
                n = n * 10 + (c.unicode() - '0');
        }
    }
    return significant > 9 ? INT_MAX : n;
}

// Pictures of an open archive that could be layers past the `layers` the
// header counts: converting silently fewer layers would hide a print cut
// short. Those named as the layers are ("7.png") are told as a range; one
// spelled otherwise ("5.PNG", "04.png", "layers/6.png") is no layer of the
// conversion, but is named all the same. Thumbnails and other pictures
// that are no number ("preview_cropping.png") are no layers. Empty when
// there are none.
QString picturesLeftOut(QuaZip& zip, int layers)
{
    int count = 0, first = 0, last = 0;
    int otherCount = 0;
    QStringList others;
    for (const QString& name : zip.getFileNameList()) {
        const int n = pictureNumber(name);
        if (n <= layers)
            continue;
        if (n != INT_MAX && name == layerName(n)) {
            first = count == 0 ? n : qMin(first, n);
            last = count == 0 ? n : qMax(last, n);
            ++count;
            continue;
        }
        if (++otherCount <= kMaxNamedPictures)
            others << QLatin1Char('"') + name + QLatin1Char('"');
    }
    QStringList notes;
    if (count == 1)
        notes << QCoreApplication::translate(
                     "ExportThread", "1 layer picture left out (\"%1\"): the header of \"run.gcode\" counts %2 layers")
                     .arg(layerName(first))
                     .arg(layers);
    else if (count > 1)
        notes << QCoreApplication::translate("ExportThread", "%1 layer pictures left out (\"%2\" to \"%3\"): the header "
                                                             "of \"run.gcode\" counts %4 layers")
                     .arg(count)
                     .arg(layerName(first), layerName(last))
                     .arg(layers);
    if (otherCount > others.size())
        others << QCoreApplication::translate("ExportThread", "and %1 more").arg(otherCount - others.size());
    if (otherCount == 1)
        notes << QCoreApplication::translate("ExportThread",
                                             "1 other picture left out (%1): the layers are \"1.png\" to \"%2\"")
                     .arg(others.join(QStringLiteral(", ")), layerName(layers));
    else if (otherCount > 1)
        notes << QCoreApplication::translate("ExportThread",
                                             "%1 other pictures left out (%2): the layers are \"1.png\" to \"%3\"")
                     .arg(otherCount)
                     .arg(others.join(QStringLiteral(", ")), layerName(layers));
    return notes.join(QStringLiteral("; "));
}

QString megabytes(qint64 bytes)
{
    return QString::number((bytes + (1 << 20) - 1) >> 20);
}

QString memberFailure(MemberRead r)
{
    switch (r) {
    case MemberRead::Missing: return QCoreApplication::translate("ExportThread", "missing from the archive");
    case MemberRead::TooLarge: return QCoreApplication::translate("ExportThread", "too large");
    case MemberRead::Unreadable: return QCoreApplication::translate("ExportThread", "cannot be read (damaged archive)");
    case MemberRead::Ok: break;
    }
    return QString();
}

} // namespace

ExportThread::ExportThread()
    : m_zipFile(&m_zip)
{
}

ExportThread::~ExportThread()
{
    wait();
    closeArchive();
}

void ExportThread::run()
{
    vcg::LowerThisThreadPriority();
    int result;
    if (m_exportType == QLatin1String("Vexmor3D"))
        result = Export_Vexmor3D();
    else if (m_exportType == QLatin1String("ChiTuBox"))
        result = Export_ChiTuBox();
    else
        result = fail(ExportNoJob, QStringLiteral("no export job set"));
    emit signal_ExportDataDone(result, m_message);
}

int ExportThread::fail(int code, const QString& message)
{
    m_result = code;
    m_message = message;
    return code;
}

void ExportThread::closeArchive()
{
    if (m_zipFile.isOpen())
        m_zipFile.close();
    if (m_zip.isOpen())
        m_zip.close();
}

void ExportThread::discardOutput()
{
    if (m_outFile.isOpen()) {
        m_outFile.cancelWriting();
        m_outFile.commit();
    }
}

int ExportThread::Export_Vexmor3D()
{
    m_failedLayer = 0;
    int layers = 0;
    int badLayer = 0;
    QString error;
    const ResavePrinter printer{m_machineName, m_machineCode};
    switch (ResaveVxs(m_srcPath, m_dstPath, m_para, &layers, error, &badLayer, &printer)) {
    case ResaveResult::Ok:
        m_totalLayer = layers;
        return fail(ExportOk, QString());
    case ResaveResult::SourceUnreadable:
    case ResaveResult::NotVxs:
        return fail(ExportSourceInvalid, error);
    case ResaveResult::FrameMismatch:
    case ResaveResult::EmptyRun:
        m_failedLayer = badLayer;
        return fail(badLayer ? ExportLayerFailed : ExportSourceInvalid, error);
    case ResaveResult::NothingLit:
        return fail(ExportNothingLit, error);
    case ResaveResult::WrongPrinter:
        return fail(ExportWrongPrinter, error);
    case ResaveResult::TooTall:
        return fail(ExportTooTall, error);
    case ResaveResult::DestinationFailed:
        break;
    }
    return fail(ExportOutputFailed, error);
}

int ExportThread::LoadGcode_ChiTuBox()
{
    m_gcodeParas.clear();
    closeArchive();
    const QString input = InputFileProblem(m_zipPath);
    if (!input.isEmpty())
        return fail(ExportArchiveFailed, input);
    m_zip.setZipName(m_zipPath);
    if (!m_zip.open(QuaZip::mdUnzip))
        return fail(ExportArchiveFailed, QStringLiteral("cannot open the archive %1").arg(m_zipPath));
    const int result = readHeaderOfOpenArchive();
    closeArchive();
    return result;
}

int ExportThread::readHeaderOfOpenArchive()
{
    m_gcodeParas.clear();
    if (!m_zip.setCurrentFile(QStringLiteral("run.gcode"), QuaZip::csDefault) ||
        !m_zipFile.open(QIODevice::ReadOnly))
        return fail(ExportGcodeMissing, QStringLiteral("the archive holds no \"run.gcode\""));
    const bool complete = ReadGcodeHeader(m_zipFile, m_gcodeParas);
    m_zipFile.close();
    if (!complete)
        return fail(ExportBadArchiveData, QStringLiteral("the header of \"run.gcode\" is too long"));
    return fail(ExportOk, QString());
}

QString ExportThread::readPreview(QImage& preview)
{
    preview = QImage();
    QByteArray bytes;
    QString name = QStringLiteral("preview.png");
    MemberRead r = ReadArchiveMember(m_zip, m_zipFile, name, kMaxArchiveMemberBytes, bytes);
    if (r == MemberRead::Missing) {
        name = layerName(1);
        r = ReadArchiveMember(m_zip, m_zipFile, name, kMaxArchiveMemberBytes, bytes);
    }
    if (r == MemberRead::Missing)
        return QString(); // no preview at all: written as 0 by 0
    // Losing a printable archive over its thumbnail would be worse than
    // printing without one: a bad preview is written as 0 by 0 and reported.
    if (r != MemberRead::Ok)
        return tr("preview dropped: \"%1\" %2").arg(name, memberFailure(r));
    QString error;
    PngHeader header;
    if (ReadPngHeader(bytes, header, error) && ArchiveImageSizeProblem(header.size).isEmpty()) {
        // Decoding, a 32-bit copy to scale from, and the scaled images.
        const qint64 pixels = qint64(header.size.width()) * header.size.height();
        const qint64 cost = PngReaderBytes(header) + pixels * 4 + 2 * 1200 * 1600 * 4;
        if (cost > m_decodeBudget)
            return tr("preview dropped: \"%1\": image of %2 x %3 pixels at %4 bits needs %5 MB to convert, more "
                      "than the %6 MB a conversion may use")
                .arg(name)
                .arg(header.size.width())
                .arg(header.size.height())
                .arg(header.bitDepth)
                .arg(megabytes(cost), megabytes(m_decodeBudget));
    }
    if (!DecodeArchiveImage(bytes, preview, error, m_decodeBudget)) {
        preview = QImage();
        return tr("preview dropped: \"%1\": %2").arg(name, error);
    }
    return QString();
}

int ExportThread::Export_ChiTuBox()
{
    m_failedLayer = 0;
    m_message.clear();
    if (m_grayBits < 1 || m_grayBits > 7)
        return fail(ExportBadArchiveData, QStringLiteral("%1 bits per pixel cannot be coded").arg(m_grayBits));

    // Everything that can be checked is checked before any output exists.
    closeArchive();
    const QString input = InputFileProblem(m_zipPath);
    if (!input.isEmpty())
        return fail(ExportArchiveFailed, input);
    const QString destination = DestinationProblem(m_exportPath);
    if (!destination.isEmpty())
        return fail(ExportOutputFailed, destination);
    if (NamesSameFile(m_exportPath, m_zipPath))
        return fail(ExportOutputFailed, QStringLiteral("%1 is the archive being converted").arg(m_exportPath));
    m_zip.setZipName(m_zipPath);
    if (!m_zip.open(QuaZip::mdUnzip))
        return fail(ExportArchiveFailed, QStringLiteral("cannot open the archive %1").arg(m_zipPath));
    int result = readHeaderOfOpenArchive();
    if (result != ExportOk) {
        closeArchive();
        return result;
    }
    const QString twice = RepeatedMemberName(m_zip);
    if (!twice.isEmpty()) {
        closeArchive();
        // A damaged archive: no member of that name can be trusted.
        return fail(ExportLayerFailed, QStringLiteral("the archive holds more than one member named \"%1\"").arg(twice));
    }
    // The header states the frame every layer must have (after the model's
    // scaling): a file whose layers differ is no file a printer can read.
    const QSize frame(VxsFrameSide(m_para.XResolution), VxsFrameSide(m_para.YResolution));
    if (frame.isEmpty()) {
        closeArchive();
        return fail(ExportBadArchiveData, QStringLiteral("the print file's frame of %1 x %2 pixels is not usable")
                                              .arg(double(m_para.XResolution))
                                              .arg(double(m_para.YResolution)));
    }
    // Layers scaled to the printer's frame come at the frame the archive's
    // header states, and only of the printer's shape: scaling a layer of
    // any other size would stretch it, or light a whole frame from one pixel.
    QSize sourceFrame = frame;
    const QSize scaled = scaledFrameFor(m_machineCode);
    if (scaled.isValid()) {
        int x = 0, y = 0;
        const bool stated = GcodeHeaderInt(m_gcodeParas, QStringLiteral("resolutionX"), 1, kMaxArchiveImageSide, x) &&
                            GcodeHeaderInt(m_gcodeParas, QStringLiteral("resolutionY"), 1, kMaxArchiveImageSide, y);
        if (!stated || qint64(x) * scaled.height() != qint64(y) * scaled.width()) {
            closeArchive();
            return fail(ExportBadArchiveData,
                        QStringLiteral("Image setting does not match! the archive's header states a frame of \"%1\" x "
                                       "\"%2\" pixels, not one of the shape of the printer's %3 x %4")
                            .arg(m_gcodeParas.value(QStringLiteral("resolutionX")),
                                 m_gcodeParas.value(QStringLiteral("resolutionY")))
                            .arg(scaled.width())
                            .arg(scaled.height()));
        }
        sourceFrame = QSize(x, y);
    }
    int layers = 0;
    // A file without layers prints nothing: no such file is reported as done.
    if (!GcodeHeaderInt(m_gcodeParas, QStringLiteral("totalLayer"), 1, kMaxArchiveLayers, layers) ||
        layers > m_zip.getEntriesCount() - 1) {
        closeArchive();
        return fail(ExportBadArchiveData,
                    QStringLiteral("the layer count \"%1\" of \"run.gcode\" is not a number of layers this archive holds")
                        .arg(m_gcodeParas.value(QStringLiteral("totalLayer"))));
    }
    m_totalLayer = layers;
    // As a slice refuses a plate taller than the printer.
    const QString tall = PrinterModels::PrintHeightProblem(layers, m_para.SliceThickness,
                                                           double(m_para.MachineHeight), m_machineName);
    if (!tall.isEmpty()) {
        closeArchive();
        return fail(ExportTooTall, m_zipPath + QStringLiteral(": ") + tall);
    }

    QImage preview;
    QStringList notes;
    notes << readPreview(preview);
    result = writeConversion(std::move(preview), sourceFrame);
    if (result == ExportOk)
        notes << picturesLeftOut(m_zip, m_totalLayer);
    closeArchive();
    notes.removeAll(QString());
    if (result == ExportOk)
        return fail(ExportOk, notes.join(QStringLiteral("; ")));
    return result;
}

bool ExportThread::writeLayerRecord(QDataStream& out, const QVector<unsigned char>& code)
{
    out << static_cast<qint32>(code.size());
    out.writeRawData(reinterpret_cast<const char*>(code.constData()), code.size());
    return out.status() == QDataStream::Ok;
}

int ExportThread::writeConversion(QImage preview, const QSize& sourceFrame)
{
    m_outFile.setFileName(m_exportPath);
    if (!m_outFile.open(QIODevice::WriteOnly))
        return fail(ExportOutputFailed,
                    QStringLiteral("cannot create %1: %2").arg(m_exportPath, FileErrorSentence(m_outFile.error())));

    QDataStream out(&m_outFile);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    out.writeRawData("Vexmor3D", 8);
    out << qint32(-16777215) << qint32(1) << qint32(m_machineCode) << qint32(0) << qint32(34);
    const QByteArray para = VxsParaBytes(m_para);
    out.writeRawData(para.constData(), para.size());
    out << qint32(m_totalLayer) << qint32(m_grayBits);

    const QSize previewSize = preview.isNull() ? QSize(0, 0) : previewSizeFor(m_machineName);
    out << qint32(previewSize.width()) << qint32(previewSize.height());
    if (!previewSize.isEmpty()) {
        const QImage scaled = preview.scaled(previewSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                  .convertToFormat(QImage::Format_ARGB32);
        out.setByteOrder(QDataStream::BigEndian);
        for (int y = 0; y < scaled.height(); ++y) {
            const auto* row = reinterpret_cast<const quint32*>(scaled.constScanLine(y));
            for (int x = 0; x < scaled.width(); ++x)
                out << Rgb565(row[x]);
        }
        out.setByteOrder(QDataStream::LittleEndian);
    }
    if (m_machineCode == 120) {
        QByteArray png;
        if (!preview.isNull()) {
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            preview.scaled(1200, 1600, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(&buffer, "PNG");
        }
        out << qint32(png.size());
        out.writeRawData(png.constData(), png.size());
        static const char zeros[4] = {0, 0, 0, 0};
        out.writeRawData(zeros, (4 - png.size() % 4) % 4);
    }
    preview = QImage(); // its pixels are not held beside the layers'

    LayerCodingPool::Settings settings;
    settings.bitsPerPixel = m_grayBits;
    settings.scaleTo = scaledFrameFor(m_machineCode);
    settings.sourceFrame = sourceFrame;
    settings.byteBudget = m_decodeBudget;
    settings.inFlightObserver = m_inFlightObserver;
    // The cores this process may use, not the machine's: a pinned process
    // on a large host would otherwise start dozens of decoders.
    const int threads = qMax(1, UsableCoreCount() - 1);
    LayerCodingPool pool(settings, threads, threads + 2);

    LayerCodingPool::Result last;
    bool lit = false;
    const QSize frame(VxsFrameSide(m_para.XResolution), VxsFrameSide(m_para.YResolution));
    auto writeNext = [&]() -> int {
        LayerCodingPool::Result r = pool.takeNext();
        if (r.wrongFrame) {
            m_failedLayer = r.layer;
            return fail(ExportLayerFailed, frameMismatch(r.layer, r.sourceSize, sourceFrame));
        }
        if (!r.ok) {
            m_failedLayer = r.layer;
            return fail(ExportLayerFailed, QStringLiteral("layer %1 (\"%2\"): %3").arg(r.layer).arg(layerName(r.layer), r.error));
        }
        // A printer reads every layer at the frame the header states.
        if (r.grey.size() != frame) {
            m_failedLayer = r.layer;
            return fail(ExportLayerFailed, frameMismatch(r.layer, r.grey.size(), frame));
        }
        lit = lit || RunLengthLightsAnyPixel(r.code.constData(), r.code.size(), m_grayBits);
        if (!writeLayerRecord(out, r.code))
            return fail(ExportOutputFailed,
                        QStringLiteral("cannot write %1: %2").arg(m_exportPath, WriteFailureSentence(m_outFile)));
        last = std::move(r);
        return ExportOk;
    };

    int result = ExportOk;
    QByteArray bytes;
    for (int layer = 1; layer <= m_totalLayer && result == ExportOk; ++layer) {
        if (pool.isFull())
            result = writeNext();
        if (result != ExportOk)
            break;
        const MemberRead r = ReadArchiveMember(m_zip, m_zipFile, layerName(layer), kMaxArchiveMemberBytes, bytes);
        if (r != MemberRead::Ok) {
            m_failedLayer = layer;
            result = fail(ExportLayerFailed, QStringLiteral("layer %1 (\"%2\") %3").arg(layer).arg(layerName(layer), memberFailure(r)));
            break;
        }
        // A layer that alone needs more than the budget is refused, not
        // decoded; one of another frame is told as such by the pool.
        const qint64 cost = LayerCodingPool::estimateLayerBytes(bytes, settings);
        const QSize size = ArchiveImageSize(bytes);
        if (cost > m_decodeBudget && (!sourceFrame.isValid() || size == sourceFrame)) {
            while (result == ExportOk && pool.hasPending())
                result = writeNext();
            if (result == ExportOk) {
                m_failedLayer = layer;
                result = fail(ExportLayerFailed,
                              QStringLiteral("layer %1 (\"%2\"): image of %3 x %4 pixels needs %5 MB to convert, more "
                                             "than the %6 MB a conversion may use")
                                  .arg(layer)
                                  .arg(layerName(layer))
                                  .arg(size.width())
                                  .arg(size.height())
                                  .arg(megabytes(cost), megabytes(m_decodeBudget)));
            }
            break;
        }
        pool.submit(layer, std::move(bytes));
        bytes = QByteArray();
    }
    while (result == ExportOk && pool.hasPending())
        result = writeNext();
    // Black frames only: the printer would cure nothing.
    if (result == ExportOk && !lit)
        result = fail(ExportNothingLit, QStringLiteral("Nothing to print. No layer of %1 lights a pixel.").arg(m_zipPath));

    if (result != ExportOk) {
        discardOutput();
        return result;
    }
    if (out.status() != QDataStream::Ok) {
        const QString why = WriteFailureSentence(m_outFile);
        discardOutput();
        return fail(ExportOutputFailed, QStringLiteral("cannot write %1: %2").arg(m_exportPath, why));
    }
    QString why;
    if (!CommitSaveFile(m_outFile, why))
        return fail(ExportOutputFailed, QStringLiteral("cannot write %1: %2").arg(m_exportPath, why));

    if (last.ok) {
        m_layerImage = last.grey;
        m_rleData = last.code;
        m_imageWidth = m_layerImage.width();
        m_imageHeight = m_layerImage.height();
    }
    return fail(ExportOk, QString());
}

void ExportThread::CompressImage()
{
    m_imageWidth = m_layerImage.width();
    m_imageHeight = m_layerImage.height();
    const QImage grey = m_layerImage.format() == QImage::Format_Grayscale8
                            ? m_layerImage
                            : m_layerImage.convertToFormat(QImage::Format_Grayscale8);
    // An empty image or an uncodable bit depth leaves no code rather than reading pixels that do not exist.
    EncodeRunLength(grey, m_grayBits, m_rleData);
}

int ExportThread::LoadArgs(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QStringList parts = QString::fromLocal8Bit(argv[i]).split(QLatin1Char(':'));
        for (int k = 0; k + 1 < parts.size(); k += 2)
            m_gcodeParas.insert(parts.at(k), parts.at(k + 1));
    }
    return 0;
}

int ExportThread::ParseParameters()
{
    m_para.XResolution = static_cast<float>(m_gcodeParas.value(QStringLiteral("resolutionX")).toInt());
    m_para.YResolution = static_cast<float>(m_gcodeParas.value(QStringLiteral("resolutionY")).toInt());
    m_para.DotsPermmX = static_cast<float>(m_gcodeParas.value(QStringLiteral("machineWidth")).toInt());
    const double depth = m_gcodeParas.value(QStringLiteral("machineDepth")).toDouble();
    m_para.DotsPermmY = m_para.YResolution != 0 ? static_cast<float>(depth / m_para.YResolution) : 0.0f;
    return 0;
}
