#include "VTitleWidget.h"

#include "VResizeHint.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>

VTitleWidget::VTitleWidget(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_MouseTracking);
}

void VTitleWidget::updateEdge(const QPoint& globalPos)
{
    m_nEdgeState = m_pResizeHint ? m_pResizeHint->QueryEdgeState(globalPos) : 0;
    setCursor(VResizeHint::QueryCursorShape(m_nEdgeState));
}

void VTitleWidget::mousePressEvent(QMouseEvent* event)
{
    m_ptLast = event->globalPos();
    m_bPressed = true;
}

void VTitleWidget::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->globalPos();
    if (event->buttons() == Qt::NoButton) {
        updateEdge(pos);
        return;
    }
    if (!(event->buttons() & Qt::LeftButton) || !m_bPressed)
        return;
    if (m_nEdgeState != 0 && m_pResizeHint) {
        m_pResizeHint->TryResize(m_nEdgeState, pos);
    } else {
        emit signal_MoveWindow(pos - m_ptLast);
        m_ptLast = pos;
    }
}

void VTitleWidget::mouseReleaseEvent(QMouseEvent* event)
{
    m_bPressed = false;
    if (event->button() == Qt::LeftButton && m_nEdgeState != 0 && m_pResizeHint) {
        m_pResizeHint->ApplyResize();
        updateEdge(event->globalPos());
    }
}

void VTitleWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit signal_MaxiumWindow();
}

void VTitleWidget::paintEvent(QPaintEvent*)
{
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}
