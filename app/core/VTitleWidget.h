#pragma once

#include <QPoint>
#include <QWidget>

class VResizeHint;

// The frameless window's own title strip: drag to move, double-click to
// maximise or restore; its right and bottom edges show resize cursors.
class VTitleWidget : public QWidget
{
    Q_OBJECT
public:
    explicit VTitleWidget(QWidget* parent = nullptr);
    void setResizeHint(VResizeHint* hint) { m_pResizeHint = hint; }

signals:
    void signal_MoveWindow(QPoint delta);
    void signal_MaxiumWindow();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void updateEdge(const QPoint& globalPos);

    QPoint m_ptLast;
    bool m_bPressed = false;
    VResizeHint* m_pResizeHint = nullptr;
    int m_nEdgeState = 0;
};
