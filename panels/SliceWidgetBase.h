#pragma once

#include "VSL3DScene.h"
#include "dlp/slicebuildconfig.h"
#include "notices.h"

#include <QPointer>
#include <QWidget>

class QAbstractButton;
class QAbstractSlider;
class QLabel;
class QPainter;
class VSLGLView;

// What the slice panels share: the slice state machine (thickness, request,
// completion, scene states, browser), the slice request signal and the layer
// preview. Each panel binds its own form controls and supplies the few
// things its form does differently.
class SliceWidgetBase : public QWidget
{
    Q_OBJECT
public:
    ~SliceWidgetBase() override;

    void setSliceStarted(int started);
    void enableBrowserSlice(bool enable);

    int sliceState() const { return m_nSliceState; }
    float layerThickness() const { return m_fLayerThick; }
    QSize previewSize() const { return QSize(m_nPreviewWidth, m_nPreviewHeight); }
    bool isSlicing() const { return m_bSlicing; }
    int previewLayer() const { return m_nPreviewLayer; }
    QSize machineResolution() const { return QSize(m_nXRes, m_nYRes); }

signals:
    void sig_SliceScene(float layerThick, int xres, int yres, float dpmmX, float dpmmY, int layers);
    void signal_duplicateSelectedModel();
    void signal_SendStartSlice();
    void signal_DispSliceBrowser(bool isShow);
    void signal_DispSliceData(int index);

public slots:
    void slot_SliceSceneDone(int layers);
    void slot_EditStatChanged(emVexmorEditStat stat);
    void slot_HandleSliceReq();
    void slot_slc_layerthick(float layerthick);
    void slot_updSliceBrowser(int index);
    void slot_updSliceBrowser_print(int index, int type);

protected:
    struct Controls
    {
        QAbstractButton* start = nullptr;
        QAbstractSlider* thickness = nullptr;
        QLabel* thicknessLabel = nullptr;
        QAbstractSlider* browser = nullptr;
        QWidget* typedBrowser = nullptr; // spin box or line edit beside the slider
        QLabel* status = nullptr;
        QLabel* layerCount = nullptr;
    };

    SliceWidgetBase(VSLGLView* view, DLP::SliceBuildConfig& config, QWidget* parent);
    // After the form is set up.
    void bindControls(const Controls& controls) { m_ctl = controls; }

    // The form's plate-layer count, never negative.
    virtual int formPlateLayers() const = 0;
    virtual void setTypedBrowserValue(int value) = 0;
    virtual void setTypedBrowserTop(int) {}
    virtual QString statusText(bool sliced) const = 0;

    void startSlice();
    // Common part of a thickness change from the form's control.
    void applyLayerThick(int value);
    // Moves both browser controls and the preview layer together; raises no
    // notice and no signal of the controls.
    void setBrowserPosition(int value, bool repaint = true);
    void setBrowserControlsEnabled(bool enable);
    void setMachine(int xres, int yres, int previewWidth, int previewHeight);
    // Black build area and, when it may be read, the preview layer.
    void paintPreview(QPainter& painter);

    VSlicingMsgBox* slicingNotice() const { return m_pSlicingMsgBox; }
    void setSliceState(int state) { m_nSliceState = state; }

private:
    Controls m_ctl;
    // A child of the window, not of this panel: the window may delete it
    // first (raising a panel reorders the window's children).
    QPointer<VSlicingMsgBox> m_pSlicingMsgBox;
    DLP::SliceBuildConfig& m_config;
    bool m_bBrowserEnabled = false;
    bool m_bSlicing = false;
    bool m_bThickFixed = false;
    int m_nSliceState = 0;
    float m_fMinThick = 0.0001f;
    int m_nPreviewLayer = 0;
    VSLGLView* m_pView;
    int m_nXRes = 0;
    int m_nYRes = 0;
    int m_nPreviewWidth = 0;
    int m_nPreviewHeight = 0;
    float m_fLayerThick = 0.05f;
};
