#include "dlp/machineconfig.h"

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
    XResolution = static_cast<int>(xres);
    YResolution = static_cast<int>(yres);
    return XResolution;
}

int MachineConfig::CalcPixPerMM()
{
    PixPerMMX = XRes / XSize;
    PixPerMMY = YRes / YSize;
    DotsPermmX = PixPerMMX;
    DotsPermmY = PixPerMMY;
    XResolution = static_cast<int>(XRes);
    YResolution = static_cast<int>(YRes);
    return XResolution;
}

} // namespace DLP
