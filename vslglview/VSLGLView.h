#pragma once
#include "VSL3DScene.h"
#include "dlp/machinepara.h"
#include "printfile/slicelayers.h"

#include <QMap>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QThread>
#include <QVariantList>
#include <QVector3D>
#include <QVector>

#include <atomic>
#include <functional>

class VSLCamera;
class VSLEditHandlers;
class VSLEditService;
class VSLXYZPainter;
class VSLGLView;

// Loads one STL file into the view's scene: reads it on this thread, then
// the GUI thread adds it, repaints and calls LoadFileDone. Kept for the
// view's lifetime and waited for at exit. The application never starts it:
// its open action loads on the GUI thread.
class LoadThread : public QThread {
    Q_OBJECT
public:
    explicit LoadThread(VSLGLView* view) : m_pView(view) {}
    VSLGLView* m_pView;
    QString m_strFilePath;

protected:
    void run() override;
};

// The 3D view: the application's one door to the build-plate scene. Draws
// and fits the plate, maps mouse, wheel, key and drop input to the scene and
// the camera through dispatch tables, relays the edit handlers, and captures
// the plate previews at the first frame after slicing starts. GUI thread only,
// with a compatibility-profile context (fixed-function drawing, display lists).
class VSLGLView : public QOpenGLWidget, private QOpenGLFunctions {
    Q_OBJECT
public:
    explicit VSLGLView(QWidget* parent = nullptr);
    ~VSLGLView() override;

    // 4 samples, depth 24, stencil 8, compatibility profile.
    static QSurfaceFormat ViewSurfaceFormat();

    // --- files ---
    // An STL file, or an SLC file (its layers and a model showing them).
    bool OpenSTLFile(QString path);
    // The file's suffix is "slc", in any case.
    static bool IsSlcFileName(const QString& path);
    QString GetOpenFilePath() const;
    void SetOpenFilePath(QString folder);
    QString GetOpenFileName() const;
    void SetOpenFileName(QString name);
    QString GetSaveFilePath() const;
    void SetSaveFilePath(QString folder);
    QString GetSaveFileName() const;
    void SetSaveFileName(QString path);
    void setDirName(QString folder);
    QString GetFileType() const;
    void SetFileType(QString type);

    // --- models and stages ---
    // Refusals (nothing selected, a job of the instance running) change
    // nothing and emit nothing; the shell tells the user.
    SceneOp RemoveCurrentModel();
    SceneOp DuplicateSelectedModel();
    void SetNavBtn(QString stage);
    // While a job runs the shell turns the Delete key off: the job may be
    // reading the selected instance.
    void SetDeleteEnabled(bool enabled) { m_bDeleteEnabled = enabled; }
    bool deleteEnabled() const { return m_bDeleteEnabled; }

    // --- printer model ---
    void SetBound(float xres, float yres, float pixelSizeX, float pixelSizeY, float height);
    void SetImageRotate(bool rotate);
    void SetPixelBits(int bits);
    void SetMachineType(QString name, int code);

    // --- supports ---
    // A refusal (missing parameters, a job of a target running) emits
    // sig_GenSupportDone at once, like a call whose targets are all skipped.
    SceneOp GenSupport(QVector<double> para);

    // --- slicing and print data ---
    // Refused (nothing stored, no overlay hidden, no preview) while a job runs
    // or when a resolution, dots per mm or the thickness is not above 0.
    SceneOp SliceScene(float layerThick, int xres, int yres, float dpmmX, float dpmmY, int plateLayers);
    SliceLayers GetSliceData() const;
    SliceLayers GetSliceDataSup() const;
    // True when every file was written; lastPrintableDataResult() holds the
    // writer's PrintFileResult.
    bool generatePrintableData(ST_MachinePara& para, QString path);
    int lastPrintableDataResult() const { return m_nLastPrintResult.load(); }

    // --- operations no panel calls ---
    void ShowModel(QString path);
    bool SaveAllModel(QString path);
    bool isModelExist() const;
    void ClearModelPainter();
    void SetEditMode(int mode);
    void SetSupportMode(int tool);
    void DeleteSelModelSupports();
    void DeleteAllSupports();
    void ChangeSupDensity(int index);
    void ChangeSupAttachSize(int index);
    void SetIsSupportMode(bool on);
    void GenerateAutoSupport();
    void GenerateAutoSupportForScene();
    float GetLayerThick() const;
    SceneOp RepairGL(int& holes, int& repairHoles, int& manifold, int& orientation);
    // Whole-plate slicing on this thread and the task file (scene forwards).
    int SliceGL(float layerThickness, QString folder, QString name, int width, int height, float dotsPerMMX,
                float dotsPerMMY);
    bool WriteBinaryView(QString path);
    bool LoadBinaryView(QString path);
    void LoadFileDone(bool loaded);

    // --- picking (make the context current themselves) ---
    // Gizmo and instance pick passes into an off-screen buffer.
    int GetLocateCoord(QPoint p);
    int GetLocateModelPainter(QPoint p);
    // The instance pick pass drawn in the widget's own frame, read from a grab.
    int GetLocateModelPainterX(QPoint p);
    // GL selection mode with a 1 x 1 pick matrix; nearest hit wins.
    int GetLocateModelPainterXX(QPoint p);

