#pragma once
#include "dlp/machinepara.h"
#include "mesh/defects.h"
#include "support/SupportRun.h"
#include "printfile/printjobinput.h"
#include "printfile/slicelayers.h"
#include "scene/BoundedStarts.h"
#include "scene/SceneJobs.h"
#include "scene/SupportGrid.h"
#include "VSLCoordPainter.h"
#include "VSLPlatePainters.h"

#include <QImage>
#include <QMap>
#include <QMatrix4x4>
#include <QMutex>
#include <QObject>
#include <QPoint>
#include <QPointF>
#include <QPolygonF>
#include <QString>
#include <QVector2D>
#include <QVector3D>
#include <QVector>

#include <atomic>
#include <utility>
#include <functional>
#include <memory>

class VSLModel3D;
class VSLModelPainter;
class DLPSupportStructure;
class VSLTriangle3D;
class ScenePickBuffer;
class QPainter;

// Scene and edit status carried as int between the scene, the view and the
// main window; the slice panel also takes 5 (a request to slice).
enum emVexmorEditStat : int {
    VexmorEditStatEmpty = 0,    // no model
    VexmorEditStatEdited = 1,   // scene edited, or a model still in its topology pass
    VexmorEditStatReady = 2,    // every model has finished its topology pass
    VexmorEditStatSupport = 3,  // support editing
};

// Result of an operation on the selected instance or on the running jobs.
// Deliberately not convertible to bool: "refused" must not read as success.
enum class SceneOp : int {
    Done = 0,
    NoSelection = 1,    // nothing selected (or no instance at all)
    JobRunning = 2,     // a support or slice job of the instance(s) concerned is still running
    Unchanged = 3,      // the request changes nothing (e.g. a transform that is not finite)
    BadParameters = 4,  // a slice parameter is not finite, not positive or out of range
    TooTall = 5,        // the plate needs more layers than the build height holds at that thickness
    NoThreads = 6,      // the system refused the thread a job needs
};

// Regions of a slice that rest on nothing in the layer below (each
// instance's own layers, as the print file lights them): they cure loose in
// the resin, or not where they are drawn.
struct SliceMidAir {
    int model = 0;   // regions of the models
    int support = 0; // regions of their supports
    int lowestLayer = -1; // the lowest one's layer, counted as the file and the preview count them
    QString lowestModel;  // the file name of the model it belongs to
    bool any() const { return model + support > 0; }
};

// A print file about to be written: the writers' input, and the scene's
// "file being written" state, which lasts as long as `writing` (or a copy of
// it) lives. The scene must outlive it.
struct ScenePrintJob {
    PrintJobInput input;
    std::shared_ptr<void> writing;
};

// The build-plate document: mesh models, their placed instances, selection,
// build bound, slice parameters and results, previews, printer settings and
// file names. GUI thread only, except the slice results, which slice workers
// append under the scene mutex.
class VSL3DScene : public QObject {
    Q_OBJECT
public:
    VSL3DScene();
    ~VSL3DScene() override;

    // --- registry ---
    // False when the file is refused; lastLoadError() then says why. Placing
    // an instance may move every other one, so while any support or slice
    // job runs nothing is added (lastAddResult() is then JobRunning).
    bool AddModel(QString path);
    // The same for a file read elsewhere (the view's load thread): its
    // triangles, or none and the reader's reason.
    bool AddReadModel(QString path, QVector<VSLTriangle3D> triangles, QString readError);
    // An SLC file: its layers appended to the model layers (readSlcFile)
    // and a model made of its outlines to show them (showModel). False, with
    // lastLoadError() set, when the file is refused. Its layers are the whole
    // print, so it is taken on an empty plate only.
    bool AddSlcModel(QString path);
    // The plate holds an SLC file's model, whose layers are the slice.
    bool hasSlcPlate() const { return m_slcPlate.modelId >= 0 && m_models.contains(m_slcPlate.modelId); }
    // Maps the SLC file's layers again for where its model stands now and
    // for the printer now chosen, as a slice of a mesh would. False, with
    // lastSliceError() saying why, when the model was tilted or scaled in
    // height (layers cannot follow that) or stands taller than the printer.
    bool MapSlcPlate();
    QString lastLoadError() const { return m_strLoadError; }
    // After a successful AddModel: empty, or what the user must be told
    // about a file that was read only in part (also written to the log).
    QString lastLoadWarning() const { return m_strLoadWarning; }
    // Of the last AddModel or showModel: Done, JobRunning, or Unchanged
    // when the file or the imported triangles were refused.
    SceneOp lastAddResult() const { return m_lastAddResult; }
    // Adds a model built from the triangles of an imported slice file
    // (VSLModel3D::m_vT) instead of reading `path`; false when there are none
    // or, as with AddModel, while a job runs.
    bool showModel(QString path);
    // Refused while any support or slice job runs (as AddModel).
    SceneOp DuplicateSelectedModel();
    SceneOp RemoveSelectedModel();
    bool IsModelExist() const { return !m_models.isEmpty(); }
    bool SaveAllModels(QString path, QVector3D& center) const;
    VSLModel3D* SaveTransModel();
    VSLModel3D* SaveAllTransModels();
    VSLModel3D* SaveAllTransSupports();
    void GetModelMax(QVector3D& max, QVector3D& min) const;

