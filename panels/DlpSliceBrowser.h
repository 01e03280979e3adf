#pragma once

#include <QDialog>

class VSLGLView;
namespace Ui {
class DlpSliceBrowser;
}

// A small frameless dialog showing one layer of the sliced plate, a
// 1280 x 800 projector frame reduced to fit.
class DlpSliceBrowser : public QDialog
{
    Q_OBJECT
public:
    explicit DlpSliceBrowser(VSLGLView* view, QWidget* parent = nullptr);
    ~DlpSliceBrowser() override;

    void paint(QPainter& painter);

public slots:
    void slot_updSliceBrowser(int index);

private slots:
    void on_toolButton_clicked();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Ui::DlpSliceBrowser* ui;
    int m_nIndex = 0;
    VSLGLView* m_pView;
};
