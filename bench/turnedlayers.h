#pragma once
// Which print files hold their layers a quarter turned. The window stores
// each layer of a printer model that turns its image turned (Pellar10: 480
// pixels wide, 854 rows) under a header that states the model's own frame
// (854 x 480); the converter states the turned frame and stores its layers
// as that frame stands. The command-line tools write and read alike.

#include "frmDeviceInterfaceSettings.h"
#include "printfile/printermodels.h"

// The format word of the print-file writer's files (the converter writes another).
constexpr qint32 kWriterFormatWord = 1;

// True when the printer model of `machineCode` turns its layers.
inline bool MachineCodeTurnsLayers(int machineCode)
{
    for (const frmDeviceInterfaceSettings::MachinePara& row : frmDeviceInterfaceSettings::builtInMachineParas())
        if (row.rotate && PrinterModels::MachineCode(row.modelName) == machineCode)
            return true;
    return false;
}

// True when a file of this format word and machine code holds its layers
// turned: written by the print-file writer for a model that turns them.
inline bool FileHoldsTurnedLayers(qint32 formatWord, int machineCode)
{
    return formatWord == kWriterFormatWord && MachineCodeTurnsLayers(machineCode);
}
