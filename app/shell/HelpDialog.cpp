#include "HelpDialog.h"

#include "configdir.h"
#include "ownedfile.h"
#include "frmDeviceInterfaceSettings.h"

#include <QDesktopServices>
#include <QSettings>

HelpDialog::HelpDialog(QWidget* parent, frmDeviceInterfaceSettings* settings)
    : QDialog(parent)
    , m_pSettings(settings)
{
    ui.setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setWindowModality(Qt::WindowModal);

    const QUrl site = address(QStringLiteral("Site"));
    if (!site.isEmpty())
        ui.label_2->setText(QStringLiteral("<a href=\"%1\" style=\"color:#4e4e4e;\">%2</a>")
                                .arg(site.toString().toHtmlEscaped(), site.host().toHtmlEscaped()));
    const QUrl mail = address(QStringLiteral("EMail"));
    if (!mail.isEmpty())
        ui.label_3->setText(QStringLiteral("<a href=\"%1\" style=\"color:#4e4e4e;\">%2</a>")
                                .arg(mail.toString().toHtmlEscaped(), mail.path().toHtmlEscaped()));

    connect(ui.closeButton, &QToolButton::clicked, this, &QDialog::close);
    connect(ui.linkFAQButton, &QPushButton::clicked, this, &HelpDialog::link_to_FAQ);
    connect(ui.linkFacebookButton, &QPushButton::clicked, this, &HelpDialog::link_to_facebook);
    connect(ui.linkYoutubeButton, &QPushButton::clicked, this, &HelpDialog::link_to_youtube);
    connect(ui.linkTwitterButton, &QPushButton::clicked, this, &HelpDialog::link_to_twitter);
}

QUrl HelpDialog::address(const QString& role)
{
    const std::unique_ptr<QSettings> ini = OwnedFile::openSettings(vexmorConfigFile(QStringLiteral("VexmorHelp.ini")));
    if (!ini)
        return QUrl();
    const QUrl url(ini->value(QStringLiteral("Help/") + role).toString().trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != "http" && scheme != "https" && scheme != "mailto"))
        return QUrl();
    return url;
}

void HelpDialog::open(const QUrl& url)
{
    if (!url.isEmpty())
        QDesktopServices::openUrl(url);
}

QString HelpDialog::currentModel() const
{
    return m_pSettings ? m_pSettings->m_machineType : QString();
}

void HelpDialog::show_dialog()
{
    const QString model = currentModel();
    if (model == "Pellar10")
        ui.FAQLabel->setText(tr("Pellar10 Trouble Shooting"));
    else if (model == "Pellar30")
        ui.FAQLabel->setText(tr("Pellar30 Trouble Shooting"));
    else if (model == "Pellar120" || model == "Pellar4K" || model == "Pellar4Kmono")
        ui.FAQLabel->setText(tr("In preparaion"));
    show();
}

void HelpDialog::link_to_FAQ()
{
    const QString model = currentModel();
    if (model == "Pellar10" || model == "Pellar30")
        open(address(QStringLiteral("FAQ_") + model));
}

void HelpDialog::link_to_youtube()
{
    open(address(QStringLiteral("Videos")));
}

void HelpDialog::link_to_facebook()
{
    open(address(QStringLiteral("UserGroup")));
}

void HelpDialog::link_to_twitter()
{
    open(address(QStringLiteral("NewsFeed")));
}
