// Feeds arbitrary bytes, as an ini file, to the readers that check stored
// values against the ranges a printer takes: the recipe store's groups, the
// material list and the light settings' keys.
#include "MaterialList.h"
#include "RecipeStore.h"
#include "settingsrangecheck.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath("fuzz.ini");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    QSettings settings(path, QSettings::IniFormat);
    QList<RecipePara> recipes;
    RecipePara scratch;
    RecipeStore::readRecipeGroup(settings, recipes, scratch);
    const QList<RecipePara> materials = MaterialList::read(settings, MaterialList::StableRule::OwnKey);
    settings.beginReadArray(QStringLiteral("LightConfig"));
    settings.setArrayIndex(0);
    RangeCheckedGroup light(settings, path, QStringLiteral("LightConfig/1/"), &DLP::lightKeyRange);
    for (const char* key : {"longflip", "shortflip", "light_pwm", "homeadjx", "homeadjy", "homeadjz"})
        (void)storedNumber(light.value(QLatin1String(key)));
    settings.endArray();
    (void)recipes.size();
    (void)materials.size();
    return 0;
}
