#include "vslfunction/savecommit.h"

#include <QDebug>
#include <QFileInfo>
#include <QSettings>
#include <QtGlobal>

#include <cerrno>
#include <QStorageInfo>

QString FileErrorSentence(QFileDevice::FileError error)
{
    switch (error) {
    case QFileDevice::NoError: return QStringLiteral("No error");
    case QFileDevice::ReadError: return QStringLiteral("The file could not be read");
    case QFileDevice::WriteError: return QStringLiteral("The file could not be written");
    case QFileDevice::FatalError: return QStringLiteral("A fatal error occurred");
    case QFileDevice::ResourceError: return QStringLiteral("No space left on the device");
    case QFileDevice::OpenError: return QStringLiteral("The file could not be opened");
    case QFileDevice::AbortError: return QStringLiteral("The operation was aborted");
    case QFileDevice::TimeOutError: return QStringLiteral("The operation timed out");
    case QFileDevice::UnspecifiedError: return QStringLiteral("The file could not be written");
    case QFileDevice::RemoveError: return QStringLiteral("The file could not be removed");
    case QFileDevice::RenameError: return QStringLiteral("The finished file could not replace the destination");
    case QFileDevice::PositionError: return QStringLiteral("The position in the file could not be changed");
    case QFileDevice::ResizeError: return QStringLiteral("The file could not be resized");
    case QFileDevice::PermissionsError: return QStringLiteral("Permission denied");
    case QFileDevice::CopyError: return QStringLiteral("The file could not be copied");
    }
    return QStringLiteral("The file could not be written");
}


namespace {

// True when the file system holding `path` has (next to) no room left.
bool DiskFullAt(const QString& path)
{
    const QStorageInfo storage(QFileInfo(path).absolutePath());
    // A write fails once what is left is less than a block.
    return storage.isValid() && storage.bytesAvailable() < 64 * 1024;
}

} // namespace

QFileDevice::FileError WriteFailure(const QFileDevice& file)
{
    if (DiskFullAt(file.fileName()))
        return QFileDevice::ResourceError;
    return file.error() == QFileDevice::NoError ? QFileDevice::WriteError : file.error();
}

QString FileErrorDetail(const QFileDevice& file, int systemError)
{
    const QString qtWords = file.errorString();
    if (systemError != 0 && (qtWords.isEmpty() || qtWords == QLatin1String("Unknown error")))
        return qt_error_string(systemError);
    return qtWords;
}

QString WriteFailureSentence(const QFileDevice& file) { return FileErrorSentence(WriteFailure(file)); }

bool CommitSaveFile(QSaveFile& file, QFileDevice::FileError& failure, QString* detail)
{
    // A write that already failed, or what is still buffered failing now.
    // Qt's own commit would rename the short file over the old one.
    errno = 0;
    if (file.error() != QFileDevice::NoError || !file.flush()) {
        const int systemError = errno;
        failure = WriteFailure(file);
        if (detail)
            *detail = FileErrorDetail(file, systemError);
        file.cancelWriting();
        file.commit(); // drops the temporary file
        return false;
    }
    if (file.commit())
        return true;
    const int systemError = errno;
    failure = WriteFailure(file);
    if (detail)
        *detail = FileErrorDetail(file, systemError);
    return false;
}

bool CommitSaveFile(QSaveFile& file, QString& why)
{
    QFileDevice::FileError failure = QFileDevice::NoError;
    if (CommitSaveFile(file, failure))
        return true;
    why = FileErrorSentence(failure);
    return false;
}

namespace {

std::function<bool(QSettings&)>& settingsSyncCheck()
{
    static std::function<bool(QSettings&)> check;
    return check;
}

} // namespace

bool SyncSettingsWritten(QSettings& settings)
{
    settings.sync();
    return settings.status() != QSettings::AccessError;
}

bool SyncSettingsAndReport(QSettings& settings)
{
    if (settingsSyncCheck())
        return settingsSyncCheck()(settings);
    if (SyncSettingsWritten(settings))
        return true;
    qWarning().noquote() << QStringLiteral("%1 could not be saved; it is left as it was").arg(settings.fileName());
    return false;
}

void SetSettingsSyncCheck(std::function<bool(QSettings& settings)> check)
{
    settingsSyncCheck() = std::move(check);
}
