// Every chooser, list, menu and box the panels open, grabbed off the screen
// in both languages: a known caption or entry must stand out from the
// background behind it (WCAG contrast at least 4.5 : 1), and the panels keep
// their own light-on-dark look. The grabs stay as
// readable_<language>_<screen>.png (with the measured areas outlined in the
// _marked copies).

#include "FileChooser.h"
#include "event_wait.h"
#include "VEditRecipeWidget.h"
#include "VImportWidgetX.h"
#include "VSliceWidgetX.h"
#include "VSupportWidgetX.h"
#include "VSLGLView.h"
#include "VSaveWidgetX.h"
#include "Vexmor.h"
#include "frmDeviceInterfaceSettings.h"
#include "notices.h"
#include "translators.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <QTreeView>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

namespace {

// A caption read off a screen grab as a person reads it: the background is
// the colour most of its area has, the text what stands out from it, and the
// two are compared by their WCAG contrast ratio.
double relativeLuminance(QRgb colour)
{
    auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(colour)) + 0.7152 * channel(qGreen(colour)) + 0.0722 * channel(qBlue(colour));
}

double contrastRatio(QRgb a, QRgb b)
{
    const double la = relativeLuminance(a), lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QRgb mostFrequent(const QHash<QRgb, int>& counts)
{
    QRgb best = 0;
    int bestCount = -1;
    for (auto it = counts.begin(); it != counts.end(); ++it)
        if (it.value() > bestCount || (it.value() == bestCount && it.key() < best)) {
            best = it.key();
            bestCount = it.value();
        }
    return best;
}

struct TextContrast
{
    QRgb background = 0;
    QRgb text = 0;         // the most frequent colour among the text pixels
    int textPixels = 0;    // pixels that stand out from the background at all
    double ratio = 1.0;    // 1 when no text shows
};

// The caption inside `area` of `image` (clipped to the image).
TextContrast measureText(const QImage& image, const QRect& area)
{
    TextContrast result;
    const QRect r = area.intersected(image.rect());
    QHash<QRgb, int> all;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            ++all[image.pixel(x, y) | 0xff000000u];
    result.background = mostFrequent(all);
    // Anti-aliased glyph edges spread over many shades; the full ink is one
    // colour shared by the glyphs' cores, so it is the most frequent of them.
    QHash<QRgb, int> ink;
    for (auto it = all.begin(); it != all.end(); ++it)
        if (contrastRatio(it.key(), result.background) >= 1.5) {
            ink[it.key()] += it.value();
            result.textPixels += it.value();
        }
    // A few stray pixels (a frame corner) are no caption.
    if (result.textPixels < 8)
        return result;
    result.text = mostFrequent(ink);
    result.ratio = contrastRatio(result.text, result.background);
    return result;
}

constexpr double kMinimumContrast = 4.5;

// Counts the paint events a widget receives while it lives.
struct PaintsSeen : QObject
{
    explicit PaintsSeen(QWidget* widget) : m_widget(widget) { widget->installEventFilter(this); }
    ~PaintsSeen() override
    {
        if (m_widget)
            m_widget->removeEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Paint;
        return false;
    }
    int count = 0;

private:
    QPointer<QWidget> m_widget;
};

struct Caption
{
    QString what;
    QRect global;            // where it stands on the screen
    bool panelText = false;  // a panel's own caption: its light text on its translucent plate
    bool qtOwn = false;      // a text of Qt's own dialogs, translated by Qt's translation
    bool measured = true;    // false: its language is checked, not its contrast (a styled button)
};

Caption qtOwn(Caption c)
{
    c.qtOwn = true;
    return c;
}

bool hasChinese(const QString& text)
{
    for (const QChar ch : text)
        if (ch.unicode() >= 0x4e00 && ch.unicode() <= 0x9fff)
            return true;
    return false;
}

struct Screen
{
    const char* name;
    std::function<void(Vexmor&)> open;               // what a person clicks; may run a modal loop
    std::function<QWidget*(Vexmor&)> shown;          // the screen's window once it shows, else null
    std::function<QList<Caption>(QWidget*)> captions; // empty until every caption is on it
    std::function<void(Vexmor&, QWidget*)> close;
};

QRect globalRect(const QWidget* w, const QRect& local)
{
    return QRect(w->mapToGlobal(local.topLeft()), local.size());
}

Caption label(QWidget* window, const char* name, bool panelText = false)
{
    auto* l = window->findChild<QLabel*>(name);
    if (!l || !l->isVisible())
        return {};
    return {l->text(), globalRect(l, l->contentsRect()), panelText};
}

// A panel's caption or display field (a line edit's text, clear of its frame).
Caption panelText(QWidget* panel, const char* name)
{
    if (auto* edit = panel->findChild<QLineEdit*>(name))
        return edit->isVisible() ? Caption{edit->text(), globalRect(edit, edit->rect().adjusted(3, 3, -3, -3)), true}
                                 : Caption{};
    return label(panel, name, true);
}

// An item view's row; with an icon, its text part only.
Caption row(QAbstractItemView* view, const QModelIndex& index, bool withIcon = false)
{
    if (!view || !index.isValid() || !view->isVisible())
        return {};
    QRect r = view->visualRect(index);
    if (withIcon)
        r.setLeft(r.left() + qMax(view->iconSize().width(), 16) + 6);
    return {index.data().toString(), globalRect(view->viewport(), r.adjusted(1, 1, -1, -1))};
}

QWidget* popupOf(QComboBox* combo)
{
    QWidget* popup = combo->view()->window();
    return popup != combo->window() && popup->isVisible() ? popup : nullptr;
}

// The window a popup opens over is the active one before it opens: an
// activation still on its way from the screen before (a loaded machine
// delivers it late) would close the popup as it arrived.
void activate(QWidget* window)
{
    window->activateWindow();
    ASSERT_TRUE(WaitUntil([window] {
        const QWindow* handle = window->windowHandle();
        return handle && handle->isActive() && window->isActiveWindow();
    }));
    QCoreApplication::processEvents();
}

// A combo's list, opened as a click's press opens it; a row that is not the
// current one as the known entry, and with `highlighted` the current one too
// (a list that keeps a selection colour of its own). The click's release is
// left out: handled after the double-click interval, as on a loaded machine,
// it counts as choosing a row and closes the list.
Screen comboList(const char* name, std::function<QWidget*(Vexmor&)> owner, const char* comboName,
                 bool highlighted = false)
{
    auto combo = [owner, comboName](Vexmor& w) { return owner(w)->findChild<QComboBox*>(comboName); };
    return {name,
            [owner, combo](Vexmor& w) {
                owner(w)->show();
                ASSERT_TRUE(WaitUntilExposed(owner(w)->window()));
                ASSERT_NO_FATAL_FAILURE(activate(owner(w)->window()));
                combo(w)->showPopup();
            },
            [combo](Vexmor& w) { return popupOf(combo(w)); },
            [highlighted](QWidget* popup) {
                auto* c = popup->findChild<QAbstractItemView*>();
                auto* box = qobject_cast<QComboBox*>(popup->parentWidget());
                if (!c || !box || box->count() < 2)
                    return QList<Caption>();
                const int other = box->currentIndex() == 0 ? 1 : 0;
                QList<Caption> out{row(c, box->model()->index(other, box->modelColumn()))};
                if (highlighted)
                    out << row(c, box->model()->index(box->currentIndex(), box->modelColumn()));
                return out;
            },
            [owner, combo](Vexmor& w, QWidget*) {
                combo(w)->hidePopup();
                owner(w)->hide();
            }};
}

// The chooser's labels, its side bar, the column header and a known file.
QList<Caption> chooserCaptions(QWidget* window, const QString& knownFile)
{
    auto* dialog = qobject_cast<QFileDialog*>(window);
    QList<Caption> out{qtOwn(label(dialog, "lookInLabel")), qtOwn(label(dialog, "fileNameLabel")),
                       qtOwn(label(dialog, "fileTypeLabel"))};
    auto* side = dialog->findChild<QListView*>("sidebar");
    if (side && side->model()->rowCount() > 0)
        out << row(side, side->model()->index(0, 0), true);
    auto* model = dialog->findChild<QFileSystemModel*>();
    auto* tree = dialog->findChild<QTreeView*>("treeView");
    auto* list = dialog->findChild<QListView*>("listView");
    QAbstractItemView* files = tree && tree->isVisible() ? static_cast<QAbstractItemView*>(tree) : list;
    if (!model || !files)
        return {};
    const QModelIndex file = model->index(dialog->directory().filePath(knownFile));
    if (!file.isValid())
        return {};
    out << row(files, files->model() == model ? file : QModelIndex(), true);
    if (files == tree) {
        QHeaderView* header = tree->header();
        out << qtOwn({model->headerData(0, Qt::Horizontal).toString(),
                      globalRect(header->viewport(), QRect(header->sectionViewportPosition(0) + 2, 2,
                                                           header->sectionSize(0) - 20, header->height() - 4))});
    }
    for (const Caption& c : out)
        if (c.global.isEmpty())
            return {};
    return out;
}

class ReadableScreens : public ::testing::TestWithParam<const char*>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(config.isValid() && files.isValid());
        qputenv("VEXMOR_CONFIG_DIR", config.path().toUtf8());
        qputenv("VEXMOR_LOG_DIR", config.path().toUtf8());
        QStandardPaths::setTestModeEnabled(true);
        vexmorInitResources();
        const bool chinese = QByteArray(GetParam()) == "zh";
        ASSERT_TRUE(translators.install(chinese ? ":/Resources/lang/zh-cn.qm" : ":/Resources/lang/en.qm"));
        QFile known(files.filePath("part.vxs")); // an empty file: the converter refuses it
        ASSERT_TRUE(known.open(QIODevice::WriteOnly));
        window = std::make_unique<Vexmor>();
        window->ui.GLWidget->SetOpenFilePath(files.path());
        window->ui.GLWidget->SetSaveFilePath(files.path());
        window->show();
        ASSERT_TRUE(WaitUntilExposed(window.get()));
    }
    void TearDown() override
    {
        FileChooser::setOpenChooser({});
        window.reset();
        translators.remove();
        qunsetenv("VEXMOR_CONFIG_DIR");
        qunsetenv("VEXMOR_LOG_DIR");
    }

    // Opens the screen, waits until every caption is on it, grabs it off the
    // screen and measures each caption; then closes it.
    void check(const Screen& s)
    {
        SCOPED_TRACE(s.name);
        QElapsedTimer since;
        since.start();
        QTimer poll;
        // Polled, as opening may run a modal loop of its own.
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* screen = s.shown(*window);
            if ((!screen || s.captions(screen).isEmpty()) && since.elapsed() < kHangMs)
                return;
            poll.stop();
            if (!screen || s.captions(screen).isEmpty()) {
                ADD_FAILURE() << (screen ? "showed without its known captions" : "never showed");
                if (screen)
                    s.close(*window, screen);
                else if (QWidget* other = QApplication::activeModalWidget())
                    other->close(); // no modal loop left for the next screen
                return;
            }
            QTest::qWait(150); // the last paint reaches the screen
            inspect(s.name, screen, s.captions(screen));
            s.close(*window, screen);
        });
        poll.start(20);
        s.open(*window);
        EXPECT_TRUE(WaitUntil([&] { return !poll.isActive(); }, kHangMs));
    }

    void inspect(const char* name, QWidget* screen, const QList<Caption>& captions)
    {
        const QRect frame = screen->isWindow() ? screen->frameGeometry() : globalRect(screen, screen->rect());
        // A loaded machine maps a window well before it paints it: a paint
        // asked for now is waited for (its flush reaches the X server before
        // the grab's request), and two equal grabs of a blank window taken
        // before it proved nothing.
        PaintsSeen paints(screen);
        screen->update();
        EXPECT_TRUE(WaitUntil([&] { return paints.count > 0; }, kHangMs)) << name << " was never painted";
        QCoreApplication::processEvents();
        // A menu may still fade in: the grab waits until two in a row agree.
        auto grabFrame = [&] {
            return screen->screen()
                ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
                .toImage()
                .convertToFormat(QImage::Format_RGB32);
        };
        QImage grab = grabFrame();
        for (int i = 0; i < 40; ++i) {
            QTest::qWait(50);
            QImage again = grabFrame();
            if (again == grab)
                break;
            grab = again;
        }
        grab.save(QString("readable_%1_%2.png").arg(GetParam(), name));
        QImage marked = grab;
        QPainter p(&marked);
        p.setPen(Qt::red);
        for (const Caption& c : captions) {
            const QRect local = c.global.translated(-frame.topLeft());
            p.drawRect(local.adjusted(-1, -1, 0, 0));
            const TextContrast t = measureText(grab, local);
            // Qt's own captions speak the chosen language too.
            if (c.qtOwn) {
                EXPECT_EQ(hasChinese(c.what), QByteArray(GetParam()) == "zh")
                    << name << ": \"" << c.what.toStdString() << "\"";
            }
            const std::string seen = name + std::string(": \"") + c.what.toStdString() + "\" text "
                                     + QColor(t.text).name().toStdString() + " on "
                                     + QColor(t.background).name().toStdString() + ", "
                                     + std::to_string(t.textPixels) + " text pixels";
            if (!c.measured) {
                continue;
            } else if (c.panelText) {
                // The panel's own look: light text on its darker plate.
                EXPECT_GT(relativeLuminance(t.text), 0.6) << seen;
                EXPECT_GT(t.ratio, 2.0) << seen;
            } else {
                EXPECT_GE(t.ratio, kMinimumContrast) << seen;
            }
        }
        p.end();
        marked.save(QString("readable_%1_%2_marked.png").arg(GetParam(), name));
    }

    QTemporaryDir config, files;
    Translators translators;
    std::unique_ptr<Vexmor> window;
};

