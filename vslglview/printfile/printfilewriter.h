#pragma once

#include "dlp/machinepara.h"
#include "printfile/printjobinput.h"

// The print files of the current printer model. Each returns a PrintFileResult
// (0 on success); a file is either written whole or not at all.
class SaveFileStream;

namespace PrintFile {

// Machine code 120 gets the vector file (VxtFileName of the save file name)
// and the layer-image file, both or neither: both destinations are checked
// and both files written before either replaces its destination; every other
// code gets the layer-image file only. The caller afterwards keeps 4 as its bits per pixel and
// the model layer count as its layer count of the last print data.
int generatePrintableData(const PrintJobInput& input, const ST_MachinePara& para, const QString& path);

// The layer-image file, always at input.saveFileName (`path` is not used).
// workerCount 0 uses the default pool size.
int generatePrintableData_VXS(const PrintJobInput& input, const ST_MachinePara& para, const QString& path,
                              int workerCount = 0);

// The sectioned vector file at `path` ("300" appended for a Pellar300 printer).
int generatePrintableData_VXT(const PrintJobInput& input, const ST_MachinePara& para, const QString& path);

// The save file name with its extension (after the last '.' of the file
// name) replaced by "vxt"; ".vxt" appended when it has none.
QString VxtFileName(const QString& saveFileName);

// The vector file's path for `path` ("300" appended for a Pellar300 printer).
QString VxtTargetPath(const PrintJobInput& input, const QString& path);

// The bodies of the two files into an open stream, without committing it.
int CheckVxs(const PrintJobInput& input, const ST_MachinePara& para);
int WriteVxs(const PrintJobInput& input, const ST_MachinePara& para, SaveFileStream& out, int workerCount);
int WriteVxt(const PrintJobInput& input, const ST_MachinePara& para, SaveFileStream& out);

// Preview size of the layer-image file for a machine code; empty for codes
// without a preview.
QSize VxsPreviewSize(int machineCode);

} // namespace PrintFile
