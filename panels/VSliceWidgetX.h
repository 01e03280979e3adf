#pragma once

#include "VSL3DScene.h"
#include "dlp/slicebuildconfig.h"

#include <QPointer>
#include <QWidget>

class VSLGLView;
class VSlicingMsgBox;
namespace Ui {
class VSliceWidgetX;
}

// Side panel of the slice stage: layer thickness and plate layers, the
// slice request, the slice state and a preview of any layer.
class VSliceWidgetX : public QWidget
{
    Q_OBJECT
public:
    VSliceWidgetX(VSLGLView* view, DLP::SliceBuildConfig& config, QWidget* parent = nullptr);
    ~VSliceWidgetX() override;

    void updateMachineCfg(int xres, int yres, float dpmmX, float dpmmY);
    void setSliceStarted(int started);
    void setNotSlice();
    void enableBrowserSlice(bool enable);

    int sliceState() const { return m_nSliceState; }
    float layerThickness() const { return m_fLayerThick; }
    QSize previewSize() const { return QSize(m_nPreviewWidth, m_nPreviewHeight); }
    bool isSlicing() const { return m_bSlicing; }

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

private slots:
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();
    void setLayerThick(int value);
    void on_horizontalSlider_valueChanged(int value);
    void on_spinBoxPreviewLayer_valueChanged(int arg1);
    void on_spinBoxPlateLayer_valueChanged(int arg1);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void startSlice();
    void paint(QPainter& painter);

    Ui::VSliceWidgetX* ui;
    // A sibling under the main window, which may delete it first (the
    // window re-parents this panel when it shows it, reordering its children).
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
    float m_fDpmmX = 0;
    float m_fDpmmY = 0;
    bool m_bMachineSet = false;
    int m_nPreviewWidth = 0;
    int m_nPreviewHeight = 0;
    float m_fLayerThick = 0.05f;
};
