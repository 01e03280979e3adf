#include "hang_ceiling.h"
#include "NetPrinterScan.h"
#include "bridge.h"
#include "WebForm.h"
#include "loopback_http.h"

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QListWidget>
#include <QMessageBox>
#include <QNetworkCookie>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <gtest/gtest.h>

#include <cstdlib>

// Failures show texts as text.
void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace
{
// The browser shares its GL context with the widgets; this must be set before
// the application object exists.
const bool g_shareGl = (QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts), true);

// The browser keeps its cache and cookies under temporary folders, set before
// the first page makes the profile.
QTemporaryDir* g_home = nullptr;
struct LoopbackBrowser : ::testing::Environment
{
    void SetUp() override
    {
        keepToLoopback();
        g_home = new QTemporaryDir;
        ASSERT_TRUE(g_home->isValid());
        // The browser writes its profile until the application object is
        // gone, so the folders go only after main has returned.
        std::atexit([] { delete g_home; });
        qputenv("XDG_CACHE_HOME", (g_home->path() + "/cache").toLocal8Bit());
        qputenv("XDG_DATA_HOME", (g_home->path() + "/data").toLocal8Bit());
        qputenv("VEXMOR_CONFIG_DIR", (g_home->path() + "/config").toLocal8Bit());
    }
};
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new LoopbackBrowser);

QByteArray printerBody(const QByteArray& name)
{
    return "\"SN1\",\"Pellar120\",\"" + name + "\",\"<b>bold</b>\"";
}

QStringList items(QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QImage shot(QWidget& form, const char* name)
{
    const QImage img = form.grab().toImage();
    EXPECT_TRUE(img.save(QStringLiteral(VSL_SHOT_DIR "/") + name)) << name;
    return img;
}

class WebFormTest : public ::testing::Test
{
protected:
    template<typename T>
    T* child(const char* name)
    {
        T* w = form.findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    WebForm form;
};

TEST_F(WebFormTest, ScanListsThePrinterAndEnablesTheButtons)
{
    auto* search = child<QPushButton>("pushButtonSearch");
    auto* connectBtn = child<QPushButton>("pushButtonConnect");
    auto* list = child<QListWidget>("listWidget");
    auto* log = child<QTextEdit>("textEdit");

    LoopbackHttp printer;
    printer.setPage(NetPrinterScan::requestPath, printerBody("Vat-7"));
    printer.setDelayMs(500);  // the refusals of the empty hosts come first
    ASSERT_TRUE(printer.listen("127.0.0.37"));
    form.scanner()->setSource({[] { return QVector<QString>{"127.0.0."}; }, {}, printer.port()});
    QSignalSpy lists(&form, &WebForm::signal_dev_list);
    QSignalSpy handled(form.scanner(), &NetPrinterScan::signal_reply_handled);

    form.netSearch(false);
    EXPECT_FALSE(search->isEnabled() || connectBtn->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return handled.count() >= 1; }, 10000));
    EXPECT_TRUE(search->isEnabled() && !connectBtn->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return handled.count() >= 256; }, 20000));
    EXPECT_TRUE(connectBtn->isEnabled());
    ASSERT_EQ(lists.count(), 1);
    EXPECT_EQ(items(list), QStringList{"Vat-7=>127.0.0.37"});
    // The body is logged as plain text, markup and all.
    EXPECT_TRUE(log->toPlainText().contains("Http OK") && log->toPlainText().contains("<b>bold</b>"));
    EXPECT_TRUE(log->isHidden());
    // A scan starts no web engine: the page's view comes with the first page.
    EXPECT_TRUE(form.findChildren<QWebEngineView*>().isEmpty());

    // Equal neighbours are shown once; the first text is compared with a blank.
    const std::pair<QVector<QString>, QStringList> rows[] = {
        {{"a", "a", "b", "a"}, {"a", "b", "a"}}, {{" ", "x"}, {"x"}}, {{}, {}}};
    for (const auto& r : rows) {
        form.receivedDevlist(r.first);
        EXPECT_EQ(items(list), r.second);
    }
}

