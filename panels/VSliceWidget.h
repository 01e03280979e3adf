#pragma once

#include "SliceWidgetBase.h"

namespace Ui {
class VSliceWidget;
}

// The first slice panel: the slice panel's state machine and preview behind
// an older form (thickness scroll bar, typed plate layers and preview layer).
class VSliceWidget : public SliceWidgetBase
{
    Q_OBJECT
public:
    VSliceWidget(VSLGLView* view, DLP::SliceBuildConfig& config, QWidget* parent = nullptr);
    ~VSliceWidget() override;

    void updateMachineCfg(float xres, float yres);

private slots:
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();
    void setLayerThick(int value);
    void on_horizontalSlider_valueChanged(int value);
    void on_edit_index_textEdited(const QString& arg1);

protected:
    void paintEvent(QPaintEvent* event) override;

    int formPlateLayers() const override;
    void setTypedBrowserValue(int value) override;
    QString statusText(bool sliced) const override;

private:
    Ui::VSliceWidget* ui;
};
