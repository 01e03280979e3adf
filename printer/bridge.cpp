#include "bridge.h"

#include <QMessageBox>
#include <QPixmap>

bridge* bridge::instance()
{
    static bridge one;
    return &one;
}

void bridge::showMsgBox()
{
    // The printer's page calls this at will: one box at a time and not
    // modal, so a page that calls it again and again cannot hold the window.
    if (m_box) {
        m_box->raise();
        return;
    }
    m_box = new QMessageBox(QMessageBox::NoIcon, tr("Qt"),
                            tr("<h3>About Qt</h3><p>This program uses Qt version %1.</p>").arg(qVersion()),
                            QMessageBox::Ok);
    const QPixmap logo(QStringLiteral(":/qt-project.org/qmessagebox/images/qtlogo-64.png"));
    if (!logo.isNull())
        m_box->setIconPixmap(logo);
    m_box->setAttribute(Qt::WA_DeleteOnClose);
    m_box->setModal(false);
    m_box->show();
}
