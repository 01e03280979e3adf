#include "frmDeviceInterfaceSettings.h"

// The built-in rows on their own: tools that only read the table link this
// and nothing of the dialog.

namespace {

frmDeviceInterfaceSettings::MachinePara row(const char* name, float xRes, float yRes, float xSize,
                                            float ySize, float pixelX, float pixelY, float height,
                                            const char* fileType)
{
    frmDeviceInterfaceSettings::MachinePara p;
    p.xResolution = xRes;
    p.yResolution = yRes;
    p.xSize = xSize;
    p.ySize = ySize;
    p.pixelSizeX = pixelX;
    p.pixelSizeY = pixelY;
    p.zHeight = height;
    p.rotate = true;
    p.fileType = QString::fromLatin1(fileType);
    p.pixelBits = 4;
    p.modelName = QString::fromLatin1(name);
    p.maker = QStringLiteral("Vexmor3d");
    return p;
}

} // namespace

const QVector<frmDeviceInterfaceSettings::MachinePara>& frmDeviceInterfaceSettings::builtInMachineParas()
{
    static const QVector<MachinePara> rows = {
        row("Pellar10", 854, 480, 98.637f, 55.44f, 115.5f, 115.5f, 140, "vxs"),
        row("Pellar30", 2560, 1440, 120.96f, 68.04f, 47.25f, 47.25f, 170, "vxs"),
        row("Pellar120", 2560, 1440, 120.96f, 68.04f, 47.25f, 47.25f, 150, "vxt"),
        row("Pellar4K", 3840, 6480, 120.96f, 68.04f, 31.5f, 10.5f, 190, "vxs"),
        row("Pellar4Kmono", 3840, 6480, 120.96f, 68.04f, 31.5f, 10.5f, 190, "vxs"),
    };
    return rows;
}
