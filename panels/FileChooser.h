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

// A save dialog's answer with ".extension" added unless it ends in it: the
// printer lists only files that carry its own. The dialog of saveFileName
// asks nothing about replacing (it knows only the name typed), so
// `confirmReplace` is asked when the name made exists; empty when it says no.
QString withExtension(const QString& chosen, const QString& extension,
                      const std::function<bool(const QString& path)>& confirmReplace);

// "<path> already exists. Replace it?" with Yes and No (No by default).
bool confirmReplace(QWidget* parent, const QString& path, const QString& styleSheet);

} // namespace FileChooser
