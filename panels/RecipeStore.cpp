#include "RecipeStore.h"

#include "IniValues.h"
#include "configdir.h"
#include "inifileupdate.h"
#include "ownedfile.h"
#include "dlp/saturatingcast.h"
#include "settingsrangecheck.h"

#include <QComboBox>
#include <QSettings>

#include <cmath>

namespace {

const char* const kGroup = "Recipe";

struct Preset { const char* name; int exposure; int bottomExposure; };

const Preset kLaterPresets[] = {
    {"Vexmor3D Water Washable for 0.025mm", 6000, 80000},
    {"Vexmor3D Water Washable for 0.05mm", 8000, 80000},
    {"Vexmor3D Water Washable for 0.1mm", 12000, 80000},
    {"Vexmor3D Beige Model for 0.05mm", 10000, 90000},
    {"Vexmor3D Dental Model for 0.05mm", 6000, 80000},
    {"Vexmor3D Jewellery Castable Resin 0.05mm", 9000, 80000},
    {"Vexmor3D Nylon Like Resin 0.05mm", 14000, 80000},
};

const Preset kMonoPresets[] = {
    {"Vexmor3D Resin 50um", 2000, 20000},
    {"Vexmor3D Resin 25um", 1500, 20000},
    {"Vexmor3D Resin 100um", 3000, 20000},
};

using IniValues::readFloat;
using IniValues::readInt;
using IniValues::readTruncated;

void removeMatchingItem(RecipePanel* panel, int index, const QString& name)
{
    if (!panel || !panel->recipeComboBox())
        return;
    QComboBox* box = panel->recipeComboBox();
    if (index < box->count() && box->itemText(index) == name)
        box->removeItem(index);
}

} // namespace

RecipeStore::RecipeStore() = default;
RecipeStore::~RecipeStore() = default;

QString RecipeStore::recipeFilePath(const QString& machine)
{
    return vexmorConfigFile(machine + QStringLiteral("Recipe.ini"));
}

bool RecipeStore::openSettings()
{
    m_pSettings = OwnedFile::openSettings(recipeFilePath(m_strMachine));
    return m_pSettings != nullptr;
}

void RecipeStore::setDefaultParaX(RecipePara& p, int layerUm)
{
    p.editable = false;
    switch (layerUm) {
    case 25: p.exposure_tm = 6000; p.name = QStringLiteral("Vexmor3D Standard Rapid for 0.025mm"); break;
    case 50: p.exposure_tm = 8000; p.name = QStringLiteral("Vexmor3D Standard Rapid for 0.05mm"); break;
    case 100: p.exposure_tm = 12000; p.name = QStringLiteral("Vexmor3D Standard Rapid for 0.1mm"); break;
    default: break;
    }
    p.bottom_exposure = 80000;
    p.MaterialStable = 1000;
    p.bottomMaterialStable = 1000;
    p.lift_bottom_layer = 10;
    p.bottom_layers = 0.3f;
    p.middle_layers = 0.6f;
    p.lift_first_bottom_speed = 90;
    p.lift_bottom_speed = 90;
    p.lift_dist1 = 4;
    p.lift_dist2 = 2;
    p.lift_speed = 150;
    p.retract_speed = 150;
    p.tilt_dist1 = 5;
    p.tilt_speed1 = 60;
    p.tilt_dist2 = 10;
    p.tilt_speed2 = 600;
    p.retract_speed_2 = 600;
    p.tilt_near_dist = 2;
    p.tilt_near_dist2 = 0.2f;
    p.tilt_near_speed = 60;
    p.rotate_dist = 1;
    p.rotate_speed = 6;
    p.Dp = 150;
    if (p.info.isNull())
        p.info = QStringLiteral("Vexmor3D Technology");
}

void RecipeStore::readIniFileX()
{
    m_listRecipe.clear();
    RecipePara scratch;
    const QString& m = m_strMachine;
    if (m == "Pellar10" || m == "Pellar30" || m == "Pellar120" || m == "Pellar4K") {
        for (int um : {25, 50, 100}) {
            setDefaultParaX(scratch, um);
            m_listRecipe.append(scratch);
        }
        for (const Preset& p : kLaterPresets) {
            scratch.exposure_tm = p.exposure;
            scratch.bottom_exposure = p.bottomExposure;
            scratch.name = QString::fromUtf8(p.name);
            m_listRecipe.append(scratch);
        }
    } else if (m == "Pellar4Kmono") {
        setDefaultParaX(scratch, 50);
        for (const Preset& p : kMonoPresets) {
            scratch.exposure_tm = p.exposure;
            scratch.bottom_exposure = p.bottomExposure;
            scratch.name = QString::fromUtf8(p.name);
            m_listRecipe.append(scratch);
        }
    } else {
        // A model without presets still needs defined values for what the
        // file does not carry.
        setDefaultParaX(scratch, 100);
        scratch.info = QString();
    }

    m_listOnFile.clear();
    if (!openSettings())
        return;
    const int presets = m_listRecipe.size();
    readRecipeGroup(*m_pSettings, m_listRecipe, scratch);
    m_listOnFile = m_listRecipe.mid(presets);
}

