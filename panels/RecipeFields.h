#pragma once

#include "RecipePara.h"

#include <QList>

class QLineEdit;

// The eight recipe fields a panel shows (curing, burn-in, burn-in range, the
// two lifts and their speeds, stable time), written the same way everywhere:
// integers in decimal, floats with up to 6 significant digits.
struct RecipeFieldEdits
{
    QLineEdit* exposure;
    QLineEdit* bottomExposure;
    QLineEdit* bottomLayers;
    QLineEdit* liftDist1;
    QLineEdit* liftDist2;
    QLineEdit* liftSpeed;
    QLineEdit* stableTime;
    QLineEdit* liftSpeed1;
};

void showRecipeFields(const RecipePara& r, const RecipeFieldEdits& fields);

// Delete is offered for a user recipe and for a name no recipe has; the first
// recipe of that name decides.
bool recipeDeletable(const QList<RecipePara>& list, const QString& name);
