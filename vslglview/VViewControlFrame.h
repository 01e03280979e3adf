#pragma once
#include <QFrame>

#include <memory>

namespace Ui {
class ViewControlFrame;
}

// Seven icon buttons over the 3D view (zoom in / out, left, right, up, down,
// home); a click sends the button's id, a camera view command.
class VViewControlFrame : public QFrame {
    Q_OBJECT
public:
    explicit VViewControlFrame(QWidget* parent = nullptr);
    ~VViewControlFrame() override;

    Ui::ViewControlFrame* ui() const { return m_ui.get(); }

public slots:
    void slot_ButtonClicked(int buttonID);

signals:
    void signal_ViewControl(int controlType);

private:
    void SetButtonID();

    std::unique_ptr<Ui::ViewControlFrame> m_ui;
};
