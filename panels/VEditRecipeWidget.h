#pragma once

#include "RecipeStore.h"

#include <QDialog>

namespace Ui {
class VEditRecipeWidget;
}

// The recipe editor: a frameless dialog over the recipe store of the current
// printer model. The store's members are exposed under their usual names so
// that the panels read the list directly.
class VEditRecipeWidget : public QDialog
{
    Q_OBJECT
public:
    explicit VEditRecipeWidget(QWidget* parent = nullptr);
    ~VEditRecipeWidget() override;

    void setMachine(const QString& machine) { m_store.setMachine(machine); }
    void readIniFileX() { m_store.readIniFileX(); }
    bool writeIniFileX() { return m_store.writeIniFileX(); }
    static void setDefaultParaX(RecipePara& para, int layerUm) { RecipeStore::setDefaultParaX(para, layerUm); }
    void deleteRecipe(const QString& name);

    void SetUI_Para(const RecipePara& para);
    void GetUI_Para(RecipePara& para) const;

    void setPanels(RecipePanel* save, RecipePanel* import);
    // Shows the editor; Close, and a Save that adds a recipe, hand the user
    // back to `opener` (the converter panel hides itself to open it; the
    // save panel stays where it is).
    void openFrom(RecipePanel* opener);

    RecipeStore m_store;
    QList<RecipePara>& m_listRecipe;
    const QString m_strMsgStyle;

private slots:
    void on_SaveButton_clicked();
    void on_CloseButton_clicked();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int showBox(int icon, const QString& text, int buttons, int defaultButton);
    void reportWriteFailure();
    void returnToOpener();

    Ui::VEditRecipeWidget* ui;
    RecipePanel* m_pOpener = nullptr;
};
