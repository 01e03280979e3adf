#include "DlpSliceBrowser.h"

#include "SlicePreview.h"
#include "VSL3DScene.h"
#include "VSLGLView.h"
#include "ui_DlpSliceBrowser.h"

#include <QPainter>

DlpSliceBrowser::DlpSliceBrowser(VSLGLView* view, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::DlpSliceBrowser)
    , m_pView(view)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
}

DlpSliceBrowser::~DlpSliceBrowser()
{
    delete ui;
}

void DlpSliceBrowser::slot_updSliceBrowser(int index)
{
    m_nIndex = index;
    update();
}

void DlpSliceBrowser::on_toolButton_clicked()
{
    hide();
}

void DlpSliceBrowser::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(0.289, 0.289);
    paint(painter);
}

void DlpSliceBrowser::paint(QPainter& painter)
{
    SlicePreviewLayer what;
    what.xResolution = 1280;
    what.yResolution = 800;
    what.layer = m_nIndex;
    // Slice workers write the scene's layers until their job ends.
    what.drawLayer = m_pView && m_pView->scene()->runningSliceJobs() == 0;
    if (!what.drawLayer) {
        paintSliceLayer(painter, what, {}, {});
        return;
    }
    paintSliceLayer(painter, what, m_pView->GetSliceData(), m_pView->GetSliceDataSup());
}
