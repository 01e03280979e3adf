#pragma once

#include <QString>

// The folder every settings file, recipe file and the daily log live in:
// $VEXMOR_CONFIG_DIR when set, else the user's standard configuration
// location. The folder is created on first use, and QSettings' user-scope
// paths are pointed at it so that plain QSettings objects land there too.
QString vexmorConfigDir();

// Path of a file inside the configuration folder.
QString vexmorConfigFile(const QString& name);
