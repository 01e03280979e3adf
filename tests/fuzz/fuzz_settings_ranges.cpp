// Feeds arbitrary bytes, as an ini file, to the readers that check stored
// values against the ranges a printer takes: the recipe store's groups, the
// material list and the light settings' keys.
#include "MaterialList.h"
#include "RecipeStore.h"
#include "fuzz_input.h"
#include "settingsrangecheck.h"

#include <QSettings>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString path = FuzzFolder().filePath("fuzz.ini");
    if (!WriteFuzzInput(path, data, size))
        return 0;
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