    // --- placement ---
    void AppendModelPainter(VSLModelPainter* instance);
    void FindFreeSpaceFor(VSLModelPainter* instance);
    void CenterAll();
    // The XY box of every instance in the map (lo above hi when there is none).
    void ArrangementBoxXY(QVector2D& lo, QVector2D& hi) const;
    // False when the recursion hit its bound (a pathological chain); the
    // arrangement is then left as far as it got.
    bool PushFree(VSLModelPainter* instance);
    bool IsOutRange(VSLModelPainter* instance) const;
    // The model or its supports past the plate in X or Y: out of range for
    // printing (drawn so; Slice warns before it cuts them).
    bool LeavesBoundXY(VSLModelPainter* instance) const;
    // The model itself past the plate in X or Y: what placement asks. Its
    // supports do not count, so a model whose supports reach past the edge
    // still pushes and is pushed by its neighbours.
    bool ModelLeavesBoundXY(VSLModelPainter* instance) const;
    // Whether the instance's supports (moved by `moved` when given) reach
    // past the plate in X or Y.
    bool SupportsLeaveBoundXY(VSLModelPainter* instance, const QMatrix4x4* moved = nullptr) const;
    // Where a support run may stand plate columns: the plate a pixel in.
    SupportPlate FootPlate() const;
    // Instances standing partly or wholly off the plate: the slice cuts them
    // at the frame's edge.
    int CountLeavingPlate() const;

    // --- selection and editing ---
    void SetPickModelPainter(int name);
    static bool IsModelPainterName(int name) { return name > 9 && name % 10 == 0; }
    void SetPickCoord(int name);
    void SelectPickCoord();
    // Bakes the pending transform into the selected instance as an edit of
    // the current edit mode, or of the given kind (0 move: bounds and hull
    // mapped, supports follow; 1 rotate, 2 scale: recomputed, supports
    // dropped, back onto the plate).
    SceneOp Apply();
    SceneOp Apply(int kind);
    SceneOp ResetSelectedModel();
    void UpdateCoord();
    bool GetRotateInfo(QVector3D& center, QVector3D& axis) const;
    bool GetScaleInfo(QVector3D& faceCorner, QVector3D& oppositeCorner, QVector3D& normal) const;
    bool GetBottomCenter(QVector3D& v) const;
    bool GetModelCenter(QVector3D& v) const;
    bool GetModelBound(QVector3D& max, QVector3D& min) const;
    bool GetScaleValue(QVector3D& v) const;
    void SetScaleValue(QVector3D& v);
    void GetBound(QVector3D& max, QVector3D& min) const;
    void SetBound(QVector3D const& max, QVector3D const& min, float pixelSizeX, float pixelSizeY);
    float GetLayerThick() const { return m_fLayerThick; }
    VSLModelPainter* selectedInstance() const { return m_pSelModelPainter; }
    bool IsInstanceBusy(VSLModelPainter* instance) const;

