#include "VFixWidget.h"

#include "ui_VFixWidget.h"

#include <QPainter>

VFixWidget::VFixWidget(QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::VFixWidget)
{
    ui->setupUi(this);
    connect(ui->btn_AutoFix, &QPushButton::clicked, this, &VFixWidget::slot_EmitAutoFix);
}

VFixWidget::~VFixWidget()
{
    delete ui;
}

void VFixWidget::slot_FixDone(int result, int holes, int manifold, int normal)
{
    m_nResult = result;
    m_nHoles = holes;
    m_nManifold = manifold;
    m_nNormal = normal;
    if (result == kStillChecking) {
        // Counts of the models checked so far would read as the plate's.
        for (QLabel* field : {ui->label_info, ui->label_info2, ui->label_info3})
            field->setText(QStringLiteral("\u2026"));
        ui->label_result->setText(tr("Checking the model: its defects are shown here as soon as the check ends."));
        return;
    }
    ui->label_result->clear();
    ui->label_info->setText(QString::number(holes));
    // A count shows as it is; the codes of a repair that failed as words.
    auto count = [](int n) { return QString::number(n > 0 ? n : 0); };
    ui->label_info2->setText(manifold == -3 || manifold == -4 ? QStringLiteral("Serious Manifold error")
                                                             : count(manifold));
    ui->label_info3->setText(normal == -4 ? QStringLiteral("Serious Normal error") : count(normal));
}

void VFixWidget::slot_EmitAutoFix()
{
    if (m_nResult == 0 && m_nManifold == 0 && m_nNormal == 0)
        ui->label_result->setText(tr("Fix completed"));
}

void VFixWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 40, 40, 127));
    painter.drawRect(rect());
}

void VFixWidget::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
}
