#pragma once

#include <QFileDevice>
#include <QSaveFile>
#include <QString>

#include <functional>

class QSettings;

// The one way a finished file replaces the old one: every byte on the disk
// first, else the old file stays as it was.

// A sentence for the user about a file error ("No space left on the device").
QString FileErrorSentence(QFileDevice::FileError error);

// Why a write to `file` failed, asked while its data still fills the disk:
// Qt reports a full disk as a plain write error, and a save file's commit
// forgets why it failed. A full disk is ResourceError.
QFileDevice::FileError WriteFailure(const QFileDevice& file);
QString WriteFailureSentence(const QFileDevice& file);
// The system's own words for a failure of `file` ("File too large"): a
// flush leaves Qt's at "Unknown error", so errno as it was right after the
// failure (`systemError`) speaks then.
QString FileErrorDetail(const QFileDevice& file, int systemError);
// Writes out what `file` still buffers, then commits it; false with why
// (and nothing left behind) when either fails. `detail` gets the system's
// own words ("File too large").
bool CommitSaveFile(QSaveFile& file, QFileDevice::FileError& failure, QString* detail = nullptr);
bool CommitSaveFile(QSaveFile& file, QString& why);

// A settings file QSettings writes itself (the support presets, the file
// dialogs' own state): on a full disk QSettings gives up at its lock file
// and says nothing. Syncs `settings` and hands a failure to the check set
// below, which tells the user; without one, the failure is logged. False
// when the file could not be written.
bool SyncSettingsAndReport(QSettings& settings);
// The sync alone: false when something set was not written. The object
// must name its organisation: without one QSettings marks it as an access
// error from the start.
bool SyncSettingsWritten(QSettings& settings);
// The check SyncSettingsAndReport runs in its place; empty: none.
void SetSettingsSyncCheck(std::function<bool(QSettings& settings)> check);
