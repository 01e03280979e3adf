#include "MaterialList.h"

#include "IniValues.h"
#include "RecipeStore.h"
#include "configdir.h"
#include "settingsrangecheck.h"
#include "inifileupdate.h"

#include <QDebug>
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
    // The array is the program's; the rest of the file stays as it is.
    IniFileUpdate file(s.fileName());
    file.removeGroup(kArray);
    for (int i = 0; i < list.size(); ++i) {
        const RecipePara& r = list.at(i);
        const QString at = QLatin1String(kArray) + QLatin1Char('/') + QString::number(i + 1) + QLatin1Char('/');
        // A value refused on reading goes back as it was stored.
        auto put = [&](const char* key, const QVariant& value) {
            file.setValue(at + key, r.refusedValues.value(QLatin1String(key), value));
        };
        file.setValue(at + "editable", r.editable);
        put("exposure_tm", r.exposure_tm);
        put("bottom_exposure", r.bottom_exposure);
        put("bottom_layers", typed(r.bottom_layers));
        put("middle_layers", typed(r.middle_layers));
        put("MaterialStable", r.MaterialStable);
        put("BottomMaterialStable", r.bottomMaterialStable);
        put("lift_bottom_layer", typed(float(r.lift_bottom_layer)));
        put("lift_first_bottom_speed", typed(r.lift_first_bottom_speed));
        put("lift_bottom_speed", typed(r.lift_bottom_speed));
        put("lift_dist1", typed(r.lift_dist1));
        put("lift_dist2", typed(r.lift_dist2));
        put("lift_speed", typed(r.lift_speed));
        put("retract_speed", typed(r.retract_speed));
        put("tilt_dist1", typed(r.tilt_dist1));
        put("tilt_speed1", typed(r.tilt_speed1));
        put("tilt_dist2", typed(r.tilt_dist2));
        put("tilt_speed2", typed(r.tilt_speed2));
        put("retract_speed_2", typed(r.retract_speed_2));
        put("tilt_near_dist", typed(r.tilt_near_dist));
        put("tilt_near_dist2", typed(r.tilt_near_dist2));
        put("tilt_near_speed", typed(r.tilt_near_speed));
        put("rotate_dist", typed(r.rotate_dist));
        put("rotate_speed", typed(r.rotate_speed));
        put("Dp", typed(r.Dp));
        file.setValue(at + "name", r.name);
        file.setValue(at + "info", r.info);
    }
    file.setValue(QLatin1String(kArray) + QStringLiteral("/size"), list.size());
    // Written now: the caller must learn of a failure.
    return file.commitAndReread(s);
}

QList<RecipePara> read(QSettings& s, StableRule rule)
{
    using namespace IniValues;
    QList<RecipePara> list;
    // The count is data like any other: the entries that exist are read, in
    // their order, whatever the count says and whatever numbers are missing.
    s.beginGroup(kArray);
    QList<int> numbers;
    for (const QString& group : s.childGroups()) {
        bool ok = false;
        const int n = group.toInt(&ok);
        if (ok && n >= 1 && group == QString::number(n))
            numbers << n;
    }
    s.endGroup();
    std::sort(numbers.begin(), numbers.end());
    const int size = s.beginReadArray(kArray);
    if (size != numbers.size() || (!numbers.isEmpty() && numbers.last() != numbers.size())) {
        QStringList present;
        for (int n : qAsConst(numbers))
            present << QString::number(n);
        qWarning().noquote() << QStringLiteral("The \"%1\" list of %2 says %3 entries and holds entries %4; the "
                                               "entries held are read")
                                    .arg(QLatin1String(kArray), s.fileName())
                                    .arg(size)
                                    .arg(present.isEmpty() ? QStringLiteral("none") : present.join(QStringLiteral(", ")));
    }
    for (int n : qAsConst(numbers)) {
        s.setArrayIndex(n - 1);
        RangeCheckedGroup checked(s, s.fileName(), QStringLiteral("%1/%2/").arg(QLatin1String(kArray)).arg(n),
                                  &DLP::materialKeyRange);
        RecipePara r;
        r.editable = s.value("editable").toBool();
        r.exposure_tm = readInt(checked.value("exposure_tm"));
        r.bottom_exposure = readInt(checked.value("bottom_exposure"));
        r.bottom_layers = readFloat(checked.value("bottom_layers"));
        r.middle_layers = readFloat(checked.value("middle_layers"));
        r.bottomMaterialStable = readTruncated(checked.value("BottomMaterialStable"));
        r.MaterialStable =
            rule == StableRule::OwnKey ? readInt(checked.value("MaterialStable")) : r.bottomMaterialStable;
        r.lift_bottom_layer = readInt(checked.value("lift_bottom_layer"));
        r.lift_first_bottom_speed = float(readInt(checked.value("lift_first_bottom_speed")));
        r.lift_bottom_speed = float(readInt(checked.value("lift_bottom_speed")));
        r.lift_dist1 = float(readInt(checked.value("lift_dist1")));
        r.lift_dist2 = float(readInt(checked.value("lift_dist2")));
        r.lift_speed = float(readInt(checked.value("lift_speed")));
        r.retract_speed = float(readInt(checked.value("retract_speed")));
        r.tilt_dist1 = readFloat(checked.value("tilt_dist1"));
        r.tilt_speed1 = readFloat(checked.value("tilt_speed1"));
        r.tilt_dist2 = readFloat(checked.value("tilt_dist2"));
        r.tilt_speed2 = readFloat(checked.value("tilt_speed2"));
        r.retract_speed_2 = readFloat(checked.value("retract_speed_2"));
        r.tilt_near_dist = readFloat(checked.value("tilt_near_dist"));
        r.tilt_near_dist2 = readFloat(checked.value("tilt_near_dist2"));
        r.tilt_near_speed = readFloat(checked.value("tilt_near_speed"));
        r.rotate_dist = readFloat(checked.value("rotate_dist"));
        r.rotate_speed = readFloat(checked.value("rotate_speed"));
        r.Dp = readFloat(checked.value("Dp"));
        r.name = s.value("name").toString();
        r.info = s.value("info").toString();
        r.valueProblem = checked.problem();
        r.refusedValues = checked.refused();
        list.append(r);
    }
    s.endArray();
    return list;
}

