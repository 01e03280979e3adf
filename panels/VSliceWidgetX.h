#pragma once

#include "SliceWidgetBase.h"

namespace Ui {
class VSliceWidgetX;
}

// Side panel of the slice stage: layer thickness and plate layers, the
// slice request, the slice state and a preview of any layer.
class VSliceWidgetX : public SliceWidgetBase
{
    Q_OBJECT
public:
    VSliceWidgetX(VSLGLView* view, DLP::SliceBuildConfig& config, QWidget* parent = nullptr);
    ~VSliceWidgetX() override;

    void updateMachineCfg(int xres, int yres, float dpmmX, float dpmmY);
    void setNotSlice();

private slots:
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();
    void setLayerThick(int value);
    void on_horizontalSlider_valueChanged(int value);
    void on_spinBoxPreviewLayer_valueChanged(int arg1);
    void on_spinBoxPlateLayer_valueChanged(int arg1);

protected:
    void paintEvent(QPaintEvent* event) override;

    int formPlateLayers() const override;
    void setTypedBrowserValue(int value) override;
    void setTypedBrowserTop(int top) override;
    QString statusText(bool sliced) const override;

private:
    void paint(QPainter& painter);

    Ui::VSliceWidgetX* ui;
    float m_fDpmmX = 0;
    float m_fDpmmY = 0;
};