    // --- repair ---
    // Rounds, re-merges and checks every model's mesh in id order; the four
    // outputs are the hole count, hole repair, manifold and orientation
    // results of the last model processed. Refused while any job runs or a
    // model is still in its topology pass.
    SceneOp RepairScene(int& holes, int& repairHoles, int& manifold, int& orientation);
    // The defects of every loaded model's mesh, summed (each model once);
    // false, with those of the ready ones, while a model is still in its
    // topology pass.
    bool CountDefects(MeshDefectCounts& sum) const;
    // Models whose topology pass has not ended yet.
    int ModelsBeingChecked() const;

    // --- supports ---
    // Starts the support worker of `instance`; its parameters are set on the
    // painter beforehand. Refused while a support or slice job of it runs.
    SceneOp StartSupportJob(VSLModelPainter* instance);
    // Support edit click at widget point `p` (view matrices loaded): a model
    // pixel adds a support there, a tip marks or erases that support. Emits
    // sig_Update when an instance was hit; an instance whose job is pending
    // is left alone.
    void ClickEditSupport(QPoint p);
    // The selected instance's manual columns (refused while its job runs).
    SceneOp DeleteSelModelSupports();
    // Its manual columns and its generated supports.
    SceneOp RemoveSelModelSupports();
    SceneOp DeleteAllSupports();
    void DeSelectSupport(DLPSupportStructure* support);
    void SetIsSupportMode(bool on);
    void ChangeSupAttachSize(int index);
    void ChangeSupDensity(int index);

    // --- manual support tool, grid supports and overhang detection ---
    // GUI thread; the click operations need the view's context current.
    // Click in support-tool mode (widget coordinates): mode 0 adds a column
    // under a downward-facing surface of the selected instance, 1 deletes
    // the column under the cursor, other modes do nothing.
    void OnSupportToolInitialAction(QPoint pos);
    // First point of the tool instance straight below `p` (model coordinates).
    QVector3D GetDrillingHit(QVector3D p, VSLModelPainter* painter, bool& missed, VSLTriangle3D*& triangle);
    DLPSupportStructure* GetSupportByScreen(QPoint pos);
    void RenderPickSupports();
    bool IsSupportSelected(DLPSupportStructure* s) const;
    void DeSelectAllSupports();
    void DeleteSupport(DLPSupportStructure* s);
    // The instance the tool last worked on, while it is still in the scene.
    VSLModelPainter* SupportToolPainter() const;
    // Columns from the height grid and the overhangs of the selected
    // instance (lifted first when it is below 1 mm). JobRunning, and nothing
    // changed, while a job of the instance runs or its mesh is not ready.
    SceneOp GenerateAutoSupport();
    SceneOp GenerateAutoSupportForScene();
    // False, and an empty grid, without an instance or for an absurd extent.
    bool generateSupportGrid(SupportStorage& grid, VSLModelPainter* painter, int a, int b);
    gridsupport::RegionList GenerateSupportRegions();
    QVector<int> getGridID();
    // Takes the model's gate (without waiting) and data mutex; false when it
    // cannot. The mesh is left as it was found.
    bool DetectOverhang(VSLModelPainter* painter);
    void getOverhangSupPt();
    SupportStorage m_supportGrid;
    QVector<QPair<vcg::Point3f, vcg::Point3f>> m_vOverhangEdges; // (upper end, lower end), world mm
    QVector<vcg::Point3f> m_vLowestPoints;
    QVector<QVector<SupportPoint>> m_vOverhangPoints;

    // --- slicing ---
    // Stores the job, empties the model layers, resets the slice window and
    // starts the instances' slice workers, a few at a time. Refused while any
    // support or slice job runs, (BadParameters) unless the resolution is
    // positive, the pixels per mm and the thickness finite and positive, and
    // the plate layers not negative, (TooTall) when the plate needs more
    // layers than the build height holds, and (NoThreads) when no worker
    // could be started; lastSliceError() then says why.
    SceneOp StartSliceScene(int xResolution, int yResolution, float dotsPerMmX, float dotsPerMmY,
                            float layerThickMm, int plateLayers);
    // Why the last slice was refused or stopped; empty after a whole slice.
    // A slice stopped after its start announces 0 layers.
    QString lastSliceError() const { return m_strSliceError; }
    // Set when support workers the system refused stopped a generation
    // (StartSupportJob then NoThreads, or the jobs still queued cancelled);
    // cleared when a generation starts with none running.
    QString lastSupportError() const { return m_strSupportError; }
    QString TakeSupportError() { return std::exchange(m_strSupportError, QString()); }
    // Workers of one slice (and of one support generation) that run at the
    // same time; the others wait their turn.
    static int MaxRunningSliceWorkers();
    // Puts n plate layers in front of the model layers (n < 0 removes).
    void AddPlatform(int n);
    // Slices started from now on count the regions that rest on nothing in
    // the layer below, as the print file lights them (the window does).
    void setCountSliceIslands(bool count) { m_bCountSliceIslands = count; }
    // Of the last whole slice that counted them: its regions that start in
    // mid-air. Empty after a slice that did not count, a stopped one, and
    // an SLC file's layers (which are not sliced here).
    SliceMidAir LastSliceMidAir() const;
    int runningSupportJobs() const { return m_jobs.supportJobs(); }
    int runningSliceJobs() const { return m_jobs.sliceJobs(); }
    QMutex* sceneMutex() const { return m_pSceneMutex; }
    void setSliceDirName(QString const& dir) { m_strSliceDir = dir; }
    QString getSliceDirName() const { return m_strSliceDir; }

