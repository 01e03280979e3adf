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
// nothing, a folder on its way that leads out, a folder, a device).
QString accessProblem(const QString& path, const QString& folder);

// No settings file of the program comes near this; a larger one is not
// read (a reader would take it whole into memory).
constexpr qint64 kLargestSettingsFile = 16 * 1024 * 1024;

// accessProblem(), or why a file that may be opened is too large to read
// as a settings file.
QString readProblem(const QString& path, const QString& folder);

// No lock file a program writes comes near this (a process number, a
// program name and a host name); QLockFile reads a larger one whole, again
// in every retry.
constexpr qint64 kLargestLockFile = 64 * 1024;

// Empty when QSettings may write `settingsFile` of the configuration
// folder itself: it does so through "<file>.lock" beside it, which it opens
// and waits on for as long as the lock looks held. The lock file follows
// the folder's rules (accessProblem) and may not be larger than any real
// lock. A lock no running program holds (one left by a crash, empty or
// without a process number) is taken over: removed, as QLockFile removes a
// stale one, so that QSettings makes its own. One that stays held by a
// running program for `patienceMs` is refused. Otherwise the sentence to
// tell.
QString settingsLockProblem(const QString& settingsFile, int patienceMs = 1000);

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

// A refusal of a file of the folder (`message` names it): logged and told,
// once.
void tellRefusal(const QString& path, const QString& message);

// A notice of this start about a file outside the folder as well (Qt's own
// files of the user's configuration location): logged and told once, and
// kept for the main window whichever folder is in use.
void tellStartNotice(const QString& message);

// Messages for the user: handed to the notifier when one is set, else kept
// until the main window takes those about files of the configuration
// folder now in use and the start notices (the others are dropped). An empty function removes
// the notifier.
void setUserNotifier(std::function<void(const QString& message)> notifier);
QStringList takeUntoldMessages();

} // namespace OwnedFile
