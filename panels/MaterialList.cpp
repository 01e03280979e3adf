#include "MaterialList.h"

#include "IniValues.h"
#include "RecipeStore.h"
#include "configdir.h"

#include <QSettings>

#include <algorithm>

namespace MaterialList {

namespace {

const char* const kArray = "Materials";

QVariant typed(float f)
{
    return QVariant::fromValue<float>(f);
}

} // namespace

QString filePath(const QString& machine)
{
    return vexmorConfigFile(machine + QStringLiteral("Material.ini"));
}

bool write(QSettings& s, const QList<RecipePara>& list)
{
    s.remove(kArray);
    s.beginWriteArray(kArray);
    for (int i = 0; i < list.size(); ++i) {
        const RecipePara& r = list.at(i);
        s.setArrayIndex(i);
        s.setValue("editable", r.editable);
        s.setValue("exposure_tm", r.exposure_tm);
        s.setValue("bottom_exposure", r.bottom_exposure);
        s.setValue("bottom_layers", typed(r.bottom_layers));
        s.setValue("middle_layers", typed(r.middle_layers));
        s.setValue("MaterialStable", r.MaterialStable);
        s.setValue("BottomMaterialStable", r.bottomMaterialStable);
        s.setValue("lift_bottom_layer", typed(float(r.lift_bottom_layer)));
        s.setValue("lift_first_bottom_speed", typed(r.lift_first_bottom_speed));
        s.setValue("lift_bottom_speed", typed(r.lift_bottom_speed));
        s.setValue("lift_dist1", typed(r.lift_dist1));
        s.setValue("lift_dist2", typed(r.lift_dist2));
        s.setValue("lift_speed", typed(r.lift_speed));
        s.setValue("retract_speed", typed(r.retract_speed));
        s.setValue("tilt_dist1", typed(r.tilt_dist1));
        s.setValue("tilt_speed1", typed(r.tilt_speed1));
        s.setValue("tilt_dist2", typed(r.tilt_dist2));
        s.setValue("tilt_speed2", typed(r.tilt_speed2));
        s.setValue("retract_speed_2", typed(r.retract_speed_2));
        s.setValue("tilt_near_dist", typed(r.tilt_near_dist));
        s.setValue("tilt_near_dist2", typed(r.tilt_near_dist2));
        s.setValue("tilt_near_speed", typed(r.tilt_near_speed));
        s.setValue("rotate_dist", typed(r.rotate_dist));
        s.setValue("rotate_speed", typed(r.rotate_speed));
        s.setValue("Dp", typed(r.Dp));
        s.setValue("name", r.name);
        s.setValue("info", r.info);
    }
    s.endArray();
    // QSettings writes lazily and silently; the caller must learn of a failure.
    s.sync();
    return s.status() == QSettings::NoError;
}

QList<RecipePara> read(QSettings& s, StableRule rule)
{
    using namespace IniValues;
    QList<RecipePara> list;
    // The count is data like any other: only entries that exist are read.
    s.beginGroup(kArray);
    const int stored = s.childGroups().size();
    s.endGroup();
    const int size = s.beginReadArray(kArray);
    const int count = std::max(0, std::min(size, stored));
    for (int i = 0; i < count; ++i) {
        s.setArrayIndex(i);
        RecipePara r;
        r.editable = s.value("editable").toBool();
        r.exposure_tm = readInt(s.value("exposure_tm"));
        r.bottom_exposure = readInt(s.value("bottom_exposure"));
        r.bottom_layers = readFloat(s.value("bottom_layers"));
        r.middle_layers = readFloat(s.value("middle_layers"));
        r.bottomMaterialStable = readTruncated(s.value("BottomMaterialStable"));
        r.MaterialStable = rule == StableRule::OwnKey ? readInt(s.value("MaterialStable")) : r.bottomMaterialStable;
        r.lift_bottom_layer = readInt(s.value("lift_bottom_layer"));
        r.lift_first_bottom_speed = float(readInt(s.value("lift_first_bottom_speed")));
        r.lift_bottom_speed = float(readInt(s.value("lift_bottom_speed")));
        r.lift_dist1 = float(readInt(s.value("lift_dist1")));
        r.lift_dist2 = float(readInt(s.value("lift_dist2")));
        r.lift_speed = float(readInt(s.value("lift_speed")));
        r.retract_speed = float(readInt(s.value("retract_speed")));
        r.tilt_dist1 = readFloat(s.value("tilt_dist1"));
        r.tilt_speed1 = readFloat(s.value("tilt_speed1"));
        r.tilt_dist2 = readFloat(s.value("tilt_dist2"));
        r.tilt_speed2 = readFloat(s.value("tilt_speed2"));
        r.retract_speed_2 = readFloat(s.value("retract_speed_2"));
        r.tilt_near_dist = readFloat(s.value("tilt_near_dist"));
        r.tilt_near_dist2 = readFloat(s.value("tilt_near_dist2"));
        r.tilt_near_speed = readFloat(s.value("tilt_near_speed"));
        r.rotate_dist = readFloat(s.value("rotate_dist"));
        r.rotate_speed = readFloat(s.value("rotate_speed"));
        r.Dp = readFloat(s.value("Dp"));
        r.name = s.value("name").toString();
        r.info = s.value("info").toString();
        list.append(r);
    }
    s.endArray();
    return list;
}

void setDefaultParaX(RecipePara& p, int layerUm)
{
    RecipeStore::setDefaultParaX(p, layerUm);
    switch (layerUm) {
    case 25: p.exposure_tm = 4000; p.name = QStringLiteral("Vexmor3D Resin 25um"); break;
    case 50: p.exposure_tm = 6000; p.name = QStringLiteral("Vexmor3D Resin 50um"); break;
    case 100: p.exposure_tm = 8000; p.name = QStringLiteral("Vexmor3D Resin 100um"); break;
    default: break;
    }
    p.lift_first_bottom_speed = 48;
    p.lift_bottom_speed = 48;
    p.lift_dist1 = 2;
    p.lift_dist2 = 2;
    p.lift_speed = 300;
    p.retract_speed = 300;
}

void setDefaultPara(RecipePara& p)
{
    // No layer size: the shared numbers only; exposure and name set here.
    setDefaultParaX(p, 0);
    p.exposure_tm = 6000;
    if (p.name.isNull())
        p.name = QStringLiteral("Vexmor3D Lcd Material 001");
}

void setPrintDefaultPara(RecipePara& p)
{
    // The save panel's default with longer stable times and a longer second lift.
    setDefaultPara(p);
    p.MaterialStable = 6000;
    p.bottomMaterialStable = 80000;
    p.lift_dist2 = 5;
}

} // namespace MaterialList