    // --- print files (forwarded to the writers) ---
    // These may run on the print-data thread: the input is taken on the
    // scene's (GUI) thread, which must keep its event loop running meanwhile.
    int generatePrintableData(ST_MachinePara& para, QString path);
    int generatePrintableData_VXS(ST_MachinePara& para, QString path);
    int generatePrintableData_VXT(ST_MachinePara& para, QString path);

    // --- GL: drawing and picking (GUI thread, current compatibility context) ---
    void InitScene();
    void InitColorAndBlend();
    void InitStencil();
    void InitPainters();
    void InitLightAndMeteria();
    void RenderScene();
    void DrawModels();
    void DrawCoord();
    void DrawRubber();
    void DrawTranslateRubber();
    void DrawRotateRubber();
    void RenderLayerModel();
    void DrawOutline();
    void DrawMisc();
    void RenderPickModels();
    void RenderPickCoord();
    // One pick pass into the reused off-screen buffer, rasterised only at
    // the pixel under `p`: the id there, 0 for background.
    int PickModelsAt(QPoint const& p);
    int PickCoordAt(QPoint const& p);
    bool CheckPlatform(VSLModelPainter* instance) const;
    bool IsPointOutofRange(QVector3D p, bool mapped) const;
    void OnToolHoverMove(QPoint point);
    void Update3DCursor(QPoint point, VSLModelPainter* instance, bool& hit);
    void Update3DCursor(QPoint point, VSLModelPainter* instance);
    unsigned int GetPickTriangleIndx(VSLModelPainter* instance, QPoint point, bool& hit);
    QVector3D GetPickOnTriangle(QPoint point, VSLModelPainter* instance, unsigned int index);
    // False when nothing is selected or the selected instance is not under `point`.
    bool LocateInCurrentModel(QVector3D& point, QPoint pos);
    // GUI thread: the writers' input with copies of the layer lists, taken
    // under the scene mutex. Until the job is gone a new slice and a removal
    // are refused.
    ScenePrintJob BeginPrintJob(bool withPlateTriangles);
    // The files the plate's models were read from.
    QStringList SourceFiles() const;
    bool IsWritingPrintFile() const { return m_nPrintFilesWriting.load() > 0; }
    // --- task file, whole-plate slicing, SLC import, all-float and SVG export ---
    // None is reached by a user command. Each is refused while a support or
    // slice job runs: false, or kRefusedBusy for those returning int.
    static constexpr int kRefusedBusy = -100;
    // Writes the plate anew (temporary file renamed into place when complete);
    // false, and the old file kept, on any failure or with no instance.
    bool WriteBinaryScene(QString path);
    // Replaces the plate by the file's; false, the scene as it was and
    // lastLoadError() saying why, when the file cannot be read completely or
    // holds coordinates beyond 100 m.
    bool LoadBinaryScene(QString path);
    int SliceScene(float layerThickness, QString folder, QString name, int width, int height, float dotsPerMMX,
                   float dotsPerMMY);
    void generatePolygonData(VSLModel3D* model, int width, int height, float dotsPerMMX, float dotsPerMMY);
    void generatePolygonDataSup(VSLModel3D* model, int width, int height, float dotsPerMMX, float dotsPerMMY);
    static bool isSlcFile(QString name);
    static bool IsDealFinish(QVector<QPointF> polygon, int& index);
    // 0 done, -1 declined to scale, -2 thickness mismatch, -3 unreadable or
    // truncated file, -4 values no model has (layers not 0.001 to 1 mm
    // apart, points beyond 100 m; lastLoadError() says which). The scene is
    // unchanged unless 0.
    int readSlcFile(QString path, VSLModel3D* model);
    // 0 written; non-zero, and no file left, on failure.
    int generatePrintableData1(ST_MachinePara& para, QString path);
    bool saveSvg(int layerCount, QString dir, QString name, int width, int height);
    void paint(QPainter& painter, int width, int height, int layer);
    int m_nTotalLayers = 0;  // layers of the imported SLC files
    // The SLC file on the plate: its thinned layers in the file's
    // millimetres, the scale the user accepted, and what they were last
    // mapped to pixels with.
    struct SlcPlate {
        int modelId = -1;
        QVector<QVector<QPolygonF>> layersMm;
        QPointF lo, hi;
        double scale = 1.0;
        float thicknessMm = 0.f;
        QMatrix4x4 placedAt;  // its instance's matrix when the layers were mapped
        QMatrix4x4 loadedAt;  // ... when the file was read: the layers' own frame
        QVector3D boundMax;
        float pixelSizeX = 0.f, pixelSizeY = 0.f;
    };
    SlcPlate m_slcPlate;
    // Replace the SLC reader's two message boxes (hosts without widgets, tests):
    // the thickness notice gets its text; the scale question answers Yes with true.
    std::function<void(QString const&)> m_fnSlcThicknessNotice;
    std::function<bool()> m_fnSlcScaleQuestion;

