// SLC import into the scene's model layers.
#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "slc/slcfile.h"
#include "wholefile.h"
#include "vslfunction/modelbound.h"

#include <QApplication>
#include <QDebug>
#include <QFile>
#include <QMessageBox>
#include <QMutexLocker>
#include <QTransform>

namespace {

const char* const kBoxStyle = "* { background-color: rgb(0, 0, 0); color: rgb(255, 255, 255); } QPushButton "
                              "{background-color: rgb(125, 125, 125);}";

bool HasWidgets() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

struct MappedLayers {
    SliceLayers layers;
    QPointF minPt, maxPt;
};

// The file's layers in pixels: every point scaled by `s` about the outlines'
// centre, carried by `placed` (what was done to the model in the plate's
// plane since it was read) and put in the frame whose middle is the build
// maximum.
MappedLayers MapLayers(const QVector<QVector<QPolygonF>>& layers, QPointF lo, QPointF hi, double s,
                       const QTransform& placed, float pixelSizeX, float pixelSizeY, const QVector3D& boundMax)
{
    const double cx = (lo.x() + hi.x()) * 0.5, cy = (lo.y() + hi.y()) * 0.5;
    const float kx = 1000.f / pixelSizeX;
    const float ky = 1000.f / pixelSizeY;
    auto map = [&](QPointF p) {
        const QPointF w = placed.map(QPointF((p.x() - cx) * s, (p.y() - cy) * s));
        return QPointF(double(float(kx * (w.x() + boundMax.x()))), double(float(ky * (w.y() + boundMax.y()))));
    };
    MappedLayers out;
    out.layers.reserve(layers.size());
    for (const QVector<QPolygonF>& layer : layers) {
        QVector<SlicePolygon> mapped;
        mapped.reserve(layer.size());
        for (const QPolygonF& poly : layer) {
            SlicePolygon pixelPoly;
            pixelPoly.reserve(poly.size());
            for (const QPointF& p : poly) {
                const QPointF q = map(p);
                pixelPoly.append(float(q.x()), float(q.y()));
            }
            mapped.append(pixelPoly);
        }
        out.layers.append(mapped);
    }
    // A turn moves the corners of the box: its extent is that of all four.
    const QPointF corners[] = {map(lo), map(hi), map(QPointF(lo.x(), hi.y())), map(QPointF(hi.x(), lo.y()))};
    out.minPt = out.maxPt = corners[0];
    for (const QPointF& c : corners) {
        out.minPt = QPointF(qMin(out.minPt.x(), c.x()), qMin(out.minPt.y(), c.y()));
        out.maxPt = QPointF(qMax(out.maxPt.x(), c.x()), qMax(out.maxPt.y(), c.y()));
    }
    return out;
}

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
    // The plate takes the file's thickness only once the file is taken.
    if (m_fLayerThick != 0.f && m_fLayerThick != t) {
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

    if (m_fLayerThick == 0.f)
        m_fLayerThick = t;
    if (model) {
        // The model shown is the size printed: scaled as its layers are.
        if (s == 1.0) {
            model->ConvertPolygonToTriangles(layers, m_fLayerThick);
        } else {
            const QPointF c = (lo + hi) * 0.5;
            QVector<QVector<QPolygonF>> shown = layers;
            for (QVector<QPolygonF>& layer : shown)
                for (QPolygonF& poly : layer)
                    for (QPointF& p : poly)
                        p = (p - c) * s + c;
            model->ConvertPolygonToTriangles(shown, m_fLayerThick);
        }
    }

    MappedLayers pixels = MapLayers(layers, lo, hi, s, QTransform(), m_fPixelSizeX, m_fPixelSizeY, m_boundMax);
    {
        QMutexLocker lock(m_pSceneMutex);
        m_modelSliceLayers += pixels.layers;
        m_sliceMinPt = pixels.minPt;
        m_sliceMaxPt = pixels.maxPt;
    }
    m_nTotalLayers = qMax(m_nTotalLayers, layers.size());
    SlcPlate plate;
    plate.layersMm = std::move(layers);
    plate.lo = lo;
    plate.hi = hi;
    plate.scale = s;
    plate.thicknessMm = m_fLayerThick;
    plate.boundMax = m_boundMax;
    plate.pixelSizeX = m_fPixelSizeX;
    plate.pixelSizeY = m_fPixelSizeY;
    m_slcPlate = std::move(plate); // AddSlcModel names its model
    return 0;
}

bool VSL3DScene::MapSlcPlate()
{
    m_strSliceError.clear();
    m_bSliceIslandsCounted = false; // the file's layers are not sliced here
    if (!hasSlcPlate())
        return false;
    SlcPlate& plate = m_slcPlate;
    VSLModelPainter* instance = nullptr;
    for (VSLModelPainter* p : qAsConst(m_instances))
        if (p->m_pModel && p->m_pModel->m_nModelId == plate.modelId)
            instance = p;
    if (!instance)
        return false;
    const double tall = double(plate.thicknessMm) * plate.layersMm.size();
    if (tall > double(m_boundMax.z()) + 1e-4) {
        m_strSliceError = tr("The SLC file's %1 layers make %2 mm, more than the printer's build height of %3 mm.")
                              .arg(plate.layersMm.size())
                              .arg(tall, 0, 'f', 2)
                              .arg(double(m_boundMax.z()));
        return false;
    }
    const bool samePrinter = plate.boundMax == m_boundMax && plate.pixelSizeX == m_fPixelSizeX &&
                             plate.pixelSizeY == m_fPixelSizeY;
    if (samePrinter && instance->m_matrix == plate.placedAt)
        return true; // the layers are those of where it stands
    // What was done to the model since the file was read, taken to the
    // layers: only what keeps each layer in its plane and height.
    bool invertible = false;
    const QMatrix4x4 since = instance->m_matrix * plate.loadedAt.inverted(&invertible);
    const float eps = 1e-4f;
    if (!invertible || qAbs(since(2, 0)) > eps || qAbs(since(2, 1)) > eps || qAbs(since(0, 2)) > eps ||
        qAbs(since(1, 2)) > eps || qAbs(since(2, 2) - 1.f) > eps) {
        m_strSliceError = tr("The layers of an SLC file cannot be tilted or scaled in height: move it, turn it about "
                             "the vertical or scale it in X and Y only, or reset it.");
        return false;
    }
    const QTransform placed(double(since(0, 0)), double(since(1, 0)), double(since(0, 1)), double(since(1, 1)),
                            double(since(0, 3)), double(since(1, 3)));
    MappedLayers pixels =
        MapLayers(plate.layersMm, plate.lo, plate.hi, plate.scale, placed, m_fPixelSizeX, m_fPixelSizeY, m_boundMax);
    {
        QMutexLocker lock(m_pSceneMutex);
        m_modelSliceLayers = std::move(pixels.layers);
        m_supportSliceLayers.clear();
        m_sliceMinPt = pixels.minPt;
        m_sliceMaxPt = pixels.maxPt;
    }
    m_nTotalLayers = plate.layersMm.size();
    plate.placedAt = instance->m_matrix;
    plate.boundMax = m_boundMax;
    plate.pixelSizeX = m_fPixelSizeX;
    plate.pixelSizeY = m_fPixelSizeY;
    return true;
}

bool VSL3DScene::AddSlcModel(QString path)
{
    if (RefuseAddWhileJobsRun())
        return false;
    m_lastAddResult = SceneOp::Unchanged;
    // Its layers are printed as they are: models beside them would not be,
    // and a second file's layers would stack on the first's.
    if (!m_models.isEmpty()) {
        m_strLoadError = tr("an SLC file's layers are the whole print: open it on an empty plate");
        return false;
    }
    // Nothing is left on the plate to keep a thickness or layers for.
    m_fLayerThick = 0.f;
    {
        QMutexLocker lock(m_pSceneMutex);
        m_modelSliceLayers.clear();
        m_supportSliceLayers.clear();
    }
    m_slcPlate = SlcPlate();
    // The outlines of this file alone become the model shown.
    VSLModel3D::m_vT.clear();
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
        m_modelSliceLayers.clear();
        m_slcPlate = SlcPlate();
        m_strLoadError = tr("it holds no layer");
        return false;
    }
    VSLModelPainter* instance = m_instances.isEmpty() ? nullptr : m_instances.last();
    if (instance && instance->m_pModel) {
        m_slcPlate.modelId = instance->m_pModel->m_nModelId;
        m_slcPlate.loadedAt = m_slcPlate.placedAt = instance->m_matrix;
    }
    return true;
}
