#include "language.h"

#include "configdir.h"
#include "ownedfile.h"

#include <QSettings>

QString vexmorTranslationFile()
{
    const QString path = vexmorConfigFile(QStringLiteral("VexmorMachine.ini"));
    const std::unique_ptr<QSettings> settings = OwnedFile::openSettings(path);
    if (!settings)
        return QStringLiteral(":/Resources/lang/en.qm");
    // The array is opened without an index: the key read is MachineConfig/Language.
    settings->beginReadArray(QStringLiteral("MachineConfig"));
    const QString language = settings->value(QStringLiteral("Language")).toString();
    settings->endArray();
    if (!language.isEmpty() && language != QLatin1String("English"))
        return QStringLiteral(":/Resources/lang/zh-cn.qm");
    return QStringLiteral(":/Resources/lang/en.qm");
}