    // Display lists are built and deleted outside the view's paint too (a
    // job ends, a copy, a removal): the view makes its context current for
    // that. Before it has one, the lists wait for its first paint, and no
    // other widget's context is left current to receive them.
    void SetContextSource(std::function<bool()> makeCurrent) { m_fnMakeViewCurrent = std::move(makeCurrent); }
    // True when a context is current for display-list work.
    bool UseViewContext();

    QMap<int, VSLModel3D*> const& models() const { return m_models; }
    QMap<int, VSLModelPainter*> const& instances() const { return m_instances; }

signals:
    void sig_SceneStatusChanged(int NewSceneStatus);
    void sig_Update();
    // A support job ended or was cancelled (after sig_Update).
    void sig_SupportJobEnded();
    void sig_SliceSceneDone(int nLayers);
    void signal_RenderText(QString str, QVector3D Pos);
    void signal_EditModeChanged(int nMode);
    void signal_AllModelDel();
    void signal_Exception(int ex);

public slots:
    int slot_SceneUpdateStatus();
    // For connections made by others: the sender is looked up among the
    // live instances, never dereferenced before that.
    void slot_MPGenSupportDone();
    void slot_MPSliceDone();

public:
    bool m_bSelected = false;
    bool m_bFreeze = false;
    int m_nXResolution = 0;
    int m_nYResolution = 0;
    float m_fDotsPermmX = 0;
    float m_fDotsPermmY = 0;
    float m_fLayerThick = 0;
    bool m_bHideOverlays = false;
    QString m_strSliceDir;
    // Overlay painters; constructed before any instance, so they take the
    // first painter numbers.
    VSLPrinterBox m_printerBox;
    VSLRotateCoord m_rotateCoord;
    VSLScaleCoord m_scaleCoord;
    VSLGridding m_gridding;
    QPointF m_sliceMaxPt;
    QPointF m_sliceMinPt;
    int m_nPrintLayerCount = 0;
    QMatrix4x4 m_pendingTransform;
    int EditMode = 0;
    bool m_bUniformScale = true;
    QVector3D m_pressPoint;
    double m_dRubberAngle = 0;
    QVector3D m_boundMax{48, 27, 200};
    QVector3D m_boundMin{-48, -27, 0};
    float m_fPixelSizeX = 50;
    float m_fPixelSizeY = 50;
    int m_nEditStat = 0;
    QVector3D m_cursorPos;
    QVector3D m_cursorNormal;
    VSLModelPainter* m_pHoverModelPainter = nullptr;
    QVector<DLPSupportStructure*> m_vSelectedSupports;
    QImage m_previewImage;
    // The plate preview as captured by the view when slicing starts.
    void drawStlBmp(QImage image) { m_previewImage = image; }
    bool m_bImageRotate = false;
    QString m_strFileType;
    int m_nPixelBits = 0;
    QString m_strToolName = "Add";
    QString m_strMachineName;
    int m_nMachineCode = 0;
    QString m_strOpenFileName;
    QString m_strOpenDir;
    QString m_strSaveFileName;
    QString m_strSaveDir;
    SliceLayers m_modelSliceLayers;
    SliceLayers m_supportSliceLayers;
    bool m_bCountSliceIslands = false;
    bool m_bSliceIslandsCounted = false; // the last slice's instances counted theirs
    QImage m_previewImageLarge;
    int m_nPlateLayers = 0;
    QString m_strSliceError;
    bool m_bSupportMode = false;
    int m_nSupportTool = 0;
    int m_nGridSupportLiftMm = 5;
    int m_nSupportGridSpacing = 5000;
    QString m_strAttachName1 = "Cone 25%";
    QString m_strAttachName2 = "Cone 25%";
    // Replaces the out-of-range message box when set (hosts without widgets).
    std::function<void()> m_fnOutOfRangeWarning;

