#include "RecipeFields.h"

#include <QLineEdit>

void showRecipeFields(const RecipePara& r, const RecipeFieldEdits& f)
{
    auto num = [](float v) { return QString::number(v, 'g', 6); };
    f.exposure->setText(QString::number(r.exposure_tm));
    f.bottomExposure->setText(QString::number(r.bottom_exposure));
    f.bottomLayers->setText(num(r.bottom_layers));
    f.liftDist1->setText(num(r.lift_dist1));
    f.liftDist2->setText(num(r.lift_dist2));
    f.liftSpeed->setText(num(r.lift_speed));
    f.stableTime->setText(QString::number(r.bottomMaterialStable));
    f.liftSpeed1->setText(num(r.lift_first_bottom_speed));
}

bool recipeDeletable(const QList<RecipePara>& list, const QString& name)
{
    for (const RecipePara& r : list)
        if (r.name == name)
            return r.editable;
    return true;
}
