#include "VToggleControl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QtDebug>

#include <cmath>

VToggleControl::VToggleControl(QWidget* parent)
    : QWidget(parent)
{
    // The knob rests at the left end until the first resize says more.
    m_x = m_size / 2;
    m_y = m_size / 2;
    qRegisterMetaType<VToggleControl::emToggleStat>("VToggleControl::emToggleStat");
    setCursor(Qt::PointingHandCursor);
    connect(&m_timer, &QTimer::timeout, this, &VToggleControl::onTimeout);
    m_timer.start(2);
}

QSize VToggleControl::sizeHint() const
{
    return minimumSizeHint();
}

QSize VToggleControl::minimumSizeHint() const
{
    return QSize(2 * (m_size + m_margin), m_size + 2 * m_margin);
}

void VToggleControl::setToggle(emToggleStat stat)
{
    m_target = stat;
    m_timer.start(10);
}

double VToggleControl::restingX(emToggleStat stat) const
{
    switch (stat) {
    case Toggle_Middle: return width() / 2;
    case Toggle_Right: return width() - m_size / 2 - m_margin;
    default: return m_size / 2;
    }
}

void VToggleControl::mousePressEvent(QMouseEvent* event)
{
    if (!isEnabled())
        return;
    if (event->buttons() & Qt::LeftButton)
        event->accept();
    else
        event->ignore();
}

void VToggleControl::mouseReleaseEvent(QMouseEvent* event)
{
    if (!isEnabled())
        return;
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    const int p = static_cast<int>(std::lround(event->localPos().x()));
    const int half = width() / 2;
    if (p >= 0 && p < half)
        m_target = m_current == Toggle_Left ? Toggle_Middle : Toggle_Left;
    else if (p >= half && p < width())
        m_target = m_current == Toggle_Right ? Toggle_Middle : Toggle_Right;
    else
        qDebug() << "-----Not Be Here!!-----";
    if (m_target != m_current)
        emit toggled(m_target);
    m_timer.start(2);
}

void VToggleControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    QPainterPath track;
    track.addRoundedRect(QRectF(m_margin, m_margin, width() - 2 * m_margin, height() - 2 * m_margin), m_radius,
                         m_radius);
    painter.setBrush(m_background);
    painter.setOpacity(0.6);
    painter.drawPath(track.simplified());

    painter.setBrush(m_checked);
    painter.setOpacity(1.0);
    painter.drawEllipse(QRectF(m_x - m_size / 2, m_y - m_size / 2, height(), height()));
}

void VToggleControl::resizeEvent(QResizeEvent* event)
{
    // Keep the knob where the current position rests at the new width; a
    // running move goes on from there.
    m_x = restingX(m_current);
    m_y = m_size / 2;
    QWidget::resizeEvent(event);
}

void VToggleControl::onTimeout()
{
    const double step = 2.0;
    const int half = width() / 2;
    const double right = width() - m_size / 2 - m_margin;
    const double left = m_size / 2;
    bool arrived = false;
    if (m_current != m_target) {
        if (m_target > m_current) {
            m_x += step;
            if (m_target == Toggle_Middle ? m_x >= half : m_x >= right)
                arrived = true;
        } else {
            m_x -= step;
            if (m_target == Toggle_Middle ? m_x <= half : m_x <= left)
                arrived = true;
        }
        if (arrived) {
            m_current = m_target;
            m_timer.stop();
        }
    }
    update();
}
