#pragma once

#include <QFileDevice>
#include <QSaveFile>
#include <QString>
#include <QStringList>

#include "vslfunction/savecommit.h"

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

// The cores this process may run on (its CPU affinity), at least 1.
int UsableCoreCount();
