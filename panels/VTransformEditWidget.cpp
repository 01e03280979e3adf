#include "VTransformEditWidget.h"

#include "panelstyle.h"

#include <QPainter>

#include <cmath>

VTransformEditWidget::VTransformEditWidget(QWidget* parent)
    : QWidget(parent)
{
    ui.setupUi(this);
    PanelStyle::apply(this);
    ui.UniformScale->hide();
    hide();
    InitFunTable();
    InitEditorTable();
    m_bEchoGuard = true;

    for (QDoubleSpinBox* s : {ui.Position_X, ui.Position_Y, ui.Position_Z})
        connect(s, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
                &VTransformEditWidget::slot_Position_Changed);
    for (QDoubleSpinBox* s : {ui.Rotate_X, ui.Rotate_Y, ui.Rotate_Z})
        connect(s, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
                &VTransformEditWidget::slot_Rotate_Changed);
    for (QDoubleSpinBox* s : {ui.Scale_X, ui.Scale_Y, ui.Scale_Z})
        connect(s, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
                &VTransformEditWidget::slot_Scale_Changed);
    for (QDoubleSpinBox* s : {ui.Size_X, ui.Size_Y, ui.Size_Z})
        connect(s, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
                &VTransformEditWidget::slot_Size_Changed);
    // A typed value is applied when it is entered, not at every key: "-25"
    // passed through "-2", and every stop pushed neighbours for good.
    for (QDoubleSpinBox* s : m_mapEditor)
        s->setKeyboardTracking(false);
    EnableSelectionButtons();
    connect(ui.CloneButton, &QPushButton::clicked, this, &VTransformEditWidget::slot_cloneModel);
    connect(ui.ResetButton, &QPushButton::clicked, this, &VTransformEditWidget::slot_EmitReset);
    connect(ui.MaximizeButton, &QPushButton::clicked, this, &VTransformEditWidget::slot_EmitMaxResize);
    connect(ui.UniformScale, &QRadioButton::clicked, this, &VTransformEditWidget::slot_EmitKeepScale);
}

VTransformEditWidget::~VTransformEditWidget() = default;

void VTransformEditWidget::InitFunTable()
{
    m_mapFun[0] = &VTransformEditWidget::Handle_Translate;
    m_mapFun[1] = &VTransformEditWidget::Handle_Rotate;
    m_mapFun[2] = &VTransformEditWidget::Handle_Scale;
    m_mapFun[4] = &VTransformEditWidget::Handle_ChangeSelect;
    m_mapFun[5] = &VTransformEditWidget::Handle_Update;
    m_mapFun[6] = &VTransformEditWidget::Handle_ChangeMode;
}

void VTransformEditWidget::InitEditorTable()
{
    QDoubleSpinBox* editors[12] = {ui.Position_X, ui.Position_Y, ui.Position_Z, ui.Rotate_X, ui.Rotate_Y,
                                   ui.Rotate_Z,   ui.Scale_X,    ui.Scale_Y,    ui.Scale_Z,  ui.Size_X,
                                   ui.Size_Y,     ui.Size_Z};
    for (int i = 0; i < 12; ++i)
        m_mapEditor[i] = editors[i];
}

void VTransformEditWidget::SetGroupData(int group, const QVector3D& values)
{
    for (int k = 0; k < 3; ++k) {
        m_bEchoGuard = false;
        m_mapEditor[3 * group + k]->setValue(values[k]);
        m_fLastValues[3 * group + k] = values[k];
    }
    m_bEchoGuard = true;
}

void VTransformEditWidget::ExtractDataToGroup(int group, QVariantList& list)
{
    QVector3D v;
    for (int k = 0; k < 3; ++k)
        v[k] = list.isEmpty() ? 0.0f : list.takeFirst().toFloat();
    SetGroupData(group, v);
}

void VTransformEditWidget::ExportGroupData(emGroupID group, QVector3D& out) const
{
    for (int k = 0; k < 3; ++k)
        out[k] = static_cast<float>(m_mapEditor.value(3 * group + k)->value());
}

void VTransformEditWidget::restoreGroup(int group)
{
    m_bEchoGuard = false;
    for (int k = 0; k < 3; ++k)
        m_mapEditor[3 * group + k]->setValue(m_fLastValues[3 * group + k]);
    m_bEchoGuard = true;
}

