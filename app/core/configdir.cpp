#include "configdir.h"

#include <QDir>
#include <QSettings>
#include <QCoreApplication>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "inifileupdate.h"
#include "ownedfile.h"
#include "vslfunction/savecommit.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutex>
#include <QTemporaryFile>

namespace {
// Where plain QSettings objects go when the user's file must be left alone.
QTemporaryDir* movedDefaultSettings = nullptr;
// Where Qt keeps its own state for the rest of the run once its file in
// the folder was refused.
QTemporaryDir* movedQtState = nullptr;
QMutex& pathsMutex()
{
    static QMutex mutex;
    return mutex;
}
// The user's configuration location as Qt found it at the start, kept once
// Qt was pointed at a stand-in for it; set before any thread starts.
QString pinnedConfigHome;
// The stand-in Qt is shown for that location: links to every entry of the
// real one but a refused "user-dirs.dirs".
QTemporaryDir* userDirsStandIn = nullptr;
// What the start found wrong with Qt's own files there, for the notices
// composed once the interface's language is installed.
QString loggingProblemAtStart;
QString userDirsProblemAtStart;
// Failures the format's writer told on this thread: a sync that fails
// after it told is not told again.
thread_local int writeFailuresTold = 0;

// Plain QSettings objects keep Qt's ini text, read and written through a
// scratch file; what the format adds is the check before the rename: Qt's
// own commit renames a file cut short by a full disk over the old one.
bool readIni(QIODevice& device, QSettings::SettingsMap& map)
{
    QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("read.ini"));
    {
        QFile copy(path);
        if (!scratch.isValid() || !copy.open(QIODevice::WriteOnly) || copy.write(device.readAll()) < 0 || !copy.flush())
            return false;
    }
    const QSettings ini(path, QSettings::IniFormat);
    for (const QString& key : ini.allKeys())
        map.insert(key, ini.value(key));
    return ini.status() == QSettings::NoError;
}

bool writeIni(QIODevice& device, const QSettings::SettingsMap& map)
{
    auto* file = qobject_cast<QFileDevice*>(&device);
    const QString name = file ? file->fileName() : QString();
    QList<QPair<QString, QVariant>> values;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        values.append({it.key(), it.value()});
    QByteArray text;
    // No key left: the file is written empty (Qt's own writer makes no text to read back).
    if (!values.isEmpty() && !IniFileUpdate::textOf(values, text)) {
        ++writeFailuresTold;
        OwnedFile::tellWriteFailure(name, QStringLiteral("cannot prepare %1").arg(name));
        return false;
    }
    // Every byte on the disk, or the old file stays.
    if (device.write(text) != text.size() || (file && !file->flush())) {
        const QString why = file ? WriteFailureSentence(*file) : device.errorString();
        ++writeFailuresTold;
        OwnedFile::tellWriteFailure(name, QStringLiteral("cannot write %1: %2").arg(name, why));
        return false;
    }
    return true;
}

QSettings::Format checkedIniFormat()
{
    static const QSettings::Format format = QSettings::registerFormat(QStringLiteral("conf"), readIni, writeIni);
    return format;
}

// Why nothing reached `path`: QSettings keeps the reason to itself, so a
// file as big as its lock file is tried next to it.
QString whyNotWritten(const QString& path)
{
    QTemporaryFile probe(path + QStringLiteral(".XXXXXX"));
    if (!probe.open())
        return probe.errorString();
    const QByteArray bytes(256, ' ');
    if (probe.write(bytes) != bytes.size() || !probe.flush())
        return WriteFailureSentence(probe);
    return QStringLiteral("QSettings could not write it");
}

QString userConfigHome()
{
    if (!pinnedConfigHome.isEmpty())
        return pinnedConfigHome;
    return QDir::cleanPath(QStandardPaths::writableLocation(QStandardPaths::ConfigLocation));
}

bool syncAndTell(QSettings& settings)
{
    const int toldBefore = writeFailuresTold;
    if (SyncSettingsWritten(settings))
        return true;
    if (writeFailuresTold == toldBefore) {
        const QString path = settings.fileName();
        OwnedFile::tellWriteFailure(path, QStringLiteral("%1: %2").arg(path, whyNotWritten(path)));
    }
    return false;
}
}

QString vexmorConfigDir()
{
    QString dir = qEnvironmentVariable("VEXMOR_CONFIG_DIR");
    if (dir.isEmpty())
        dir = userConfigHome();
    dir = QDir::cleanPath(dir);
    QDir().mkpath(dir);
    static const bool checkSyncs = [] {
        SetSettingsSyncCheck(syncAndTell);
        return true;
    }();
    Q_UNUSED(checkSyncs);
    QMutexLocker lock(&pathsMutex());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir);
    // Qt's own objects (the file chooser's state) are of the native format:
    // they go where Qt's file goes, whatever became of the program's.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, movedQtState ? movedQtState->path() : dir);
    QSettings::setPath(checkedIniFormat(), QSettings::UserScope,
                       movedDefaultSettings ? movedDefaultSettings->path() : dir);
    QSettings::setDefaultFormat(checkedIniFormat());
    return dir;
}

