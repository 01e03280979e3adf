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

protected:
    void run() override;

private:
    VSLModelPainter* m_pPainter;
};
