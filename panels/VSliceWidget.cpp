#include "VSliceWidget.h"

#include "notices.h"
#include "ui_VSliceWidget.h"

#include <QPainter>

#include <climits>
#include <cmath>

namespace {

int decimalOrZero(const QString& text)
{
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    return ok ? v : 0;
}

} // namespace

VSliceWidget::VSliceWidget(VSLGLView* view, DLP::SliceBuildConfig& config, QWidget* parent)
    : SliceWidgetBase(view, config, parent)
    , ui(new Ui::VSliceWidget)
{
    ui->setupUi(this);
    bindControls({ui->pushButton, ui->horizontalScrollBar, ui->label_LayerThick, ui->horizontalSlider, ui->edit_index,
                  ui->label_slicests, ui->label_4});
    setMachine(2560, 1440, width(), width() * 1440 / 2560);
    ui->pushButton_2->hide();
    ui->label_slicests->setText(statusText(false));
    ui->horizontalScrollBar->setRange(5, 20);
    ui->horizontalScrollBar->setValue(10);
    connect(ui->horizontalScrollBar, &QScrollBar::valueChanged, this, &VSliceWidget::setLayerThick);
}

VSliceWidget::~VSliceWidget()
{
    delete ui;
}

int VSliceWidget::formPlateLayers() const
{
    // A negative count would make the scene drop the print's bottom layers.
    return std::max(decimalOrZero(ui->lEPlatform->text()), 0);
}

void VSliceWidget::setTypedBrowserValue(int value)
{
    ui->edit_index->setText(QString::number(value));
}

QString VSliceWidget::statusText(bool sliced) const
{
    return sliced ? QStringLiteral("Sliced") : QStringLiteral("Not Sliced");
}

void VSliceWidget::updateMachineCfg(float xres, float yres)
{
    // 0 would divide by zero, NaN or a value past int has no integer: keep
    // the last resolution.
    const auto usable = [](float v) { return std::isfinite(v) && v >= 1.0f && v < float(INT_MAX); };
    if (!usable(xres) || !usable(yres))
        return;
    const int x = static_cast<int>(xres);
    const int y = static_cast<int>(yres);
    setMachine(x, y, width(), static_cast<int>(qint64(width()) * y / x));
    update();
}

void VSliceWidget::setLayerThick(int value)
{
    applyLayerThick(value);
    ui->label_4->setText(QStringLiteral("NA"));
}

void VSliceWidget::on_pushButton_clicked()
{
    startSlice();
}

void VSliceWidget::on_pushButton_2_clicked()
{
    emit signal_duplicateSelectedModel();
}

void VSliceWidget::on_horizontalSlider_valueChanged(int value)
{
    if (sliceState() != 0) {
        setBrowserPosition(value);
        return;
    }
    VSlicingMsgBox* notice = slicingNotice();
    if (!notice)
        return;
    notice->ntfMsgShow(2);
    if (!notice->isVisible())
        notice->show();
}

void VSliceWidget::on_edit_index_textEdited(const QString& arg1)
{
    ui->horizontalSlider->setValue(decimalOrZero(arg1));
}

void VSliceWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintPreview(painter);
}