QString vexmorConfigFile(const QString& name)
{
    QString n = name;
    while (n.startsWith('/'))
        n.remove(0, 1);
    return QDir(vexmorConfigDir()).filePath(n);
}

QString vexmorDefaultSettingsFile()
{
    QString organisation = QCoreApplication::organizationName();
    if (organisation.isEmpty())
        organisation = QStringLiteral("Unknown Organization");
    return QDir(vexmorConfigDir()).filePath(organisation + QLatin1Char('/') + QCoreApplication::applicationName() +
                                            QStringLiteral(".conf"));
}

namespace {

// A file QSettings writes itself may be used when it passes the folder's
// checks and so does the lock file QSettings writes it through. With only
// the lock refused, its values are still read: the file is copied as
// `name` into the private folder the settings go to, and the user's file
// is left as it is.
bool settingsFileUsable(const QString& file, const QString& name, std::unique_ptr<QTemporaryDir>& aside)
{
    if (!OwnedFile::prepareSettings(file))
        return false;
    const QString lockProblem = OwnedFile::settingsLockProblem(file);
    if (lockProblem.isEmpty())
        return true;
    if (!aside)
        aside = std::make_unique<QTemporaryDir>();
    const QString copy = QDir(aside->path()).filePath(name);
    const bool kept = QFileInfo(file).isFile() && QDir().mkpath(QFileInfo(copy).path()) && QFile::copy(file, copy);
    OwnedFile::tellRefusal(
        file, kept ? QCoreApplication::translate("OwnedFile", "%1. %2 is read but not written; the program keeps "
                                                              "its values in memory until it ends.")
                         .arg(lockProblem, file)
                   : QCoreApplication::translate("OwnedFile", "%1. %2 is not written; the program keeps its values "
                                                              "in memory until it ends.")
                         .arg(lockProblem, file));
    return false;
}

// The file plain QSettings objects read after their own one, for every
// application of the organisation: read only, but a FIFO there blocks.
QString organisationSettingsFile()
{
    return QFileInfo(vexmorDefaultSettingsFile()).path() + QStringLiteral(".conf");
}

} // namespace

void vexmorPrepareDefaultSettings()
{
    vexmorPrepareQtState();
    if (movedDefaultSettings)
        return;
    static std::unique_ptr<QTemporaryDir> aside;
    const QString file = vexmorDefaultSettingsFile();
    const QString name = QDir(vexmorConfigDir()).relativeFilePath(file);
    // The organisation's file is only read, never set aside or written.
    const QString organisation = organisationSettingsFile();
    const QString organisationProblem = OwnedFile::readProblem(organisation, vexmorConfigDir());
    const bool usable = settingsFileUsable(file, name, aside);
    if (usable && organisationProblem.isEmpty())
        return;
    if (!aside)
        aside = std::make_unique<QTemporaryDir>();
    // Sent aside for the organisation's file alone: the program's own
    // folder is reached from there through a link, so that its file is
    // still read and written where it lies while the organisation's is
    // not there to be read. Where no link can be made, a copy goes along.
    bool ownFileKept = !usable;
    if (usable) {
        const QString ownFolder = QFileInfo(file).path();
        const QString link = QDir(aside->path()).filePath(QFileInfo(name).path());
        ownFileKept = aside->isValid() && QDir().mkpath(ownFolder) && QFile::link(ownFolder, link);
        const QString copy = QDir(aside->path()).filePath(name);
        if (!ownFileKept && QFileInfo(file).isFile() && QDir().mkpath(QFileInfo(copy).path()))
            QFile::copy(file, copy);
    }
    if (!organisationProblem.isEmpty())
        OwnedFile::tellRefusal(
            organisation,
            ownFileKept ? QCoreApplication::translate("OwnedFile", "%1 %2. It is not read; the program goes on "
                                                                   "without it.")
                              .arg(organisation, organisationProblem)
                        : QCoreApplication::translate("OwnedFile", "%1 %2. It is not read; the support presets in %3 "
                                                                   "are read, but changes to them are not kept after "
                                                                   "the program ends.")
                              .arg(organisation, organisationProblem, file));
    {
        QMutexLocker lock(&pathsMutex());
        movedDefaultSettings = aside.get();
    }
    vexmorConfigDir();
}

QString vexmorQtStateFile()
{
    return vexmorConfigFile(QStringLiteral("QtProject.conf"));
}

bool vexmorPrepareQtState()
{
    if (movedQtState)
        return false;
    static std::unique_ptr<QTemporaryDir> aside;
    if (settingsFileUsable(vexmorQtStateFile(), QStringLiteral("QtProject.conf"), aside))
        return true;
    if (!aside)
        aside = std::make_unique<QTemporaryDir>();
    {
        QMutexLocker lock(&pathsMutex());
        movedQtState = aside.get();
    }
    vexmorConfigDir();
    return false;
}

