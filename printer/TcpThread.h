#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QFile>
#include <QMutex>
#include <QString>
#include <QThread>
#include <QTcpSocket>
#include <QTimer>

#include "transferreplies.h"

#include <atomic>
#include <deque>
#include <functional>

class QWidget;



// Every port, wait and cadence of the file transfer. The defaults are the
// printer's own figures; tests use scaled copies on loopback ports.
struct TcpTimings {
    quint16 port = 8099;
    int connectWaitMs = 30000;     // newConnect, and the first connection
    int writeWaitMs = 30000;       // a packet counts as written after this at the latest
    int disconnectWaitMs = 30000;  // disConnect and shutdown
    int pollMs = 100;              // state 1: one poll per pass
    int reconnectPassMs = 1000;    // not connected: one pass per second
    int idlePassMs = 1000;         // added to a pass in states 0 and 4
    int reconnectWaitMs = 5000;    // one reconnect try
    int callWaitMs = 30000;        // a caller waits this long for the worker
    int finalAckWaitMs = 60000;    // state 3 waits this long for the last acknowledgement
    int headerSends = 12;          // an unacknowledged header goes this often, then the transfer fails

    // Every duration multiplied by factor (at least 1 ms); the port stays.
    TcpTimings scaled(double factor) const;
};

// Sends a print file to a network printer over TCP: a header naming the file
// and its size, then the bytes in packets of 1024, with the printer's
// acknowledgements, a resend of an unacknowledged header and reconnection.
//
// The socket lives in the worker thread, which runs an event loop; callers in
// other threads reach it through queued calls and wait (bounded) where a
// result is returned. Timers drive the polls, resends and reconnects.
class TcpThread : public QThread
{
    Q_OBJECT
public:
    enum PacketKind { HeaderPacket, BodyPacket, ResentPacket, SentPacket };
    // State 6: the transfer failed (see failureReason); a new file may be offered.
    static constexpr int kFailedState = 6;

    // Only the address is used; the object gets no parent. The connection is
    // made by the worker as soon as the thread runs.
    TcpThread(QString, QString address, QObject* parent = nullptr, const TcpTimings& timings = TcpTimings());
    ~TcpThread() override;

    bool newConnect(QString address);
    bool disConnect();
    bool transferCancel();

    // Ends the worker's loop (the socket is disconnected first) and waits at
    // most waitMs for the thread; true when it has finished.
    bool stop(int waitMs);

    int state() const { return m_state; }
    // Why the last transfer failed (state 6).
    QString failureReason() const;
    bool isConnected() const { return m_connected; }
    // Passes of the worker in state 1, and not connected, since construction.
    int pollCount() const { return m_pollCount; }
    int reconnectPasses() const { return m_reconnectPasses; }
    // Replies read from the printer since construction.
    int replyCount() const { return m_replyCount; }

    // Replaces the "File is Sending" box (tests record it instead).
    using InfoBox = std::function<void(const QString& title, const QString& text)>;
    void setInfoBox(InfoBox box) { m_infoBox = std::move(box); }
    // The "Warnning" box of the network panel and of this thread: `box`, or a
    // message box over `parent` when it is empty.
    static void showInfo(const InfoBox& box, QWidget* parent, const QString& text);

    static std::atomic<bool> s_isexist;
    static std::atomic<qint64> TotalBytes;
    static std::atomic<qint64> bytesSended;
    static std::atomic<qint64> bytesToSend;

    // The 8-bit exclusive-or of the bytes; 0 for none.
    static unsigned char actCalcChecksum(const char* data, unsigned short length);
    // The header packet of a file: "L:0S:" + N + "D:" + T in the local 8-bit
    // encoding, N the length of T in characters.
    static QByteArray headerPacket(const QString& fileName, qint64 size);
    // "L:0S:" + N + "D:" + text, N the text's length in characters.
    static QString framed(const QString& text);

    // In state 2 with bytes left: one body packet (state 3 after the last),
    // then signal_tcpBytesSend(bytesSended, TotalBytes).
    void streamBodySend();
    // In states 1 and 2: the last packet written again.
    void streamResend();
    // Writes the bytes and waits (bounded) until they are out; returns the
    // count written, -1 when nothing could be (not connected, no bytes).
    qint64 tcpSend(char* data, short length);
    // The text framed as a header, in Latin-1, written as tcpSend does.
    qint64 tcpSend(QString text);
    void fileTransfer() {}

public slots:
    // Offers a file: refused with a box while one is under way (states 1, 2, 5).
    void slot_sendFile(QString path);

signals:
    void signal_tcpBytesSend(qlonglong, qlonglong);
    void error(QTcpSocket::SocketError socketError);
    // Emitted in the worker thread for each packet handed to the socket and
    // each state change.
    void signal_packetWritten(int kind, int length);
    void signal_stateChanged(int state);
    // The transfer failed (state 6): why.
    void signal_transferFailed(QString reason);

protected:
    void run() override;

private:
    using Done = std::function<void(bool)>;
    bool call(std::function<void(Done)> task, bool fallback, int waitMs);
    using Count = std::function<void(qint64)>;
    qint64 callCount(std::function<void(Count)> task, qint64 fallback, int waitMs);
    // Queues a call for the worker's loop (run once the thread runs).
    void post(std::function<void()> task);
    void runPosted();

    // Worker-thread side.
    void setupWorker();
    void teardownWorker();
    void startAttempt(int waitMs, Done done);
    void finishAttempt(bool ok);
    void connectedSlot();
    void disconnectedSlot();
    void displayError(QAbstractSocket::SocketError socketError);
    void receiveData();
    void markDisconnected();
    void schedulePass();
    void pass();
    void reconnectStep();
    bool offer(const QString& path);
    void streamHeadSend(const QString& path);
    void pumpBody();
    void onWritten();
    qint64 writePacket(const QByteArray& packet, PacketKind kind);
    void sendBodyPacket();
    void setState(int state);
    void fail(const QString& reason);

    QMutex m_sendLock;
    mutable QMutex m_postLock;
    std::deque<std::function<void()>> m_posted;
    QObject* m_ctx = nullptr;         // lives in the worker thread; parent of the socket and timers
    QTcpSocket* m_socket = nullptr;   // worker thread only
    QTimer* m_passTimer = nullptr;
    QTimer* m_attemptTimer = nullptr;
    QTimer* m_writeTimer = nullptr;
    QTimer* m_disconnectTimer = nullptr;
    QTimer* m_finalAckTimer = nullptr;
    QString m_path;
    QFile m_file;
    QByteArray m_receive;             // the data of the last read
    TransferReplies m_replies;        // the messages they make up
    QByteArray m_fileData;
    std::atomic<int> m_state{0};
    qint64 m_lastLength = 0;
    int m_reconnectCounter = 0;
    int m_resendCounter = 0;
    int m_attempts = 0;
    int m_headerSends = 0;            // sends of the header waiting for its acknowledgement
    QString m_failure;                // guarded by m_postLock
    QString m_address;
    std::atomic<bool> m_connected{false};
    QByteArray m_packet;              // the last packet written, sized to it

    TcpTimings m_timings;
    InfoBox m_infoBox;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_pollCount{0};
    std::atomic<int> m_reconnectPasses{0};
    std::atomic<int> m_replyCount{0};
    bool m_connecting = false;
    bool m_flushPending = false;
    Done m_attemptDone;
    Done m_disconnectDone;
    Count m_flushDone;                // a tcpSend waiting for its bytes to go out
};
