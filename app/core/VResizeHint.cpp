#include "VResizeHint.h"

#include <algorithm>

int VResizeHint::QueryEdgeState(const QPoint& p) const
{
    if (!m_bEnabled)
        return 0;
    int edges = 0;
    if (p.x() > m_rcNormal.right() - m_nEdgeWidth)
        edges += Right;
    if (p.y() > m_rcNormal.bottom() - m_nEdgeWidth)
        edges += Bottom;
    return edges;
}

Qt::CursorShape VResizeHint::QueryCursorShape(int edges)
{
    switch (edges) {
    case Left:
    case Right: return Qt::SizeHorCursor;
    case Top:
    case Bottom: return Qt::SizeVerCursor;
    case Left + Top:
    case Right + Bottom: return Qt::SizeFDiagCursor;
    case Right + Top:
    case Left + Bottom: return Qt::SizeBDiagCursor;
    default: return Qt::ArrowCursor;
    }
}

void VResizeHint::TryResize(int edges, const QPoint& p)
{
    QRect r = m_rcNormal;
    if (edges & Left)
        r.setLeft(std::min(p.x(), r.right() - 850) - 1);
    else if (edges & Right)
        r.setRight(std::max(p.x(), r.left() + 850) + 1);
    if (edges & Bottom)
        r.setBottom(std::max(p.y(), r.top() + 710) + 1);
    else if (edges & Top)
        r.setTop(std::min(p.y(), r.bottom() - 710) - 1);
    emit signal_Resize(r);
}

void VResizeHint::ApplyResize()
{
    if (m_bEnabled)
        emit signal_RequestGeometry(m_rcNormal);
}
