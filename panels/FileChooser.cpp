#include "FileChooser.h"

#include "app/core/configdir.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

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
    const QtStateGuard qtState;
    return QFileDialog::getOpenFileName(parent, caption, start, filter);
}

QString saveFileName(QWidget* parent, const QString& caption, const QString& start, const QString& filter)
{
    if (saveChooser())
        return saveChooser()(parent, caption, start, filter);
    // The dialog would ask about the name typed; withExtension asks about
    // the name the file is written under.
    const QtStateGuard qtState;
    return QFileDialog::getSaveFileName(parent, caption, start, filter, nullptr, QFileDialog::DontConfirmOverwrite);
}

void setOpenChooser(Chooser chooser)
{
    openChooser() = std::move(chooser);
}

void setSaveChooser(Chooser chooser)
{
    saveChooser() = std::move(chooser);
}

QString withExtension(const QString& chosen, const QString& extension,
                      const std::function<bool(const QString& path)>& confirmReplace)
{
    // Any other ending ("part v1.2", "ring.stl") is part of the name: the
    // printer would not list the file, and a model's own name would be lost.
    if (chosen.isEmpty())
        return chosen;
    const QString named = extension.isEmpty() || QFileInfo(chosen).suffix().compare(extension, Qt::CaseInsensitive) == 0
                              ? chosen
                              : (chosen.endsWith(QLatin1Char('.')) ? chosen : chosen + QLatin1Char('.')) + extension;
    // Only a file is replaced: a folder of that name is refused by the
    // writer with its reason, and a question about replacing it would be
    // answered for nothing.
    if (QFileInfo(named).isFile() && !(confirmReplace && confirmReplace(named)))
        return QString();
    return named;
}

bool confirmReplace(QWidget* parent, const QString& path, const QString& styleSheet)
{
    QMessageBox box(QMessageBox::Warning, QString(),
                    QCoreApplication::translate("FileChooser", "%1 already exists. Replace it?").arg(path),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    box.setStyleSheet(styleSheet);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace FileChooser