void keepRefusedUnlessEdited(const RecipePara& before, RecipePara& after)
{
    using Field = double (*)(const RecipePara&);
    static const std::pair<const char*, Field> fields[] = {
        {"exposure_tm", [](const RecipePara& r) { return double(r.exposure_tm); }},
        {"bottom_exposure", [](const RecipePara& r) { return double(r.bottom_exposure); }},
        {"bottom_layers", [](const RecipePara& r) { return double(r.bottom_layers); }},
        {"middle_layers", [](const RecipePara& r) { return double(r.middle_layers); }},
        {"MaterialStable", [](const RecipePara& r) { return double(r.MaterialStable); }},
        {"BottomMaterialStable", [](const RecipePara& r) { return double(r.bottomMaterialStable); }},
        {"lift_bottom_layer", [](const RecipePara& r) { return double(r.lift_bottom_layer); }},
        {"lift_first_bottom_speed", [](const RecipePara& r) { return double(r.lift_first_bottom_speed); }},
        {"lift_bottom_speed", [](const RecipePara& r) { return double(r.lift_bottom_speed); }},
        {"lift_dist1", [](const RecipePara& r) { return double(r.lift_dist1); }},
        {"lift_dist2", [](const RecipePara& r) { return double(r.lift_dist2); }},
        {"lift_speed", [](const RecipePara& r) { return double(r.lift_speed); }},
        {"retract_speed", [](const RecipePara& r) { return double(r.retract_speed); }},
        {"tilt_dist1", [](const RecipePara& r) { return double(r.tilt_dist1); }},
        {"tilt_speed1", [](const RecipePara& r) { return double(r.tilt_speed1); }},
        {"tilt_dist2", [](const RecipePara& r) { return double(r.tilt_dist2); }},
        {"tilt_speed2", [](const RecipePara& r) { return double(r.tilt_speed2); }},
        {"retract_speed_2", [](const RecipePara& r) { return double(r.retract_speed_2); }},
        {"tilt_near_dist", [](const RecipePara& r) { return double(r.tilt_near_dist); }},
        {"tilt_near_dist2", [](const RecipePara& r) { return double(r.tilt_near_dist2); }},
        {"tilt_near_speed", [](const RecipePara& r) { return double(r.tilt_near_speed); }},
        {"rotate_dist", [](const RecipePara& r) { return double(r.rotate_dist); }},
        {"rotate_speed", [](const RecipePara& r) { return double(r.rotate_speed); }},
        {"Dp", [](const RecipePara& r) { return double(r.Dp); }},
    };
    for (const auto& [key, field] : fields)
        if (field(before) != field(after))
            after.refusedValues.remove(QLatin1String(key));
    if (after.refusedValues.isEmpty())
        after.valueProblem.clear();
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
