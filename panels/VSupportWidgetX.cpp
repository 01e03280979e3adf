#include "VSupportWidgetX.h"

#include "ui_VSupportWidgetEditX.h"
#include "ui_VSupportWidgetX.h"
#include "panelstyle.h"

#include <QPainter>

#include <cmath>

namespace {

void paintPlate(QWidget* w)
{
    QPainter painter(w);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 40, 40, 127));
    painter.drawRect(w->rect());
}

int sliderPosition(double value)
{
    return static_cast<int>(std::lround(value * 100.0));
}

} // namespace

VSupportWidgetX::VSupportWidgetX(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::VSupportWidgetX)
{
    ui->setupUi(this);
    PanelStyle::apply(this);
}

VSupportWidgetX::~VSupportWidgetX()
{
    delete ui;
}

QVector<double> VSupportWidgetX::parameters() const
{
    return {ui->doubleSpinBox->value(), ui->doubleSpinBox_2->value(), ui->doubleSpinBox_3->value(),
            ui->doubleSpinBoxZlift->value()};
}

void VSupportWidgetX::on_horizontalSlider_valueChanged(int value)
{
    if (m_bGuard)
        return;
    m_bGuard = true;
    ui->doubleSpinBox->setValue(value / 100.0);
    m_bGuard = false;
}

void VSupportWidgetX::on_doubleSpinBox_valueChanged(double arg1)
{
    if (m_bGuard)
        return;
    m_bGuard = true;
    ui->horizontalSlider->setValue(sliderPosition(arg1));
    m_bGuard = false;
}

void VSupportWidgetX::on_horizontalSlider_2_valueChanged(int value)
{
    if (m_bGuard)
        return;
    m_bGuard = true;
    ui->doubleSpinBox_2->setValue(value / 100.0);
    m_bGuard = false;
    if (ui->horizontalSlider_3->value() < value)
        ui->horizontalSlider_3->setValue(value);
}

void VSupportWidgetX::on_doubleSpinBox_2_valueChanged(double arg1)
{
    if (m_bGuard)
        return;
    m_bGuard = true;
    ui->horizontalSlider_2->setValue(sliderPosition(arg1));
    m_bGuard = false;
    if (arg1 > ui->doubleSpinBox_3->value())
        ui->doubleSpinBox_3->setValue(arg1);
}

void VSupportWidgetX::on_horizontalSlider_3_valueChanged(int value)
{
    if (m_bGuard)
        return;
    m_bGuard = true;
    ui->doubleSpinBox_3->setValue(value / 100.0);
    m_bGuard = false;
    if (ui->horizontalSlider_2->value() > value)
        ui->horizontalSlider_2->setValue(value);
}

void VSupportWidgetX::on_doubleSpinBox_3_valueChanged(double arg1)
{
    if (m_bGuard)
        return;
    m_bGuard = true;
    ui->horizontalSlider_3->setValue(sliderPosition(arg1));
    m_bGuard = false;
    if (ui->doubleSpinBox_2->value() > arg1)
        ui->doubleSpinBox_2->setValue(arg1);
}

void VSupportWidgetX::on_GenSptButton_clicked()
{
    emit sig_GenSupport(parameters());
}

void VSupportWidgetX::on_EditSptButton_clicked()
{
    emit sig_EditSupport(true, false, parameters());
}

void VSupportWidgetX::on_RmvSptButton_clicked()
{
    emit sig_RemoveSupport();
}

void VSupportWidgetX::on_DefaultButton_clicked()
{
    ui->horizontalSlider->setValue(100);
    ui->horizontalSlider_2->setValue(60);
    ui->horizontalSlider_3->setValue(110);
    ui->doubleSpinBoxZlift->setValue(3.0);
}

void VSupportWidgetX::slot_ModelSelected(bool Selected)
{
    ui->groupBox->setTitle(Selected ? tr("Model Selected") : tr("All Models"));
}

void VSupportWidgetX::paintEvent(QPaintEvent*)
{
    paintPlate(this);
}

VSupportWidgetEditX::VSupportWidgetEditX(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::VSupportWidgetEditX)
{
    ui->setupUi(this);
}

VSupportWidgetEditX::~VSupportWidgetEditX()
{
    delete ui;
}

void VSupportWidgetEditX::on_SaveButton_clicked()
{
    emit sig_EditSupport(false, true, {});
}

void VSupportWidgetEditX::on_CancelButton_clicked()
{
    emit sig_EditSupport(false, false, {});
}

void VSupportWidgetEditX::paintEvent(QPaintEvent*)
{
    paintPlate(this);
}
