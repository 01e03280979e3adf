#include "HelpDialog.h"
#include "frmDeviceInterfaceSettings.h"
#include "notices.h"

#include <QDesktopServices>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

namespace {

class Help : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("VEXMOR_CONFIG_DIR", dir.path().toUtf8());
        vexmorInitResources();
        for (const char* scheme : {"http", "https", "mailto", "ftp", "file"})
            QDesktopServices::setUrlHandler(scheme, &recorder, "open");
    }
    void TearDown() override
    {
        for (const char* scheme : {"http", "https", "mailto", "ftp", "file"})
            QDesktopServices::unsetUrlHandler(scheme);
        qunsetenv("VEXMOR_CONFIG_DIR");
    }
    void configure(const QMap<QString, QString>& roles)
    {
        QSettings ini(dir.filePath("VexmorHelp.ini"), QSettings::IniFormat);
        for (auto it = roles.begin(); it != roles.end(); ++it)
            ini.setValue("Help/" + it.key(), it.value());
    }
    QTemporaryDir dir;
    UrlRecorder recorder;
};

TEST_F(Help, TroubleShootingCaptionFollowsTheModelWhenOpened)
{
    frmDeviceInterfaceSettings settings(nullptr);
    HelpDialog help(nullptr, &settings);
    auto* caption = help.findChild<QLabel*>("FAQLabel");
    const std::pair<const char*, const char*> rows[] = {
        {"Pellar30", "Pellar30 Trouble Shooting"}, {"Pellar300", "Pellar30 Trouble Shooting"},
        {"Pellar4K", "In preparaion"}, {"Pellar10", "Pellar10 Trouble Shooting"},
        {"Pellar4Kmono", "In preparaion"}, {"Pellar120", "In preparaion"}};
    for (auto [model, text] : rows) {
        settings.m_machineType = model;
        help.show_dialog();
        EXPECT_EQ(caption->text(), text) << model;
        help.close();
    }
}

TEST_F(Help, OnlyConfiguredWebAndMailAddressesOpen)
{
    configure({{"Videos", "http://127.0.0.1:9/videos"}, {"NewsFeed", "ftp://127.0.0.1/feed"},
               {"FAQ_Pellar30", "https://127.0.0.1/p30"}, {"EMail", "mailto:help@localhost"},
               {"UserGroup", ""}});
    frmDeviceInterfaceSettings settings(nullptr);
    HelpDialog help(nullptr, &settings);
    auto click = [&](const char* name) { help.findChild<QPushButton*>(name)->click(); };

    click("linkYoutubeButton");
    click("linkTwitterButton");  // ftp: refused
    click("linkFacebookButton"); // empty
    settings.m_machineType = "Pellar10";
    click("linkFAQButton"); // no address for this model
    settings.m_machineType = "Pellar30";
    click("linkFAQButton"); // read at the click, not at opening
    settings.m_machineType = "Pellar4K";
    click("linkFAQButton");
    EXPECT_EQ(recorder.opened, (QList<QUrl>{QUrl("http://127.0.0.1:9/videos"), QUrl("https://127.0.0.1/p30")}));

    EXPECT_TRUE(help.findChild<QLabel*>("label_2")->text().isEmpty()); // no site configured
    EXPECT_TRUE(help.findChild<QLabel*>("label_3")->text().contains("mailto:help@localhost"));
}

} // namespace

#include "test_help_dialog.moc"
