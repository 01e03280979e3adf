#include "ProjectorDesktop.h"

#include "StyledMessageBox.h"
#include "displaystandin.h"

#include <QMessageBox>

bool extendDesktopOntoProjector(const QString& boxStyle, const QString& notice)
{
    DisplayStandIn::extendDesktop();
    execStyledBox(boxStyle, QString(), notice, QMessageBox::Ok, QMessageBox::Ok);
    return DisplayStandIn::screenCount() >= 2;
}
