#include "dlp/machinepara.h"
#include "printfile/layerrender.h"
#include "printfile/previewcodec.h"
#include "printfile/printfilewriter.h"
#include "printfile/savefilestream.h"
#include "support/SupportGeometry.h"

#include <QSize>

#include <cmath>
#include <limits>

namespace PrintFile {

namespace {

constexpr int kHeaderWords = 27;
constexpr int kTableSlots = 10;
constexpr int kTableOffsetBytes = 28;
constexpr int kParameterCount = 34;

// Word counts of the layer section: per-layer lengths and their running ends.
struct LayerWords
{
    QVector<qint64> cumulativeEnds;
    qint64 largest = -1;
};

// A model polygon as the file holds it: cut at the frame's edges (see
// MapLayerPolygon); one wholly outside is left out.
QPolygonF framedModelPolygon(const SlicePolygon& polygon, int width, int height)
{
    return MapLayerPolygon(polygon, false, width, height);
}

qint64 polygonWords(const QVector<SlicePolygon>& polygons)
{
    qint64 words = 0;
    for (const SlicePolygon& polygon : polygons)
        words += 1 + 2 * qint64(polygon.size());
    return words;
}

qint64 modelPolygonWords(const QVector<SlicePolygon>& polygons, int width, int height)
{
    qint64 words = 0;
    for (const SlicePolygon& polygon : polygons) {
        const qint64 points = framedModelPolygon(polygon, width, height).size();
        words += points ? 1 + 2 * points : 0;
    }
    return words;
}

LayerWords countLayerWords(const SliceLayers& model, const SliceLayers& support, int width, int height)
{
    LayerWords result;
    qint64 end = 0;
    for (int i = 0; i < model.size(); ++i) {
        qint64 length = modelPolygonWords(model[i], width, height);
        if (i < support.size())
            length += polygonWords(support[i]);
        end += length;
        result.largest = qMax(result.largest, length);
        result.cumulativeEnds.append(end);
    }
    return result;
}

template <class Polygon> void writePolygon(QDataStream& s, const Polygon& polygon)
{
    s << qint32(polygon.size());
    for (const QPointF p : polygon)
        s << float(p.x()) << float(p.y());
}

void writeModelPolygons(QDataStream& s, const QVector<SlicePolygon>& polygons, int width, int height)
{
    for (const SlicePolygon& polygon : polygons) {
        const QPolygonF framed = framedModelPolygon(polygon, width, height);
        if (!framed.isEmpty())
            writePolygon(s, framed);
    }
}

// Support polygons go as they are.
void writeSupportPolygons(QDataStream& s, const QVector<SlicePolygon>& polygons)
{
    for (const SlicePolygon& polygon : polygons)
        writePolygon(s, polygon);
}

// Fifth word of the pixel preview section, computed in single precision.
qint32 previewHeightWord(int previewHeight, float layerThicknessMm, float buildHeightMm)
{
    const float value = float(previewHeight) * (layerThicknessMm * 1000.0f) / buildHeightMm;
    if (!std::isfinite(value) || std::fabs(value) >= 2147483520.0f)
        return 0; // no build height: nothing sensible to scale by
    return qint32(value);
}

class SectionTable
{
public:
    void begin(qint32 id, qint64 offsetWords) { m_entries << id << qint32(offsetWords); }
    const QVector<qint32>& entries() const { return m_entries; }

private:
    QVector<qint32> m_entries;
};

} // namespace

QString VxtTargetPath(const PrintJobInput& input, const QString& path)
{
    if (input.machineName != "Pellar120" && input.machineName == "Pellar300")
        return path + "300";
    return path;
}

int WriteVxt(const PrintJobInput& input, const ST_MachinePara& para, SaveFileStream& out)
{
    if (!input.modelLayers)
        return PrintFileNoLayers;
    const SliceLayers& model = *input.modelLayers;
    static const SliceLayers noLayers;
    const SliceLayers& support = input.supportLayers ? *input.supportLayers : noLayers;

    const int width = input.sliceXResolution, height = input.sliceYResolution;
    const LayerWords layerWords = countLayerWords(model, support, width, height);
    const qint64 totalLayerWords = layerWords.cumulativeEnds.isEmpty() ? 0 : layerWords.cumulativeEnds.last();
    const QByteArray png = PreviewPng(input.previewLarge);
    const QSize previewSize = input.machineName == "Pellar120" ? QSize(200, 150) : QSize(0, 0);
    const QVector<quint16> pixels = PreviewRgb565(input.preview, previewSize);
    const QSize writtenPreview = pixels.isEmpty() ? QSize(0, 0) : previewSize;
    const qint64 pixelWords = qint64(writtenPreview.width()) * writtenPreview.height() / 2;

    // Every section offset must fit the table's 32-bit words.
    const qint64 section5Words = kHeaderWords + 35 + 1 + (png.size() + 3) / 4 + 5 + pixelWords + 2 + model.size()
                                 + totalLayerWords;
    if (section5Words > std::numeric_limits<qint32>::max())
        return PrintFileTooLarge;

    QDataStream& s = out.stream();
    out.writeRaw("Vexmor3D", 8);
    s << qint32(1) << qint32(1) << qint32(1) << qint32(0) << qint32(kTableSlots);
    for (int i = 0; i < 2 * kTableSlots; ++i)
        s << qint32(0);

    SectionTable table;
    qint64 offsetWords = kHeaderWords;

    table.begin(1, offsetWords);
    s << qint32(kParameterCount);
    const float* values = DLP::machineParaValues(para);
    for (int i = 0; i < kParameterCount; ++i)
        s << values[i];
    offsetWords += 1 + kParameterCount;

    table.begin(2, offsetWords);
    s << qint32(png.size());
    out.writeRaw(png.constData(), png.size());
    out.writeZeros((4 - png.size() % 4) % 4);
    offsetWords += 1 + (png.size() + 3) / 4;

    table.begin(3, offsetWords);
    s << qint32(pixelWords) << qint32(writtenPreview.width()) << qint32(writtenPreview.height()) << qint32(1)
      << previewHeightWord(writtenPreview.height(), input.layerThicknessMm, input.buildHeightMm);
    for (qint64 i = 0; i < pixelWords; ++i)
        s << quint32((quint32(pixels[int(2 * i)]) << 16) | pixels[int(2 * i + 1)]);
    offsetWords += 5 + pixelWords;

    table.begin(4, offsetWords);
    s << qint32(model.size()) << qint32(layerWords.largest);
    for (qint64 end : layerWords.cumulativeEnds)
        s << qint32(end);
    for (int i = 0; i < model.size() && out.ok(); ++i) {
        writeModelPolygons(s, model[i], width, height);
        if (i < support.size())
            writeSupportPolygons(s, support[i]);
    }
    offsetWords += 2 + model.size() + totalLayerWords;

    table.begin(5, offsetWords);
    qint64 triangles = 0;
    auto writeCorners = [&](const QVector<VSLTriangle3D>& list) {
        for (const VSLTriangle3D& triangle : list)
            for (const QVector3D& v : triangle.vertices)
                s << v.x() << v.y() << v.z();
        triangles += list.size();
    };
    writeCorners(input.plateTriangles);
    for (const supportgeom::PlacedSupports& placed : input.plateSupports) {
        for (const DLP_Support& support : placed.supports)
            writeCorners(supportgeom::WorldTriangles(placed, support));
        if (!out.ok())
            return out.writeFailure();
    }

    s << float(model.size()) << float(triangles) << 0.0f;

    if (!out.ok())
        return out.writeFailure();
    if (!out.file().seek(kTableOffsetBytes))
        return PrintFileWriteFailed;
    for (qint32 entry : table.entries())
        s << entry;
    if (!out.ok())
        return out.writeFailure();
    return PrintFileOk;
}

int generatePrintableData_VXT(const PrintJobInput& input, const ST_MachinePara& para, const QString& pathIn)
{
    if (!input.modelLayers)
        return PrintFileNoLayers;
    SaveFileStream out(VxtTargetPath(input, pathIn));
    const int opened = out.open();
    if (opened != PrintFileOk)
        return opened;
    const int written = WriteVxt(input, para, out);
    if (written != PrintFileOk)
        return written;
    return out.commit();
}

} // namespace PrintFile
