#pragma once

// Passive notices: the busy overlay, the slicing notice and the cancel notice.
// None of them emits anything; their owners show, hide and close them.

#include <QDialog>
#include <QWidget>

class QMovie;
namespace Ui {
class BusyWidget;
class VSlicingMsgBox;
class VPrintMsgBox;
}

class BusyWidget : public QWidget
{
    Q_OBJECT
public:
    explicit BusyWidget(QWidget* parent = nullptr);
    ~BusyWidget() override;
    // Widens the overlay when the text needs it.
    void setText(const QString& text);

private:
    static constexpr int kNarrowestPx = 160;
    QMovie* m_pMovie;
    Ui::BusyWidget* ui;
};

class VSlicingMsgBox : public QDialog
{
    Q_OBJECT
public:
    explicit VSlicingMsgBox(QWidget* parent = nullptr);
    ~VSlicingMsgBox() override;
    // 1 shows the "slicing" text, anything else the "no slicing data" text.
    void ntfMsgShow(int which);

private slots:
    void on_toolButton_clicked();

private:
    Ui::VSlicingMsgBox* ui;
};

class VPrintMsgBox : public QWidget
{
    Q_OBJECT
public:
    explicit VPrintMsgBox(QWidget* parent = nullptr);
    ~VPrintMsgBox() override;

private:
    Ui::VPrintMsgBox* ui;
};

// Makes the shell's resources (icons, animation, QML, translations) available
// when they are linked from a static library.
void vexmorInitResources();
