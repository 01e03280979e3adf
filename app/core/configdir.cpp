#include "configdir.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

QString vexmorConfigDir()
{
    QString dir = qEnvironmentVariable("VEXMOR_CONFIG_DIR");
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::ConfigLocation);
    dir = QDir::cleanPath(dir);
    QDir().mkpath(dir);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir);
    return dir;
}

QString vexmorConfigFile(const QString& name)
{
    QString n = name;
    while (n.startsWith('/'))
        n.remove(0, 1);
    return QDir(vexmorConfigDir()).filePath(n);
}
