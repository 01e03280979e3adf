#include "VSL3DScene.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include "VSLModel3D.h"
#include "VSLModelLoader.h"
#include "VSLModelPainter.h"
#include "contour/slicegeometry.h"
#include "printfile/printfilewriter.h"
#include "support/DLPSupportStructure.h"
#include "vslfunction/geometry.h"

#include <QApplication>
#include <QDebug>
#include <QMessageBox>
#include <QMetaObject>
#include <QOpenGLContext>
#include <QThread>

VSL3DScene::VSL3DScene() : m_pSceneMutex(new QMutex) {}

VSL3DScene::~VSL3DScene()
{
    // Slices end at their next layer; ask them all before waiting for any.
    for (VSLModelPainter* p : qAsConst(m_instances))
        p->m_bStopSlice = true;
    // Each painter waits for its own workers before it goes.
    for (VSLModelPainter* p : qAsConst(m_instances))
        delete p;
    m_instances.clear();
    m_pSelModelPainter = nullptr;
    m_pHoverModelPainter = nullptr;
    for (VSLModel3D* m : qAsConst(m_models))
        delete m;
    m_models.clear();
    delete m_pSceneMutex;
}

bool VSL3DScene::UseViewContext()
{
    if (!m_fnMakeViewCurrent)
        return QOpenGLContext::currentContext() != nullptr;
    if (m_fnMakeViewCurrent())
        return true;
    if (QOpenGLContext* other = QOpenGLContext::currentContext())
        other->doneCurrent();
    return false;
}

// ---------------------------------------------------------------- registry

void VSL3DScene::ConnectInstance(VSLModelPainter* instance)
{
    // The painter number travels with the connection, so a done signal whose
    // instance has meanwhile gone still counts its job down.
    const int number = instance->m_nNumber;
    connect(instance, &VSLModelPainter::sig_GenSupportDone, this, [this, number] { OnSupportJobDone(number); },
            Qt::QueuedConnection);
    connect(instance, &VSLModelPainter::sig_MPSliceDone, this, [this, number] { OnSliceJobDone(number); },
            Qt::QueuedConnection);
}

void VSL3DScene::ShowOutOfRangeWarning()
{
    if (m_fnOutOfRangeWarning) {
        m_fnOutOfRangeWarning();
        return;
    }
    // A message box needs a widget application; a headless host only logs.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        qWarning("Model is out of range, please scale it");
        return;
    }
    QMessageBox box(QMessageBox::Warning, QString(), tr("Model is out of range, please scale it"),
                    QMessageBox::Ok, nullptr, Qt::Dialog | Qt::FramelessWindowHint);
    box.setStyleSheet("* { background-color: rgb(0, 0, 0); color: rgb(255, 255, 255); } QPushButton "
                      "{background-color: rgb(125, 125, 125);}");
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

bool VSL3DScene::RefuseAddWhileJobsRun()
{
    // Placement may re-centre every instance; a running worker reads its
    // instance's matrix, so nothing is added until all jobs have ended.
    if (!m_jobs.AnyJob())
        return false;
    m_lastAddResult = SceneOp::JobRunning;
    m_strLoadError = tr("a support or slice job is still running");
    return true;
}

bool VSL3DScene::AddModel(QString path)
{
    return AddModelWith(path, [&path](VSLModel3D* model) { return model->LoadSTLFile(path); });
}

bool VSL3DScene::AddReadModel(QString path, QVector<VSLTriangle3D> triangles, QString readError)
{
    if (triangles.isEmpty()) {
        m_strLoadWarning.clear();
        if (RefuseAddWhileJobsRun())
            return false;
        m_lastAddResult = SceneOp::Unchanged;
        m_strLoadError = readError;
        return false;
    }
    return AddModelWith(path, [&](VSLModel3D* model) {
        model->LoadTriangles(path, std::move(triangles));
        return true;
    });
}