// A mark that turns the text's direction in a printer's name would show the
// address after it reversed: the list shows the names without them.
TEST_F(WebFormTest, ListShowsNamesWithoutDirectionMarks)
{
    LoopbackHttp rlo, isolate;
    rlo.setPage(NetPrinterScan::requestPath, printerBody("Vat\u202E-7"));
    isolate.setPage(NetPrinterScan::requestPath, printerBody("\u2067Vat-8\u200F\u2069"));
    isolate.setDelayMs(300);  // listed second
    ASSERT_TRUE(listenAll({&rlo, &isolate}, {"127.0.0.37", "127.0.0.38"}));
    form.scanner()->setSource({[] { return QVector<QString>{"127.0.0."}; }, {}, rlo.port()});
    QSignalSpy handled(form.scanner(), &NetPrinterScan::signal_reply_handled);
    child<QPushButton>("pushButtonSearch")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return handled.count() >= 256; }, kHangMs)) << handled.count() << " of 256";
    auto* list = child<QListWidget>("listWidget");
    EXPECT_EQ(items(list), (QStringList{"Vat-7=>127.0.0.37", "Vat-8=>127.0.0.38"}));
    // As the column shows it (drawn off screen: the window itself needs the page's view).
    list->resize(300, 120);
    shot(*list, "netprinter_list_direction_marks.png");
}

TEST_F(WebFormTest, ConnectShowsThePrinterPageWithTheBridge)
{
    LoopbackHttp printer;
    QFile js(":/qtwebchannel/qwebchannel.js");
    ASSERT_TRUE(js.open(QIODevice::ReadOnly));
    printer.setPage("/qwebchannel.js", js.readAll(), "application/javascript");
    printer.setPage("/", "<html><head><script src=\"qwebchannel.js\"></script></head>"
                          "<body style=\"background:#2a7ab0;color:white\"><h1>Loopback printer</h1><script>"
                          "new QWebChannel(qt.webChannelTransport, function(ch) { ch.objects.bridge.showMsgBox(); });"
                          "</script></body></html>",
                          "text/html", "Set-Cookie: vexmor=1; Max-Age=3600\r\nCache-Control: max-age=3600\r\n");
    ASSERT_TRUE(printer.listen("127.0.0.37"));
    form.scanner()->setSource({[] { return QVector<QString>(); }, {}, printer.port()});
    auto* list = child<QListWidget>("listWidget");
    auto* connectBtn = child<QPushButton>("pushButtonConnect");
    QWebEngineProfile* profile = form.view()->page()->profile();
    QSignalSpy connected(&form, &WebForm::signal_dev_connected);
    QSignalSpy loaded(form.view(), &QWebEngineView::loadFinished);
    QSignalSpy cookieAdded(profile->cookieStore(), &QWebEngineCookieStore::cookieAdded);
    QSignalSpy cookieRemoved(profile->cookieStore(), &QWebEngineCookieStore::cookieRemoved);

    // The page's call reaches bridge::showMsgBox, the "About Qt" box.
    auto aboutBoxes = [] {
        QList<QMessageBox*> shown;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible() && box->text().contains("About Qt"))
                shown << box;
        return shown;
    };

    // Nothing listed: Connect does nothing.
    connectBtn->setEnabled(true);
    connectBtn->click();
    EXPECT_EQ(connected.count(), 0);
    EXPECT_TRUE(form.currentDevice().isEmpty());

    form.receivedDevlist({"Vat-7=>127.0.0.37", "Other=>127.0.0.38"});
    list->setCurrentRow(-1);
    connectBtn->click();
    ASSERT_EQ(connected.count(), 1);
    EXPECT_EQ(connected[0].at(0).toString(), "Vat-7=>127.0.0.37");
    EXPECT_EQ(form.currentDevice(), "Vat-7=>127.0.0.37");
    ASSERT_TRUE(QTest::qWaitFor([&] { return loaded.count() >= 1; }, 30000));
    EXPECT_TRUE(loaded[0].at(0).toBool());
    EXPECT_EQ(form.view()->url(), QUrl(QString("http://127.0.0.37:%1/").arg(printer.port())));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !aboutBoxes().isEmpty(); }, 30000));
    // However often the page calls, one box, and the window stays usable.
    for (int i = 0; i < 5; ++i)
        bridge::instance()->showMsgBox();
    ASSERT_EQ(aboutBoxes().size(), 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    aboutBoxes().first()->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return aboutBoxes().isEmpty(); }, 5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return cookieAdded.count() >= 1; }, 10000));

    // Page alone: the whole width, no column.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::qWait(500);
    EXPECT_EQ(form.view()->width(), 1200);
    EXPECT_FALSE(child<QFrame>("frame")->isVisible());
    EXPECT_EQ(QColor(shot(form, "netprinter_printer_page.png").pixel(600, 400)), QColor("#2a7ab0"));

    // The page beside the printer column.
    form.showType(true);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::qWait(500);
    EXPECT_EQ(form.view()->width(), 900);
    const QImage both = shot(form, "netprinter_page_with_column.png");
    EXPECT_EQ(QColor(both.pixel(450, 400)), QColor("#2a7ab0"));
    EXPECT_NE(QColor(both.pixel(1050, 300)), QColor("#2a7ab0"));

    // Disconnect changes nothing.
    EXPECT_TRUE(form.netConnect("Other=>127.0.0.38", false));
    EXPECT_EQ(form.currentDevice(), "Vat-7=>127.0.0.37");
    EXPECT_EQ(connected.count(), 1);

    // ClearCache: cookies gone, the cache folder removed, its parents kept.
    const QString cachePath = profile->cachePath();
    EXPECT_TRUE(cachePath.startsWith(g_home->path() + "/cache/")) << cachePath.toStdString();
    child<QPushButton>("pushButton")->click();
    EXPECT_FALSE(QFileInfo::exists(cachePath));
    EXPECT_TRUE(QFileInfo(cachePath).dir().exists());
    ASSERT_TRUE(QTest::qWaitFor([&] { return cookieRemoved.count() >= 1; }, 10000));
    EXPECT_EQ(cookieRemoved[0].at(0).value<QNetworkCookie>().name(), "vexmor");

    // The page asked again carries no cookie.
    const int before = printer.requests().size();
    loaded.clear();
    form.view()->reload();
    ASSERT_TRUE(QTest::qWaitFor([&] { return loaded.count() >= 1; }, 30000));
    ASSERT_GT(printer.requests().size(), before);
    const QByteArray again = printer.requests()[before];
    EXPECT_TRUE(again.startsWith("GET / ")) << again.toStdString();
    EXPECT_FALSE(again.toLower().contains("\r\ncookie:")) << again.toStdString();
}

