#pragma once

#include <QWidget>

namespace Ui {
class VSupportWidget;
}

// The first support panel: three modes on a tool box, two three-level
// switches and buttons; it only emits.
class VSupportWidget : public QWidget
{
    Q_OBJECT
public:
    explicit VSupportWidget(QWidget* parent = nullptr);
    ~VSupportWidget() override;

signals:
    void signal_SendAutoSupportSelected();
    void signal_SendAutoSupportScene();
    void signal_SendAutoSupportMode();
    void signal_SendManualSupportMode();
    void signal_SendDeleteSupportMode();
    void signal_SendDelSelModelSupports();
    void signal_SendDelAllSupports();
    void signal_SendChangeSupDensity(int supDensID);
    void signal_SendChangeSupAttachSize(int supAttSizeID);

public slots:
    void slot_EmitAutoSupportSelected() { emit signal_SendAutoSupportSelected(); }
    void slot_EmitAutoSupportScene() { emit signal_SendAutoSupportScene(); }
    void slot_EmitAutoSupportMode() { emit signal_SendAutoSupportMode(); }
    void slot_EmitManualSupportMode() { emit signal_SendManualSupportMode(); }
    void slot_EmitDeleteSupportMode() { emit signal_SendDeleteSupportMode(); }
    void slot_EmitDelSelModelSupports() { emit signal_SendDelSelModelSupports(); }
    void slot_EmitDelAllSupports() { emit signal_SendDelAllSupports(); }
    void slot_EmitChangeSupDensity(int supDensID) { emit signal_SendChangeSupDensity(supDensID); }
    void slot_EmitChangeSupAttachSize(int supAttSizeID) { emit signal_SendChangeSupAttachSize(supAttSizeID); }
    void slot_ToolBoxCurChanged(int index);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Ui::VSupportWidget* ui;
};