void VTransformEditWidget::SetEditorData(int id, double value)
{
    m_bEchoGuard = false;
    m_mapEditor[id]->setValue(value);
    m_fLastValues[id] = static_cast<float>(value);
    m_bEchoGuard = true;
}

void VTransformEditWidget::ScaleEditorData(int id, double factor)
{
    SetEditorData(id, m_fLastValues[id] * factor);
}

double VTransformEditWidget::GetEditorData(int id) const
{
    return m_mapEditor.value(id)->value();
}

void VTransformEditWidget::UpdateDataWithScale(const QVector3D& factors)
{
    for (int k = 0; k < 3; ++k) {
        ScaleEditorData(6 + k, factors[k]);
        ScaleEditorData(9 + k, factors[k]);
    }
}

void VTransformEditWidget::ResetPosition()
{
    SetGroupData(Group_Position, QVector3D(0, 0, 0));
}

void VTransformEditWidget::ResetRotate()
{
    SetGroupData(Group_Rotate, QVector3D(0, 0, 0));
}

void VTransformEditWidget::ResetScale()
{
    SetGroupData(Group_Scale, QVector3D(1, 1, 1));
}

void VTransformEditWidget::ResetSize()
{
    SetGroupData(Group_Size, QVector3D(0.1f, 0.1f, 0.1f));
}

void VTransformEditWidget::slot_Position_Changed(double)
{
    QVector3D p;
    ExportGroupData(Group_Position, p);
    if (m_bEchoGuard)
        emit signal_SendEditData({0, p.x(), p.y(), p.z()});
}

void VTransformEditWidget::slot_Rotate_Changed()
{
    QVector3D r;
    ExportGroupData(Group_Rotate, r);
    if (m_bEchoGuard)
        emit signal_SendEditData({1, r.x() - m_fLastValues[3], r.y() - m_fLastValues[4], r.z() - m_fLastValues[5]});
    for (int k = 0; k < 3; ++k)
        m_fLastValues[3 + k] = r[k];
}

int VTransformEditWidget::changedAxis(int firstEditorId) const
{
    auto* spin = qobject_cast<QDoubleSpinBox*>(sender());
    if (!spin)
        return -1;
    if (spin == m_mapEditor.value(firstEditorId + 2))
        return 2;
    if (spin == m_mapEditor.value(firstEditorId + 1))
        return 1;
    return 0;
}

// A factor that would collapse the model or come out infinite (a flat
// model's zero size, a zero scale record) is not sent; the field shows its
// last value again.
static bool usableFactor(float f)
{
    return std::isfinite(f) && f > 0.0f;
}

void VTransformEditWidget::slot_Scale_Changed()
{
    applyFactorEdit(Group_Scale);
}

void VTransformEditWidget::slot_Size_Changed()
{
    applyFactorEdit(Group_Size);
}

// A scale or size edit is one factor: sent to the view, and applied here to
// the other scale and size fields (all axes with the uniform lock, the edited
// axis alone without), since the view sends nothing back after a scale.
void VTransformEditWidget::applyFactorEdit(int group)
{
    if (!m_bEchoGuard)
        return;
    QVector3D v;
    ExportGroupData(static_cast<emGroupID>(group), v);
    const int first = 3 * group;
    const int a = changedAxis(first);
    if (a < 0)
        return;
    const float f = v[a] / m_fLastValues[first + a];
    if (m_fLastValues[first + a] == 0.0f || !usableFactor(f)) {
        restoreGroup(group);
        return;
    }
    QVector3D factors(f, f, f);
    if (!m_bUniform) {
        factors = QVector3D(1, 1, 1);
        factors[a] = f;
    }
    emit signal_SendEditData({2, factors.x(), factors.y(), factors.z()});
    m_bEchoGuard = false;
    for (int k = 0; k < 3; ++k) {
        if (!m_bUniform && k != a)
            continue;
        for (int g : {int(Group_Scale), int(Group_Size)}) {
            const int id = 3 * g + k;
            if (g == group && k == a) {
                // The edited field keeps what the user typed.
                m_fLastValues[id] = g == Group_Size ? v[a] : m_fLastValues[id] * f;
                continue;
            }
            m_fLastValues[id] *= factors[k];
            m_mapEditor[id]->setValue(m_fLastValues[id]);
        }
    }
    m_bEchoGuard = true;
}

