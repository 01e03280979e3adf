#include "ProjectorDesktop.h"

#include "displaystandin.h"

#include <QMessageBox>

bool extendDesktopOntoProjector(const QString& boxStyle, const QString& notice)
{
    DisplayStandIn::extendDesktop();
    QMessageBox box;
    box.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    box.setStyleSheet(boxStyle);
    box.setInformativeText(notice);
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    return DisplayStandIn::screenCount() >= 2;
}