    // Depth and total visits allowed to one PushFree; far above any chain an
    // ordinary plate produces.
    static constexpr int kPushFreeMaxDepth = 64;
    static int PushFreeVisitBudget(int instanceCount) { return 16 * (instanceCount + 1); }

private:
    // Runs fn on the scene's thread, waiting for it when called from another.
    void RunOnSceneThread(std::function<void()> const& fn);
    // AddModel with `load` filling a new model (false: refused, loadError()).
    bool AddModelWith(QString path, const std::function<bool(VSLModel3D*)>& load);
    bool RefuseAddWhileJobsRun();
    void ConnectInstance(VSLModelPainter* instance);
    void ResetGizmos(VSLModelPainter* instance);
    void ShowOutOfRangeWarning();
    void OnSupportJobDone(int painterNumber);
    void OnSliceJobDone(int painterNumber);
    // Start queued workers up to their limit; false when the system refused
    // a thread while none of their kind is running.
    bool StartQueuedSliceWorkers();
    bool StartQueuedSupportWorkers();
    void StopSliceForLackOfThreads(const QString& why);
    void StopSupportForLackOfThreads();
    QString TooTallProblem(float layerThickMm, int plateLayers) const;
    int NumberOfSender() const;
    bool PushFreeStep(VSLModelPainter* instance, int depth, int& visitsLeft);
    ScenePickBuffer& PickBuffer();
    // Support tool: the pick straight down from `p`; the overhang search
    // with the model's gate already held.
    bool DrillDown(QVector3D p, VSLModelPainter* painter, unsigned int& index, QVector3D& hitPoint);
    bool DetectOverhangHeld(VSLModelPainter* painter);
    VSLModelPainter* m_pSupportToolPainter = nullptr;
    std::function<bool()> m_fnMakeViewCurrent;

    QMutex* m_pSceneMutex = nullptr;
    QString m_strLoadError;
    QString m_strLoadWarning;
    SceneOp m_lastAddResult = SceneOp::Done;
    QMap<int, VSLModel3D*> m_models;
    QMap<int, VSLModelPainter*> m_instances;
    VSLModelPainter* m_pSelModelPainter = nullptr;
    SceneJobs m_jobs;
    BoundedStarts m_sliceStarts{MaxRunningSliceWorkers()};
    BoundedStarts m_supportStarts{MaxRunningSliceWorkers()};
    QString m_strSupportError;
    std::shared_ptr<ScenePickBuffer> m_pickBuffer; // created by the first pick
    std::atomic<int> m_nPrintFilesWriting{0};
};

// Points of an arc about `axis` through `start`, in 0.1 degree steps (see
// scene drawing); `out` is left untouched for angles outside [-1000, 1000].
void CalArcPoints(double angle, QVector<QVector3D>& out, QVector3D const& centre, QVector3D const& start,
                  QVector3D const& axis);
void saveSceneImage(char const*);
inline bool IsModelPainterName(int id) { return VSL3DScene::IsModelPainterName(id); }