QString vexmorQtLoggingFile()
{
    const QString location = userConfigHome();
    return location.isEmpty() ? QString() : QDir(location).filePath(QStringLiteral("QtProject/qtlogging.ini"));
}

bool vexmorReadQtLoggingRules()
{
    const QString location = userConfigHome();
    const QString file = vexmorQtLoggingFile();
    const QString problem = location.isEmpty() ? QString() : OwnedFile::readProblem(file, location);
    // A file Qt would skip itself (none, a FIFO, a folder) is not worth a word.
    const bool qtWouldRead = QFileInfo(file).isFile();
    if (problem.isEmpty() || !qtWouldRead) {
        QLoggingCategory::defaultCategory();
        return false;
    }
    // Qt looks for its file only in the user's configuration location of
    // the moment, and only once: an empty one stands in for that look.
    const bool wasSet = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    const QByteArray was = qgetenv("XDG_CONFIG_HOME");
    {
        QTemporaryDir empty;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(empty.isValid() ? empty.path() : QStringLiteral("/nonexistent")));
        QLoggingCategory::defaultCategory();
    }
    if (wasSet)
        qputenv("XDG_CONFIG_HOME", was);
    else
        qunsetenv("XDG_CONFIG_HOME");
    loggingProblemAtStart = problem;
    return true;
}

namespace {

// Judged again for the notice, so that the reason is in the language of
// the moment; as it was found at the start when it has gone since.
QString problemNow(const QString& file, const QString& folder, const QString& atStart)
{
    const QString now = OwnedFile::readProblem(file, folder);
    return now.isEmpty() ? atStart : now;
}

} // namespace

QString vexmorQtLoggingNotice()
{
    if (loggingProblemAtStart.isEmpty())
        return QString();
    const QString file = vexmorQtLoggingFile();
    return QCoreApplication::translate("OwnedFile", "%1 %2. Qt's logging rules there are not read.")
        .arg(file, problemNow(file, userConfigHome(), loggingProblemAtStart));
}

QString vexmorUserDirsFile()
{
    const QString location = userConfigHome();
    return location.isEmpty() ? QString() : QDir(location).filePath(QStringLiteral("user-dirs.dirs"));
}

UserDirsGuard::UserDirsGuard()
{
    if (userDirsStandIn)
        return;
    const QString location = userConfigHome();
    const QString file = vexmorUserDirsFile();
    const QFileInfo info(file);
    if (file.isEmpty() || (!info.exists() && !info.isSymLink()))
        return;
    const QString problem = OwnedFile::readProblem(file, location);
    if (problem.isEmpty())
        return;
    // Qt takes the file from the location it is shown, so it is shown one
    // that holds everything of the user's but that file. What is made in
    // it during the run is gone at the end.
    m_standIn = std::make_unique<QTemporaryDir>();
    const QString standIn = m_standIn->isValid() ? m_standIn->path() : QStringLiteral("/nonexistent");
    if (m_standIn->isValid()) {
        const QDir real(location);
        for (const QString& entry :
             real.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            if (entry != QLatin1String("user-dirs.dirs"))
                QFile::link(real.filePath(entry), QDir(standIn).filePath(entry));
        }
    }
    m_wasSet = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    m_was = qgetenv("XDG_CONFIG_HOME");
    pinnedConfigHome = location;
    userDirsProblemAtStart = problem;
    userDirsStandIn = m_standIn.get();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(standIn));
}

UserDirsGuard::~UserDirsGuard()
{
    if (!m_standIn)
        return;
    if (m_wasSet)
        qputenv("XDG_CONFIG_HOME", m_was);
    else
        qunsetenv("XDG_CONFIG_HOME");
    userDirsStandIn = nullptr;
    pinnedConfigHome.clear();
    // Its links go, never what they lead to.
    m_standIn.reset();
}

bool UserDirsGuard::hidden() const
{
    return m_standIn != nullptr;
}

QString vexmorUserDirsNotice()
{
    if (userDirsProblemAtStart.isEmpty())
        return QString();
    const QString file = vexmorUserDirsFile();
    return QCoreApplication::translate("OwnedFile", "%1 %2. It is not read; the documents, desktop and download "
                                                    "folders are taken to be those in %3.")
        .arg(file, problemNow(file, userConfigHome(), userDirsProblemAtStart), QDir::homePath());
}

QtStateGuard::QtStateGuard()
{
    // Shares Qt's file while the chooser is open: what Qt could not write
    // is still to be written when this one syncs at the end.
    if (vexmorPrepareQtState())
        m_keeper = std::make_unique<QSettings>(QSettings::UserScope, QStringLiteral("QtProject"));
}

QtStateGuard::~QtStateGuard()
{
    if (m_keeper)
        SyncSettingsAndReport(*m_keeper);
}
