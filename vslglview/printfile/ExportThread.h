#pragma once

#include "dlp/machinepara.h"

#include <QImage>
#include <QMap>
#include <QSaveFile>
#include <QString>
#include <QThread>
#include <QVector>

#include <functional>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

// Results of a converter job, passed with signal_ExportDataDone.
enum ExportResultCode {
    ExportOk = 0,
    ExportOutputFailed = -1,     // output cannot be created or written
    ExportArchiveFailed = -2,    // archive cannot be opened
    ExportGcodeMissing = -3,     // "run.gcode" missing or unreadable
    ExportLayerFailed = -4,      // a layer member missing, unreadable or not a usable image
    ExportBadArchiveData = -5,   // header out of range or unreadable
    ExportSourceInvalid = -6,    // re-save source missing or not a VXS file
    ExportNoJob = -7,            // m_exportType names no job
    ExportNothingLit = -8,       // no layer lights a pixel
    ExportWrongPrinter = -9,     // re-save source of another machine code than the printer's
    ExportTooTall = -10          // the layers stand taller than the printer builds
};

// Converter worker: re-saves a VXS file with a new parameter block, or turns
// a ChiTuBox print archive into a VXS file for a printer model. The panel
// fills the public fields, then the main window starts the thread. Output is
// written to a temporary file that replaces the destination only when the
// job has succeeded, so a failed job leaves no partial file.
class ExportThread : public QThread
{
    Q_OBJECT
public:
    ExportThread();
    ~ExportThread() override;

    int Export_Vexmor3D();
    int Export_ChiTuBox();
    int LoadGcode_ChiTuBox();
    void CompressImage();
    int LoadArgs(int argc, char** argv);
    int ParseParameters();

    // Of the last job run by this thread or the last call above.
    int lastResult() const { return m_result; }
    // Why the job failed; after a successful conversion empty, or notes
    // joined by "; ": one starting "preview dropped" when the archive's
    // preview was unusable, one naming the pictures numbered past the
    // header's count (in any spelling or folder), which it left out.
    // Thumbnails are no layers and go unmentioned. In the interface's language.
    QString lastMessage() const { return m_message; }
    // Layer number (from 1) that stopped the last conversion, or 0.
    int failedLayer() const { return m_failedLayer; }

    QuaZip m_zip;
    QuaZipFile m_zipFile;
    QSaveFile m_outFile;
    QString m_zipPath;
    QString m_exportPath;
    QString m_srcPath;
    QString m_dstPath;
    // The file this job writes: the re-save's or the conversion's.
    QString outputPath() const { return m_exportType == QLatin1String("Vexmor3D") ? m_dstPath : m_exportPath; }
    QString m_machineName;
    int m_machineCode = 0;
    // Build area of an archive conversion in micrometres, as the panel read it.
    int m_nMachineX = 0;
    int m_nMachineY = 0;
    QMap<QString, QString> m_gcodeParas;
    ST_MachinePara m_para{};
    int m_grayBits = 4;
    int m_imageWidth = 0;
    int m_imageHeight = 0;
    int m_totalLayer = 0;
    QImage m_layerImage;
    QVector<unsigned char> m_rleData;
    QString m_exportType;
    // Bytes of layer pixels a conversion may hold in flight, whatever the core count.
    qint64 m_decodeBudget = qint64(512) << 20;
    // Test hook: told the bytes in flight whenever they change (worker threads).
    std::function<void(qint64)> m_inFlightObserver;

signals:
    void signal_ExportDataDone(int result, const QString& message);

protected:
    void run() override;

private:
    int fail(int code, const QString& message);
    int readHeaderOfOpenArchive();
    // Decodes the archive's preview into `preview` (null when there is none
    // or it cannot be used); a non-empty result says why it was dropped.
    QString readPreview(QImage& preview);
    // Every layer image must be of `sourceFrame` (before any scaling).
    // The preview is let go once the header is written.
    int writeConversion(QImage preview, const QSize& sourceFrame);
    bool writeLayerRecord(QDataStream& out, const QVector<unsigned char>& code);
    void closeArchive();
    void discardOutput();

    int m_result = 0;
    QString m_message;
    int m_failedLayer = 0;
};