bool VSL3DScene::AddModelWith(QString path, const std::function<bool(VSLModel3D*)>& load)
{
    m_strLoadWarning.clear();
    if (RefuseAddWhileJobsRun())
        return false;
    m_lastAddResult = SceneOp::Done;
    UseViewContext(); // the new model's display lists
    // A file read before is another instance of its model, unless it was
    // rewritten since with other corners: then it is a model of its own.
    auto addInstanceOf = [this](VSLModel3D* model) {
        auto* instance = new VSLModelPainter(model, this);
        ConnectInstance(instance);
        AppendModelPainter(instance);
        return true;
    };
    const QString stamp = VSLModel3D::FileStamp(path);
    for (VSLModel3D* model : qAsConst(m_models))
        if (model->m_strFileName == path && !stamp.isEmpty() && model->fileStamp() == stamp)
            return addInstanceOf(model);
    auto* model = new VSLModel3D;
    // Connected before the load starts the pass, so its completion is never lost.
    connect(model->fixerThread(), &FixerThread::sig_FixerStatusChanged, this, &VSL3DScene::slot_SceneUpdateStatus,
            Qt::QueuedConnection);
    if (!load(model)) {
        m_lastAddResult = SceneOp::Unchanged;
        m_strLoadError = model->loadError();
        delete model;
        return false;
    }
    for (VSLModel3D* read : qAsConst(m_models)) {
        if (read->m_strFileName == path && read->cornersDigest() == model->cornersDigest()) {
            read->setFileStamp(model->fileStamp()); // written again, the same
            delete model;
            return addInstanceOf(read);
        }
    }
    m_strLoadWarning = model->loadWarning();
    if (!m_strLoadWarning.isEmpty())
        qWarning().noquote() << m_strLoadWarning;
    m_models.insert(model->m_nModelId, model);
    slot_SceneUpdateStatus();

    auto* instance = new VSLModelPainter(model, this);
    ConnectInstance(instance);
    if (IsOutRange(instance))
        ShowOutOfRangeWarning();
    AppendModelPainter(instance);
    return true;
}

bool VSL3DScene::showModel(QString path)
{
    if (RefuseAddWhileJobsRun())
        return false;
    m_lastAddResult = SceneOp::Unchanged;
    if (VSLModel3D::m_vT.isEmpty())
        return false;
    m_lastAddResult = SceneOp::Done;
    UseViewContext();
    auto* model = new VSLModel3D;
    model->m_strFileName = path;
    // Connected before the pass starts: the window's "Checking the model"
    // notice goes when the scene hears it end.
    connect(model->fixerThread(), &FixerThread::sig_FixerStatusChanged, this, &VSL3DScene::slot_SceneUpdateStatus,
            Qt::QueuedConnection);
    model->showModel(path);
    // The pass opens the mesh-ready gate that slicing waits on, and the job
    // connections count a slice down: without them a slice of this instance
    // would leave the scene busy for ever.
    model->FixModel();
    m_models.insert(model->m_nModelId, model);
    auto* instance = new VSLModelPainter(model, this);
    ConnectInstance(instance);
    AppendModelPainter(instance);
    return true;
}

SceneOp VSL3DScene::DuplicateSelectedModel()
{
    VSLModelPainter* source = m_pSelModelPainter;
    if (!source)
        return SceneOp::NoSelection;
    // The copy reads the support map that a running worker writes, and its
    // placement may re-centre every instance.
    if (m_jobs.AnyJob())
        return SceneOp::JobRunning;
    auto* copy = new VSLModelPainter(source->m_pModel, this);
    copy->DuplicateModelPainterX(source);
    copy->DrawSupportX();
    ConnectInstance(copy);
    AppendModelPainter(copy);
    return SceneOp::Done;
}

SceneOp VSL3DScene::RemoveSelectedModel()
{
    VSLModelPainter* instance = m_pSelModelPainter;
    if (!instance)
        return SceneOp::NoSelection;
    if (m_jobs.IsBusy(instance->m_nNumber) || IsWritingPrintFile())
        return SceneOp::JobRunning;
    VSLModel3D* model = instance->m_pModel;
    // The instance's lists, and its model's when it goes too.
    UseViewContext();
    m_instances.remove(instance->m_nNumber);
    if (m_pHoverModelPainter == instance)
        m_pHoverModelPainter = nullptr;
    m_pSelModelPainter = nullptr;
    delete instance;

    if (model->m_nInstanceCount < 1) {
        if (model->m_nModelId == m_slcPlate.modelId)
            m_slcPlate = SlcPlate();
        m_models.remove(model->m_nModelId);
        delete model;
        if (m_models.isEmpty())
            emit signal_AllModelDel();
    }
    m_modelSliceLayers.clear();
    m_supportSliceLayers.clear();
    return SceneOp::Done;
}

bool VSL3DScene::SaveAllModels(QString path, QVector3D& center) const
{
    if (m_instances.isEmpty())
        return false;
    VSLModelWriter writer;
    for (VSLModelPainter* p : m_instances)
        writer.AddTriangles(p->GetRealTriangles());
    if (!writer.triangles.isEmpty()) {
        QVector3D lo = writer.triangles[0].vertices[0];
        QVector3D hi = lo;
        for (const VSLTriangle3D& t : qAsConst(writer.triangles)) {
            for (const QVector3D& v : t.vertices) {
                for (int a = 0; a < 3; ++a) {
                    lo[a] = qMin(lo[a], v[a]);
                    hi[a] = qMax(hi[a], v[a]);
                }
            }
        }
        center = (lo + hi) * 0.5f;
    }
    return writer.WriterBinary(path);
}

