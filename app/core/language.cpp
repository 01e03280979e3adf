#include "language.h"

#include "configdir.h"

#include <QSettings>

QString vexmorTranslationFile()
{
    QSettings settings(vexmorConfigFile(QStringLiteral("VexmorMachine.ini")), QSettings::IniFormat);
    // The array is opened without an index: the key read is MachineConfig/Language.
    settings.beginReadArray(QStringLiteral("MachineConfig"));
    const QString language = settings.value(QStringLiteral("Language")).toString();
    settings.endArray();
    if (!language.isEmpty() && language != QLatin1String("English"))
        return QStringLiteral(":/Resources/lang/zh-cn.qm");
    return QStringLiteral(":/Resources/lang/en.qm");
}
