#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

// A three-position switch: a rounded track and a knob that slides to the
// left end, the middle or the right end when one half is clicked.
class VToggleControl : public QWidget
{
    Q_OBJECT
public:
    enum emToggleStat { Toggle_Left = 0, Toggle_Middle = 1, Toggle_Right = 2 };
    Q_ENUM(emToggleStat)

    explicit VToggleControl(QWidget* parent = nullptr);

    emToggleStat getToggled() const { return m_current; }
    void setToggle(emToggleStat stat);
    void setBackgroundColor(const QColor& c) { m_background = c; }
    void setCheckedColor(const QColor& c) { m_checked = c; }
    void setDisbaledColor(const QColor& c) { m_disabled = c; }
    double knobX() const { return m_x; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void toggled(VToggleControl::emToggleStat checked);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void onTimeout();

private:
    double restingX(emToggleStat stat) const;

    emToggleStat m_target = Toggle_Left;
    emToggleStat m_current = Toggle_Left;
    QColor m_background = Qt::black;
    QColor m_checked = QColor(238, 236, 234);
    QColor m_disabled = QColor(190, 190, 190);
    double m_radius = 8.0;
    double m_x = 0;
    double m_y = 0;
    qint16 m_size = 16;
    qint16 m_margin = 3;
    QTimer m_timer{this};
};