// 0.0.0.0 is outside 127.0.0.0/8 for the guard, yet the kernel delivers a
// connection to it over the loopback device, so a guard that failed would
// show up at the probe server on 127.0.0.1 without a packet leaving.
TEST_F(WebFormTest, GuardDropsPageLoadsAndThePagesOwnRequestsToOutsideHosts)
{
    LoopbackHttp probe, printer;
    probe.setPage("/", "<html><body>far</body></html>", "text/html");
    probe.setPage("/probe.png", "x", "image/png");
    ASSERT_TRUE(listenAll({&probe, &printer}, {"127.0.0.1", "127.0.0.37"}));
    const QByteArray far = "http://0.0.0.0:" + QByteArray::number(probe.port());
    printer.setPage("/", "<html><body><img src=\"" + far + "/probe.png\" onload=\"document.title='reached'\""
                         " onerror=\"document.title='dropped'\"></body></html>", "text/html");
    form.scanner()->setSource({[] { return QVector<QString>(); }, {}, probe.port()});
    QSignalSpy connected(&form, &WebForm::signal_dev_connected);
    QSignalSpy started(form.view(), &QWebEngineView::loadStarted);
    QSignalSpy loaded(form.view(), &QWebEngineView::loadFinished);

    // The form's own load is dropped; the rest of Connect goes on.
    EXPECT_TRUE(form.netConnect("Far=>0.0.0.0", true));
    EXPECT_EQ(connected.count(), 1);
    QTest::qWait(300);
    EXPECT_EQ(started.count(), 0);

    // A load past the form is stopped by the profile's interceptor.
    form.view()->load(QUrl(far + "/"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return loaded.count() >= 1; }, 30000));
    EXPECT_FALSE(loaded.last().at(0).toBool());

    // So is the page's own request.
    loaded.clear();
    form.netConnect("Near=>127.0.0.37", true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return loaded.count() >= 1; }, 30000));
    EXPECT_TRUE(loaded.last().at(0).toBool());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form.view()->title().contains('/'); }, 10000));
    EXPECT_EQ(form.view()->title(), "dropped");
    EXPECT_EQ(printer.requests().size(), 1);
    EXPECT_TRUE(probe.requests().isEmpty()) << probe.requests().value(0).toStdString();
}
}
