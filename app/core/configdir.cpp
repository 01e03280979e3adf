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

void vexmorPrepareDefaultSettings()
{
    vexmorPrepareQtState();
    if (movedDefaultSettings || OwnedFile::prepareSettings(vexmorDefaultSettingsFile()))
        return;
    static QTemporaryDir aside;
    {
        QMutexLocker lock(&pathsMutex());
        movedDefaultSettings = &aside;
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
    if (OwnedFile::prepareSettings(vexmorQtStateFile()))
        return true;
    static QTemporaryDir aside;
    {
        QMutexLocker lock(&pathsMutex());
        movedQtState = &aside;
    }
    vexmorConfigDir();
    return false;
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
