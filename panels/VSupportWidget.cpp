#include "VSupportWidget.h"

#include "VToggleControl.h"
#include "ui_VSupportWidget.h"

#include <QPainter>

VSupportWidget::VSupportWidget(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::VSupportWidget)
{
    ui->setupUi(this);
    ui->supportTools->setAttribute(Qt::WA_TranslucentBackground);
    ui->supportDensity->setToggle(VToggleControl::Toggle_Middle);

    connect(ui->select_SupportBtn, &QToolButton::clicked, this, &VSupportWidget::slot_EmitAutoSupportSelected);
    connect(ui->all_SupportBtn, &QToolButton::clicked, this, &VSupportWidget::slot_EmitAutoSupportScene);
    connect(ui->supportTools, &QToolBox::currentChanged, this, &VSupportWidget::slot_ToolBoxCurChanged);
    connect(ui->del_SelModelSupportBtn, &QToolButton::clicked, this, &VSupportWidget::slot_EmitDelSelModelSupports);
    connect(ui->del_AllSupportBtn, &QToolButton::clicked, this, &VSupportWidget::slot_EmitDelAllSupports);
    // The switch's enum converts to the slots' int; a string-based connect
    // of these signatures would not match.
    connect(ui->supportDensity, &VToggleControl::toggled, this, &VSupportWidget::slot_EmitChangeSupDensity);
    connect(ui->supportAttachSize, &VToggleControl::toggled, this, &VSupportWidget::slot_EmitChangeSupAttachSize);
}

VSupportWidget::~VSupportWidget()
{
    delete ui;
}

void VSupportWidget::slot_ToolBoxCurChanged(int index)
{
    switch (index) {
    case 0: emit signal_SendAutoSupportMode(); break;
    case 1: emit signal_SendManualSupportMode(); break;
    case 2: emit signal_SendDeleteSupportMode(); break;
    default: break;
    }
}

void VSupportWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 40, 40, 127));
    painter.drawRect(rect());
}