VSLModel3D* VSL3DScene::SaveTransModel()
{
    if (!m_pSelModelPainter)
        return nullptr;
    auto* model = new VSLModel3D;
    --VSLModel3D::ms_nModelCount; // an export does not use up a model id
    model->m_nModelId = -m_pSelModelPainter->m_nNumber;
    model->m_vTriangles = m_pSelModelPainter->GetRealTriangles();
    model->m_maxBound = m_pSelModelPainter->m_maxBound;
    model->m_minBound = m_pSelModelPainter->m_minBound;
    model->m_center = (model->m_maxBound + model->m_minBound) / 2;
    return model;
}

VSLModel3D* VSL3DScene::SaveAllTransModels()
{
    auto* model = new VSLModel3D;
    model->m_nModelId = -1;
    bool first = true;
    for (VSLModelPainter* p : qAsConst(m_instances)) {
        model->m_vTriangles += p->GetRealTriangles();
        if (first) {
            model->m_maxBound = p->m_maxBound;
            model->m_minBound = p->m_minBound;
            first = false;
            continue;
        }
        for (int a = 0; a < 3; ++a) {
            model->m_maxBound[a] = qMax(model->m_maxBound[a], p->m_maxBound[a]);
            model->m_minBound[a] = qMin(model->m_minBound[a], p->m_minBound[a]);
        }
    }
    model->m_center = (model->m_maxBound + model->m_minBound) / 2;
    return model;
}

VSLModel3D* VSL3DScene::SaveAllTransSupports()
{
    auto* model = new VSLModel3D;
    model->m_nModelId = -2;
    bool first = true;
    for (VSLModelPainter* p : qAsConst(m_instances)) {
        const QVector<VSLTriangle3D> tris = p->GetRealTrianglesSup();
        for (const VSLTriangle3D& t : tris) {
            for (const QVector3D& v : t.vertices) {
                if (first) {
                    model->m_maxBound = model->m_minBound = v;
                    first = false;
                }
                for (int a = 0; a < 3; ++a) {
                    model->m_maxBound[a] = qMax(model->m_maxBound[a], v[a]);
                    model->m_minBound[a] = qMin(model->m_minBound[a], v[a]);
                }
            }
        }
        model->m_vTriangles += tris;
    }
    model->m_center = (model->m_maxBound + model->m_minBound) / 2;
    return model;
}

void VSL3DScene::GetModelMax(QVector3D& max, QVector3D& min) const
{
    for (VSLModel3D* m : m_models) {
        max = m->m_maxBound;
        min = m->m_minBound;
    }
}

// ------------------------------------------------------------------ status

int VSL3DScene::slot_SceneUpdateStatus()
{
    if (m_models.isEmpty()) {
        emit sig_SceneStatusChanged(VexmorEditStatEmpty);
        return VexmorEditStatEmpty;
    }
    bool busy = false;
    for (VSLModel3D* m : qAsConst(m_models)) {
        if (m->checkStatus() == -1 || m->fixStatus() == -1) {
            busy = true;
            break;
        }
    }
    const int status = busy ? VexmorEditStatEdited : VexmorEditStatReady;
    emit sig_SceneStatusChanged(status);
    return status;
}

int VSL3DScene::NumberOfSender() const
{
    // Compared as an address only: the sender may already be gone.
    const QObject* s = sender();
    for (auto it = m_instances.cbegin(); it != m_instances.cend(); ++it)
        if (static_cast<const QObject*>(it.value()) == s)
            return it.key();
    return 0;
}

void VSL3DScene::slot_MPGenSupportDone()
{
    if (const int number = NumberOfSender())
        OnSupportJobDone(number);
}

void VSL3DScene::slot_MPSliceDone()
{
    if (const int number = NumberOfSender())
        OnSliceJobDone(number);
}

void VSL3DScene::OnSupportJobDone(int painterNumber)
{
    if (!m_jobs.EndSupport(painterNumber))
        return;
    m_supportStarts.Ended();
    if (VSLModelPainter* p = m_instances.value(painterNumber)) {
        // The done signal is the run's last act: joining makes its records ours.
        p->m_pSupportThread->wait();
        p->EndSupportJob();
        p->DrawSupportX();
    }
    if (!StartQueuedSupportWorkers())
        StopSupportForLackOfThreads();
    emit sig_Update();
    emit sig_SupportJobEnded();
}

