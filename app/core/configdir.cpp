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

namespace {
// Where plain QSettings objects go when the user's file must be left alone.
QTemporaryDir* movedDefaultSettings = nullptr;

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
        OwnedFile::tellWriteFailure(name, QStringLiteral("cannot prepare %1").arg(name));
        return false;
    }
    // Every byte on the disk, or the old file stays.
    if (device.write(text) != text.size() || (file && !file->flush())) {
        const QString why = file ? WriteFailureSentence(*file) : device.errorString();
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
}

QString vexmorConfigDir()
{
    QString dir = qEnvironmentVariable("VEXMOR_CONFIG_DIR");
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::ConfigLocation);
    dir = QDir::cleanPath(dir);
    QDir().mkpath(dir);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       movedDefaultSettings ? movedDefaultSettings->path() : dir);
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
    if (movedDefaultSettings || OwnedFile::prepareSettings(vexmorDefaultSettingsFile()))
        return;
    static QTemporaryDir aside;
    movedDefaultSettings = &aside;
    vexmorConfigDir();
}
