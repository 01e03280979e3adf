// SLC import into the scene's model layers.
#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "slc/slcfile.h"
#include "wholefile.h"
#include "vslfunction/modelbound.h"

#include <QApplication>
#include <QDebug>
#include <QFile>
#include <QMessageBox>
#include <QMutexLocker>

namespace {

const char* const kBoxStyle = "* { background-color: rgb(0, 0, 0); color: rgb(255, 255, 255); } QPushButton "
                              "{background-color: rgb(125, 125, 125);}";

bool HasWidgets() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

} // namespace

bool VSL3DScene::isSlcFile(QString name) { return name.contains(".slc"); }

bool VSL3DScene::IsDealFinish(QVector<QPointF> polygon, int& index)
{
    const int n = polygon.size();
    for (int i = 0; i < n; ++i) {
        const int a = i % n, b = (i + 1) % n, c = (i + 2) % n;
        if (slc::Collinear(polygon[a], polygon[b], polygon[c])) {
            index = b;
            return false;
        }
    }
    index = n;
    return true;
}

int VSL3DScene::readSlcFile(QString path, VSLModel3D* model)
{
    if (m_jobs.AnyJob())
        return kRefusedBusy;
    slc::Contents contents;
    {
        WholeFile file;
        QString error;
        if (!file.Read(path, error)) {
            qWarning("SLC file %s %s", qPrintable(path), qPrintable(error));
            return -3;
        }
        if (file.size() == 0 || !slc::Parse(file.data(), file.size(), contents)) {
            qWarning("SLC file %s is truncated or damaged", qPrintable(path));
            return -3;
        }
    }
    m_nTotalLayers = 0;

    const float t = contents.thickness;
    // No printer makes layers outside these, nor models beyond 100 m.
    if (!(t >= 0.001f && t <= 1.0f)) {
        m_strLoadError = QStringLiteral("%1: its layers are %2 mm apart; a layer is 0.001 to 1 mm thick")
                             .arg(path)
                             .arg(double(t));
        qWarning().noquote() << m_strLoadError;
        return -4;
    }
    for (const QPointF& p : {contents.minPt, contents.maxPt})
        if (!WithinModelBound(float(p.x())) || !WithinModelBound(float(p.y()))) {
            m_strLoadError = QStringLiteral("%1: an outline point lies beyond 100 m (%2 mm)")
                                 .arg(path)
                                 .arg(double(kMaxModelCoordinateMm), 0, 'f', 0);
            qWarning().noquote() << m_strLoadError;
            return -4;
        }
    // As a plate taller than the printer is not sliced, such a file's layers
    // are not taken.
    const double tall = double(t) * contents.layers.size();
    if (tall > double(m_boundMax.z()) + 1e-4) {
        m_strLoadError = tr("%1: its %2 layers of %3 mm make %4 mm, more than the printer's build height of %5 mm")
                             .arg(path)
                             .arg(contents.layers.size())
                             .arg(double(t))
                             .arg(tall, 0, 'f', 2)
                             .arg(double(m_boundMax.z()));
        qWarning().noquote() << m_strLoadError;
        return -4;
    }
    if (m_fLayerThick == 0.f) {
        m_fLayerThick = t;
    } else if (m_fLayerThick != t) {
        qDebug() << "the thick of SLC File is Diffternt" << t;
        const QString text =
            QString("Laythick Error:") + QString::number(m_fLayerThick, 'g', 6) + "!=" + QString::number(t, 'g', 6);
        if (m_fnSlcThicknessNotice) {
            m_fnSlcThicknessNotice(text);
        } else if (HasWidgets()) {
            QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok, nullptr,
                            Qt::Dialog | Qt::FramelessWindowHint);
            box.setInformativeText("Check the Slc file please ");
            box.setStyleSheet(kBoxStyle);
            box.exec();
        }
        return -2;
    }

    QVector<QVector<QPolygonF>>& layers = contents.layers;
    for (QVector<QPolygonF>& layer : layers) {
        for (QPolygonF& poly : layer) {
            slc::Thin(poly);
            if (!poly.isEmpty() && poly.last() != poly.first())
                poly.append(poly.first());
        }
    }

    const QPointF lo = contents.minPt, hi = contents.maxPt;
    const double sizeX = hi.x() - lo.x(), sizeY = hi.y() - lo.y();
    const double buildW = double(m_boundMax.x()) - m_boundMin.x();
    const double buildD = double(m_boundMax.y()) - m_boundMin.y();
    double s = 1.0;
    if (sizeX > buildW || sizeY > buildD) {
        bool yes = false;
        if (m_fnSlcScaleQuestion) {
            yes = m_fnSlcScaleQuestion();
        } else if (HasWidgets()) {
            QMessageBox box(QMessageBox::NoIcon, QString(), "SLC data is out of range",
                            QMessageBox::Yes | QMessageBox::No, nullptr, Qt::Dialog | Qt::FramelessWindowHint);
            box.setInformativeText("click Yes to scale it or Not to discard ");
            box.setDefaultButton(QMessageBox::No);
            box.setStyleSheet(kBoxStyle);
            yes = box.exec() == QMessageBox::Yes;
        }
        if (!yes)
            return -1;
        s = qMin(buildW / sizeX, buildD / sizeY);
    }

    if (model)
        model->ConvertPolygonToTriangles(layers, m_fLayerThick);

    // Scaled about the outline centre, which lands on the build maximum.
    const double cx = (lo.x() + hi.x()) * 0.5, cy = (lo.y() + hi.y()) * 0.5;
    const float kx = 1000.f / m_fPixelSizeX;
    const float ky = 1000.f / m_fPixelSizeY;
    auto mapX = [&](double x) { return double(float(kx * ((x - cx) * s + m_boundMax.x()))); };
    auto mapY = [&](double y) { return double(float(ky * ((y - cy) * s + m_boundMax.y()))); };
    SliceLayers pixels;
    pixels.reserve(layers.size());
    for (const QVector<QPolygonF>& layer : qAsConst(layers)) {
        QVector<SlicePolygon> mapped;
        mapped.reserve(layer.size());
        for (const QPolygonF& poly : layer) {
            SlicePolygon pixelPoly;
            pixelPoly.reserve(poly.size());
            for (const QPointF& p : poly)
                pixelPoly.append(float(mapX(p.x())), float(mapY(p.y())));
            mapped.append(pixelPoly);
        }
        pixels.append(mapped);
    }
    {
        QMutexLocker lock(m_pSceneMutex);
        m_modelSliceLayers += pixels;
        m_sliceMinPt = QPointF(mapX(lo.x()), mapY(lo.y()));
        m_sliceMaxPt = QPointF(mapX(hi.x()), mapY(hi.y()));
    }
    m_nTotalLayers = qMax(m_nTotalLayers, layers.size());
    return 0;
}

bool VSL3DScene::AddSlcModel(QString path)
{
    if (RefuseAddWhileJobsRun())
        return false;
    m_lastAddResult = SceneOp::Unchanged;
    // The outlines of this file alone become the model shown.
    VSLModel3D::m_vT.clear();
    const int layersBefore = m_modelSliceLayers.size();
    int result = 0;
    {
        VSLModel3D outlines;
        --VSLModel3D::ms_nModelCount; // a scratch model does not use up an id
        result = readSlcFile(path, &outlines);
    }
    switch (result) {
    case 0:
        break;
    case -1:
        m_strLoadError = tr("its layers are larger than the build area and were not scaled");
        return false;
    case -2:
        m_strLoadError = tr("its layer thickness differs from the plate's");
        return false;
    case -4:
        return false; // the reader named the value it refused
    default:
        m_strLoadError = tr("it is not a readable SLC file");
        return false;
    }
    if (!showModel(path)) {
        // Outlines thinned to nothing: no model, and no layers of it either.
        QMutexLocker lock(m_pSceneMutex);
        m_modelSliceLayers.resize(layersBefore);
        m_strLoadError = tr("it holds no layer");
        return false;
    }
    return true;
}
