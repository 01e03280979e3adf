// The scene's task file: the whole plate out and back in.
#include "VSL3DScene.h"
#include "VSLModel3D.h"
#include "VSLModelPainter.h"
#include "scene/TaskFile.h"
#include "vslfunction/modelbound.h"
#include "vslfunction/savecommit.h"

#include <QDebug>
#include <QMutexLocker>
#include <QSaveFile>

#include <cmath>

bool VSL3DScene::WriteBinaryScene(QString path)
{
    if (m_jobs.AnyJob() || m_instances.isEmpty())
        return false;
    // Written anew and renamed into place when complete: a second save must
    // not add a second plate behind the first, a failed one must keep the old.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream s(&file);
    TaskWriter::PrepareStream(s);
    bool ok = true;
    for (VSLModel3D* model : qAsConst(m_models)) {
        QVector<VSLTriangle3D> triangles;
        {
            QMutexLocker lock(model->dataMutex());
            triangles = model->m_vTriangles;
        }
        ok = ok && TaskWriter::Model(s, triangles, model->m_nModelId);
    }
    for (VSLModelPainter* p : qAsConst(m_instances))
        ok = ok && TaskWriter::Matrix(s, p->m_matrix, p->m_pModel->m_nModelId);
    for (VSLModelPainter* p : qAsConst(m_instances)) {
        if (!ok)
            break;
        TaskWriter::Support(s, p->PlacedSupports());
    }
    if (ok) {
        QMutexLocker lock(m_pSceneMutex);
        TaskWriter::SliceModel(s, m_modelSliceLayers);
        TaskWriter::SliceSupport(s, m_supportSliceLayers);
    }
    if (!ok || s.status() != QDataStream::Ok) {
        file.cancelWriting();
        file.commit();
        return false;
    }
    QString why;
    if (CommitSaveFile(file, why))
        return true;
    qWarning().noquote() << "Cannot write" << path << why;
    return false;
}

namespace {

// Slice layers in pixels: a point beyond the plate's pixels at one
// micrometre each is no slice of a model.
constexpr double kMaxSlicePixel = double(kMaxModelCoordinateMm) * 1000.0;

bool LayersWithinBound(const SliceLayers& layers)
{
    for (const QVector<SlicePolygon>& layer : layers)
        for (const SlicePolygon& poly : layer)
            for (const QPointF p : poly)
                if (!(std::fabs(p.x()) <= kMaxSlicePixel && std::fabs(p.y()) <= kMaxSlicePixel))
                    return false;
    return true;
}

// Why the plate of a task file is not one of real models, or empty.
QString PlateProblem(const QMap<int, QVector<VSLTriangle3D>>& models, const QVector<QPair<int, QMatrix4x4>>& matrices,
                     const QVector<VSLTriangle3D>& supports, const SliceLayers& modelSlices,
                     const SliceLayers& supportSlices)
{
    // Unknown tags are skipped, so any junk of the right length reads as a file of none.
    if (models.isEmpty() && matrices.isEmpty() && supports.isEmpty() && modelSlices.isEmpty() && supportSlices.isEmpty())
        return QStringLiteral("holds no plate");
    const QString beyond = QStringLiteral("beyond 100 m (%1 mm)").arg(double(kMaxModelCoordinateMm), 0, 'f', 0);
    for (auto it = models.cbegin(); it != models.cend(); ++it)
        for (const VSLTriangle3D& t : it.value())
            for (const QVector3D& v : t.vertices)
                if (!WithinModelBound(v))
                    return QStringLiteral("model %1 has a corner %2").arg(it.key()).arg(beyond);
    for (const QPair<int, QMatrix4x4>& m : matrices) {
        const auto model = models.constFind(m.first);
        if (model == models.cend())
            continue;
        for (int i = 0; i < 16; ++i)
            if (!WithinModelBound(m.second.constData()[i]))
                return QStringLiteral("an instance of model %1 has a matrix entry %2").arg(m.first).arg(beyond);
        for (const VSLTriangle3D& t : *model)
            for (const QVector3D& v : t.vertices)
                if (!WithinModelBound(m.second.map(v)))
                    return QStringLiteral("an instance of model %1 is placed %2").arg(m.first).arg(beyond);
    }
    for (const VSLTriangle3D& t : supports)
        for (const QVector3D& v : t.vertices)
            if (!WithinModelBound(v))
                return QStringLiteral("a support has a corner %1").arg(beyond);
    if (!LayersWithinBound(modelSlices) || !LayersWithinBound(supportSlices))
        return QStringLiteral("a slice layer has a point beyond %1 pixels").arg(kMaxSlicePixel, 0, 'f', 0);
    return QString();
}

} // namespace