QWidget* savePanel(Vexmor& w) { return w.m_pSaveWidget; }
QWidget* converter(Vexmor& w) { return w.m_pImportWidget; }
QWidget* modelDialog(Vexmor& w) { return w.m_pDeviceSettings; }

// A panel shown as the workflow shows it; its own captions and fields, and
// the text of every button fits the button.
Screen panel(const char* name, QWidget* (*owner)(Vexmor&), QList<const char*> labels)
{
    return {name,
            [owner](Vexmor& w) { owner(w)->show(); },
            [owner](Vexmor& w) -> QWidget* {
                QWidget* p = owner(w);
                QWindow* handle = p->window()->windowHandle();
                return p->isVisible() && handle && handle->isExposed() ? p : nullptr;
            },
            [labels](QWidget* p) {
                QList<Caption> out; // a missing caption reads as no text at all
                for (const char* l : labels)
                    out << panelText(p, l);
                for (QPushButton* b : p->findChildren<QPushButton*>())
                    if (b->isVisibleTo(p) && b->window() == p->window()) {
                        EXPECT_LE(b->fontMetrics().horizontalAdvance(b->text()), b->width())
                            << b->objectName().toStdString() << " cuts \"" << b->text().toStdString() << "\"";
                    }
                return out;
            },
            [owner](Vexmor& w, QWidget*) { owner(w)->hide(); }};
}