    // --- state, for the shell and tests ---
    VSL3DScene* scene() const { return m_pScene; }
    VSLCamera* camera() const { return m_pCamera; }
    VSLEditHandlers* editHandlers() const { return m_pEditHandlers; }
    VSLXYZPainter* axisTriad() const { return m_pXYZPainter; }
    LoadThread* loadThread() const { return m_pLoadThread; }
    int selectedNumber() const;
    int editState() const { return m_nEditState; }
    bool isFitted() const { return m_bFitted; }
    float fitScale() const { return m_fFitScale; }
    QRect buildBoxRect() const { return m_buildBoxRect; }
    QVector3D hoverPoint() const;
    bool swallowing() const { return m_bSwallow; }
    // Window rectangle of a box: left = smallest x, right = largest x,
    // top = largest y, bottom = smallest y (in that order). Needs the
    // context current with the view's matrices loaded.
    void getRect(QRect& r, QVector3D a, QVector3D b);
    // The same rectangle, its corners taken in another order (z fastest).
    void getRect2(QRect& r, QVector3D a, QVector3D b);
    // Widens the point pair (max, min) to take in p, coordinate by coordinate.
    static void comppare(QPoint& max, QPoint& min, QPoint& p);
    // The smallest of the first n values; +infinity for n = 0.
    static float getMinium(float* values, unsigned char n);
    // Union bound of the instances, inverted when there is none.
    void getModelBound(QVector3D& max, QVector3D& min) const;
    // Makes the context current and loads the view's viewport, projection and
    // camera, so that UCToDC / DCToWC map as the last frame drew; false (and
    // nothing done) before the context exists.
    bool LoadViewMatrices();

    // Replaces the modal message box (tests, hosts without a user):
    // receives the text and the informative text.
    using MessageSink = std::function<void(QString const& text, QString const& informative)>;
    void SetMessageSink(MessageSink sink) { m_fnMessage = std::move(sink); }

public slots:
    void slot_EditStatChanged(int stat);
    void slot_ControlView(int cmd);
    void slot_ReceiveEditList(QVariantList editList);
    void slot_ReceiveScaleValue(QVariantList values);
    void slot_EditSupport(bool Freeze, bool SaveResult, QVector<double> Para);
    void slot_RemoveSupport();
    void slot_Update();
    void slot_SupportJobEnded();
    void slot_MessageException(int code);

private slots:
    void slot_RenderText(QString str, QVector3D pos);

signals:
    void signal_SendEditList(QVariantList editList);
    void signal_ShowHideEditControl(bool bShow);
    void signal_ModelClicked();
    void signal_EditModeChanged(int nMode);
    void signal_AllModelDel();
    void signal_RequestScaleValue();
    void signal_DisableSlice();
    void sig_SceneStatusChanged(int NewSceneStatus);
    void sig_EditSupport(bool Freeze, bool SaveResult, QVector<double> Para);
    void sig_RemoveSupport();
    void sig_GenSupportDone();
    void sig_SliceSceneDone(int nLayers);
    void sig_LoadFileDone(bool fileLoaded);
    // A dropped file, for a window that opens files its own way (stages,
    // job names); with nobody connected the view opens it itself.
    void sig_FileDropped(QString path);

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void timerEvent(QTimerEvent* e) override;

private:
    void InitFunTable();
    void Draw3DScene();
    void WindowSizeAdjust();
    void EmitSelected();
    // Edit state 1, support mode off: what the Edit stage's drags and picks need.
    void RestoreEditState();
    void ShowMessage(QString const& text, QString const& informative);
    void LoadProjection(int w, int h);
    void LoadFrameMatrices();

    void MouseMove_NoButton();
    void MouseMove_LeftButton();
    void MouseMove_MiddleButton();
    void MouseMove_RightButton();
    void MousePress_LeftButton();
    void MousePress_RightButton();
    void MouseRelease_LeftButton();
    void MouseRelease_MiddleButton();
    void MouseRelease_RightButton();
    void Trigger_Translate(QVariantList& args);
    void Trigger_Rotate(QVariantList& args);
    void Trigger_Scale(QVariantList& args);
    void Trigger_Command(QVariantList& args);

    // Previews of the plate (first frame after slicing starts).
    static constexpr int kOverlaysBackAfterMs = 250;
    QImage GrabFrame();
    void ZoomOut(int h, int wanted);
    void makePngImage(QVector3D& max, QVector3D& min);
    void makeBmpImage(QVector3D& max, QVector3D& min);

    VSLXYZPainter* m_pXYZPainter = nullptr;
    VSL3DScene* m_pScene = nullptr;
    VSLCamera* m_pCamera = nullptr;
    VSLEditService* m_pEditService = nullptr;
    VSLEditHandlers* m_pEditHandlers = nullptr;
    QPoint m_currentPoint;
    QPoint m_pressPoint;
    QMap<int, void (VSLGLView::*)()> m_moveTable;
    QMap<int, void (VSLGLView::*)()> m_pressTable;
    QMap<int, void (VSLGLView::*)()> m_releaseTable;
    QMap<int, void (VSLGLView::*)(QVariantList&)> m_commandTable;
    bool m_bSwallow = false;
    bool m_bDeleteEnabled = true;
    int m_nEditState = 1;
    bool m_bFitted = false;
    float m_fFitScale = 0;
    QRect m_buildBoxRect{0, 0, -1, -1};
    LoadThread* m_pLoadThread = nullptr;
    bool m_bGLReady = false;
    bool m_bPickFrame = false;  // the next frame is the instance pick pass
    std::atomic<int> m_nLastPrintResult{0};  // written on the print-data thread
    MessageSink m_fnMessage;
};