void RecipeStore::readRecipeGroup(QSettings& settings, QList<RecipePara>& list, RecipePara& scratch)
{
    settings.beginGroup(kGroup);
    for (const QString& group : settings.childGroups()) {
        settings.beginGroup(group);
        RangeCheckedGroup checked(settings, settings.fileName(), QLatin1String(kGroup) + '/' + group + '/',
                                  &DLP::recipeKeyRange);
        scratch.name = group;
        scratch.editable = true;
        scratch.exposure_tm = readInt(checked.value("CuringTime"));
        scratch.bottom_exposure = readInt(checked.value("BurninTime"));
        scratch.bottomMaterialStable = readTruncated(checked.value("StableTime"));
        scratch.bottom_layers = readFloat(checked.value("BurninRange"));
        scratch.lift_dist1 = static_cast<float>(readInt(checked.value("LiftDist1")));
        scratch.lift_first_bottom_speed = static_cast<float>(readInt(checked.value("LiftSpeed1")));
        scratch.lift_dist2 = static_cast<float>(readInt(checked.value("LiftDist2")));
        scratch.lift_speed = static_cast<float>(readInt(checked.value("LiftSpeed2")));
        scratch.valueProblem = checked.problem();
        scratch.refusedValues = checked.refused();
        settings.endGroup();
        list.append(scratch);
    }
    settings.endGroup();
}

bool RecipeStore::writeIniFileX()
{
    if (!openSettings())
        return false;
    if (!writeRecipeFile(*m_pSettings, m_listRecipe, &m_listOnFile))
        return false;
    m_listOnFile.clear();
    for (const RecipePara& r : qAsConst(m_listRecipe))
        if (r.editable)
            m_listOnFile.append(r);
    return true;
}

namespace {

// The eight stored values as the reader gives them back.
bool sameStoredValues(const RecipePara& a, const RecipePara& b)
{
    return a.exposure_tm == b.exposure_tm && a.bottom_exposure == b.bottom_exposure &&
           a.bottomMaterialStable == b.bottomMaterialStable && a.bottom_layers == b.bottom_layers &&
           a.lift_dist1 == b.lift_dist1 && a.lift_first_bottom_speed == b.lift_first_bottom_speed &&
           a.lift_dist2 == b.lift_dist2 && a.lift_speed == b.lift_speed;
}

const RecipePara* findUserRecipe(const QList<RecipePara>& list, const QString& name)
{
    for (const RecipePara& r : list)
        if (r.editable && r.name == name)
            return &r;
    return nullptr;
}

} // namespace

bool RecipeStore::writeRecipeFile(QSettings& settings, const QList<RecipePara>& list, const QList<RecipePara>* asRead)
{
    IniFileUpdate file(settings.fileName());
    const QString group = QLatin1String(kGroup) + QLatin1Char('/');
    if (asRead)
        for (const RecipePara& was : *asRead)
            if (!findUserRecipe(list, was.name))
                file.removeGroup(group + was.name);
    for (const RecipePara& r : list) {
        if (!r.editable)
            continue;
        // A recipe nobody changed keeps its group as it is, hand-made keys
        // and missing ones alike.
        if (asRead) {
            const RecipePara* was = findUserRecipe(*asRead, r.name);
            if (was && sameStoredValues(*was, r))
                continue;
        }
        const QString at = group + r.name + QLatin1Char('/');
        // A value refused on reading goes back as it was stored.
        auto put = [&](const char* key, const QVariant& value) {
            file.setValue(at + key, r.refusedValues.value(QLatin1String(key), value));
        };
        put("CuringTime", r.exposure_tm);
        put("BurninTime", r.bottom_exposure);
        put("StableTime", r.bottomMaterialStable);
        put("BurninRange", QVariant::fromValue<float>(r.bottom_layers));
        put("LiftDist1", QVariant::fromValue<float>(r.lift_dist1));
        put("LiftSpeed1", QVariant::fromValue<float>(r.lift_first_bottom_speed));
        put("LiftDist2", QVariant::fromValue<float>(r.lift_dist2));
        put("LiftSpeed2", QVariant::fromValue<float>(r.lift_speed));
    }
    // Written now, so that a failure can be told while the user is still there.
    return file.commitAndReread(settings);
}

bool RecipeStore::deleteRecipe(const QString& name)
{
    for (int i = 0; i < m_listRecipe.size(); ++i) {
        if (m_listRecipe.at(i).name == name)
            m_listRecipe.removeAt(i);
        removeMatchingItem(m_pSaveWidget, i, name);
        removeMatchingItem(m_pImportWidget, i, name);
    }
    return writeIniFileX();
}

bool RecipeStore::isValidRecipeName(const QString& name)
{
    if (name.trimmed().isEmpty())
        return false;
    // QSettings splits a group name at either slash into nested groups.
    return !name.contains('/') && !name.contains('\\');
}
