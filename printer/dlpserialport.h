#pragma once

#include "printerports.h"

#include <QByteArray>
#include <QList>
#include <QObject>

#include <memory>

class MySerialPort;

// The process-wide connection to the projector printer's motion controller.
// The first getInstance finds the port, opens it and runs the hand-shake; the
// state then stays (a printer plugged in later needs a restart) unless
// handle_DeviceChanged runs, as it does when the held port is lost. The
// statics are not locked: the first call must not overlap another, and they
// change on the thread that made the instance.
class DlpSerialPort : public QObject
{
    Q_OBJECT
public:
    DlpSerialPort(MySerialPort* port, QObject* parent = nullptr);
    ~DlpSerialPort() override;

    static DlpSerialPort* getInstance();
    static MySerialPort* findPrinter();
    static void applySetting();
    static void LoadLightEnginePara();

    // Where findPrinter takes the port list from; an empty function restores
    // the system's list (systemPrinterPorts).
    static void setPortEnumerator(PrinterPortEnumerator enumerator);
    // The port list findPrinter looks at (the enumerator's, or the system's).
    static QList<PrinterPortInfo> printerPorts();

    // Deletes the connection, joining its port thread; the next getInstance
    // discovers again. Runs at application exit.
    static void shutdown();

    // The held port, kept alive for a holder (the print loop during a job)
    // after the connection has dropped it; null while offline.
    static std::shared_ptr<MySerialPort> sharedPort();

    static DlpSerialPort* m_pInstance;
    static MySerialPort* m_pSerialPort;
    static bool m_bOnLine;
    static QList<QByteArray> lightEnginePara;

public slots:
    // Re-runs discovery; a lost port (isLost) counts as none. Connected to
    // the held port's loss.
    void handle_DeviceChanged();

private:
    static void dropPort();
    // Takes `port` as the held port and follows its loss.
    void holdPort(MySerialPort* port);
};
