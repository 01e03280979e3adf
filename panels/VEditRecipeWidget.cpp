#include "VEditRecipeWidget.h"

#include "ui_VEditRecipeWidget.h"
#include "panelstyle.h"

#include <QComboBox>
#include <QMessageBox>

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

const char* const kMsgStyle =
    "QMessageBox{font: bold 9pt \"Arial\"; color: rgb(255, 255, 255); background-color: rgb(100, 100, 100);}"
    "QLabel{font: bold 9pt \"Arial\"; color: rgb(255, 255, 255);}"
    "QPushButton{min-width: 60px; max-width: 60px; color: rgb(19, 29, 33); background-color: rgb(238, 236, 234);"
    " border-radius: 5px;}"
    "QPushButton:pressed{color: rgb(65, 65, 65); background-color: rgb(170, 170, 170);}";

void selectAndShow(RecipePanel* panel, const QString& name)
{
    if (!panel)
        return;
    if (QComboBox* box = panel->recipeComboBox())
        box->setCurrentText(name);
    panel->updateUIX(name);
}

void appendAndSelect(RecipePanel* panel, const QString& name)
{
    if (!panel || !panel->recipeComboBox())
        return;
    QComboBox* box = panel->recipeComboBox();
    box->addItem(name);
    box->setCurrentIndex(box->count() - 1);
}

} // namespace

VEditRecipeWidget::VEditRecipeWidget(QWidget* parent)
    : QDialog(parent)
    , m_listRecipe(m_store.m_listRecipe)
    , m_strMsgStyle(QString::fromUtf8(kMsgStyle))
    , ui(new Ui::VEditRecipeWidget)
{
    ui->setupUi(this);
    PanelStyle::apply(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowModality(Qt::WindowModal);
}

VEditRecipeWidget::~VEditRecipeWidget()
{
    delete ui;
}

void VEditRecipeWidget::setPanels(RecipePanel* save, RecipePanel* import)
{
    m_store.m_pSaveWidget = save;
    m_store.m_pImportWidget = import;
}

void VEditRecipeWidget::openFrom(RecipePanel* opener)
{
    m_pOpener = opener;
    show();
}

void VEditRecipeWidget::returnToOpener()
{
    hide();
    RecipePanel* opener = m_pOpener;
    m_pOpener = nullptr;
    if (opener)
        opener->showPanel();
}

void VEditRecipeWidget::deleteRecipe(const QString& name)
{
    if (!m_store.deleteRecipe(name))
        reportWriteFailure();
}

void VEditRecipeWidget::SetUI_Para(const RecipePara& para)
{
    ui->RecipeNameLE->setText(para.editable ? para.name : QStringLiteral("New Recipe"));
    ui->CuringSB->setValue(para.exposure_tm);
    ui->BurninTimeSB->setValue(para.bottom_exposure);
    ui->StableTimeSB->setValue(para.bottomMaterialStable);
    ui->BurninRangeDSB->setValue(para.bottom_layers);
    // QSpinBox takes ints; the float values are shown truncated, and values
    // out of int range saturate rather than wrap.
    auto whole = [](float v) { return std::isfinite(v) ? int(std::clamp(v, -1e9f, 1e9f)) : 0; };
    ui->LiftDist1SB->setValue(whole(para.lift_dist1));
    ui->LiftSpeed1SB->setValue(whole(para.lift_first_bottom_speed));
    ui->LiftDist2SB->setValue(whole(para.lift_dist2));
    ui->LiftSpeed2SB->setValue(whole(para.lift_speed));
}

void VEditRecipeWidget::GetUI_Para(RecipePara& para) const
{
    para.editable = true;
    para.name = ui->RecipeNameLE->text();
    para.exposure_tm = ui->CuringSB->value();
    para.bottom_exposure = ui->BurninTimeSB->value();
    para.MaterialStable = ui->StableTimeSB->value();
    para.bottomMaterialStable = ui->StableTimeSB->value();
    para.bottom_layers = static_cast<float>(ui->BurninRangeDSB->value());
    para.lift_dist1 = static_cast<float>(ui->LiftDist1SB->value());
    para.lift_first_bottom_speed = static_cast<float>(ui->LiftSpeed1SB->value());
    para.lift_dist2 = static_cast<float>(ui->LiftDist2SB->value());
    para.lift_speed = static_cast<float>(ui->LiftSpeed2SB->value());
    // Every stored value is the form's now, each within its spin box.
    para.valueProblem.clear();
    para.refusedValues.clear();
}

int VEditRecipeWidget::showBox(int icon, const QString& text, int buttons, int defaultButton)
{
    QMessageBox box(static_cast<QMessageBox::Icon>(icon), QString(), text,
                    static_cast<QMessageBox::StandardButtons>(buttons));
    box.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    box.setStyleSheet(m_strMsgStyle);
    box.setDefaultButton(static_cast<QMessageBox::StandardButton>(defaultButton));
    return box.exec();
}

void VEditRecipeWidget::reportWriteFailure()
{
    showBox(QMessageBox::Critical,
            tr("The recipe file could not be written: ") + RecipeStore::recipeFilePath(m_store.machine()),
            QMessageBox::Ok, QMessageBox::Ok);
}

void VEditRecipeWidget::on_SaveButton_clicked()
{
    const QString name = ui->RecipeNameLE->text();
    if (!RecipeStore::isValidRecipeName(name)) {
        showBox(QMessageBox::Warning, tr("Invalid recipe name"), QMessageBox::Ok, QMessageBox::Ok);
        return;
    }
    int found = -1;
    for (int i = 0; i < m_listRecipe.size() && found < 0; ++i)
        if (m_listRecipe.at(i).name == name)
            found = i;

    if (found >= 0 && m_listRecipe.at(found).editable) {
        const int answer = showBox(QMessageBox::Warning, tr("Overwrite Recipe ") + name + QStringLiteral("?"),
                                   QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return;
        GetUI_Para(m_listRecipe[found]);
        selectAndShow(m_store.m_pSaveWidget, name);
        selectAndShow(m_store.m_pImportWidget, name);
        if (!m_store.writeIniFileX())
            reportWriteFailure();
        return;
    }
    if (found >= 0) {
        showBox(QMessageBox::Warning, tr("Recipe ") + name + tr(" can not be modified, please rename it!"),
                QMessageBox::Ok, QMessageBox::Ok);
        return;
    }

    RecipePara fresh;
    if (m_listRecipe.isEmpty())
        RecipeStore::setDefaultParaX(fresh, 100);
    else
        fresh = m_listRecipe.first();
    GetUI_Para(fresh);
    m_listRecipe.append(fresh);
    appendAndSelect(m_store.m_pSaveWidget, name);
    appendAndSelect(m_store.m_pImportWidget, name);
    if (!m_store.writeIniFileX())
        reportWriteFailure();
    returnToOpener();
}

void VEditRecipeWidget::on_CloseButton_clicked()
{
    returnToOpener();
}

void VEditRecipeWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 40, 40, 127));
    painter.drawRect(rect());
}
