#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QSettings;

// Checks made before the program reads or writes a file of its own in the
// configuration folder (settings, recipes, materials, light settings) or
// its daily log: such a file is the user's, and so is whatever a link in
// that folder points at.
namespace OwnedFile {

// Empty when `path` may be read and written as a file of `folder`: it does
// not exist yet, or it is a regular file there, or a link to one inside
// the folder. Otherwise why not (a link leading out of the folder or to
// nothing, a folder, a device).
QString accessProblem(const QString& path, const QString& folder);

// Run before QSettings opens `path`, a file of the configuration folder.
// False when the file must be left alone (accessProblem): the caller keeps
// its defaults in memory and writes nothing. A file that cannot be parsed
// is renamed aside as "<name>.unreadable-<yyyyMMdd-hhmmss>", never
// replaced; the caller then starts from its defaults. Either way the log
// and the user are told.
bool prepareSettings(const QString& path);

// prepareSettings(), then the settings object on `path`; none when the file
// must be left alone. QSettings reads its file as it is made, so this check
// comes first: a FIFO would block the reader until something writes to it.
std::unique_ptr<QSettings> openSettings(const QString& path);

// A file of the folder that could not be written (`why`, as the writer
// put it): logged, and the user told that it was left as it was. Said each
// time, unlike the refusals, which are said once.
void tellWriteFailure(const QString& path, const QString& why);

// Messages for the user: handed to the notifier when one is set, else kept
// until the main window takes those about files of the configuration
// folder now in use (the others are dropped). An empty function removes
// the notifier.
void setUserNotifier(std::function<void(const QString& message)> notifier);
QStringList takeUntoldMessages();

} // namespace OwnedFile