void VTransformEditWidget::EnableSelectionButtons()
{
    ui.CloneButton->setEnabled(m_bHasSelection && !m_bCloning);
    ui.ResetButton->setEnabled(m_bHasSelection);
    ui.MaximizeButton->setEnabled(m_bHasSelection);
}

void VTransformEditWidget::slot_EmitReset()
{
    if (!m_bHasSelection)
        return;
    ResetRotate();
    ResetScale();
    emit signal_SendEditData({6, 0});
}

void VTransformEditWidget::slot_EmitMaxResize()
{
    if (!m_bHasSelection)
        return;
    emit signal_SendEditData({6, 1});
}

void VTransformEditWidget::slot_EmitKeepScale(bool bChecked)
{
    m_bUniform = bChecked;
    emit signal_SendEditData({6, 2, bChecked});
}

void VTransformEditWidget::slot_cloneModel()
{
    if (!m_bHasSelection)
        return;
    m_bCloning = true;
    EnableSelectionButtons();
    emit signal_duplicateSelectedModel();
}

void VTransformEditWidget::slot_DuplicateSelectedModelDone()
{
    m_bCloning = false;
    EnableSelectionButtons();
}

void VTransformEditWidget::slot_ReceiveEditList(QVariantList editList)
{
    if (editList.isEmpty())
        return;
    const int command = editList.takeFirst().toInt();
    const auto it = m_mapFun.constFind(command);
    if (it != m_mapFun.constEnd())
        (this->*it.value())(editList);
}

void VTransformEditWidget::Handle_Translate(QVariantList& list)
{
    ExtractDataToGroup(Group_Position, list);
}

void VTransformEditWidget::Handle_Rotate(QVariantList& list)
{
    ExtractDataToGroup(Group_Rotate, list);
}

void VTransformEditWidget::Handle_Scale(QVariantList& list)
{
    ExtractDataToGroup(Group_Scale, list);
    ExtractDataToGroup(Group_Position, list);
    ExtractDataToGroup(Group_Size, list);
}

void VTransformEditWidget::Handle_Update(QVariantList& list)
{
    ExtractDataToGroup(Group_Position, list);
    ExtractDataToGroup(Group_Scale, list);
    ExtractDataToGroup(Group_Size, list);
}

void VTransformEditWidget::Handle_ChangeSelect(QVariantList& list)
{
    const int id = list.isEmpty() ? -1 : list.takeFirst().toInt();
    if (id == -1)
        return;
    slot_EmitScaleValue();
    if (id != m_nSelectedId) {
        m_nSelectedId = id;
        ResetRotate();
    }
}

void VTransformEditWidget::slot_EmitScaleValue()
{
    // The scale as last received or edited, not as the fields show it: they
    // round to two decimals and clamp to 0.01 .. 100, and the view keeps
    // what it is sent as the instance's scale.
    const float* s = m_fLastValues + 3 * Group_Scale;
    emit signal_SendScaleValue({m_nSelectedId, s[0], s[1], s[2]});
}

void VTransformEditWidget::EnableModeGroups(int mode, bool enable)
{
    switch (mode) {
    case 0: ui.PositionGroup->setEnabled(enable); break;
    case 1: ui.RotateGroup->setEnabled(enable); break;
    case 2:
        ui.ScaleGroup->setEnabled(enable);
        ui.SizeGroup->setEnabled(enable);
        break;
    default: break;
    }
}

void VTransformEditWidget::SetGroupEnable(int group, bool enable)
{
    EnableModeGroups(group, enable);
}

void VTransformEditWidget::Handle_ChangeMode(QVariantList& list)
{
    if (!list.isEmpty())
        list.takeFirst();
    EnableModeGroups(m_nEditMode, false);
    m_nEditMode = list.isEmpty() ? m_nEditMode : list.takeFirst().toInt();
    EnableModeGroups(m_nEditMode, true);
}

void VTransformEditWidget::slot_ModelSelected(bool isSelected)
{
    m_bHasSelection = isSelected;
    EnableSelectionButtons();
    EnableModeGroups(m_nEditMode, isSelected);
}

void VTransformEditWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 40, 40, 127));
    painter.drawRect(rect());
}
