#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>

// Keeps the frameless window's normal geometry, tells which edge a screen
// point lies on and proposes the geometry of an edge drag.
class VResizeHint : public QObject
{
    Q_OBJECT
public:
    enum Edge { Left = 1, Right = 2, Top = 4, Bottom = 8 };

    int QueryEdgeState(const QPoint& globalPos) const;
    static Qt::CursorShape QueryCursorShape(int edges);
    void TryResize(int edges, const QPoint& globalPos);
    void ApplyResize();

    QRect m_rcNormal{0, 0, 100, 100};
    bool m_bEnabled = true;
    int m_nEdgeWidth = 5;

signals:
    void signal_Resize(const QRect& newGeometry);
    void signal_RequestGeometry(QRect& edgeRect);
};
