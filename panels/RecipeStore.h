#pragma once

#include "RecipePara.h"

#include <QList>
#include <QString>

#include <memory>

class QComboBox;
class QSettings;

// What the store needs of a panel that lists recipes (the save panel and the
// converter panel): its recipe chooser, a way to show a recipe, and showing
// the panel again after the editor closes.
class RecipePanel
{
public:
    virtual ~RecipePanel() = default;
    virtual QComboBox* recipeComboBox() = 0;
    virtual void updateUIX(const QString& name) = 0;
    virtual void showPanel() {}
};

// The recipes of the current printer model: its built-in presets followed by
// the user's recipes from "<config>/<model>Recipe.ini". No widgets; the
// recipe editor owns one and exposes it.
class RecipeStore
{
public:
    RecipeStore();
    ~RecipeStore();

    void setMachine(const QString& machine) { m_strMachine = machine; }
    const QString& machine() const { return m_strMachine; }

    // Rebuilds the list: presets, then the file's recipes in QSettings' order.
    void readIniFileX();
    // Brings the file in line with the user recipes: a recipe added or
    // changed since the last read or write gets its eight keys written, a
    // deleted one loses its group; everything else in the file stays as it
    // is. False when it could not be written (the list in memory stays).
    bool writeIniFileX();
    static void setDefaultParaX(RecipePara& para, int layerUm);
    // The file code itself, for other holders of a recipe list: appends the
    // "Recipe" groups (user recipes) to the list, reusing one scratch record;
    // writes the list's user recipes that differ from `asRead` (all of them
    // without it) and removes the groups of `asRead`'s recipes the list no
    // longer holds. Only the recipes' own keys are written.
    static void readRecipeGroup(QSettings& settings, QList<RecipePara>& list, RecipePara& scratch);
    static bool writeRecipeFile(QSettings& settings, const QList<RecipePara>& list,
                                const QList<RecipePara>* asRead = nullptr);
    // Removes the recipe from the list and both panels' choosers, then
    // rewrites the file; returns the write's result.
    bool deleteRecipe(const QString& name);

    // A name that can be stored as a group and read back unchanged.
    static bool isValidRecipeName(const QString& name);
    static QString recipeFilePath(const QString& machine);

    QList<RecipePara> m_listRecipe;
    RecipePanel* m_pSaveWidget = nullptr;
    RecipePanel* m_pImportWidget = nullptr;

private:
    // False (and no settings object) when the file must be left alone.
    bool openSettings();

    std::unique_ptr<QSettings> m_pSettings;
    QString m_strMachine;
    // The user recipes as the file holds them since the last read or write.
    QList<RecipePara> m_listOnFile;
};
