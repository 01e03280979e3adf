#pragma once

#include <QString>

class QWidget;

// The parameter section of a print file ("Paras:" ... "parasend", 116 bytes),
// written from a panel's form by the object names both print panels share.
// Appends to the file; on any failure the file is cut back to its old length
// and false is returned.
bool appendParasBlock(const QString& fileName, const QWidget& form);
