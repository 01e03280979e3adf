#pragma once

#include <QWidget>

namespace Ui {
class VFixWidget;
}

// Side panel of the repair stage: shows the plate's defect counts and
// confirms the repair once nothing is left to repair.
class VFixWidget : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kStillChecking = -1;

    explicit VFixWidget(QWidget* parent = nullptr);
    ~VFixWidget() override;

public slots:
    // result 0: nothing left to repair, kStillChecking: a model is still
    // being checked (no count is shown until a later report). holes,
    // manifold and normal: the counts of holes, edges of three faces or more
    // and faces turned inside out; -3 / -4 (manifold) and -4 (normal) are a
    // failed repair's codes.
    void slot_FixDone(int result, int holes, int manifold, int normal);

private slots:
    void slot_EmitAutoFix();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    Ui::VFixWidget* ui;
    int m_nResult = -1;
    int m_nHoles = -1;
    int m_nManifold = -1;
    int m_nNormal = -1;
};
