#include "bridge.h"

#include <QMessageBox>

bridge* bridge::instance()
{
    static bridge one;
    return &one;
}

void bridge::showMsgBox()
{
    QMessageBox::aboutQt(nullptr, tr("Qt"));
}