// A field's context menu, as a right click opens it; its "Select All" entry.
Screen fieldMenu(const char* name, QWidget* (*owner)(Vexmor&), const char* fieldName)
{
    return {name,
            [owner, fieldName](Vexmor& w) {
                owner(w)->show();
                ASSERT_TRUE(WaitUntilExposed(owner(w)->window()));
                ASSERT_NO_FATAL_FAILURE(activate(owner(w)->window()));
                auto* field = owner(w)->findChild<QWidget*>(fieldName);
                ASSERT_TRUE(field && field->isEnabled() && field->isVisible()) << fieldName;
                const QPoint centre = field->rect().center();
                QContextMenuEvent click(QContextMenuEvent::Mouse, centre, field->mapToGlobal(centre));
                QApplication::sendEvent(field, &click);
            },
            [](Vexmor&) -> QWidget* { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); },
            [](QWidget* popup) {
                auto* menu = static_cast<QMenu*>(popup);
                // The field's own menu, in the language Qt's translation gives it.
                const QString selectAll = QCoreApplication::translate("QLineEdit", "Select All").remove('&');
                for (QAction* a : menu->actions())
                    if (QString(a->text()).remove('&').startsWith(selectAll) && a->isEnabled())
                        return QList<Caption>{qtOwn({a->text(), globalRect(menu, menu->actionGeometry(a).adjusted(2, 2, -2, -2))})};
                return QList<Caption>();
            },
            [owner](Vexmor& w, QWidget* popup) {
                popup->close();
                owner(w)->hide();
            }};
}

