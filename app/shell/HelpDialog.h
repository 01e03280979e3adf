#pragma once

#include "ui_HelpDialog.h"

#include <QDialog>
#include <QUrl>

class frmDeviceInterfaceSettings;

// Help and contact window: version, trouble-shooting documents of the
// current printer model, videos, user group, news feed and contact links.
// The addresses come from "<config>/VexmorHelp.ini"; an empty one opens
// nothing and shows no link.
class HelpDialog : public QDialog
{
    Q_OBJECT
public:
    HelpDialog(QWidget* parent, frmDeviceInterfaceSettings* settings);

    // The address for a role ("FAQ_Pellar10", "FAQ_Pellar30", "Videos",
    // "UserGroup", "NewsFeed", "Site", "EMail"); empty when not configured.
    static QUrl address(const QString& role);

public slots:
    void show_dialog();

private slots:
    void link_to_FAQ();
    void link_to_youtube();
    void link_to_facebook();
    void link_to_twitter();

private:
    static void open(const QUrl& url);
    QString currentModel() const;

    Ui::HelpDialog ui;
    frmDeviceInterfaceSettings* m_pSettings;
};
