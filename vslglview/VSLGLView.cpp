#include "VSLGLView.h"

#include "VSLCamera.h"
#include "VSLCoordConvert.h"
#include "VSLEditHandlers.h"
#include "VSLEditService.h"
#include "VSLModel3D.h"
#include "VSLModelLoader.h"
#include "VSLModelPainter.h"
#include "VSLXYZPainter.h"
#include "support/DLPSupportStructure.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMatrix4x4>
#include <QMessageBox>
#include <QMetaMethod>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>

#include "mesh/workerpriority.h"

#include <GL/gl.h>

#include <cmath>

#ifndef GL_MULTISAMPLE
#define GL_MULTISAMPLE 0x809D
#endif

namespace {

const char* const kBoxStyle = "* { background-color: rgb(0, 0, 0); color: rgb(255, 255, 255); } QPushButton "
                              "{background-color: rgb(125, 125, 125);}";

bool Positive(float v) { return std::isfinite(v) && v > 0.f; }

} // namespace

void LoadThread::run()
{
    vcg::LowerThisThreadPriority();
    VSLGLView* view = m_pView;
    if (!view)
        return;
    const QString path = m_strFilePath;
    VSLModelLoader loader;
    loader.path = path;
    QVector<VSLTriangle3D> triangles;
    const bool read = loader.IsReady() && loader.LoadData(triangles);
    const QString error = read ? QString() : loader.errorString();
    // The scene, its models and their painters belong to the GUI thread: it
    // takes the triangles over. A view gone meanwhile drops the call.
    QMetaObject::invokeMethod(
        view,
        [view, path, triangles = std::move(triangles), error]() mutable {
            const bool added = view->scene()->AddReadModel(path, std::move(triangles), error);
            view->update();
            view->LoadFileDone(added);
        },
        Qt::QueuedConnection);
}

QSurfaceFormat VSLGLView::ViewSurfaceFormat()
{
    QSurfaceFormat f = QSurfaceFormat::defaultFormat();
    f.setSamples(4);
    f.setDepthBufferSize(24);
    f.setStencilBufferSize(8);
    f.setProfile(QSurfaceFormat::CompatibilityProfile);
    return f;
}

VSLGLView::VSLGLView(QWidget* parent) : QOpenGLWidget(parent)
{
    setFormat(ViewSurfaceFormat());
    m_pScene = new VSL3DScene;
    m_pXYZPainter = new VSLXYZPainter;
    m_pCamera = new VSLCamera;
    m_pEditService = new VSLEditService;
    m_pEditHandlers = new VSLEditHandlers(m_pScene, m_pEditService, this);
    // The pick ray and surface point come from this view's matrices.
    m_pEditService->SetRaySource([this](QPoint const& p, QVector3D& a, QVector3D& b) {
        if (!LoadViewMatrices())
            return false;
        DCToWC(p, a, b);
        return true;
    });
    m_pEditHandlers->SetSurfaceSource([this](QVector3D& point, QPoint const& p) {
        return LoadViewMatrices() && m_pScene->LocateInCurrentModel(point, p);
    });
    m_pScene->SetContextSource([this] {
        if (!m_bGLReady)
            return false;
        makeCurrent();
        return true;
    });

    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setAcceptDrops(true);
    InitFunTable();

    connect(m_pScene, &VSL3DScene::signal_RenderText, this, &VSLGLView::slot_RenderText);
    connect(m_pScene, &VSL3DScene::signal_EditModeChanged, this, &VSLGLView::signal_EditModeChanged);
    connect(m_pScene, &VSL3DScene::signal_AllModelDel, this, &VSLGLView::signal_AllModelDel);
    connect(m_pScene, &VSL3DScene::signal_Exception, this, &VSLGLView::slot_MessageException);
    connect(m_pScene, &VSL3DScene::sig_SceneStatusChanged, this, &VSLGLView::sig_SceneStatusChanged);
    connect(this, &VSLGLView::sig_EditSupport, this, &VSLGLView::slot_EditSupport);
    connect(this, &VSLGLView::sig_RemoveSupport, this, &VSLGLView::slot_RemoveSupport);
    connect(m_pScene, &VSL3DScene::sig_Update, this, &VSLGLView::slot_Update);
    connect(m_pScene, &VSL3DScene::sig_SupportJobEnded, this, &VSLGLView::slot_SupportJobEnded);
    connect(m_pScene, &VSL3DScene::sig_SliceSceneDone, this, &VSLGLView::sig_SliceSceneDone);
    connect(m_pEditHandlers, &VSLEditHandlers::signal_SendEditList, this, &VSLGLView::signal_SendEditList);
    connect(m_pEditHandlers, &VSLEditHandlers::signal_ShowHideEditControl, this,
            &VSLGLView::signal_ShowHideEditControl);
    connect(m_pEditHandlers, &VSLEditHandlers::signal_ModelClicked, this, &VSLGLView::signal_ModelClicked);
    connect(m_pEditHandlers, &VSLEditHandlers::sig_SceneStatusChanged, this, &VSLGLView::sig_SceneStatusChanged);

    DLPSupportStructure::ImportAttachmentDataFromStls();
    DLPSupportStructure::FillRegistryDefaults(false, "LIGHT");
    m_pLoadThread = new LoadThread(this);
}

