#pragma once
#include <QMessageBox>
#include <QString>

// A frameless modal message box in a panel's style sheet; returns the button
// chosen. Its buttons carry no icon: the platform theme's icon takes room
// that the large button text of the panels' styles needs.
int execStyledBox(const QString& style, const QString& text, const QString& informative,
                  QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton);
