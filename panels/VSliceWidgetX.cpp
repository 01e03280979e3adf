#include "VSliceWidgetX.h"

#include "SlicePreview.h"
#include "VSLGLView.h"
#include "notices.h"
#include "ui_VSliceWidgetX.h"

#include <QPainter>

#include <cmath>

namespace {

QString micrometres(float mm)
{
    return QString::number(double(mm) * 1000.0, 'g', 6) + QStringLiteral("um");
}

} // namespace

VSliceWidgetX::VSliceWidgetX(VSLGLView* view, DLP::SliceBuildConfig& config, QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::VSliceWidgetX)
    , m_pSlicingMsgBox(new VSlicingMsgBox(parentWidget()))
    , m_config(config)
    , m_pView(view)
{
    ui->setupUi(this);
    m_nPreviewWidth = width();
    m_nPreviewHeight = m_nPreviewWidth * 1440 / 2560;
    ui->pushButton_2->hide();
    ui->label_slicests->setText(tr("Not Sliced"));
    ui->HSlider_Thick->setRange(2, 20);
    ui->HSlider_Thick->setValue(10);
    ui->label_LayerThick->setText(QStringLiteral("50um"));
    connect(ui->HSlider_Thick, &QSlider::valueChanged, this, &VSliceWidgetX::setLayerThick);
}

VSliceWidgetX::~VSliceWidgetX()
{
    delete m_pSlicingMsgBox;
    delete ui;
}

void VSliceWidgetX::updateMachineCfg(int xres, int yres, float dpmmX, float dpmmY)
{
    // An unknown model's all-zero row would give a NaN height and a 1/0
    // scale: keep the last usable values.
    if (xres <= 0 || yres <= 0 || !std::isfinite(dpmmX) || !std::isfinite(dpmmY) || dpmmX <= 0 || dpmmY <= 0)
        return;
    m_nXRes = xres;
    m_nYRes = yres;
    m_fDpmmX = dpmmX;
    m_fDpmmY = dpmmY;
    m_bMachineSet = true;
    m_nPreviewWidth = width();
    const float aspect = (float(yres) / dpmmY) / (float(xres) / dpmmX);
    m_nPreviewHeight = static_cast<int>(float(m_nPreviewWidth) * aspect);
    update();
}

void VSliceWidgetX::setLayerThick(int value)
{
    m_fLayerThick = static_cast<float>(std::max(value, 1) * 0.005);
    ui->label_LayerThick->setText(micrometres(m_fLayerThick));
    m_nSliceState = 0;
    update();
    ui->label_slicests->setText(tr("Not Sliced"));
    ui->horizontalSlider->setEnabled(false);
    ui->spinBoxPreviewLayer->setEnabled(false);
    ui->horizontalSlider->setValue(0);
    ui->spinBoxPreviewLayer->setValue(0);
    ui->label_4->setText(tr("N/A"));
}

void VSliceWidgetX::startSlice()
{
    m_bSlicing = true;
    m_config.SliceThickness = m_fLayerThick;
    m_config.PlateLayers = ui->spinBoxPlateLayer->value();
    ui->pushButton->setEnabled(false);
    ui->spinBoxPreviewLayer->setEnabled(false);
    update();
    emit sig_SliceScene(m_config.SliceThickness, m_config.XResolution, m_config.YResolution, m_config.DotsPermmX,
                        m_config.DotsPermmY, m_config.PlateLayers);
}

void VSliceWidgetX::on_pushButton_clicked()
{
    startSlice();
}

void VSliceWidgetX::slot_HandleSliceReq()
{
    startSlice();
}

void VSliceWidgetX::on_pushButton_2_clicked()
{
    emit signal_duplicateSelectedModel();
}

void VSliceWidgetX::slot_SliceSceneDone(int layers)
{
    ui->pushButton->setEnabled(true);
    ui->label_4->setText(QString::number(layers));
    if (layers >= 1) {
        m_bBrowserEnabled = true;
        if (m_pSlicingMsgBox->isVisible())
            m_pSlicingMsgBox->close();
        ui->horizontalSlider->setEnabled(true);
        ui->spinBoxPreviewLayer->setEnabled(true);
        // Every position of the browser holds a layer.
        const int top = layers - 1;
        ui->spinBoxPreviewLayer->setValue(0);
        ui->spinBoxPreviewLayer->setMaximum(top);
        ui->horizontalSlider->setRange(0, top);
        ui->horizontalSlider->setValue(0);
    } else {
        enableBrowserSlice(false);
    }
    m_bSlicing = false;
    m_nSliceState = 1;
    ui->label_slicests->setText(tr("Sliced"));
    update();
}

