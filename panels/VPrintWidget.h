#pragma once

#include "RecipePara.h"
#include "WebForm.h"
#include "dlp/machineconfig.h"
#include "dlp/slicebuildconfig.h"

#include <QList>
#include <QTime>
#include <QWidget>

#include <functional>
#include <string>

class NetUI;
class QButtonGroup;
class QPainter;
class QLineEdit;
class QModelIndex;
class QSettings;
class VPrintMsgBox;
class VSLGLView;
namespace Ui {
class VPrintWidget;
}

// The first print panel: a list of resin materials with all their exposure
// and motion values, kept in "VXTLcdMaterial.ini" in the working directory.
class VPrintWidget : public QWidget
{
    Q_OBJECT
public:
    VPrintWidget(VSLGLView* view, DLP::SliceBuildConfig& config, QWidget* parent = nullptr);
    ~VPrintWidget() override;

    void readIniFile();
    // False when the file could not be written (the list stays as it is).
    bool writeIniFile();
    static void setDefaultPara(RecipePara& para);
    void updateUI();
    void updateCurPara();

    // The network finder's scan source (addresses, port), for hosts and tests.
    NetPrinterScan* scanner() const { return m_webForm.scanner(); }

    // Whether the projector printer is on line; by default the serial link.
    // Empty restores it.
    using LinkCheck = std::function<bool()>;
    void setLinkCheck(LinkCheck check) { m_linkCheck = std::move(check); }
    // Time of day for the layer reports. Empty restores the system clock.
    using Clock = std::function<QTime()>;
    void setClock(Clock clock) { m_clock = std::move(clock); }

    std::string m_strGcodePath;
    DLP::SliceBuildConfig& m_buildConfig;
    DLP::MachineConfig m_machineConfig;
    QSettings* m_pSettings = nullptr;
    VPrintMsgBox* m_pMsgBox = nullptr;
    QList<RecipePara>* m_pListMaterial = nullptr;
    QButtonGroup* m_pPrinterGroup = nullptr;
    WebForm m_webForm;
    int m_CurIndex = 0;
    int m_nCurLayer = 0;
    int m_nIndexType = 0;
    int m_bStopRequested = 0;
    VSLGLView* m_pView = nullptr;
    int m_nPreviewResX = 2560;
    int m_nPreviewResY = 1440;
    int m_nPreviewWidth = 0;
    int m_nPreviewHeight = 0;
    bool m_bSliceData = false;
    int m_nLayers = 0;
    int m_nPrevIndex = 0;
    int m_nTotalSeconds = 0;
    int m_nHours = 0;
    int m_nMinutes = 0;
    qint64 m_nElapsedMs = 0;
    QTime m_lastTime;
    bool m_bSkipSave = false;
    NetUI* m_pNetUI = nullptr;
    quint8 m_nPrinterSelect = 2;
    bool m_bConnected = false;
    bool m_bJobAborted = false;
    quint8 m_nProgress = 0;
    QString m_strMsgStyle;

signals:
    void signal_SendStartPrint();
    void signal_PrintDataGenerate();
    void signal_SendCancelPrint();
    void signal_emermencyStop();

public slots:
    // Refused starts tell why, enable the start button again and leave the
    // build configuration as it was.
    void slot_EmitStartPrint();
    void slot_EmitCancelPrint();
    void on_printerSelect();
    void on_pbStop();
    void slot_ReceiveIndexLayers(int index, int type);
    void slot_para(bool longSide, bool shortSide, float pwm, float x, float y, float z);
    void on_comboBox_currentIndexChanged(int index);
    void on_Laythick_clicked(const QModelIndex& index);
    void on_pushButton();
    void on_pushButton_2();
    void on_pushButton_3();
    void slot_SavePara();
    void on_edit_tilt_dist1_editingFinished();
    void on_pbSearch();
    void on_pbConnect();
    void slot_dev_list(QVector<QString> list);
    void slot_dev_connected(QString dev);
    void showWebform(bool type);
    bool WriteBinaryParas(QString fileName);
    // The save panel's estimate (64-bit, bottom layers within the job).
    void CalcTotalPrintTime();
    void slot_ReceiveNLayers(int layers);
    // The current layer in printer pixels; all black while the scene's slice
    // workers are still writing the layers.
    void paint(QPainter& painter);
    void slot_updSliceBrowser(int layer);
    void slot_printDataSend(QString fileName);
    void slot_ReceivePrintDone();
    void slot_bytesSended(qulonglong sent, qulonglong total);
    void msgOut(const QString& text, const QString& info);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Asks the name and description of a new material; false when cancelled.
    bool askNewMaterial(const QString& name, const QString& info, RecipePara& material);
    void fillNames();
    int showBox(const QString& text, int buttons, int defaultButton);
    QList<QLineEdit*> userFields() const;
    void copyFieldsTo(DLP::SliceBuildConfig& c) const;
    // Why the job cannot be one a printer takes, naming the material file and
    // key the value came from; empty when it can.
    QString jobValueProblem(const DLP::SliceBuildConfig& job) const;
    bool printerOnline();
    // Refuses a start: the message, and the button back for another try.
    void refuse(const QString& text, const QString& info);

    LinkCheck m_linkCheck;
    Clock m_clock;

    Ui::VPrintWidget* ui;
};
