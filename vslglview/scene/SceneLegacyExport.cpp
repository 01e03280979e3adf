// The all-float print-data file and the SVG pictures of the slice layers.
#include "VSL3DScene.h"
#include "VSLModelPainter.h"
#include "printfile/savefilestream.h"
#include "vslfunction/savecommit.h"

#include <QBuffer>
#include <QDebug>
#include <QDir>
#include <QMutexLocker>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QSvgGenerator>

namespace {

constexpr float kPolygonMarker = 999988.25f;
constexpr int kBlockValues = 1024;
constexpr int kBlock3Values = 153600;

void Zeros(QDataStream& s, int count)
{
    for (int i = 0; i < count; ++i)
        s << 0.f;
}

} // namespace

int VSL3DScene::generatePrintableData1(ST_MachinePara& para, QString path)
{
    if (m_jobs.AnyJob())
        return kRefusedBusy;
    // One temporary file renamed into place when every block is written: a
    // failed write leaves no partial file and no silently missing block.
    SaveFileStream out(path);
    if (out.open() != 0) {
        qWarning("Cannot write %s", qPrintable(path));
        return -1;
    }
    QDataStream& s = out.stream();

    s << float(kBlockValues) << 9.2f << 99.3f << 999999.125f << kPolygonMarker;
    Zeros(s, kBlockValues - 4);

    s << float(kBlockValues);
    const float* para34 = DLP::machineParaValues(para);
    for (int i = 0; i < 34; ++i)
        s << para34[i];
    Zeros(s, kBlockValues - 34);

    s << float(kBlock3Values);
    Zeros(s, kBlock3Values);

    const SliceLayers& model = m_modelSliceLayers;
    const SliceLayers& support = m_supportSliceLayers;
    const int L = model.size();
    s << float(L);
    double running = 0;
    for (int i = 0; i < L; ++i) {
        for (const SlicePolygon& p : model[i])
            running += 1 + 2.0 * p.size();
        if (i < support.size())
            for (const SlicePolygon& p : support[i])
                running += 1 + 2.0 * p.size();
        s << float(running);
    }

    double points = 0;
    const float maxX = float(m_nXResolution), maxY = float(m_nYResolution);
    for (int i = 0; i < L; ++i) {
        for (const SlicePolygon& p : model[i]) {
            s << kPolygonMarker;
            for (const QPointF pt : p) {
                float x = float(pt.x()), y = float(pt.y());
                if (x > maxX)
                    qDebug() << "x" << x << "bigger than" << m_nXResolution;
                if (x < 0)
                    qDebug() << "x smaller than 0" << x;
                if (y > maxY)
                    qDebug() << "y" << y << "bigger than" << m_nYResolution;
                if (y < 0)
                    qDebug() << "y smaller than 0" << y;
                x = qBound(0.f, x, maxX);
                y = qBound(0.f, y, maxY);
                s << x << y;
            }
            points += p.size();
        }
        if (i < support.size()) {
            for (const SlicePolygon& p : support[i]) {
                s << kPolygonMarker;
                for (const QPointF pt : p)
                    s << float(pt.x()) << float(pt.y());
                points += p.size();
            }
        }
    }

    double triangles = 0;
    auto writeTriangles = [&](const QVector<VSLTriangle3D>& tris) {
        for (const VSLTriangle3D& t : tris)
            for (const QVector3D& v : t.vertices)
                s << v.x() << v.y() << v.z();
        triangles += tris.size();
    };
    for (VSLModelPainter* p : qAsConst(m_instances))
        writeTriangles(p->GetRealTriangles());
    for (VSLModelPainter* p : qAsConst(m_instances))
        writeTriangles(p->GetRealTrianglesSup());

    s << float(L) << float(triangles) << float(points);
    if (out.commit() != 0) {
        qWarning("Cannot write %s", qPrintable(path));
        return -1;
    }
    m_nPrintLayerCount = L;
    return 0;
}

bool VSL3DScene::saveSvg(int layerCount, QString dir, QString name, int width, int height)
{
    if (m_jobs.AnyJob())
        return false;
    bool all = true;
    for (int i = 0; i < layerCount; ++i) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setSize(QSize(width, height));
        generator.setViewBox(QRect(0, 0, width, height));
        generator.setTitle(tr("SVG Generator Slice"));
        generator.setDescription(tr("An SVG drawing created by the SVG Generator "));
        QPainter painter;
        if (!painter.begin(&generator)) {
            all = false;
            continue;
        }
        painter.setRenderHint(QPainter::Antialiasing);
        paint(painter, width, height, i);
        painter.end();

        QSaveFile file(QDir(dir).filePath(name + "-" + QString::number(i) + ".svg"));
        QString why;
        if (!file.open(QIODevice::WriteOnly) || file.write(buffer.data()) != buffer.data().size()
            || !CommitSaveFile(file, why)) {
            qWarning("Cannot write %s %s", qPrintable(file.fileName()), qPrintable(why));
            all = false;
        }
    }
    return all;
}

void VSL3DScene::paint(QPainter& painter, int width, int height, int layer)
{
    painter.setPen(Qt::NoPen);
    painter.fillRect(QRect(0, 0, width, height), Qt::black);
    painter.setBrush(QBrush(Qt::white, Qt::SolidPattern));
    QMutexLocker lock(m_pSceneMutex);
    QPainterPath modelPath;
    modelPath.setFillRule(Qt::OddEvenFill);
    const bool hasModel = layer >= 0 && layer < m_modelSliceLayers.size();
    if (hasModel)
        for (const SlicePolygon& p : m_modelSliceLayers[layer])
            modelPath.addPolygon(p);
    if (layer >= 0 && layer < m_supportSliceLayers.size()) {
        for (const SlicePolygon& p : m_supportSliceLayers[layer]) {
            QPainterPath path;
            path.addPolygon(p);
            painter.drawPath(path);
        }
    }
    if (hasModel)
        painter.drawPath(modelPath);
}
