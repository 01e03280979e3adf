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
        dir = QStandardPaths::writableLocation(QStandardPaths::ConfigLocation);
    dir = QDir::cleanPath(dir);
    QDir().mkpath(dir);
    static const bool checkSyncs = [] {
        SetSettingsSyncCheck(syncAndTell);
        return true;
    }();
    Q_UNUSED(checkSyncs);
    QMutexLocker lock(&pathsMutex());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir);
    // Qt's own objects (the file chooser's state) are of the native format.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       movedQtState ? movedQtState->path()
                                    : (movedDefaultSettings ? movedDefaultSettings->path() : dir));
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
    if (!organisationProblem.isEmpty())
        OwnedFile::tellRefusal(organisation,
                               QCoreApplication::translate("OwnedFile", "%1 %2. It is not read; the program goes on "
                                                                        "without it.")
                                   .arg(organisation, organisationProblem));
    const bool usable = settingsFileUsable(file, name, aside);
    if (usable && organisationProblem.isEmpty())
        return;
    if (!aside)
        aside = std::make_unique<QTemporaryDir>();
    // Sent aside for the organisation's file alone: the program's own values go along.
    const QString copy = QDir(aside->path()).filePath(name);
    if (usable && QFileInfo(file).isFile() && QDir().mkpath(QFileInfo(copy).path()))
        QFile::copy(file, copy);
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
    const QString location = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return location.isEmpty() ? QString() : QDir(location).filePath(QStringLiteral("QtProject/qtlogging.ini"));
}

QString vexmorReadQtLoggingRules()
{
    const QString location = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString file = vexmorQtLoggingFile();
    const QString problem = location.isEmpty() ? QString() : OwnedFile::readProblem(file, location);
    // A file Qt would skip itself (none, a FIFO, a folder) is not worth a word.
    const bool qtWouldRead = QFileInfo(file).isFile();
    if (problem.isEmpty() || !qtWouldRead) {
        QLoggingCategory::defaultCategory();
        return QString();
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
    return QCoreApplication::translate("OwnedFile", "%1 %2. Qt's logging rules there are not read.")
        .arg(file, problem);
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
