#include "dlp/machineconfig.h"

#include "dlp/saturatingcast.h"

namespace DLP {

MachineConfig::MachineConfig() = default;

int MachineConfig::updateMachineSettings(float xres, float yres, float pixelSizeXum, float pixelSizeYum, float height)
{
    XRes = xres;
    YRes = yres;
    ZSize = height;
    XSize = pixelSizeXum * xres / 1000.0f;
    YSize = pixelSizeYum * yres / 1000.0f;
    PixPerMMX = xres / XSize;
    PixPerMMY = yres / YSize;
    DotsPermmX = PixPerMMX;
    DotsPermmY = PixPerMMY;
    // A bad printer table may hold NaN or huge values; a plain cast of those is undefined.
    XResolution = truncToInt(xres);
    YResolution = truncToInt(yres);
    return XResolution;
}

int MachineConfig::CalcPixPerMM()
{
    PixPerMMX = XRes / XSize;
    PixPerMMY = YRes / YSize;
    DotsPermmX = PixPerMMX;
    DotsPermmY = PixPerMMY;
    XResolution = truncToInt(XRes);
    YResolution = truncToInt(YRes);
    return XResolution;
}

} // namespace DLP