void VSL3DScene::OnSliceJobDone(int painterNumber)
{
    if (!m_jobs.EndSlice(painterNumber))
        return;
    m_sliceStarts.Ended();
    if (VSLModelPainter* p = m_instances.value(painterNumber)) {
        p->m_pSliceThread->wait();
        // The slice cut moved copies and left the records and their lists
        // as they were; a frame drawn while it ran is drawn again.
        if (p->m_bHasSupports)
            emit sig_Update();
    }
    if (!StartQueuedSliceWorkers())
        StopSliceForLackOfThreads(tr("The system refused the threads slicing needs; the slice was stopped."));
    if (m_jobs.sliceJobs() != 0)
        return;
    if (!m_strSliceError.isEmpty()) {
        // A plate with instances missing is no result to print.
        {
            QMutexLocker lock(m_pSceneMutex);
            m_modelSliceLayers.clear();
        }
        emit sig_SliceSceneDone(0);
        return;
    }
    if (m_nPlateLayers != 0)
        AddPlatform(m_nPlateLayers);
    emit sig_SliceSceneDone(m_modelSliceLayers.size());
}

// ------------------------------------------------------ selection and edits

bool VSL3DScene::IsInstanceBusy(VSLModelPainter* instance) const
{
    return instance && m_jobs.IsBusy(instance->m_nNumber);
}

void VSL3DScene::ResetGizmos(VSLModelPainter* instance)
{
    m_rotateCoord.ResetData({instance->m_center, instance->GetMaxLength() / 2});
    m_rotateCoord.m_nSelectedPart = -1;
    m_scaleCoord.m_maxBound = instance->m_maxBound;
    m_scaleCoord.m_minBound = instance->m_minBound;
    m_scaleCoord.m_nSelectedPart = -1;
}

void VSL3DScene::SetPickModelPainter(int name)
{
    m_pSelModelPainter = nullptr;
    if (!IsModelPainterName(name))
        return;
    VSLModelPainter* p = m_instances.value(name / 10);
    if (!p)
        return;
    m_pSelModelPainter = p;
    ResetGizmos(p);
}

void VSL3DScene::SetPickCoord(int name)
{
    const int part = name == 0 ? -1 : name / 10;
    if (EditMode == 1)
        m_rotateCoord.m_nHoverPart = part;
    else if (EditMode == 2)
        m_scaleCoord.m_nHoverPart = part;
}

void VSL3DScene::SelectPickCoord()
{
    if (EditMode == 1)
        m_rotateCoord.m_nSelectedPart = m_rotateCoord.m_nHoverPart;
    else if (EditMode == 2)
        m_scaleCoord.m_nSelectedPart = m_scaleCoord.m_nHoverPart;
}

SceneOp VSL3DScene::Apply()
{
    return Apply(EditMode);
}

SceneOp VSL3DScene::Apply(int kind)
{
    const QMatrix4x4 pending = m_pendingTransform;
    m_pendingTransform.setToIdentity();
    if (!m_pSelModelPainter)
        return SceneOp::NoSelection;
    if (pending.isIdentity())
        return SceneOp::Unchanged;
    if (m_jobs.IsBusy(m_pSelModelPainter->m_nNumber))
        return SceneOp::JobRunning;
    if (!m_pSelModelPainter->ApplyConvertX(pending, kind))
        return SceneOp::Unchanged;
    PushFree(m_pSelModelPainter);
    ResetGizmos(m_pSelModelPainter);
    return SceneOp::Done;
}

SceneOp VSL3DScene::ResetSelectedModel()
{
    if (!m_pSelModelPainter)
        return SceneOp::NoSelection;
    if (m_jobs.IsBusy(m_pSelModelPainter->m_nNumber))
        return SceneOp::JobRunning;
    m_pSelModelPainter->ResetModelPainter();
    // Back in the middle of the plate, as any edit: the others make room.
    PushFree(m_pSelModelPainter);
    ResetGizmos(m_pSelModelPainter);
    return SceneOp::Done;
}

void VSL3DScene::UpdateCoord()
{
    if (m_pSelModelPainter)
        ResetGizmos(m_pSelModelPainter);
}

bool VSL3DScene::GetRotateInfo(QVector3D& center, QVector3D& axis) const
{
    if (m_rotateCoord.m_nSelectedPart == -1 || !m_pSelModelPainter)
        return false;
    center = m_pSelModelPainter->m_center;
    switch (m_rotateCoord.m_nSelectedPart) {
    case 0: axis = QVector3D(0, 0, 1); break;
    case 1: axis = QVector3D(0, -1, 0); break;
    case 2: axis = QVector3D(1, 0, 0); break;
    default: axis = QVector3D(0, 0, 0); break;
    }
    return true;
}

