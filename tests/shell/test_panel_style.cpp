// A panel's style sheet reaches the panel's own widgets, and not the
// dialogs, message boxes and pop-up lists that open as its children.

#include "panelstyle.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QStyleOptionComboBox>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

// Each selector's subject is narrowed to the panel's own widgets ("@" stands
// for the mark); narrowing twice changes nothing more.
TEST(ScopedSheet, NarrowsEachSelectorsSubject)
{
    const struct { const char* sheet; const char* expected; } cases[] = {
        {"*{ color: red; }", "*@{ color: red; }"},
        {"QLabel#TitleLabel{ font-size: 12pt; }\n#TitleLabel{ color: white; }",
         "QLabel#TitleLabel@{ font-size: 12pt; } #TitleLabel@{ color: white; }"},
        {"QPushButton:pressed, QPushButton:checked{ color: rgb(65, 65, 65); }",
         "QPushButton@:pressed, QPushButton@:checked{ color: rgb(65, 65, 65); }"},
        {"QPushButton::disabled{ color: gray; }", "QPushButton@::disabled{ color: gray; }"},
        {"QComboBox QAbstractItemView{ selection-color: red; }", "QComboBox QAbstractItemView@{ selection-color: red; }"},
        {"QDialog > QLabel:hover{ color: red; }", "QDialog > QLabel@:hover{ color: red; }"},
        {"QPushButton[flat=\"a:b\"]:hover{ color: red; }", "QPushButton[flat=\"a:b\"]@:hover{ color: red; }"},
        {"/* { not a rule } */ QLabel{ font: bold 9pt \"Ari{al\"; }", "QLabel@{ font: bold 9pt \"Ari{al\"; }"},
        // A single widget's sheet of bare declarations.
        {"color: rgb(255, 210, 190);", "*@{color: rgb(255, 210, 190);}"},
        {"  ", ""},
    };
    for (const auto& c : cases) {
        const QString expected = QString(c.expected).replace('@', "[vexmorPanel=\"true\"]").simplified();
        EXPECT_EQ(PanelStyle::scoped(c.sheet).simplified(), expected) << c.sheet;
        EXPECT_EQ(PanelStyle::scoped(PanelStyle::scoped(c.sheet)).simplified(), expected) << c.sheet;
    }
}

// The colour a widget's text is drawn in once its style is applied.
QColor textColour(QWidget* w)
{
    w->ensurePolished();
    return w->palette().color(QPalette::WindowText);
}

TEST(PanelStyleApply, StylesThePanelsOwnWidgetsOnly)
{
    const QColor platform = QApplication::palette().color(QPalette::WindowText);
    const QColor white(254, 254, 254);
    ASSERT_NE(platform, white);

    QWidget panel;
    auto* layout = new QVBoxLayout(&panel);
    auto* caption = new QLabel("Save", &panel);
    auto* value = new QLabel("50 um", &panel);
    value->setStyleSheet("color: rgb(255, 210, 190);");
    auto* list = new QComboBox(&panel);
    list->addItems({"Pellar10", "Pellar30"});
    layout->addWidget(caption);
    layout->addWidget(value);
    layout->addWidget(list);
    PanelStyle::apply(&panel, "*{ font: bold 9pt \"Arial\"; color: rgb(254, 254, 254); }");

    // Opened by the panel after its style was set, as the panel's chooser,
    // box and a field's menu are.
    QDialog chooser(&panel);
    auto* chooserLabel = new QLabel("Look in:", &chooser);
    QMessageBox box(QMessageBox::Warning, QString(), "Delete Recipe mine?", QMessageBox::Ok, &panel);
    QMenu menu(&panel);

    EXPECT_EQ(textColour(caption), white);
    EXPECT_EQ(textColour(value), QColor(255, 210, 190));
    EXPECT_EQ(textColour(list), white);
    EXPECT_EQ(textColour(chooserLabel), platform);
    EXPECT_EQ(textColour(box.findChild<QLabel*>("qt_msgbox_label")), platform);
    EXPECT_EQ(textColour(&menu), platform);
    EXPECT_EQ(caption->font().bold(), true);
    EXPECT_EQ(chooserLabel->font().bold(), QApplication::font().bold());

    // The combo's list opens as a plain list, drawn by the list in the
    // platform's colours (a menu-like list is drawn by the combo in its own).
    panel.show();
    list->showPopup();
    QAbstractItemView* popup = list->view();
    ASSERT_TRUE(popup->isVisible());
    QStyleOptionComboBox option;
    option.initFrom(list);
    EXPECT_FALSE(list->style()->styleHint(QStyle::SH_ComboBox_Popup, &option, list));
    EXPECT_EQ(popup->palette().color(QPalette::Text), QApplication::palette().color(QPalette::Text));
    EXPECT_EQ(popup->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Base));
    list->hidePopup();
}

// As the save panel's: its form's sheet, then the main window's in its
// place, with a child polished in between (the window has a sheet of its own).
TEST(PanelStyleApply, ReplacingTheSheetKeepsItNarrowed)
{
    QWidget window;
    window.setStyleSheet("#nothing{ color: blue; }");
    auto* panel = new QWidget(&window);
    auto* caption = new QLabel("Save", panel);
    panel->setStyleSheet("*{ color: rgb(10, 200, 10); }");
    caption->ensurePolished();
    PanelStyle::apply(panel);
    caption->ensurePolished();
    PanelStyle::apply(panel, "*{ color: rgb(254, 254, 254); }");
    QDialog chooser(panel);
    auto* chooserLabel = new QLabel("File name:", &chooser);
    EXPECT_EQ(textColour(caption), QColor(254, 254, 254));
    EXPECT_EQ(textColour(chooserLabel), QApplication::palette().color(QPalette::WindowText));
}

} // namespace
