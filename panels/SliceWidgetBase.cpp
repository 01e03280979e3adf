#include "SliceWidgetBase.h"

#include "SlicePreview.h"
#include "VSLGLView.h"
#include "notices.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QLabel>
#include <QPainter>
#include <QSignalBlocker>

namespace {

QString micrometres(float mm)
{
    return QString::number(double(mm) * 1000.0, 'g', 6) + QStringLiteral("um");
}

} // namespace

SliceWidgetBase::SliceWidgetBase(VSLGLView* view, DLP::SliceBuildConfig& config, QWidget* parent)
    : QWidget(parent)
    , m_pSlicingMsgBox(new VSlicingMsgBox(parentWidget()))
    , m_config(config)
    , m_pView(view)
{
}

SliceWidgetBase::~SliceWidgetBase()
{
    // Null when its parent went first (the panel moved to another parent).
    delete m_pSlicingMsgBox.data();
}

VSlicingMsgBox* SliceWidgetBase::slicingNotice() const
{
    return m_pSlicingMsgBox.data();
}

void SliceWidgetBase::setMachine(int xres, int yres, int previewWidth, int previewHeight)
{
    m_nXRes = xres;
    m_nYRes = yres;
    m_nPreviewWidth = previewWidth;
    m_nPreviewHeight = previewHeight;
}

void SliceWidgetBase::applyLayerThick(int value)
{
    m_fLayerThick = static_cast<float>(std::max(value, 1) * 0.005);
    m_ctl.thicknessLabel->setText(micrometres(m_fLayerThick));
    m_nSliceState = 0;
    m_ctl.status->setText(statusText(false));
    setBrowserControlsEnabled(false);
    setBrowserPosition(0, false);
}

void SliceWidgetBase::setBrowserControlsEnabled(bool enable)
{
    m_ctl.browser->setEnabled(enable);
    m_ctl.typedBrowser->setEnabled(enable);
}

void SliceWidgetBase::setBrowserPosition(int value, bool repaint)
{
    // The controls' own handlers would show the "no slicing data" notice
    // while not sliced, and leave the preview on a layer the slider no
    // longer shows.
    m_nPreviewLayer = value;
    {
        const QSignalBlocker block(m_ctl.browser);
        m_ctl.browser->setValue(value);
    }
    {
        const QSignalBlocker block(m_ctl.typedBrowser);
        setTypedBrowserValue(value);
    }
    if (repaint)
        update();
}

void SliceWidgetBase::startSlice()
{
    m_bSlicing = true;
    m_config.SliceThickness = m_fLayerThick;
    m_config.PlateLayers = formPlateLayers();
    m_ctl.start->setEnabled(false);
    m_ctl.typedBrowser->setEnabled(false);
    update();
    emit sig_SliceScene(m_config.SliceThickness, m_config.XResolution, m_config.YResolution, m_config.DotsPermmX,
                        m_config.DotsPermmY, m_config.PlateLayers);
}

void SliceWidgetBase::slot_HandleSliceReq()
{
    startSlice();
}

void SliceWidgetBase::slot_SliceSceneDone(int layers)
{
    m_ctl.start->setEnabled(true);
    m_ctl.layerCount->setText(QString::number(layers));
    if (layers >= 1) {
        m_bBrowserEnabled = true;
        if (m_pSlicingMsgBox && m_pSlicingMsgBox->isVisible())
            m_pSlicingMsgBox->close();
        setBrowserControlsEnabled(true);
        // Every position of the browser holds a layer.
        const int top = layers - 1;
        setBrowserPosition(0);
        {
            const QSignalBlocker block(m_ctl.typedBrowser);
            setTypedBrowserTop(top);
        }
        const QSignalBlocker block(m_ctl.browser);
        m_ctl.browser->setRange(0, top);
    } else {
        enableBrowserSlice(false);
    }
    m_bSlicing = false;
    m_nSliceState = 1;
    m_ctl.status->setText(statusText(true));
    update();
}

void SliceWidgetBase::enableBrowserSlice(bool enable)
{
    m_bBrowserEnabled = enable;
    if (m_pSlicingMsgBox && m_pSlicingMsgBox->isVisible())
        m_pSlicingMsgBox->close();
    setBrowserControlsEnabled(enable);
    if (!enable) {
        setBrowserPosition(0);
        m_ctl.layerCount->setText(QStringLiteral("NA"));
    }
}

void SliceWidgetBase::slot_EditStatChanged(emVexmorEditStat stat)
{
    const int s = static_cast<int>(stat);
    if (s >= 1 && s <= 3) {
        enableBrowserSlice(false);
        if (m_nSliceState != 0) {
            m_nSliceState = 0;
            m_ctl.status->setText(statusText(false));
            if (!m_ctl.thickness->isEnabled() && !m_bThickFixed)
                m_ctl.thickness->setEnabled(true);
        }
    } else if (s == 5) {
        if (!m_bBrowserEnabled && !m_bSlicing)
            startSlice();
    }
    if (m_pSlicingMsgBox && m_pSlicingMsgBox->isVisible())
        m_pSlicingMsgBox->hide();
    update();
}

void SliceWidgetBase::setSliceStarted(int started)
{
    if (started == 0) {
        m_bSlicing = true;
    } else if (started == 1) {
        m_nSliceState = 0;
        m_bBrowserEnabled = false;
        m_bSlicing = false;
        m_nPreviewLayer = 0;
        m_ctl.status->setText(statusText(false));
        if (!m_ctl.thickness->isEnabled())
            m_ctl.thickness->setEnabled(true);
        if (m_pSlicingMsgBox) {
            m_pSlicingMsgBox->ntfMsgShow(1);
            if (!m_pSlicingMsgBox->isVisible())
                m_pSlicingMsgBox->show();
        }
    }
}

void SliceWidgetBase::slot_slc_layerthick(float layerthick)
{
    m_fLayerThick = layerthick < m_fMinThick ? 0.025f : layerthick;
    m_config.SliceThickness = m_fLayerThick;
    m_ctl.thicknessLabel->setText(micrometres(m_fLayerThick));
    m_ctl.thickness->setEnabled(false);
    m_bThickFixed = true;
}

void SliceWidgetBase::slot_updSliceBrowser(int index)
{
    m_nPreviewLayer = index;
    update();
}

void SliceWidgetBase::slot_updSliceBrowser_print(int index, int)
{
    slot_updSliceBrowser(index);
}

void SliceWidgetBase::paintPreview(QPainter& painter)
{
    if (m_nXRes <= 0 || m_nYRes <= 0)
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
