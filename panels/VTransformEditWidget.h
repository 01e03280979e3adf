#pragma once

#include "ui_VTransformEditWidget.h"

#include <QMap>
#include <QVariantList>
#include <QVector3D>
#include <QWidget>

class QDoubleSpinBox;

// Side panel of the edit stage: position, rotation, scale and size of the
// selected instance as fields; every user edit becomes an edit message for
// the 3D view, and the view's answers are written back without echo.
class VTransformEditWidget : public QWidget
{
    Q_OBJECT
public:
    enum emGroupID { Group_Position = 0, Group_Rotate = 1, Group_Scale = 2, Group_Size = 3 };

    explicit VTransformEditWidget(QWidget* parent = nullptr);
    ~VTransformEditWidget() override;

    void SetGroupEnable(int group, bool enable);
    void SetEditorData(int id, double value);
    void ScaleEditorData(int id, double factor);
    double GetEditorData(int id) const;
    void UpdateDataWithScale(const QVector3D& factors);
    void ResetPosition();
    void ResetRotate();
    void ResetScale();
    void ResetSize();

signals:
    void signal_SendEditData(QVariantList editList);
    void signal_SendScaleValue(QVariantList editList);
    void signal_duplicateSelectedModel();
    void signal_CtlWidgetDisplayed(bool isShow);

public slots:
    void slot_ReceiveEditList(QVariantList editList);
    void slot_EmitScaleValue();
    void slot_ModelSelected(bool isSelected);
    void slot_DuplicateSelectedModelDone();
    void slot_Position_Changed(double);
    void slot_Rotate_Changed();
    void slot_Scale_Changed();
    void slot_Size_Changed();
    void slot_EmitReset();
    void slot_EmitMaxResize();
    void slot_EmitKeepScale(bool bChecked);

private slots:
    void slot_cloneModel();

protected:
    void keyPressEvent(QKeyEvent*) override {}
    void paintEvent(QPaintEvent* event) override;

private:
    using Handler = void (VTransformEditWidget::*)(QVariantList&);
    void InitFunTable();
    void InitEditorTable();
    void Handle_Translate(QVariantList& list);
    void Handle_Rotate(QVariantList& list);
    void Handle_Scale(QVariantList& list);
    void Handle_ChangeSelect(QVariantList& list);
    void Handle_Update(QVariantList& list);
    void Handle_ChangeMode(QVariantList& list);
    void SetGroupData(int group, const QVector3D& values);
    void ExtractDataToGroup(int group, QVariantList& list);
    void ExportGroupData(emGroupID group, QVector3D& out) const;
    void EnableModeGroups(int mode, bool enable);
    int changedAxis(int firstEditorId) const;
    void restoreGroup(int group);
    void applyFactorEdit(int group);

    int m_nSelectedId = -1;
    int m_nEditMode = 0;
    bool m_bUniform = true;
    bool m_bEchoGuard = false;
    // Clone, Reset and Maximize act on the selection: with none they would
    // reach every model (Reset dropped every support on the plate).
    bool m_bHasSelection = false;
    bool m_bCloning = false;
    void EnableSelectionButtons();
    float m_fLastValues[12] = {0, 0, 0, 0, 0, 0, 1, 1, 1, 0.1f, 0.1f, 0.1f};
    QMap<int, Handler> m_mapFun;
    QMap<int, QDoubleSpinBox*> m_mapEditor;
    Ui::EditWidget ui;
};
