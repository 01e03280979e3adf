#include "FileChooser.h"

#include <QFileDialog>

namespace FileChooser {
namespace {

Chooser& openChooser()
{
    static Chooser c;
    return c;
}

Chooser& saveChooser()
{
    static Chooser c;
    return c;
}

} // namespace

QString openFileName(QWidget* parent, const QString& caption, const QString& start, const QString& filter)
{
    if (openChooser())
        return openChooser()(parent, caption, start, filter);
    return QFileDialog::getOpenFileName(parent, caption, start, filter);
}

QString saveFileName(QWidget* parent, const QString& caption, const QString& start, const QString& filter)
{
    if (saveChooser())
        return saveChooser()(parent, caption, start, filter);
    return QFileDialog::getSaveFileName(parent, caption, start, filter);
}

void setOpenChooser(Chooser chooser)
{
    openChooser() = std::move(chooser);
}

void setSaveChooser(Chooser chooser)
{
    saveChooser() = std::move(chooser);
}

} // namespace FileChooser
