#pragma once

#include <QString>
#include <QVector>
#include <QWidget>

class NetPrinterScan;
class QWebChannel;
class QWebEngineView;
namespace Ui
{
class WebForm;
}

// The network printer window: finds printers over HTTP (NetPrinterScan),
// lists them as "name=>address" and shows the chosen printer's own page with
// the "bridge" object on the page's web channel.
class WebForm : public QWidget
{
    Q_OBJECT
public:
    explicit WebForm(QWidget* parent = nullptr);
    ~WebForm() override;

    // true: the page beside the 300-pixel printer column; false: the page alone.
    void showType(bool type);
    // Starts a scan; the argument is not used.
    void netSearch(bool);
    void getIpArea(QVector<QString>& areas);
    // Opens the page of a device entry; false does nothing. Returns true.
    bool netConnect(const QString& dev, bool isconnect);
    // Refills the list, showing an entry equal to the one before it once.
    void receivedDevlist(QVector<QString> list);
    void netTransfer(unsigned char) {}

    // Deletes a folder and everything below it; never a folder above it.
    static bool deleteDir(const QString& path);

    NetPrinterScan* scanner() const { return m_scan; }
    QWebEngineView* view();
    QString currentDevice() const { return m_currentDev; }

signals:
    void signal_dev_list(QVector<QString> list);
    void signal_dev_connected(QString dev);

private slots:
    void on_pushButtonSearch_clicked();
    void on_pushButtonConnect_clicked();
    void on_pushButton_clicked();

private:
    void slot_replyHandled(bool matched);
    void slot_devList(const QVector<QString>& list);
    void slot_log(const QString& text);

    NetPrinterScan* m_scan;
    QWebEngineView* m_view;
    Ui::WebForm* ui;
    QWebChannel* m_channel;
    QString m_currentDev;
};
