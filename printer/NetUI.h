#pragma once

#include "TcpThread.h"

#include <QHostAddress>
#include <QString>
#include <QUdpSocket>
#include <QVector>
#include <QWidget>

#include <functional>

class QTimer;
class Ui_NetUI;

// Where the search goes and how often: the defaults are the printer's own
// (broadcast to port 1989 from local port 8090); tests aim at loopback.
struct NetUiSettings {
    QHostAddress target{QHostAddress::Broadcast};
    quint16 targetPort = 1989;
    QHostAddress bindAddress{QHostAddress::Any};
    quint16 localPort = 8090;
    int searchIntervalMs = 2000;
    int progressIntervalMs = 1000;
    TcpTimings tcp;
    // The destructor waits this long for the transfer thread to end.
    int stopWaitMs() const { return tcp.disconnectWaitMs + 5000; }
};

// The older network panel: finds printers by UDP, keeps the list of those
// that answer as "text=>address", sends a print file to one of them through
// a TcpThread and reports its progress; a cancel is announced by UDP until a
// printer acknowledges it.
class NetUI : public QWidget
{
    Q_OBJECT
public:
    explicit NetUI(QWidget* parent = nullptr);
    ~NetUI() override;

    // Takes effect for the sockets, timers and thread made after the call.
    void setSettings(const NetUiSettings& settings) { m_settings = settings; }
    const NetUiSettings& settings() const { return m_settings; }
    using InfoBox = TcpThread::InfoBox;
    void setInfoBox(InfoBox box);

    void netSearch(bool on);
    bool netConnect(QString dev, bool isconnect);
    void netTransfer(unsigned char cmd);

    const QVector<QString>& deviceList() const { return m_devices; }
    QString searchWord() const { return m_searchWord; }
    TcpThread* transferThread() const { return m_tcp; }
    QTimer* searchTimer() const { return m_searchTimer; }
    QTimer* progressTimer() const { return m_speedTimer; }
    quint16 localPort() const { return m_udp.localPort(); }
    Ui_NetUI* form() const { return ui; }

    static const char* const searchWordDefault;  // "Vexmor3D"
    static const char* const cancelWord;         // "Vexmor3D_NET_TRANSFER_CANCEL"

public slots:
    void udpTimeOut();
    void udpProcessPendingDatagrams();
    void speedTimeOut();
    void slot_fileSend(QString filename);
    void slot_tcpByteSend(qulonglong sent, qulonglong total);
    void slot_connect(QString, bool) {}

signals:
    void signal_fileSend(QString filename);
    void signal_tcpByteSend(qulonglong sent, qulonglong total);
    void signal_dev_list(QVector<QString> list);
    void signal_DlpCtrlComErr();
    void signal_netConnect(bool flag);

private:
    void ensureSearchTimer();
    void sendWord();
    void handleDatagram(const QByteArray& data, const QHostAddress& sender);
    void info(const QString& text);

    Ui_NetUI* ui;
    QUdpSocket m_udp;
    QTimer* m_searchTimer = nullptr;
    QTimer* m_speedTimer = nullptr;
    QVector<QString> m_devices;
    TcpThread* m_tcp = nullptr;
    quint8 m_lastPercent = 0;
    QString m_searchWord;
    NetUiSettings m_settings;
    InfoBox m_infoBox;
};
