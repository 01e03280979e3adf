#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSemaphore>
#include <QSerialPort>
#include <QString>
#include <atomic>

class AckScanner;
class QThread;

// Port settings as the port thread applies them.
struct SerialSettings {
    qint32 baudRate;
    QSerialPort::DataBits dataBits;
    QSerialPort::Parity parity;
    QSerialPort::StopBits stopBits;
};

// One serial port served on a thread of its own. Callers in any thread hand
// each operation to that thread and wait for it at most
// printerTimings().requestWaitMs; nothing else touches the QSerialPort.
// Bytes that arrive while no EchoCommand waits go to the process-wide receive
// buffer, reached only through the static accessors below.
class MySerialPort : public QObject
{
    Q_OBJECT
public:
    explicit MySerialPort(QString portName);
    ~MySerialPort() override;

    bool setCOM(QString strCOM, int iBautRate, int iDataBits, char chParity, char chStopBits);
    bool isOpen() const { return m_isOpen.load(); }
    // The open port failed under us (unplugged, hung up): it is closed and
    // stays so until the next setCOM.
    bool isLost() const { return m_lost.load(); }
    QString portName() const;
    qint64 write(const QByteArray& data);
    qint64 write(const char* data, qint64 length);  // length < 0: zero-terminated
    void clear();
    void close();
    bool EchoCommand(const QString& command, const QString& expected, QString* reply);

    // How the port thread maps requested settings: unknown baud rates give
    // 9600, data bits other than 5..7 give 8, unknown parity letters none.
    static SerialSettings mapSettings(int baudRate, int dataBits, char parity, char stopBits);

    // The shared receive buffer, each call under its one lock. It keeps at
    // most kResponseLimit bytes: a printer that never stops talking cannot
    // fill the memory; whole old lines make room for new ones.
    static constexpr int kResponseLimit = 256 * 1024;
    static void clearResponse();
    static void appendResponse(const QByteArray& bytes);
    static QByteArray responseData();
    static int indexOfResponse(const QByteArray& text);
    static QList<QByteArray> splitResponse(char separator);
    // Whether bytes were dropped for the limit since the last clear.
    static bool responseOverflowed();
    // The acknowledgement line's position (ReplyLines), or -1.
    static int indexOfAck();
    // AckScanner::scan on the buffer as it stands.
    static int scanResponse(AckScanner& scanner, QList<QByteArray>* others);

signals:
    void sigDataReady(QByteArray data);
    void sigWrite(QByteArray data);
    void sigSetCOM(QString strCOM, int iBautRate, int iDataBits, char chParity, char chStopBits);
    void sigClose();
    void sigClear();
    // Emitted in the port thread when the open port is lost (isLost).
    void sigPortLost(QString reason);

private slots:
    void slotDataReady();
    void slotWrite(QByteArray data);
    void slotSetCOM(QString strCOM, int iBautRate, int iDataBits, char chParity, char chStopBits);
    void slotClose();
    void slotClear();
    void slot_ReceiveReadData(QByteArray data);
    void slotError(QSerialPort::SerialPortError error);

private:
    // Lock, drop stale permits, ask, wait: true when the port thread answered.
    template <typename Emit>
    bool request(QMutex& lock, QSemaphore& done, Emit emitRequest);

    QSerialPort* m_serialPort = nullptr;
    QString m_portName;  // guarded by m_nameLock: set in the port thread, read by callers
    mutable QMutex m_nameLock;
    QThread* m_thread = nullptr;

    QMutex m_writeLock;
    QSemaphore m_writeDone;
    QMutex m_writeResultLock;
    qint64 m_writeResult = -1;

    QMutex m_openLock;
    QSemaphore m_openDone;
    std::atomic<bool> m_isOpen{false};
    std::atomic<bool> m_lost{false};

    QMutex m_closeLock;
    QSemaphore m_closeDone;

    QMutex m_clearLock;
    QSemaphore m_clearDone;

    QMutex m_replyLock;
    QString m_replyBuffer;
    QString m_lastReply;
    QString m_expectedReply;
    QMutex m_echoLock;
    QSemaphore m_replyReady;
    bool m_waitingReply = false;
    QMutex m_waitingLock;

    static QByteArray receivedResponseData;
    static bool ms_responseMidLine;    // its first byte does not start a line
    static bool ms_responseOverflowed;
    static QMutex ms_responseLock;
};