VSLGLView::~VSLGLView()
{
    // Display lists and the pick buffer go with the context they live in.
    if (m_bGLReady)
        makeCurrent();
    delete m_pEditHandlers;
    m_pEditHandlers = nullptr;
    delete m_pScene;
    delete m_pXYZPainter;
    delete m_pCamera;
    delete m_pEditService;
    if (m_bGLReady)
        doneCurrent();
    m_pLoadThread->wait();
    delete m_pLoadThread;
}

void VSLGLView::InitFunTable()
{
    m_moveTable.insert(Qt::NoButton, &VSLGLView::MouseMove_NoButton);
    m_moveTable.insert(Qt::LeftButton, &VSLGLView::MouseMove_LeftButton);
    m_moveTable.insert(Qt::MiddleButton, &VSLGLView::MouseMove_MiddleButton);
    m_moveTable.insert(Qt::RightButton, &VSLGLView::MouseMove_RightButton);
    m_pressTable.insert(Qt::LeftButton, &VSLGLView::MousePress_LeftButton);
    m_pressTable.insert(Qt::RightButton, &VSLGLView::MousePress_RightButton);
    m_releaseTable.insert(Qt::LeftButton, &VSLGLView::MouseRelease_LeftButton);
    m_releaseTable.insert(Qt::MiddleButton, &VSLGLView::MouseRelease_MiddleButton);
    m_releaseTable.insert(Qt::RightButton, &VSLGLView::MouseRelease_RightButton);
    m_commandTable.insert(0, &VSLGLView::Trigger_Translate);
    m_commandTable.insert(1, &VSLGLView::Trigger_Rotate);
    m_commandTable.insert(2, &VSLGLView::Trigger_Scale);
    m_commandTable.insert(6, &VSLGLView::Trigger_Command);
}

// ------------------------------------------------------------------- GL

void VSLGLView::initializeGL()
{
    initializeOpenGLFunctions();
    m_pScene->InitScene();
    m_pXYZPainter->InitDisplayList();
    m_bGLReady = true;
}

void VSLGLView::LoadProjection(int w, int h)
{
    if (h == 0)
        h = 1;
    glViewport(0, 0, w, h);
    QMatrix4x4 proj;
    proj.perspective(45.f, float(w) / float(h), 0.1f, 10000.f);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMultMatrixf(proj.constData());
    glMatrixMode(GL_MODELVIEW);
}

void VSLGLView::resizeGL(int w, int h)
{
    LoadProjection(w, h);
}

void VSLGLView::LoadFrameMatrices()
{
    // QPainter on this widget (labels, triad) may leave other matrices and
    // a viewport of its own behind: every use loads the view's again.
    const qreal dpr = devicePixelRatioF();
    SetWidgetPixelRatio(dpr);
    LoadProjection(int(width() * dpr), int(height() * dpr));
    m_pCamera->Apply();
}

bool VSLGLView::LoadViewMatrices()
{
    // Before the first show there is no context to draw or pick with.
    if (!m_bGLReady)
        return false;
    makeCurrent();
    LoadFrameMatrices();
    return true;
}

void VSLGLView::paintGL()
{
    if (m_bPickFrame) {
        // The instance pick pass in the widget's own frame (GetLocateModelPainterX).
        glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glDisable(GL_LIGHTING);
        glDisable(GL_BLEND);
        glDisable(GL_DITHER);
        glDisable(GL_MULTISAMPLE);
        LoadFrameMatrices();
        m_pScene->RenderPickModels();
        glPopAttrib();
        glClearColor(0.94f, 0.93f, 0.92f, 1.0f);
        return;
    }
    LoadFrameMatrices();
    WindowSizeAdjust();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    Draw3DScene();
    glFlush();
    if (m_pScene->m_bHideOverlays) {
        QVector3D max, min;
        getModelBound(max, min);
        makePngImage(max, min);
        getModelBound(max, min);
        makeBmpImage(max, min);
        m_pScene->m_bHideOverlays = false;
        // The frame on screen is the bare capture; the plate and labels
        // come back with the next one, which nothing else may ask for (an
        // update asked for inside the paint is dropped, so after it). Input
        // that came while the capture drew goes first: a close clicked then
        // would otherwise wait for another whole frame of the plate.
        QTimer::singleShot(kOverlaysBackAfterMs, this, [this] { update(); });
    }
}

