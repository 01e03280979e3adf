#include "notices.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWidget>
#include <QtTest/QTest>
#include <gtest/gtest.h>

// Stands in for the main window: records every call the bars make.
class RecordingUi : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool bTransformShow READ no WRITE setTransform)
    Q_PROPERTY(bool bFixShow READ no WRITE setFix)
    Q_PROPERTY(bool bSupportShow READ no WRITE setSupport)
    Q_PROPERTY(bool bSliceShow READ no WRITE setSlice)
    Q_PROPERTY(bool bPrintShow READ no WRITE setPrint)
public:
    QStringList calls;
    bool sliced = false;
    bool no() const { return false; }
    void setTransform(bool) { calls << "bTransformShow"; }
    void setFix(bool) { calls << "bFixShow"; }
    void setSupport(bool) { calls << "bSupportShow"; }
    void setSlice(bool) { calls << "bSliceShow"; }
    void setPrint(bool) { calls << "bPrintShow"; }
    Q_INVOKABLE void navbarOpenFile() { calls << "navbarOpenFile"; }
    Q_INVOKABLE void navbarClicked(int i) { calls << QString("navbarClicked(%1)").arg(i); }
    Q_INVOKABLE void navbarLayout() { calls << "navbarLayout"; }
    Q_INVOKABLE void navbarRepair() { calls << "navbarRepair"; }
    Q_INVOKABLE void navbarSupport() { calls << "navbarSupport"; }
    Q_INVOKABLE void navbarSlice() { calls << "navbarSlice"; }
    Q_INVOKABLE void navbarPrint() { calls << "navbarPrint"; }
    Q_INVOKABLE bool sceneSliced() { return sliced; }
    Q_INVOKABLE void notifyToSlice() { calls << "notifyToSlice"; }
    Q_INVOKABLE void SetNavBtn(QString s) { calls << "SetNavBtn(" + s + ")"; }
    Q_INVOKABLE void layoutBarClicked(int i) { calls << QString("layoutBarClicked(%1)").arg(i); }
public slots:
    void slot_CtlWidgetDisp(bool show) { calls << QString("slot_CtlWidgetDisp(%1)").arg(show ? "true" : "false"); }
signals:
    void navbarFileLoaded();
    void allModelsDeleted();
    void navbarClickSlice();
    void navIndexChanged(int index);
};

class RecordingView : public QObject
{
    Q_OBJECT
signals:
    void signal_ShowHideEditControl(bool bShow);
};

namespace {

class Bars : public ::testing::Test
{
protected:
    void SetUp() override
    {
        vexmorInitResources();
        for (QQuickWidget* w : {&nav, &tools}) {
            w->rootContext()->setContextProperty("dlpUI", &ui);
            QObject::connect(w->engine(), &QQmlEngine::warnings,
                             [this](const QList<QQmlError>& e) { for (auto& x : e) errors << x.toString(); });
        }
        tools.rootContext()->setContextProperty("dlpView", &view);
        nav.setSource(QUrl("qrc:/Resources/Qml/navbar.qml"));
        tools.setSource(QUrl("qrc:/Resources/Qml/toolbar.qml"));
    }
    static std::string str(const QStringList& l) { return l.join(", ").toStdString(); }
    QObject* find(QQuickWidget& w, const char* name) { return w.rootObject()->findChild<QObject*>(name); }
    bool checked(const char* name) { return find(nav, name)->property("checked").toBool(); }
    void click(const char* name)
    {
        ui.calls.clear();
        QMetaObject::invokeMethod(find(nav, name), "clicked");
    }
    QString rowSource()
    {
        return find(tools, "rowLoader")->property("source").toUrl().fileName();
    }