bool VSL3DScene::LoadBinaryScene(QString path)
{
    m_strLoadError.clear();
    if (m_jobs.AnyJob())
        return false;
    QMap<int, QVector<VSLTriangle3D>> models;
    QVector<QPair<int, QMatrix4x4>> matrices;
    QVector<VSLTriangle3D> supports;
    SliceLayers modelSlices, supportSlices;
    QVector<int> paraInts;
    QVector<float> paraFloats;
    TaskLoader loader;
    if (!loader.LoadBinaryTask(path, models, matrices, supports, modelSlices, supportSlices, paraInts, paraFloats)) {
        m_strLoadError = QStringLiteral("%1: not a whole task file").arg(path);
        return false;
    }
    // Coordinates no printer reaches would slice into millions of layers.
    const QString problem = PlateProblem(models, matrices, supports, modelSlices, supportSlices);
    if (!problem.isEmpty()) {
        m_strLoadError = path + QStringLiteral(": ") + problem;
        qWarning().noquote() << m_strLoadError;
        return false;
    }
    // Ids the writer could not write back (over 9 characters) would also run
    // the model-id counter into overflow.
    QByteArray idText;
    for (auto it = models.cbegin(); it != models.cend(); ++it)
        if (!taskfile::IdText(it.key(), idText)) {
            m_strLoadError = QStringLiteral("%1: model id %2 is longer than 9 characters").arg(path).arg(it.key());
            return false;
        }

    // Only now, with the whole file read, the old plate goes.
    for (VSLModelPainter* p : qAsConst(m_instances))
        delete p;
    m_instances.clear();
    m_pSelModelPainter = nullptr;
    m_pHoverModelPainter = nullptr;
    m_bSelected = false;
    m_vSelectedSupports.clear();
    for (VSLModel3D* m : qAsConst(m_models))
        delete m;
    m_models.clear();
    {
        QMutexLocker lock(m_pSceneMutex);
        m_modelSliceLayers = modelSlices;
        m_supportSliceLayers = supportSlices;
    }

    int largestId = VSLModel3D::ms_nModelCount;
    for (auto it = models.cbegin(); it != models.cend(); ++it) {
        // A model without triangles cannot be placed, sliced or drawn.
        if (it.value().isEmpty())
            continue;
        auto* model = new VSLModel3D;
        model->m_nModelId = it.key();
        largestId = qMax(largestId, it.key());
        connect(model->fixerThread(), &FixerThread::sig_FixerStatusChanged, this,
                &VSL3DScene::slot_SceneUpdateStatus, Qt::QueuedConnection);
        model->m_vTriangles = it.value();
        model->UpdataData();
        // The pass builds the mesh and opens the gate that slice and support
        // workers wait on.
        model->FixModel();
        m_models.insert(model->m_nModelId, model);
    }
    // Later models must not reuse a loaded id.
    VSLModel3D::ms_nModelCount = largestId;

    for (const QPair<int, QMatrix4x4>& entry : qAsConst(matrices)) {
        VSLModel3D* model = m_models.value(entry.first);
        if (!model)
            continue; // a matrix of no model places nothing
        auto* instance = new VSLModelPainter(model, this);
        instance->m_matrix = entry.second;
        instance->UpdateData();
        ConnectInstance(instance);
        m_instances.insert(instance->m_nNumber, instance);
    }
    slot_SceneUpdateStatus();
    if (m_models.isEmpty())
        emit signal_AllModelDel();
    emit sig_Update();
    return true;
}
