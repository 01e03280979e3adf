#include "WebForm.h"

#include "LoopbackGuard.h"
#include "NetPrinterScan.h"
#include "bridge.h"
#include "ui_WebForm.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextCursor>
#include <QWebChannel>
#include <QWebEngineCookieStore>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

WebForm::WebForm(QWidget* parent)
    : QWidget(parent)
    , m_scan(nullptr)
    , m_view(nullptr)
    , ui(new Ui::WebForm)
    , m_channel(nullptr)
{
    ui->setupUi(this);

    m_scan = new NetPrinterScan(this);
    connect(m_scan, &NetPrinterScan::signal_dev_list, this, &WebForm::slot_devList);
    connect(m_scan, &NetPrinterScan::signal_reply_handled, this, &WebForm::slot_replyHandled);
    connect(m_scan, &NetPrinterScan::signal_log, this, &WebForm::slot_log);

    ui->pushButtonConnect->hide();
    ui->pushButtonConnect->setEnabled(false);
    ui->pushButtonSearch->hide();
    ui->textEdit->hide();
    ui->listWidget->hide();

    setFixedSize(1200, 600);
    setWindowFlags(windowFlags() & ~Qt::WindowMaximizeButtonHint);
}

WebForm::~WebForm()
{
    delete ui;
    delete m_view;
}

QWebEngineView* WebForm::view()
{
    // The web engine starts with its first view: made when the page is
    // first needed, so a session that never opens it neither starts nor
    // ends the engine.
    if (m_view)
        return m_view;
    m_view = new QWebEngineView(this);
    m_view->setFixedWidth(900);
    m_channel = new QWebChannel(this);
    m_channel->registerObject(QStringLiteral("bridge"), bridge::instance());
    m_view->page()->setWebChannel(m_channel);
    LoopbackGuard::protectProfile(m_view->page()->profile());
    return m_view;
}

void WebForm::getIpArea(QVector<QString>& areas)
{
    NetPrinterScan::getIpArea(areas);
}

void WebForm::netSearch(bool)
{
    if (ui->pushButtonConnect->isEnabled())
        ui->pushButtonConnect->setEnabled(false);
    if (ui->pushButtonSearch->isEnabled())
        ui->pushButtonSearch->setEnabled(false);
    ui->listWidget->clear();
    m_scan->start();
}

void WebForm::slot_devList(const QVector<QString>& list)
{
    emit signal_dev_list(list);
    receivedDevlist(list);
}

void WebForm::slot_replyHandled(bool matched)
{
    if (matched && !ui->pushButtonConnect->isEnabled())
        ui->pushButtonConnect->setEnabled(true);
    if (!ui->pushButtonSearch->isEnabled())
        ui->pushButtonSearch->setEnabled(true);
}

void WebForm::slot_log(const QString& text)
{
    // The body comes from the network: plain text, never markup.
    QTextCursor cursor(ui->textEdit->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
}

void WebForm::receivedDevlist(QVector<QString> list)
{
    ui->listWidget->clear();
    QString previous = QStringLiteral(" ");
    for (const QString& entry : list) {
        if (entry != previous) {
            previous = entry;
            ui->listWidget->addItem(entry);
        }
    }
}

void WebForm::on_pushButtonSearch_clicked()
{
    netSearch(false);
}

bool WebForm::netConnect(const QString& dev, bool isconnect)
{
    if (!isconnect)
        return true;
    const QUrl url = m_scan->pageUrl(NetPrinterScan::entryAddress(dev));
    if (LoopbackGuard::allows(url))
        view()->page()->load(url);
    else
        qDebug() << "Loopback guard: page load dropped" << url.toString();
    // The view joins the layout at the first connection and stays there.
    if (ui->verticalLayout->indexOf(view()) < 0)
        ui->verticalLayout->addWidget(view());
    m_currentDev = dev;
    emit signal_dev_connected(dev);
    showType(false);
    return true;
}

void WebForm::on_pushButtonConnect_clicked()
{
    const int count = ui->listWidget->count();
    if (count == 0)
        return;  // nothing listed, nothing to open
    int row = ui->listWidget->currentRow();
    if (row < 0 || row >= count)
        row = 0;
    netConnect(ui->listWidget->item(row)->text(), true);
}

void WebForm::showType(bool type)
{
    const int w = width();
    const int h = height();

    view()->hide();
    ui->frame->hide();
    hide();
    ui->listWidget->hide();
    ui->pushButtonConnect->hide();
    ui->pushButtonSearch->hide();
    ui->textEdit->hide();

    m_view->setGeometry(0, 0, w, h);
    // The grid is one pixel wider than the form as designed; fitted to the
    // form it puts the column at w - 300 as set below, instead of a pixel
    // further right with its edge cut off.
    ui->gridLayoutWidget->setGeometry(0, 0, w, h);
    QRect strip = ui->frame->geometry();
    strip.setLeft(w - 300);
    strip.setRight(w);
    strip.setBottom(h);
    ui->frame->setGeometry(strip);
    ui->frame->move(w - 300, 0);
    m_view->setFixedWidth(type ? w - 300 : w);

    ui->pushButtonConnect->setVisible(type);
    ui->pushButtonSearch->setVisible(type);
    ui->listWidget->setVisible(type);
    ui->gridLayout->update();
    ui->verticalLayout->update();
    ui->verticalLayout_2->update();
    ui->frame->setVisible(type);
    m_view->show();
    show();
}

void WebForm::on_pushButton_clicked()
{
    QWebEngineProfile* profile = view()->page()->profile();
    profile->clearHttpCache();
    profile->cookieStore()->deleteAllCookies();
    const QString path = profile->cachePath();
    qDebug() << "Cache path:" << path;
    if (!QDir(path).exists())
        return;
    if (QDir().rmdir(path)) {
        qDebug() << "remove cache path Success" << path;
    } else {
        qDebug() << "remove cache path failed" << path;
        deleteDir(path);
    }
}

bool WebForm::deleteDir(const QString& path)
{
    if (path.isEmpty())
        return false;
    QDir dir(path);
    if (!dir.exists())
        return true;
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::Drives | QDir::Hidden
                                                    | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& fi : entries) {
        if (fi.isDir() && !fi.isSymLink()) {
            deleteDir(fi.absoluteFilePath());
            qDebug() << "Remove Dir:" << fi.absoluteFilePath();
        } else {
            // A link is removed as a link, never followed into its target.
            QFile::remove(fi.absoluteFilePath());
            qDebug() << "Remove:" << fi.fileName();
        }
    }
    // Only the folder itself: its parents may hold more than the cache.
    return QDir().rmdir(dir.absolutePath());
}