bool VSL3DScene::GetScaleInfo(QVector3D& faceCorner, QVector3D& oppositeCorner, QVector3D& normal) const
{
    const int face = m_scaleCoord.m_nSelectedPart;
    if (face == -1 || !m_pSelModelPainter)
        return false;
    if (face > 5 || face < 0)
        return true;
    const QVector3D mx = m_pSelModelPainter->m_maxBound;
    const QVector3D mn = m_pSelModelPainter->m_minBound;
    static const QVector3D normals[6] = {{0, 0, -1}, {0, 0, 1}, {1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
    const bool maxFirst = face == 1 || face == 2 || face == 4;
    faceCorner = maxFirst ? mx : mn;
    oppositeCorner = maxFirst ? mn : mx;
    normal = normals[face];
    return true;
}

bool VSL3DScene::GetBottomCenter(QVector3D& v) const
{
    if (!m_pSelModelPainter)
        return false;
    v = QVector3D(m_pSelModelPainter->m_center.x(), m_pSelModelPainter->m_center.y(),
                  m_pSelModelPainter->m_minBound.z());
    return true;
}

bool VSL3DScene::GetModelCenter(QVector3D& v) const
{
    if (!m_pSelModelPainter)
        return false;
    v = m_pSelModelPainter->m_center;
    return true;
}

bool VSL3DScene::GetModelBound(QVector3D& max, QVector3D& min) const
{
    if (!m_pSelModelPainter)
        return false;
    max = m_pSelModelPainter->m_maxBound;
    min = m_pSelModelPainter->m_minBound;
    return true;
}

bool VSL3DScene::GetScaleValue(QVector3D& v) const
{
    if (!m_pSelModelPainter)
        return false;
    v = m_pSelModelPainter->m_scale;
    return true;
}

void VSL3DScene::SetScaleValue(QVector3D& v)
{
    if (m_pSelModelPainter)
        m_pSelModelPainter->m_scale = v;
}

void VSL3DScene::GetBound(QVector3D& max, QVector3D& min) const
{
    max = m_boundMax;
    min = m_boundMin;
}

void VSL3DScene::SetBound(QVector3D const& max, QVector3D const& min, float pixelSizeX, float pixelSizeY)
{
    m_boundMax = max;
    m_boundMin = min;
    const QVector3D size = max - min;
    m_printerBox.SetBoxSize(int(size.x()), int(size.y()), int(size.z()));
    m_gridding.m_nWidth = int(size.x());
    m_gridding.m_nDepth = int(size.y());
    m_fPixelSizeX = pixelSizeX;
    m_fPixelSizeY = pixelSizeY;
}

bool VSL3DScene::IsOutRange(VSLModelPainter* instance) const
{
    const QVector3D mx = instance->m_maxBound;
    const QVector3D mn = instance->m_minBound;
    return mx.x() > m_boundMax.x() || mn.x() < m_boundMin.x() || mx.y() > m_boundMax.y() ||
           mn.y() < m_boundMin.y() || mx.z() > m_boundMax.z() || SupportsLeaveBoundXY(instance);
}

bool VSL3DScene::LeavesBoundXY(VSLModelPainter* instance) const
{
    return ModelLeavesBoundXY(instance) || SupportsLeaveBoundXY(instance);
}

bool VSL3DScene::ModelLeavesBoundXY(VSLModelPainter* instance) const
{
    const QVector3D mx = instance->m_maxBound;
    const QVector3D mn = instance->m_minBound;
    return mx.x() > m_boundMax.x() || mx.y() > m_boundMax.y() || m_boundMin.x() > mn.x() || m_boundMin.y() > mn.y();
}

bool VSL3DScene::SupportsLeaveBoundXY(VSLModelPainter* instance, const QMatrix4x4* moved) const
{
    // A support past the plate's edge is cut there: what stands on it would
    // start in mid-air. The extent is the one of the last finished run; a
    // run in progress owns the support matrix, and slicing waits for it.
    QVector2D lo, hi;
    if (m_jobs.HasSupportJob(instance->m_nNumber) || !instance->SupportExtentXY(lo, hi))
        return false;
    if (moved)
        MapPlanBox(*moved, lo, hi);
    return hi.x() > m_boundMax.x() || hi.y() > m_boundMax.y() || lo.x() < m_boundMin.x() || lo.y() < m_boundMin.y();
}

SupportPlate VSL3DScene::FootPlate() const
{
    // A pixel inside the frame: a foot that ends on its last pixel is cut.
    SupportPlate plate;
    plate.bounded = true;
    const float mx = m_fPixelSizeX > 0 ? m_fPixelSizeX / 1000.f : 0.f;
    const float my = m_fPixelSizeY > 0 ? m_fPixelSizeY / 1000.f : 0.f;
    plate.minX = m_boundMin.x() + mx;
    plate.maxX = m_boundMax.x() - mx;
    plate.minY = m_boundMin.y() + my;
    plate.maxY = m_boundMax.y() - my;
    return plate;
}

int VSL3DScene::CountLeavingPlate() const
{
    int n = 0;
    for (VSLModelPainter* p : m_instances)
        n += LeavesBoundXY(p) ? 1 : 0;
    return n;
}

// ---------------------------------------------------------------- supports

SceneOp VSL3DScene::StartSupportJob(VSLModelPainter* instance)
{
    if (!instance || m_instances.value(instance->m_nNumber) != instance)
        return SceneOp::NoSelection;
    if (!m_jobs.BeginSupport(instance->m_nNumber))
        return SceneOp::JobRunning;
    if (m_supportStarts.Running() == 0)
        m_strSupportError.clear();
    instance->m_supportPlate = FootPlate();
    // Started a few at a time; the others when running ones end.
    m_supportStarts.Enqueue(instance->m_nNumber);
    if (!StartQueuedSupportWorkers()) {
        StopSupportForLackOfThreads();
        return SceneOp::NoThreads;
    }
    return SceneOp::Done;
}

bool VSL3DScene::StartQueuedSupportWorkers()
{
    return m_supportStarts.StartQueued(
        [this](int n) -> QThread* {
            VSLModelPainter* p = m_instances.value(n);
            return p ? p->m_pSupportThread : nullptr;
        },
        [this](int n) { m_jobs.CancelSupport(n); },
        [this](int n) {
            VSLModelPainter* p = m_instances.value(n);
            p->m_bStopSupport = false;
            p->BeginSupportJob();
        });
}

void VSL3DScene::StopSupportForLackOfThreads()
{
    for (int n : m_supportStarts.TakeQueued()) {
        m_jobs.CancelSupport(n);
        // Its worker never ran: a lift applied for it is taken back.
        if (VSLModelPainter* p = m_instances.value(n); p && p->m_bSupportJob)
            p->EndSupportJob();
    }
    m_strSupportError = tr("The system refused the threads support generation needs; it was stopped.");
    qWarning().noquote() << m_strSupportError;
    // Whoever waits for the jobs to end hears that the cancelled ones did.
    QMetaObject::invokeMethod(
        this,
        [this] {
            emit sig_Update();
            emit sig_SupportJobEnded();
        },
        Qt::QueuedConnection);
}

SceneOp VSL3DScene::DeleteSelModelSupports()
{
    if (!m_pSelModelPainter)
        return SceneOp::NoSelection;
    if (m_jobs.IsBusy(m_pSelModelPainter->m_nNumber))
        return SceneOp::JobRunning;
    // Manual columns only: the generated supports go when a rotation or
    // scale is actually applied (the painter's transform), so a refused one
    // keeps them.
    m_pSupportToolPainter = m_pSelModelPainter;
    if (!m_pSelModelPainter->m_vSupportStructures.isEmpty())
        m_pSelModelPainter->RemoveAllSupportSelModel();
    return SceneOp::Done;
}

SceneOp VSL3DScene::RemoveSelModelSupports()
{
    const SceneOp r = DeleteSelModelSupports();
    if (r == SceneOp::Done && m_pSelModelPainter->m_bHasSupports)
        m_pSelModelPainter->RemoveSupportX();
    return r;
}

SceneOp VSL3DScene::DeleteAllSupports()
{
    if (m_jobs.AnyJob())
        return SceneOp::JobRunning;
    for (VSLModelPainter* p : qAsConst(m_instances)) {
        if (p->m_bHasSupports)
            p->RemoveSupportX();
        if (!p->m_vSupportStructures.isEmpty())
            p->RemoveAllSupportSelModel();
    }
    return SceneOp::Done;
}

void VSL3DScene::DeSelectSupport(DLPSupportStructure* support)
{
    const int i = m_vSelectedSupports.indexOf(support);
    if (i < 0)
        return;
    m_vSelectedSupports.remove(i);
    support->SetSelected(false);
}

void VSL3DScene::SetIsSupportMode(bool on)
{
    m_bSupportMode = on;
    while (!m_vSelectedSupports.isEmpty())
        DeSelectSupport(m_vSelectedSupports.front());
}

void VSL3DScene::ChangeSupAttachSize(int index)
{
    static const char* const names[3] = {"Cone 25%", "Cone 50%", "Cone 75%"};
    if (index < 0 || index > 2)
        return;
    m_strAttachName1 = m_strAttachName2 = QString::fromLatin1(names[index]);
}

void VSL3DScene::ChangeSupDensity(int index)
{
    static const int spacing[3] = {7000, 5000, 2000};
    if (index < 0 || index > 2)
        return;
    m_nSupportGridSpacing = spacing[index];
}

// ----------------------------------------------------------------- slicing

SceneOp VSL3DScene::StartSliceScene(int xResolution, int yResolution, float dotsPerMmX, float dotsPerMmY,
                                    float layerThickMm, int plateLayers)
{
    // NaN fails every comparison, so each test is written to pass only good values.
    const auto positive = [](float v) { return std::isfinite(v) && v > 0.0f; };
    if (!(xResolution > 0 && yResolution > 0 && positive(dotsPerMmX) && positive(dotsPerMmY) &&
          positive(layerThickMm) && plateLayers >= 0))
        return SceneOp::BadParameters;
    if (m_jobs.AnyJob() || IsWritingPrintFile())
        return SceneOp::JobRunning;
    m_strSliceError = TooTallProblem(layerThickMm, plateLayers);
    if (!m_strSliceError.isEmpty()) {
        qWarning().noquote() << m_strSliceError;
        return SceneOp::TooTall;
    }
    QVector<int> numbers;
    numbers.reserve(m_instances.size());
    for (auto it = m_instances.cbegin(); it != m_instances.cend(); ++it)
        numbers.append(it.key());
    if (!m_jobs.BeginSlice(numbers))
        return SceneOp::JobRunning;

    m_bSliceIslandsCounted = m_bCountSliceIslands;
    for (VSLModelPainter* p : qAsConst(m_instances))
        p->m_bCheckSliceIslands = m_bCountSliceIslands;
    m_nXResolution = xResolution;
    m_nYResolution = yResolution;
    m_fDotsPermmX = dotsPerMmX;
    m_fDotsPermmY = dotsPerMmY;
    m_fLayerThick = layerThickMm;
    m_nPlateLayers = plateLayers;
    {
        QMutexLocker lock(m_pSceneMutex);
        m_modelSliceLayers.clear();
        m_sliceMaxPt = QPointF(-xResolution, -yResolution);
        m_sliceMinPt = QPointF(xResolution, yResolution);
    }
    if (numbers.isEmpty()) {
        // No worker will ever signal; announce the empty result instead of
        // leaving the caller busy.
        QMetaObject::invokeMethod(this, [this] { emit sig_SliceSceneDone(m_modelSliceLayers.size()); },
                                  Qt::QueuedConnection);
        return SceneOp::Done;
    }
    for (int n : qAsConst(numbers))
        m_sliceStarts.Enqueue(n);
    if (!StartQueuedSliceWorkers()) {
        StopSliceForLackOfThreads(tr("The system refused the threads slicing needs; nothing was sliced."));
        return SceneOp::NoThreads;
    }
    return SceneOp::Done;
}

int VSL3DScene::MaxRunningSliceWorkers()
{
    // Each running thread costs the process a file handle and a stack; the
    // instances of one model take their turns on its mesh anyway.
    return qBound(2, QThread::idealThreadCount(), 16);
}

bool VSL3DScene::StartQueuedSliceWorkers()
{
    return m_sliceStarts.StartQueued(
        [this](int n) -> QThread* {
            VSLModelPainter* p = m_instances.value(n);
            return p ? p->m_pSliceThread : nullptr;
        },
        [this](int n) { m_jobs.CancelSlice(n); },
        // A stop asked of its last run does not carry over to this one.
        [this](int n) {
            if (VSLModelPainter* p = m_instances.value(n))
                p->m_bStopSlice = false;
        });
}

void VSL3DScene::StopSliceForLackOfThreads(const QString& why)
{
    for (int n : m_sliceStarts.TakeQueued())
        m_jobs.CancelSlice(n);
    m_strSliceError = why;
    qWarning().noquote() << m_strSliceError;
}

QString VSL3DScene::TooTallProblem(float layerThickMm, int plateLayers) const
{
    if (m_instances.isEmpty())
        return QString();
    float top = -std::numeric_limits<float>::infinity();
    for (VSLModelPainter* p : m_instances)
        top = std::max(top, p->m_maxBound.z());
    // The count re-save and conversion judge a print file by, so that every
    // plate sliced here is taken again for this printer.
    const double needed = double(contour::LayerPlanes::CountBelow(layerThickMm, top)) + plateLayers;
    const double holds = double(contour::LayerPlanes::CountBelow(layerThickMm, m_boundMax.z()));
    if (needed <= holds)
        return QString();
    // No thickness helps a plate taller than the printer.
    if (top > m_boundMax.z())
        return tr("The plate is %1 mm tall, more than the printer's build height of %2 mm. Scale the model down.")
            .arg(double(top), 0, 'f', 2)
            .arg(double(m_boundMax.z()));
    return tr("The plate needs %1 layers of %2 mm, but the printer's build height of %3 mm holds %4. "
              "Scale the model down or choose a thicker layer.")
        .arg(needed, 0, 'f', 0)
        .arg(double(layerThickMm))
        .arg(double(m_boundMax.z()))
        .arg(holds, 0, 'f', 0);
}

// ------------------------------------------------------------- print files

QStringList VSL3DScene::SourceFiles() const
{
    QStringList files;
    for (const VSLModel3D* m : qAsConst(m_models))
        if (!m->m_strFileName.isEmpty())
            files << m->m_strFileName;
    return files;
}

ScenePrintJob VSL3DScene::BeginPrintJob(bool withPlateTriangles)
{
    ScenePrintJob job;
    PrintJobInput& input = job.input;
    {
        // Slice workers append under this mutex.
        QMutexLocker lock(m_pSceneMutex);
        input.modelLayers = m_modelSliceLayers;
        if (!m_supportSliceLayers.isEmpty())
            input.supportLayers = m_supportSliceLayers;
    }
    input.machineCode = m_nMachineCode;
    input.machineName = m_strMachineName;
    input.imageRotate = m_bImageRotate;
    input.preview = m_previewImage;
    input.previewLarge = m_previewImageLarge;
    input.saveFileName = m_strSaveFileName;
    input.sourceFiles = SourceFiles();
    input.sliceXResolution = m_nXResolution;
    input.sliceYResolution = m_nYResolution;
    input.layerThicknessMm = m_fLayerThick;
    input.buildHeightMm = m_boundMax.z();
    if (withPlateTriangles) {
        for (VSLModelPainter* p : qAsConst(m_instances))
            input.plateTriangles += p->GetRealTriangles();
        for (VSLModelPainter* p : qAsConst(m_instances))
            input.plateSupports.push_back(p->PlacedSupports());
    }
    ++m_nPrintFilesWriting;
    std::atomic<int>* writing = &m_nPrintFilesWriting;
    job.writing = std::shared_ptr<void>(nullptr, [writing](void*) { --*writing; });
    return job;
}

void VSL3DScene::RunOnSceneThread(std::function<void()> const& fn)
{
    if (QThread::currentThread() == thread()) {
        fn();
        return;
    }
    // Qt's blocking call already orders both hand-overs; the two flags say so
    // in a way the thread sanitizer sees too (Qt waits on futexes it cannot).
    std::atomic<bool> posted{false};
    std::atomic<bool> ran{false};
    posted.store(true, std::memory_order_release);
    QMetaObject::invokeMethod(
        this,
        [&] {
            (void)posted.load(std::memory_order_acquire);
            fn();
            ran.store(true, std::memory_order_release);
        },
        Qt::BlockingQueuedConnection);
    (void)ran.load(std::memory_order_acquire);
}

int VSL3DScene::generatePrintableData(ST_MachinePara& para, QString path)
{
    ScenePrintJob job;
    RunOnSceneThread([&] {
        // Only the vector file of code 120 needs the plate's triangles.
        job = BeginPrintJob(m_nMachineCode == 120);
        m_nPixelBits = 4;
        m_nPrintLayerCount = job.input.modelLayers->size();
    });
    return PrintFile::generatePrintableData(job.input, para, path);
}

int VSL3DScene::generatePrintableData_VXS(ST_MachinePara& para, QString path)
{
    ScenePrintJob job;
    RunOnSceneThread([&] {
        job = BeginPrintJob(false);
        m_nPixelBits = 4;
    });
    return PrintFile::generatePrintableData_VXS(job.input, para, path);
}

int VSL3DScene::generatePrintableData_VXT(ST_MachinePara& para, QString path)
{
    ScenePrintJob job;
    RunOnSceneThread([&] {
        job = BeginPrintJob(true);
        m_nPrintLayerCount = job.input.modelLayers->size();
    });
    return PrintFile::generatePrintableData_VXT(job.input, para, path);
}
