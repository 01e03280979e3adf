#pragma once

#include <QFileDevice>
#include <QSaveFile>
#include <QString>
#include <QStringList>

// Checks made before a file is opened, so that a FIFO never blocks a reader,
// a device node or folder is never replaced by a print file, and an input is
// never overwritten by an output.

// Why `path` cannot be read as an input file; empty when it is an existing
// regular file (or a link to one).
QString InputFileProblem(const QString& path);

// Why `path` cannot take a new file; empty when nothing is there yet or it is
// a regular file (or a link to one) that may be replaced.
QString DestinationProblem(const QString& path);

// True when both paths name one existing file (any spelling, symbolic or hard link).
bool IsSameFile(const QString& a, const QString& b);

// True when both paths would name one file once written: the same existing
// file, or the same absolute path when neither exists yet.
bool NamesSameFile(const QString& a, const QString& b);
// True when `path` names one file with any of `files`, as NamesSameFile says.
bool NamesAnyOf(const QString& path, const QStringList& files);

// A sentence for the user about a file error ("No space left on the device").
QString FileErrorSentence(QFileDevice::FileError error);

// Why a write to `file` failed, asked while its data still fills the disk:
// Qt reports a full disk as a plain write error, and a save file's commit
// forgets why it failed. A full disk is ResourceError.
QFileDevice::FileError WriteFailure(const QFileDevice& file);
QString WriteFailureSentence(const QFileDevice& file);
// Writes out what `file` still buffers, then commits it; false with why
// (and nothing left behind) when either fails.
bool CommitSaveFile(QSaveFile& file, QFileDevice::FileError& failure);
bool CommitSaveFile(QSaveFile& file, QString& why);

// The cores this process may run on (its CPU affinity), at least 1.
int UsableCoreCount();
