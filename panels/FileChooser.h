#pragma once

#include <QString>

#include <functional>

class QWidget;

// The file dialogs of the panels and the main window, replaceable so that
// tests (and hosts without a user) answer them.
namespace FileChooser {

using Chooser = std::function<QString(QWidget* parent, const QString& caption, const QString& start,
                                      const QString& filter)>;

QString openFileName(QWidget* parent, const QString& caption, const QString& start, const QString& filter);
QString saveFileName(QWidget* parent, const QString& caption, const QString& start, const QString& filter);

// An empty function restores the real dialog.
void setOpenChooser(Chooser chooser);
void setSaveChooser(Chooser chooser);

} // namespace FileChooser