void VSliceWidgetX::enableBrowserSlice(bool enable)
{
    m_bBrowserEnabled = enable;
    if (m_pSlicingMsgBox->isVisible())
        m_pSlicingMsgBox->close();
    ui->horizontalSlider->setEnabled(enable);
    ui->spinBoxPreviewLayer->setEnabled(enable);
    if (!enable) {
        ui->horizontalSlider->setValue(0);
        ui->spinBoxPreviewLayer->setValue(0);
        ui->label_4->setText(QStringLiteral("NA"));
    }
}

void VSliceWidgetX::on_horizontalSlider_valueChanged(int value)
{
    ui->spinBoxPreviewLayer->setValue(value);
    m_nPreviewLayer = value;
    update();
}

void VSliceWidgetX::on_spinBoxPreviewLayer_valueChanged(int arg1)
{
    ui->horizontalSlider->setValue(arg1);
}

void VSliceWidgetX::on_spinBoxPlateLayer_valueChanged(int)
{
    setNotSlice();
}

void VSliceWidgetX::slot_EditStatChanged(emVexmorEditStat stat)
{
    const int s = static_cast<int>(stat);
    if (s >= 1 && s <= 3) {
        enableBrowserSlice(false);
        if (m_nSliceState != 0) {
            m_nSliceState = 0;
            ui->label_slicests->setText(tr("Not Sliced"));
            if (!ui->HSlider_Thick->isEnabled() && !m_bThickFixed)
                ui->HSlider_Thick->setEnabled(true);
        }
    } else if (s == 5) {
        if (!m_bBrowserEnabled && !m_bSlicing)
            startSlice();
    }
    if (m_pSlicingMsgBox->isVisible())
        m_pSlicingMsgBox->hide();
    update();
}

void VSliceWidgetX::setSliceStarted(int started)
{
    if (started == 0) {
        m_bSlicing = true;
    } else if (started == 1) {
        m_nSliceState = 0;
        m_bBrowserEnabled = false;
        m_bSlicing = false;
        m_nPreviewLayer = 0;
        ui->label_slicests->setText(tr("Not Sliced"));
        if (!ui->HSlider_Thick->isEnabled())
            ui->HSlider_Thick->setEnabled(true);
        m_pSlicingMsgBox->ntfMsgShow(1);
        if (!m_pSlicingMsgBox->isVisible())
            m_pSlicingMsgBox->show();
    }
}

void VSliceWidgetX::setNotSlice()
{
    m_nSliceState = 0;
    update();
    ui->label_slicests->setText(tr("Not Sliced"));
    ui->horizontalSlider->setEnabled(false);
    ui->spinBoxPreviewLayer->setEnabled(false);
    ui->horizontalSlider->setValue(0);
    ui->spinBoxPreviewLayer->setValue(0);
}

void VSliceWidgetX::slot_slc_layerthick(float layerthick)
{
    m_fLayerThick = layerthick < m_fMinThick ? 0.025f : layerthick;
    m_config.SliceThickness = m_fLayerThick;
    ui->label_LayerThick->setText(micrometres(m_fLayerThick));
    ui->HSlider_Thick->setEnabled(false);
    m_bThickFixed = true;
}

void VSliceWidgetX::slot_updSliceBrowser(int index)
{
    m_nPreviewLayer = index;
    update();
}

void VSliceWidgetX::slot_updSliceBrowser_print(int index, int)
{
    slot_updSliceBrowser(index);
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
    if (!m_bMachineSet)
        return;
    SlicePreviewLayer what;
    what.previewSize = previewSize();
    what.xResolution = m_nXRes;
    what.yResolution = m_nYRes;
    what.layer = m_nPreviewLayer;
    // While slice workers rebuild the scene's layers, nothing of them is read.
    what.drawLayer = m_nSliceState == 1 && !m_bSlicing && m_pView;
    if (!what.drawLayer) {
        paintSlicePreview(painter, what, {}, {});
        return;
    }
    paintSlicePreview(painter, what, m_pView->GetSliceData(), m_pView->GetSliceDataSup());
}
