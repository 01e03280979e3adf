#include "configdir.h"

#include <QDir>
#include <QSettings>
#include <QCoreApplication>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "ownedfile.h"

namespace {
// Where plain QSettings objects go when the user's file must be left alone.
QTemporaryDir* movedDefaultSettings = nullptr;
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
