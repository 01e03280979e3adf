#include "StyledMessageBox.h"

#include <QAbstractButton>
#include <QIcon>

int execStyledBox(const QString& style, const QString& text, const QString& informative,
                  QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    QMessageBox box;
    box.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    box.setStyleSheet(style);
    box.setText(text);
    box.setInformativeText(informative);
    box.setStandardButtons(buttons);
    box.setDefaultButton(defaultButton);
    for (QAbstractButton* b : box.buttons())
        b->setIcon(QIcon());
    return box.exec();
}