    RecordingUi ui;
    RecordingView view;
    QQuickWidget nav, tools;
    QStringList errors;
};

TEST_F(Bars, LoadThenStagesMakeTheirCallsInOrder)
{
    ASSERT_EQ(nav.status(), QQuickWidget::Ready) << errors.join('\n').toStdString();
    ASSERT_EQ(tools.status(), QQuickWidget::Ready) << errors.join('\n').toStdString();
    EXPECT_EQ(nav.rootObject()->width(), 440);
    EXPECT_EQ(find(nav, "stageRow"), nullptr);
    EXPECT_FALSE(checked("loadButton"));

    emit ui.navbarFileLoaded();
    EXPECT_EQ(str(ui.calls), str((QStringList{"bTransformShow", "SetNavBtn(Edit)", "navbarClicked(1)", "slot_CtlWidgetDisp(true)"})));
    ASSERT_NE(find(nav, "stageRow"), nullptr);
    EXPECT_TRUE(checked("loadButton"));
    EXPECT_TRUE(checked("editButton"));

    nav.resize(440, 60);
    nav.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&nav));
    ASSERT_TRUE(QTest::qWaitFor([&] { return find(nav, "stageRow")->property("opacity").toDouble() == 1.0; }, 10000)); // slid in
    const QImage shot = nav.grabFramebuffer();
    shot.save("navbar.png");
    // Load (checked picture) and the five stage pictures lie in a row.
    for (int x : {38, 122, 194, 266, 338, 410})
        EXPECT_NE(shot.pixelColor(x, 30), shot.pixelColor(1, 1)) << x;

    click("saveButton"); // not sliced yet
    EXPECT_EQ(str(ui.calls), str((QStringList{"navbarClicked(4)", "bSliceShow", "navbarSlice", "SetNavBtn(Slice)", "notifyToSlice"})));
    for (const char* b : {"editButton", "fixButton", "supportButton", "sliceButton"})
        EXPECT_TRUE(checked(b)) << b;
    EXPECT_FALSE(checked("saveButton"));

    ui.sliced = true;
    click("saveButton");
    EXPECT_EQ(str(ui.calls), str((QStringList{"navbarPrint", "navbarClicked(5)", "bPrintShow", "SetNavBtn(Save)"})));
    EXPECT_TRUE(checked("saveButton"));

    click("editButton");
    EXPECT_EQ(str(ui.calls), str((QStringList{"navbarClicked(1)", "navbarLayout", "SetNavBtn(Edit)"})));
    for (const char* b : {"fixButton", "supportButton", "sliceButton", "saveButton"})
        EXPECT_FALSE(checked(b)) << b;
    EXPECT_TRUE(checked("editButton"));

    click("supportButton");
    EXPECT_EQ(str(ui.calls), str((QStringList{"navbarClicked(3)", "bSupportShow", "navbarSupport", "SetNavBtn(Support)"})));

    ui.calls.clear();
    emit ui.navbarFileLoaded(); // a second file: no new row, flags kept
    EXPECT_EQ(str(ui.calls), str((QStringList{"navbarClicked(1)", "slot_CtlWidgetDisp(true)"})));
    EXPECT_TRUE(checked("supportButton"));

    ui.calls.clear();
    emit ui.allModelsDeleted();
    EXPECT_EQ(str(ui.calls), str(QStringList{"slot_CtlWidgetDisp(false)"}));
    EXPECT_FALSE(checked("loadButton"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return find(nav, "stageRow") == nullptr; }, 10000));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(Bars, ToolColumnFollowsStageAndSelection)
{
    ASSERT_EQ(tools.status(), QQuickWidget::Ready) << errors.join('\n').toStdString();
    QObject* loader = find(tools, "rowLoader");
    EXPECT_FALSE(loader->property("visible").toBool());
    ASSERT_TRUE(QTest::qWaitFor([&] { return (rowSource()) == (QString("blanktools.qml")); }, 10000));

    emit ui.navIndexChanged(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return (rowSource()) == (QString("layoutools.qml")); }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui.calls.contains("bTransformShow"); }, 10000)); // the edit row announces itself
    QObject* row = loader->property("item").value<QObject*>();

    emit view.signal_ShowHideEditControl(true);
    EXPECT_TRUE(loader->property("visible").toBool());
    emit view.signal_ShowHideEditControl(false);
    EXPECT_FALSE(loader->property("visible").toBool());
    EXPECT_EQ(loader->property("item").value<QObject*>(), row); // not reloaded

    ui.calls.clear();
    QObject* rotate = row->findChild<QObject*>("rotateButton");
    QMetaObject::invokeMethod(rotate, "clicked");
    EXPECT_EQ(str(ui.calls), str(QStringList{"layoutBarClicked(1)"}));

    emit ui.navIndexChanged(3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return (rowSource()) == (QString("blanktools.qml")); }, 10000));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

} // namespace

#include "test_qml_bars.moc"
