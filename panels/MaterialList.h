#pragma once

#include "RecipePara.h"

#include <QList>
#include <QString>

class QSettings;

// The "Materials" array: every field of a recipe per entry. Kept by the save
// panel (per printer model) and by the earlier print panel.
namespace MaterialList {

// Where "MaterialStable" comes from on reading: the save panel copies the
// bottom stable time there, the print panel reads its own key.
enum class StableRule { FromBottom, OwnKey };

// "<config>/<model>Material.ini": a file of its own, so that the recipe
// store's writer (which clears its whole file) never meets this array.
QString filePath(const QString& machine);

// Replaces the "Materials" array, leaving everything else in the file, and
// writes the file now; false when it could not be written.
bool write(QSettings& settings, const QList<RecipePara>& list);
QList<RecipePara> read(QSettings& settings, StableRule rule);

// After the form was read into `after` (an entry as `before` held it): values
// the reader refused stay as stored unless the form changed them; with none
// left the entry may be printed again.
void keepRefusedUnlessEdited(const RecipePara& before, RecipePara& after);

// The save panel's default sets.
void setDefaultParaX(RecipePara& para, int layerUm);
void setDefaultPara(RecipePara& para);
// The print panel's default material.
void setPrintDefaultPara(RecipePara& para);

} // namespace MaterialList
