#pragma once

#include "dlp/machineconfig.h"
#include "dlp/machinepara.h"
#include "dlp/slicebuildconfig.h"

#include <QString>
#include <QThread>

#include <string>

class VSLGLView;

// The print-data thread: writes the print file of the current printer model
// from the sliced scene (command 5); the other commands have no caller.
class MyThread2 : public QThread
{
    Q_OBJECT
public:
    explicit MyThread2(QObject* parent = nullptr);

    bool generatePrintableData();
    bool sliceStart(QString);
    void openfile(VSLGLView* view, QString name);
    bool RepairGL();
    bool AddSuport(int n);
    bool isRepairing() const { return m_nCommand == 2 || (m_nStatus & 4); }
    bool isSupportAdding() const { return m_nCommand == 3 || (m_nStatus & 8); }
    bool isSlicing() const { return m_nCommand == 4 || m_nCommand == 5 || (m_nStatus & 16); }
    void StatusChanged(int);
    void stop();
    void convertConfigData(ST_MachinePara& para) const;
    void deleteModel() {}

    int m_nCommand = 0;
    int m_nSupportArg = 0;
    bool m_bStop = false;
    VSLGLView* m_pView = nullptr;
    DLP::SliceBuildConfig* m_pConfig = nullptr;
    DLP::MachineConfig m_machineConfig;
    float m_fSliceThickness = 0;
    QString m_strDirName;
    QString m_strFileName;
    std::string m_strPath;
    double m_sliceParams[6] = {0, 0, 0, 0, 0, 0};
    quint16 m_nStatus = 0;
    // Whether the last command 5 wrote every file.
    bool m_bLastWriteOk = false;

signals:
    void signal_SliceDone(int layers);
    void signal_openFile(bool sts, QString fileName);
    void signal_PrintDataReady(QString fineName);
    void signal_FixDone(int result, int holes, int manifold, int normal);
    void signal_AddSupportDone();
    void signal_stsChange(int ch, int type);

protected:
    void run() override;
};
