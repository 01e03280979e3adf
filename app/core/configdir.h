#pragma once

#include <QString>

#include <memory>

class QSettings;

// The folder every settings file, recipe file and the daily log live in:
// $VEXMOR_CONFIG_DIR when set, else the user's standard configuration
// location. The folder is created on first use, and QSettings' user-scope
// paths are pointed at it so that plain QSettings objects land there too,
// in ini text that replaces the old file only once it is all on the disk.
QString vexmorConfigDir();

// Path of a file inside the configuration folder.
QString vexmorConfigFile(const QString& name);

// The file a plain QSettings object reads and writes:
// "<folder>/<organisation>/<application>.conf".
QString vexmorDefaultSettingsFile();

// Checks that file as every file of the folder is checked before it is
// opened (a FIFO would block the start, a link may lead out of the folder),
// and so the lock file QSettings writes it through and the organisation's
// file QSettings reads after it. With only the lock refused, the file's
// values are still read.
// When it must be left alone, plain QSettings objects are pointed at a
// private folder for the rest of the run: the program keeps its defaults
// and writes nothing through the user's file. The user is told.
void vexmorPrepareDefaultSettings();

// Qt keeps its own state (the file chooser's folders and view) in
// "QtProject.conf" of the folder and reads and writes it itself. The file
// is checked as the program's own files are, and so is the lock file Qt
// writes it through (as for the plain settings file); when either must be
// left alone,
// Qt's state goes to a private folder for the rest of the run and the user
// is told. True while Qt may use the file in the folder.
QString vexmorQtStateFile();
bool vexmorPrepareQtState();

// Qt reads its logging rules from "QtProject/qtlogging.ini" of the user's
// configuration location itself, once, at its first message. Called before
// anything logs, this has Qt read them now, after the file was checked as
// the folder's own are (a link out, a file too large for a settings file):
// a file that must be left alone is hidden from Qt for that one read.
// Returns what the user is to be told about the file, empty when nothing.
QString vexmorQtLoggingFile();
QString vexmorReadQtLoggingRules();

// Held while a Qt dialog that keeps state (the file chooser) lives: the file
// is checked again first, and a write of Qt's that failed (a full disk) is
// told as the program's own are. GUI thread only.
class QtStateGuard
{
public:
    QtStateGuard();
    ~QtStateGuard();
    QtStateGuard(const QtStateGuard&) = delete;
    QtStateGuard& operator=(const QtStateGuard&) = delete;

private:
    std::unique_ptr<QSettings> m_keeper;
};
