#include "VSliceWidgetX.h"

#include "ui_VSliceWidgetX.h"
#include "panelstyle.h"

#include <QPainter>

#include <cmath>

VSliceWidgetX::VSliceWidgetX(VSLGLView* view, DLP::SliceBuildConfig& config, QWidget* parent)
    : SliceWidgetBase(view, config, parent)
    , ui(new Ui::VSliceWidgetX)
{
    ui->setupUi(this);
    PanelStyle::apply(this);
    bindControls({ui->pushButton, ui->HSlider_Thick, ui->label_LayerThick, ui->horizontalSlider,
                  ui->spinBoxPreviewLayer, ui->label_slicests, ui->label_4});
    // No resolution until the printer model is applied: nothing is drawn.
    setMachine(0, 0, width(), width() * 1440 / 2560);
    ui->pushButton_2->hide();
    ui->label_slicests->setText(statusText(false));
    ui->HSlider_Thick->setRange(2, 20);
    ui->HSlider_Thick->setValue(10);
    ui->label_LayerThick->setText(QStringLiteral("50um"));
    connect(ui->HSlider_Thick, &QSlider::valueChanged, this, &VSliceWidgetX::setLayerThick);
}

VSliceWidgetX::~VSliceWidgetX()
{
    delete ui;
}

int VSliceWidgetX::formPlateLayers() const
{
    return ui->spinBoxPlateLayer->value();
}

void VSliceWidgetX::setTypedBrowserValue(int value)
{
    ui->spinBoxPreviewLayer->setValue(value);
}

void VSliceWidgetX::setTypedBrowserTop(int top)
{
    ui->spinBoxPreviewLayer->setMaximum(top);
}

QString VSliceWidgetX::statusText(bool sliced) const
{
    return sliced ? tr("Sliced") : tr("Not Sliced");
}

void VSliceWidgetX::updateMachineCfg(int xres, int yres, float dpmmX, float dpmmY)
{
    // An unknown model's all-zero row would give a NaN height and a 1/0
    // scale: keep the last usable values.
    if (xres <= 0 || yres <= 0 || !std::isfinite(dpmmX) || !std::isfinite(dpmmY) || dpmmX <= 0 || dpmmY <= 0)
        return;
    m_fDpmmX = dpmmX;
    m_fDpmmY = dpmmY;
    const float aspect = (float(yres) / dpmmY) / (float(xres) / dpmmX);
    setMachine(xres, yres, width(), static_cast<int>(float(width()) * aspect));
    update();
}

void VSliceWidgetX::setLayerThick(int value)
{
    applyLayerThick(value);
    update();
    ui->label_4->setText(tr("N/A"));
}

void VSliceWidgetX::on_pushButton_clicked()
{
    startSlice();
}

void VSliceWidgetX::on_pushButton_2_clicked()
{
    emit signal_duplicateSelectedModel();
}

void VSliceWidgetX::on_horizontalSlider_valueChanged(int value)
{
    setBrowserPosition(value);
}

void VSliceWidgetX::on_spinBoxPreviewLayer_valueChanged(int arg1)
{
    ui->horizontalSlider->setValue(arg1);
}

void VSliceWidgetX::on_spinBoxPlateLayer_valueChanged(int)
{
    setNotSlice();
}

void VSliceWidgetX::setNotSlice()
{
    setSliceState(0);
    update();
    ui->label_slicests->setText(statusText(false));
    setBrowserControlsEnabled(false);
    setBrowserPosition(0);
}

void VSliceWidgetX::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter);
}

void VSliceWidgetX::paint(QPainter& painter)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 40, 40, 127));
    painter.drawRect(rect());
    paintPreview(painter);
}
