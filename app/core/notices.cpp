#include "notices.h"

#include "ui_BusyWidget.h"
#include "ui_VPrintMsgBox.h"
#include "ui_VSlicingMsgBox.h"

#include <QMovie>

BusyWidget::BusyWidget(QWidget* parent)
    : QWidget(parent)
    , m_pMovie(new QMovie(QStringLiteral(":/Resources/loading.gif")))
    , ui(new Ui::BusyWidget)
{
    ui->setupUi(this);
    ui->label_Movie->setMovie(m_pMovie);
    m_pMovie->start();
}

BusyWidget::~BusyWidget()
{
    delete ui;
    delete m_pMovie;
}

void BusyWidget::setText(const QString& text)
{
    ui->label_Info->setText(text);
    // Wide enough for the whole text, the animation centred above it.
    const int width = qMax(kNarrowestPx, ui->label_Info->fontMetrics().horizontalAdvance(text) + 16);
    resize(width, height());
    ui->label_Info->resize(width, ui->label_Info->height());
    ui->label_Movie->move((width - ui->label_Movie->width()) / 2, ui->label_Movie->y());
}

VSlicingMsgBox::VSlicingMsgBox(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::VSlicingMsgBox)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
}

VSlicingMsgBox::~VSlicingMsgBox()
{
    delete ui;
}

void VSlicingMsgBox::ntfMsgShow(int which)
{
    ui->label->setVisible(which == 1);
    ui->label_2->setVisible(which != 1);
}

void VSlicingMsgBox::on_toolButton_clicked()
{
    close();
}

VPrintMsgBox::VPrintMsgBox(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::VPrintMsgBox)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
}

VPrintMsgBox::~VPrintMsgBox()
{
    delete ui;
}

void vexmorInitResources()
{
    Q_INIT_RESOURCE(vexmor);
}
