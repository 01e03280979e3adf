#pragma once
#include <QThread>

class VSLModelPainter;

// Support worker of one instance: run() generates that painter's supports.
// Lives next to the painter because it calls into it.
class SupportThread : public QThread {
    Q_OBJECT
public:
    explicit SupportThread(VSLModelPainter* painter) : m_pPainter(painter) {}
    // Asks the running generation to stop at its next check; the caller
    // still waits for the thread.
    void stop();
    // True when a stop was asked for; a raised instance then goes back down
    // by its lift (once: a second call finds it lowered). Nothing in the
    // run calls it: the run stops through its own checks.
    bool CheckStopped();

signals:
    // Declared for the topology pass's listeners; never emitted here.
    void sig_FixerFailed();
    void sig_FixerComplete();
    void sig_FixerStatusChanged();

protected:
    void run() override;

private:
    VSLModelPainter* m_pPainter;
};
