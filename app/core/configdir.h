#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QSettings;
class QTemporaryDir;

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
// and writes nothing through the user's file. With only the organisation's
// file refused, they are pointed at a private folder that leads to the
// program's own folder, so its file is read and written as before. The
// user is told.
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
// a file that must be left alone is hidden from Qt for that one read, and
// true is returned. The notice tells the user of it in the language
// installed when it is asked for; empty when there is nothing to tell.
QString vexmorQtLoggingFile();
bool vexmorReadQtLoggingRules();
QString vexmorQtLoggingNotice();

// Qt reads "user-dirs.dirs" of the user's configuration location whole and
// without a check (a FIFO blocks it for good, a huge file fills the memory)
// whenever it is asked for the documents, desktop, download, music, picture
// or video folder: by the start, which makes folders in the documents, and
// by the web page. Made before anything asks for one (and before a second
// thread runs), the guard judges the file by the folder's rules; one that
// must be left alone is hidden from Qt until the guard goes, and Qt takes
// those folders in the home folder. The configuration folder and Qt's other
// files stay where they are. The notice tells the user, as above.
class UserDirsGuard
{
public:
    UserDirsGuard();
    ~UserDirsGuard();
    UserDirsGuard(const UserDirsGuard&) = delete;
    UserDirsGuard& operator=(const UserDirsGuard&) = delete;
    bool hidden() const;

private:
    std::unique_ptr<QTemporaryDir> m_standIn;
    bool m_wasSet = false;
    QByteArray m_was;
};
QString vexmorUserDirsFile();
QString vexmorUserDirsNotice();

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