void VSLGLView::Draw3DScene()
{
    // A QPainter on this widget (labels, triad) leaves the GL state of its
    // own engine behind; the scene's state is set again every frame.
    m_pScene->InitColorAndBlend();
    LoadFrameMatrices();
    glEnable(GL_MULTISAMPLE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    m_pScene->RenderScene();
    double yaw = 0, pitch = 0;
    m_pCamera->GetRotate(yaw, pitch);
    m_pXYZPainter->SetRotate(yaw, pitch);
    delete m_pXYZPainter->m_pPainter;
    m_pXYZPainter->m_pPainter = new QPainter(this);
    m_pXYZPainter->Render();
    // The painter's engine may leave its program bound and the depth
    // function changed; the fixed-function drawing after it needs neither.
    glUseProgram(0);
    glDepthFunc(GL_LEQUAL);
    LoadFrameMatrices();
    m_pScene->DrawMisc();
}

void VSLGLView::getRect(QRect& r, QVector3D a, QVector3D b)
{
    int left = 0, right = 0, top = 0, bottom = 0;
    bool first = true;
    for (int i = 0; i < 8; ++i) {
        const QVector3D c((i & 1) ? b.x() : a.x(), (i & 2) ? b.y() : a.y(), (i & 4) ? b.z() : a.z());
        QPoint p;
        UCToDC(p, c);
        if (first) {
            left = right = p.x();
            top = bottom = p.y();
            first = false;
            continue;
        }
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::max(top, p.y());
        bottom = std::min(bottom, p.y());
    }
    r.setCoords(left, top, right, bottom);
}

void VSLGLView::getModelBound(QVector3D& max, QVector3D& min) const
{
    QVector3D bmax, bmin;
    m_pScene->GetBound(bmax, bmin);
    max = bmin;
    min = bmax;
    for (VSLModelPainter* p : m_pScene->instances()) {
        for (int a = 0; a < 3; ++a) {
            max[a] = std::max(max[a], p->m_maxBound[a]);
            min[a] = std::min(min[a], p->m_minBound[a]);
        }
    }
}

// Only the camera: the frame that asked for the fit clears and draws next,
// and a draw here would be wiped unseen (a whole frame, seconds on a big plate).
void VSLGLView::WindowSizeAdjust()
{
    if (m_bFitted)
        return;
    if (m_fFitScale != 0.f) {
        m_pCamera->SetViewportScale(m_fFitScale);
        m_pCamera->Apply();
        m_bFitted = true;
        return;
    }
    QVector3D max, min;
    m_pScene->GetBound(max, min);
    LoadFrameMatrices();
    QRect r;
    getRect(r, max, min);
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    // In widget points, as getRect gives the box.
    const double ratio = WidgetPixelRatio();
    const double w = vp[2] / ratio, h = vp[3] / ratio;
    const double topY = r.top(), bottomY = r.bottom(), left = r.left(), right = r.right();
    auto factor = [](double size, double v) { return size - v != 0 ? size / (size - v) : 1.0; };
    double scale = 1;
    if (topY < 0)
        scale = std::min(scale, factor(h, topY));
    if (left < 0)
        scale = std::min(scale, factor(w, left));
    if (right < 0)
        scale = std::min(scale, factor(w, right));
    if (bottomY < 0)
        scale = std::min(scale, factor(h, bottomY));
    const double k = 1 - topY + bottomY;
    if (k < 0)
        scale = std::min(scale, factor(h, k));
    const double j = 1 - left + right;
    if (j < 0)
        scale = std::min(scale, factor(w, j));
    if (m_pScene->m_strMachineName == "Pellar300") {
        const QVector3D d = max - min;
        const double diag = std::sqrt(double(d.x()) * d.x() + double(d.y()) * d.y());
        const double dz = std::fabs(double(d.z()));
        const double x0 = vp[0] / ratio;
        if (w - x0 != 0 && diag != 0 && dz != 0) {
            const double limit = (diag / (w - x0)) / ((diag / dz) / 1.1);
            scale = std::min(scale, limit);
        }
    }
    m_pCamera->SetViewportScale(float(scale));
    m_fFitScale = float(scale);
    m_pCamera->Apply();
    m_bFitted = true;
    LoadFrameMatrices();
    getRect(m_buildBoxRect, max, min);
}

// ---------------------------------------------------------------- input

void VSLGLView::mouseMoveEvent(QMouseEvent* e)
{
    LoadViewMatrices();
    m_currentPoint = e->localPos().toPoint();
    m_pEditHandlers->SetMovePoint(m_currentPoint);
    if (!m_bSwallow) {
        const int buttons = int(e->buttons());
        auto it = m_moveTable.constFind(buttons);
        if (it != m_moveTable.constEnd())
            (this->*it.value())();
    }
    update();
}

void VSLGLView::mousePressEvent(QMouseEvent* e)
{
    LoadViewMatrices();
    m_pressPoint = e->localPos().toPoint();
    m_currentPoint = m_pressPoint;
    const int x = m_pressPoint.x(), y = m_pressPoint.y();
    // Presses on the side and bottom edges belong to the frame around the
    // view; the top edge is open.
    const bool accepted = x >= 10 && x <= width() - 10 && y <= height() - 10;
    if (accepted) {
        auto it = m_pressTable.constFind(int(e->button()));
        if (it != m_pressTable.constEnd()) {
            m_bSwallow = false;
            (this->*it.value())();
        }
    } else {
        m_bSwallow = true;
    }
    update();
}

void VSLGLView::mouseReleaseEvent(QMouseEvent* e)
{
    LoadViewMatrices();
    m_bSwallow = false;
    auto it = m_releaseTable.constFind(int(e->button()));
    if (it != m_releaseTable.constEnd())
        (this->*it.value())();
    update();
}

void VSLGLView::wheelEvent(QWheelEvent* e)
{
    LoadViewMatrices();
    const int delta = e->angleDelta().y();
    if (delta >= 1)
        m_pCamera->ZoomIn();
    else if (delta < 0)
        m_pCamera->ZoomOut();
    update();
}

void VSLGLView::keyPressEvent(QKeyEvent* e)
{
    // Delete takes display lists with the instance.
    LoadViewMatrices();
    if (e->key() == Qt::Key_Delete && m_bDeleteEnabled)
        RemoveCurrentModel();
    update();
}

void VSLGLView::dragEnterEvent(QDragEnterEvent* e)
{
    LoadViewMatrices();
    const QMimeData* data = e->mimeData();
    if (data && data->hasFormat("text/uri-list") && data->urls().size() == 1 &&
        QFileInfo(data->urls().first().toLocalFile()).suffix().endsWith("stl", Qt::CaseInsensitive))
        e->acceptProposedAction();
    update();
}

void VSLGLView::dropEvent(QDropEvent* e)
{
    LoadViewMatrices();
    const QMimeData* data = e->mimeData();
    if (data && !data->urls().isEmpty()) {
        const QString path = data->urls().first().toLocalFile();
        if (isSignalConnected(QMetaMethod::fromSignal(&VSLGLView::sig_FileDropped)))
            emit sig_FileDropped(path);
        // A file dropped by hand gets its reason shown; nobody else would.
        else if (!OpenSTLFile(path))
            ShowMessage(tr("Error!"), m_pScene->lastLoadError());
        else if (!m_pScene->lastLoadWarning().isEmpty())
            ShowMessage(tr("The model file is incomplete"), m_pScene->lastLoadWarning());
    }
    update();
}

void VSLGLView::timerEvent(QTimerEvent*) {}

void VSLGLView::MouseMove_NoButton()
{
    // Each pick pass runs only where its result is used: the gizmo handles
    // in the Edit stage's rotate and scale modes, the surface point and the
    // 3D cursor in support mode.
    const int mode = m_pScene->EditMode;
    if (m_pScene->selectedInstance() && m_pScene->m_strToolName == "Edit" && (mode == 1 || mode == 2))
        m_pScene->SetPickCoord(GetLocateCoord(m_currentPoint));
    if (!m_pScene->m_bSupportMode)
        return;
    QVector3D p;
    if (!LoadViewMatrices() || !m_pScene->LocateInCurrentModel(p, m_currentPoint))
        p = QVector3D(0, 0, -1);
    m_pEditHandlers->SetHoverPoint(p);
    if (LoadViewMatrices())
        m_pScene->OnToolHoverMove(m_currentPoint);
}

void VSLGLView::MouseMove_LeftButton()
{
    if (m_pScene->selectedInstance() && m_pScene->m_strToolName == "Edit")
        m_pEditHandlers->UpdateMovePoint3D();
}

void VSLGLView::MouseMove_MiddleButton()
{
    const QPoint d = m_currentPoint - m_pressPoint;
    m_pCamera->Translate(d.x() * 150.0 / width(), d.y() * 150.0 / height(), false);
}

void VSLGLView::MouseMove_RightButton()
{
    const QPoint d = m_currentPoint - m_pressPoint;
    m_pCamera->Rotate(d.x(), d.y(), false);
}

void VSLGLView::MousePress_LeftButton()
{
    const QString& tool = m_pScene->m_strToolName;
    if (tool == "Slice" || tool == "Save")
        return;
    // While supports are edited by clicking, the press edits them.
    if (m_pScene->m_bFreeze) {
        if (LoadViewMatrices())
            m_pScene->ClickEditSupport(m_pressPoint);
        update();
        return;
    }
    m_pEditHandlers->SetPressPoint(m_pressPoint);
    if (m_pScene->selectedInstance()) {
        const int handle = GetLocateCoord(m_pressPoint);
        if (handle != 0) {
            // The handle under the press, even when no hover move came first.
            m_pScene->SetPickCoord(handle);
            m_pScene->SelectPickCoord();
            m_pEditHandlers->UpdatePressPoint3D();
            return;
        }
    }
    const int number = GetLocateModelPainter(m_pressPoint);
    m_pScene->SetPickModelPainter(number);
    EmitSelected();
    m_pEditHandlers->UpdatePressPoint3D();
}

void VSLGLView::MousePress_RightButton() {}

void VSLGLView::MouseRelease_LeftButton()
{
    m_pEditHandlers->CommitDrag();
}

void VSLGLView::MouseRelease_MiddleButton()
{
    m_pCamera->Translate(0, 0, true);
}

void VSLGLView::MouseRelease_RightButton()
{
    m_pCamera->Rotate(0, 0, true);
}

int VSLGLView::GetLocateCoord(QPoint p)
{
    if (!LoadViewMatrices())
        return 0;
    const int id = m_pScene->PickCoordAt(p);
    glClearColor(0.94f, 0.93f, 0.92f, 1.0f);
    return id;
}

int VSLGLView::GetLocateModelPainter(QPoint p)
{
    if (!LoadViewMatrices())
        return 0;
    const int id = m_pScene->PickModelsAt(p);
    glClearColor(0.94f, 0.93f, 0.92f, 1.0f);
    return id;
}

int VSLGLView::GetLocateModelPainterX(QPoint p)
{
    if (!m_bGLReady)
        return 0;
    m_bPickFrame = true;
    const QImage frame = grabFramebuffer();
    m_bPickFrame = false;
    update();
    SetWidgetPixelRatio(devicePixelRatioF());
    const QPoint q = WidgetToDevicePixel(p);
    if (!frame.rect().contains(q))
        return 0;
    const QRgb c = frame.pixel(q);
    return qRed(c) * 65536 + qGreen(c) * 256 + qBlue(c);
}

int VSLGLView::GetLocateModelPainterXX(QPoint p)
{
    if (!LoadViewMatrices())
        return 0;
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    const int n = m_pScene->instances().size();
    QVector<GLuint> buffer(std::max(4 * n + 16, 64));
    glSelectBuffer(GLsizei(buffer.size()), buffer.data());
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(0);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    // 1 x 1 pick matrix about the pixel's centre (the gluPickMatrix of GLU).
    const QPoint d = WidgetToDevicePixel(p);
    const double px = d.x() + 0.5, py = vp[3] - 1 - d.y() + 0.5;
    glTranslated((vp[2] - 2 * (px - vp[0])), (vp[3] - 2 * (py - vp[1])), 0);
    glScaled(vp[2], vp[3], 1.0);
    QMatrix4x4 proj;
    proj.perspective(45.f, float(vp[2]) / float(std::max(vp[3], 1)), 0.1f, 10000.f);
    glMultMatrixf(proj.constData());
    glMatrixMode(GL_MODELVIEW);
    m_pCamera->Apply();
    for (VSLModelPainter* instance : m_pScene->instances()) {
        glLoadName(GLuint(instance->pickId()));
        instance->Render();
    }
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    const GLint hits = glRenderMode(GL_RENDER);
    int best = 0;
    GLuint bestDepth = 0xffffffffu;
    int at = 0;
    for (GLint h = 0; h < hits && at + 3 <= buffer.size(); ++h) {
        const GLuint names = buffer[at];
        const GLuint minDepth = buffer[at + 1];
        if (names > 0 && at + 3 < buffer.size() && (best == 0 || minDepth < bestDepth)) {
            best = int(buffer[at + 3]);
            bestDepth = minDepth;
        }
        at += 3 + int(names);
    }
    return best;
}

// ---------------------------------------------------------------- facade

bool VSLGLView::IsSlcFileName(const QString& path)
{
    return QFileInfo(path).suffix().compare(QLatin1String("slc"), Qt::CaseInsensitive) == 0;
}

bool VSLGLView::OpenSTLFile(QString path)
{
    // An SLC file brings its layers with it: they go to the scene as read.
    const bool ok = IsSlcFileName(path) ? m_pScene->AddSlcModel(path) : m_pScene->AddModel(path);
    if (ok) {
        // A new model can push the selection aside: the panel shows where it stands.
        m_pEditHandlers->EmitUpdate();
        update();
    }
    return ok;
}

QString VSLGLView::GetOpenFilePath() const { return m_pScene->m_strOpenDir; }

void VSLGLView::SetOpenFilePath(QString folder)
{
    m_pScene->m_strOpenDir = folder;
    if (m_pScene->m_strSaveDir.isEmpty())
        m_pScene->m_strSaveDir = folder;
}

QString VSLGLView::GetOpenFileName() const { return m_pScene->m_strOpenFileName; }
void VSLGLView::SetOpenFileName(QString name) { m_pScene->m_strOpenFileName = name; }
QString VSLGLView::GetSaveFilePath() const { return m_pScene->m_strSaveDir; }
void VSLGLView::SetSaveFilePath(QString folder) { m_pScene->m_strSaveDir = folder; }
QString VSLGLView::GetSaveFileName() const { return m_pScene->m_strSaveFileName; }
void VSLGLView::SetSaveFileName(QString path) { m_pScene->m_strSaveFileName = path; }
void VSLGLView::setDirName(QString folder) { m_pScene->setSliceDirName(folder); }
QString VSLGLView::GetFileType() const { return m_pScene->m_strFileType; }
void VSLGLView::SetFileType(QString type) { m_pScene->m_strFileType = type; }

SceneOp VSLGLView::RemoveCurrentModel()
{
    // Asked first: a refused removal must leave the selection as it was.
    const SceneOp r = m_pScene->RemoveSelectedModel();
    if (r != SceneOp::Done)
        return r;
    EmitSelected();
    emit sig_SceneStatusChanged(VexmorEditStatEdited);
    update();
    return r;
}

SceneOp VSLGLView::DuplicateSelectedModel()
{
    const SceneOp r = m_pScene->DuplicateSelectedModel();
    if (r == SceneOp::Done) {
        // Placing the copy may have re-centred every instance, the selected one too.
        m_pScene->UpdateCoord();
        m_pEditHandlers->EmitUpdate();
        update();
    }
    return r;
}

void VSLGLView::SetNavBtn(QString stage)
{
    m_pScene->m_strToolName = stage;
    // A stage change never leaves the view in the support editor's state
    // (the editor itself keeps the stage bar disabled while it is open).
    if (!m_pScene->m_bFreeze)
        RestoreEditState();
    update();
}

void VSLGLView::RestoreEditState()
{
    m_nEditState = VexmorEditStatEdited;
    m_pEditHandlers->SetEditState(m_nEditState);
    m_pScene->m_nEditStat = m_nEditState;
    m_pScene->SetIsSupportMode(false);
    m_pEditHandlers->SetHoverPoint(QVector3D(0, 0, -1));
}

void VSLGLView::SetBound(float xres, float yres, float pixelSizeX, float pixelSizeY, float height)
{
    const QVector3D max(xres * pixelSizeX / 1000.f / 2.f, yres * pixelSizeY / 1000.f / 2.f, height);
    const QVector3D min(-max.x(), -max.y(), 0);
    m_pScene->SetBound(max, min, pixelSizeX, pixelSizeY);
    if (m_bGLReady) {
        // The box and grid lists follow the new size.
        makeCurrent();
        m_pScene->InitPainters();
        doneCurrent();
    }
    m_bFitted = false;
    update();
}

void VSLGLView::SetImageRotate(bool rotate) { m_pScene->m_bImageRotate = rotate; }
void VSLGLView::SetPixelBits(int bits) { m_pScene->m_nPixelBits = bits; }

void VSLGLView::SetMachineType(QString name, int code)
{
    m_pScene->m_strMachineName = name;
    m_pScene->m_nMachineCode = code;
}

void VSLGLView::EmitSelected()
{
    m_pEditHandlers->EmitSelected();
}

int VSLGLView::selectedNumber() const
{
    VSLModelPainter* p = m_pScene->selectedInstance();
    return p ? p->pickId() : 0;
}

QVector3D VSLGLView::hoverPoint() const { return m_pEditHandlers->hoverPoint(); }

void VSLGLView::slot_ReceiveEditList(QVariantList editList)
{
    if (!editList.isEmpty()) {
        const int cmd = editList.takeFirst().toInt();
        auto it = m_commandTable.constFind(cmd);
        if (it != m_commandTable.constEnd())
            (this->*it.value())(editList);
    }
    update();
    emit sig_SceneStatusChanged(VexmorEditStatEdited);
}

void VSLGLView::Trigger_Translate(QVariantList& args) { m_pEditHandlers->Trigger_Translate(args); }
void VSLGLView::Trigger_Rotate(QVariantList& args) { m_pEditHandlers->Trigger_Rotate(args); }
void VSLGLView::Trigger_Scale(QVariantList& args)
{
    m_pEditHandlers->Trigger_Scale(args);
    // A scale takes the supports away and lays the instance on the plate:
    // the panel's fields, the height among them, must say so, or the next
    // position typed would lift it back into the air. Told once the panel's
    // own change has run its course, with the scale the panel holds.
    QMetaObject::invokeMethod(
        this,
        [this] {
            emit signal_RequestScaleValue();
            m_pEditHandlers->EmitUpdate();
        },
        Qt::QueuedConnection);
}
void VSLGLView::Trigger_Command(QVariantList& args) { m_pEditHandlers->Trigger_Command(args); }

void VSLGLView::slot_ReceiveScaleValue(QVariantList values)
{
    if (values.size() >= 4) {
        bool ok[4] = {false, false, false, false};
        const int id = values.at(0).toInt(&ok[0]);
        const QVector3D s(values.at(1).toFloat(&ok[1]), values.at(2).toFloat(&ok[2]), values.at(3).toFloat(&ok[3]));
        if (ok[0] && ok[1] && ok[2] && ok[3]) {
            if (VSLModelPainter* p = m_pScene->instances().value(id / 10))
                p->m_scale = s;
        }
    }
    emit sig_SceneStatusChanged(VexmorEditStatEdited);
}

void VSLGLView::slot_ControlView(int cmd)
{
    m_pCamera->TransformViewByCmd(cmd);
    update();
}

void VSLGLView::slot_EditStatChanged(int stat)
{
    m_nEditState = stat;
    m_pEditHandlers->SetEditState(stat);
    m_pScene->m_nEditStat = stat;
    m_pScene->SetIsSupportMode(stat == VexmorEditStatSupport);
    emit sig_SceneStatusChanged(stat);
}

void VSLGLView::slot_Update() { update(); }

// Only the end of support jobs ends the wait for them: an editor click
// updates the scene too, and must not release the editor's lock.
void VSLGLView::slot_SupportJobEnded()
{
    if (m_pScene->runningSupportJobs() != 0)
        return;
    // The run lifted or lowered the instance: the panel shows where it stands.
    m_pEditHandlers->EmitUpdate();
    emit sig_GenSupportDone();
    const QString stopped = m_pScene->TakeSupportError();
    if (!stopped.isEmpty())
        ShowMessage(tr("Support generation stopped."), stopped);
}

void VSLGLView::ShowMessage(QString const& text, QString const& informative)
{
    if (m_fnMessage) {
        m_fnMessage(text, informative);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok, nullptr,
                    Qt::Dialog | Qt::FramelessWindowHint);
    box.setStyleSheet(kBoxStyle);
    if (!informative.isEmpty())
        box.setInformativeText(informative);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

void VSLGLView::slot_MessageException(int code)
{
    QString info;
    switch (code) {
    case -10:
        info = tr("There are still holes on the model! Please try to use other professional software to fix it.");
        break;
    case -9:
        info = tr("There are still non-manifold on the model! Please try to use other professional software to "
                  "fix it.");
        break;
    case -8:
        info = tr("There are still errors on the model! Please try to use other professional software to fix it.");
        break;
    default: break;
    }
    ShowMessage(tr("Error!"), info);
}

void VSLGLView::slot_RenderText(QString str, QVector3D pos)
{
    QPoint p;
    UCToDC(p, pos);
    // QPainter's engine changes GL state (depth function, blending, bound
    // program, enables) that the rest of the frame relies on.
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    {
        QPainter painter(this);
        painter.setPen(QColor(238, 236, 234));
        painter.drawText(p, str);
    }
    glUseProgram(0);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
    glEnable(GL_MULTISAMPLE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

// -------------------------------------------------------------- supports

SceneOp VSLGLView::GenSupport(QVector<double> para)
{
    QVector<VSLModelPainter*> targets;
    if (VSLModelPainter* sel = m_pScene->selectedInstance())
        targets << sel;
    else
        targets = m_pScene->instances().values().toVector();
    SceneOp refusal = SceneOp::Done;
    if (para.size() < 4)
        refusal = SceneOp::Unchanged;
    for (VSLModelPainter* p : qAsConst(targets))
        if (m_pScene->IsInstanceBusy(p))
            refusal = SceneOp::JobRunning;
    if (refusal != SceneOp::Done) {
        emit sig_GenSupportDone();
        emit sig_SceneStatusChanged(VexmorEditStatSupport);
        return refusal;
    }
    int started = 0;
    for (VSLModelPainter* p : qAsConst(targets)) {
        if (p->m_dSupportDensity == para[0] && p->m_dTipDiameter == para[1] && p->m_dShaftDiameter == para[2] &&
            p->m_dLiftDistance == para[3] && p->m_bHasSupports && !p->m_bSupportEditMark)
            continue;
        // The old supports go (and the instance down by the old lift)
        // before the new parameters are stored.
        p->RemoveSupportX();
        p->m_bSupportEditMark = false;
        p->m_dSupportDensity = para[0];
        p->m_dTipDiameter = para[1];
        p->m_dShaftDiameter = para[2];
        p->m_dLiftDistance = para[3];
        if (m_pScene->StartSupportJob(p) == SceneOp::Done)
            ++started;
    }
    if (started == 0)
        emit sig_GenSupportDone();
    emit sig_SceneStatusChanged(VexmorEditStatSupport);
    return SceneOp::Done;
}

void VSLGLView::slot_EditSupport(bool Freeze, bool SaveResult, QVector<double> Para)
{
    m_pScene->m_bFreeze = Freeze;
    if (Freeze) {
        m_nEditState = VexmorEditStatSupport;
        m_pEditHandlers->SetEditState(m_nEditState);
        m_pScene->m_nEditStat = m_nEditState;
        m_pScene->SetIsSupportMode(true);
    } else {
        // Leaving the editor (save or cancel): drags and picks work again.
        RestoreEditState();
    }
    emit sig_SceneStatusChanged(VexmorEditStatSupport);

    QVector<VSLModelPainter*> targets;
    if (VSLModelPainter* sel = m_pScene->selectedInstance())
        targets << sel;
    else
        targets = m_pScene->instances().values().toVector();
    if (Freeze) {
        for (VSLModelPainter* p : qAsConst(targets)) {
            // An instance whose worker runs keeps its place and parameters.
            if (m_pScene->IsInstanceBusy(p))
                continue;
            p->m_bSupportChanged = false;
            if (Para.size() >= 3) {
                p->m_dSupportDensity = Para[0];
                p->m_dTipDiameter = Para[1];
                p->m_dShaftDiameter = Para[2];
            }
            p->LiftForSupports();
        }
        update();
    } else if (SaveResult) {
        int started = 0;
        for (VSLModelPainter* p : qAsConst(targets)) {
            if (!p->m_bSupportChanged) {
                // Nothing to regenerate: an instance without supports goes
                // back down, as the edit no longer holds it.
                if (!m_pScene->IsInstanceBusy(p))
                    p->LowerLiftWithoutSupports();
                continue;
            }
            p->m_bSupportEditMark = true;
            if (m_pScene->StartSupportJob(p) == SceneOp::Done)
                ++started;
        }
        // Nothing to regenerate: the caller waiting for the jobs hears at once.
        if (started == 0)
            emit sig_GenSupportDone();
        update();
    } else {
        for (VSLModelPainter* p : qAsConst(targets))
            if (!m_pScene->IsInstanceBusy(p))
                p->RestoreSupportX();
        update();
    }
    // Raised for the edit, or lowered after it.
    m_pEditHandlers->EmitUpdate();
    emit sig_SceneStatusChanged(VexmorEditStatSupport);
}

void VSLGLView::slot_RemoveSupport()
{
    // Guarded: nothing is removed while a job of the instances runs.
    if (m_pEditHandlers->RemoveSupport() == SceneOp::Done)
        m_pEditHandlers->EmitUpdate(); // down by the lift: the panel shows where it stands
    update();
}

void VSLGLView::ShowModel(QString path)
{
    m_pScene->showModel(path);
    update();
}

bool VSLGLView::SaveAllModel(QString path)
{
    QVector3D centre(0, 0, 0);
    return m_pScene->SaveAllModels(path, centre);
}

bool VSLGLView::isModelExist() const { return m_pScene->IsModelExist(); }

void VSLGLView::ClearModelPainter()
{
    m_pScene->SetPickModelPainter(0);
    EmitSelected();
    emit sig_SceneStatusChanged(VexmorEditStatEdited);
    update();
}

void VSLGLView::SetEditMode(int mode)
{
    if (mode != m_pScene->EditMode)
        emit m_pScene->signal_EditModeChanged(mode);
    m_pScene->EditMode = mode;
    update();
}

void VSLGLView::SetSupportMode(int tool) { m_pScene->m_nSupportTool = tool; update(); }
void VSLGLView::DeleteSelModelSupports()
{
    m_pScene->DeleteSelModelSupports();
    m_pEditHandlers->EmitUpdate();
    update();
}

void VSLGLView::DeleteAllSupports()
{
    m_pScene->DeleteAllSupports();
    m_pEditHandlers->EmitUpdate();
    update();
}
void VSLGLView::ChangeSupDensity(int index) { m_pScene->ChangeSupDensity(index); }
void VSLGLView::ChangeSupAttachSize(int index) { m_pScene->ChangeSupAttachSize(index); }

void VSLGLView::SetIsSupportMode(bool on)
{
    m_pScene->SetIsSupportMode(on);
    if (on)
        emit signal_RequestScaleValue();
    update();
}

void VSLGLView::GenerateAutoSupport()
{
    // New columns build their shapes' display lists in the view's context.
    makeCurrent();
    m_pScene->GenerateAutoSupport();
    doneCurrent();
    update();
}

void VSLGLView::GenerateAutoSupportForScene()
{
    makeCurrent();
    m_pScene->GenerateAutoSupportForScene();
    doneCurrent();
    EmitSelected();
    update();
}
float VSLGLView::GetLayerThick() const { return m_pScene->GetLayerThick(); }

SceneOp VSLGLView::RepairGL(int& holes, int& repairHoles, int& manifold, int& orientation)
{
    const SceneOp r = m_pScene->RepairScene(holes, repairHoles, manifold, orientation);
    update();
    return r;
}

void VSLGLView::LoadFileDone(bool loaded)
{
    if (loaded)
        m_pEditHandlers->EmitUpdate(); // as in OpenSTLFile
    emit sig_LoadFileDone(loaded);
}

// --------------------------------------------------------------- slicing

SceneOp VSLGLView::SliceScene(float layerThick, int xres, int yres, float dpmmX, float dpmmY, int plateLayers)
{
    // The previews divide by the y resolution and the slicer steps by the
    // thickness: such a job is refused before anything is stored.
    if (xres <= 0 || yres <= 0 || !Positive(dpmmX) || !Positive(dpmmY) || !Positive(layerThick) ||
        plateLayers < 0)
        return SceneOp::Unchanged;
    const SceneOp r = m_pScene->StartSliceScene(xres, yres, dpmmX, dpmmY, layerThick, plateLayers);
    if (r != SceneOp::Done)
        return r;
    m_pScene->m_bHideOverlays = true;
    m_bFitted = false;
    update();
    return r;
}

SliceLayers VSLGLView::GetSliceData() const
{
    QMutexLocker lock(m_pScene->sceneMutex());
    return m_pScene->m_modelSliceLayers;
}

SliceLayers VSLGLView::GetSliceDataSup() const
{
    QMutexLocker lock(m_pScene->sceneMutex());
    return m_pScene->m_supportSliceLayers;
}

bool VSLGLView::generatePrintableData(ST_MachinePara& para, QString path)
{
    m_nLastPrintResult = m_pScene->generatePrintableData(para, path);
    return m_nLastPrintResult == 0;
}

int VSLGLView::SliceGL(float layerThickness, QString folder, QString name, int width, int height, float dotsPerMMX,
                       float dotsPerMMY)
{
    const int result = m_pScene->SliceScene(layerThickness, folder, name, width, height, dotsPerMMX, dotsPerMMY);
    update();
    return result;
}

bool VSLGLView::WriteBinaryView(QString path)
{
    return m_pScene->WriteBinaryScene(path);
}

bool VSLGLView::LoadBinaryView(QString path)
{
    const bool loaded = m_pScene->LoadBinaryScene(path);
    update();
    return loaded;
}