// What a panel's button opens as a modal dialog: a file chooser (its labels,
// side bar, column header and a known file) or a box (its text, answered
// with its only button), whichever the name ends with.
Screen modal(const char* name, QWidget* (*owner)(Vexmor&), const char* button,
             std::function<void(Vexmor&)> prepare = {})
{
    const bool box = QByteArray(name).endsWith("_box");
    return {name,
            [=](Vexmor& w) {
                owner(w)->show();
                if (prepare)
                    prepare(w);
                QTest::mouseClick(owner(w)->findChild<QPushButton*>(button), Qt::LeftButton);
            },
            [box](Vexmor&) -> QWidget* {
                QWidget* m = QApplication::activeModalWidget();
                return (box ? qobject_cast<QMessageBox*>(m) != nullptr : qobject_cast<QFileDialog*>(m) != nullptr) ? m
                                                                                                            : nullptr;
            },
            [box](QWidget* d) {
                if (!box)
                    return chooserCaptions(d, "part.vxs");
                QAbstractButton* answer = static_cast<QMessageBox*>(d)->buttons().value(0);
                if (!answer || !answer->isVisible())
                    return QList<Caption>();
                return QList<Caption>{label(d, "qt_msgbox_label"),
                                      qtOwn({answer->text(), globalRect(answer, answer->rect()), false, false, false})};
            },
            [box, owner](Vexmor& w, QWidget* d) {
                FileChooser::setOpenChooser({});
                if (box)
                    static_cast<QMessageBox*>(d)->buttons().value(0)->click();
                else
                    static_cast<QDialog*>(d)->reject();
                owner(w)->hide();
            }};
}

