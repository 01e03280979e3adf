#include "VEditModeWidget.h"

VEditModeWidget::VEditModeWidget(QObject* parent) : QObject(parent) {}

void VEditModeWidget::layoutBarClicked(int index)
{
    if (index >= 0 && index <= 2)
        slot_EmitEditMode(index);
}

void VEditModeWidget::slot_EmitEditMode(int groupID)
{
    emit signal_SendEditMode(QVariantList{6, 3, groupID});
}
