#pragma once

#include <QString>

// The folder every settings file, recipe file and the daily log live in:
// $VEXMOR_CONFIG_DIR when set, else the user's standard configuration
// location. The folder is created on first use, and QSettings' user-scope
// paths are pointed at it so that plain QSettings objects land there too,
// in ini text that replaces the old file only once it is all on the disk.
QString vexmorConfigDir();

// Path of a file inside the configuration folder.
QString vexmorConfigFile(const QString& name);

// The file a plain QSettings object reads and writes:
// "<folder>/<organisation>/<application>.conf".
QString vexmorDefaultSettingsFile();

// Checks that file as every file of the folder is checked before it is
// opened (a FIFO would block the start, a link may lead out of the folder).
// When it must be left alone, plain QSettings objects are pointed at a
// private folder for the rest of the run: the program keeps its defaults
// and writes nothing through the user's file. The user is told.
void vexmorPrepareDefaultSettings();