QWidget* recipeEditor(Vexmor& w) { return w.m_pRecipeWidget; }
QWidget* supportPanel(Vexmor& w) { return w.m_pSupportWidget; }
QWidget* slicePanel(Vexmor& w) { return w.m_pSliceWidget; }

QList<Screen> screens()
{
    return {
        panel("save_panel", savePanel, {"TitleLabel", "LayerThickLabel_3", "edit_exposure_tm"}),
        panel("converter_panel", converter, {"TitleLabel", "Label_3", "edit_exposure_tm"}),
        panel("model_dialog", modelDialog, {"label_11", "label_7"}),
        modal("save_chooser", savePanel, "btn_StartPrint", [](Vexmor& w) { w.m_pSaveWidget->slot_ReceiveNLayers(3); }),
        modal("import_chooser", converter, "btn_Import"),
        comboList("converter_format_list", converter, "comboBox_Source"),
        comboList("converter_recipe_list", converter, "comboBox_Recipe"),
        comboList("save_recipe_list", savePanel, "comboBox_Recipe"),
        fieldMenu("recipe_editor_menu", recipeEditor, "CuringSB"),
        fieldMenu("support_menu", supportPanel, "doubleSpinBox"),
        fieldMenu("slice_menu", slicePanel, "spinBoxPlateLayer"),
        comboList("model_list", modelDialog, "comboBox", true),
        comboList("language_list", modelDialog, "comboBoxLang", true),
        modal("save_box", savePanel, "btn_StartPrint", [](Vexmor& w) { w.m_pSaveWidget->slot_ReceiveNLayers(0); }),
        modal("converter_box", converter, "btn_Import", [](Vexmor& w) {
            const QString empty = w.ui.GLWidget->GetOpenFilePath() + "/part.vxs";
            FileChooser::setOpenChooser([empty](QWidget*, const QString&, const QString&, const QString&) { return empty; });
        }),
    };
}

TEST_P(ReadableScreens, EveryCaptionStandsOutFromItsBackground)
{
    for (const Screen& s : screens())
        check(s);
}

// The converter writes for the printer model chosen in the settings: its
// model list is fixed, stays shut when clicked, and is drawn like the
// panel's other display-only fields, unlike its open lists.
TEST_P(ReadableScreens, ConverterModelListIsDrawnAsFixed)
{
    QWidget* panel = window->m_pImportWidget;
    panel->show();
    ASSERT_TRUE(WaitUntilExposed(panel));
    auto* models = panel->findChild<QComboBox*>("comboBox_Machine");
    QTest::mouseClick(models, Qt::LeftButton); // a popup would be up when the click returns
    EXPECT_EQ(popupOf(models), nullptr);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    // What the click changed is on the screen before the grab: a paint asked
    // for now is waited for.
    PaintsSeen paints(panel);
    panel->update();
    ASSERT_TRUE(WaitUntil([&] { return paints.count > 0; }, kHangMs)) << "the panel was never painted";
    QCoreApplication::processEvents();
    const QRect frame = panel->frameGeometry();
    const QImage grab = panel->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).toImage();
    grab.save(QString("readable_%1_converter_fixed_model.png").arg(GetParam()));
    auto text = [&](const char* name) {
        auto* w = panel->findChild<QWidget*>(name);
        return QColor(measureText(grab, QRect(w->mapTo(panel, QPoint(3, 3)), w->size() - QSize(30, 6))).text);
    };
    EXPECT_EQ(text("comboBox_Machine"), text("edit_exposure_tm"));
    EXPECT_NE(text("comboBox_Machine"), text("comboBox_Source"));
    panel->hide();
}

INSTANTIATE_TEST_SUITE_P(Languages, ReadableScreens, ::testing::Values("en", "zh"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

} // namespace
