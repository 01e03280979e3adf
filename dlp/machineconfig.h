#pragma once

namespace DLP {

// Geometry of the current printer.
class MachineConfig
{
public:
    MachineConfig();

    int updateMachineSettings(float xres, float yres, float pixelSizeXum, float pixelSizeYum, float height);
    int CalcPixPerMM();

    float XRes = 1920;
    float YRes = 1080;
    float XSize = 96;
    float YSize = 54;
    float ZSize = 100;
    float Spare = 10;
    float PixPerMMX = 20;
    float PixPerMMY = 20;
    float DotsPermmX = 20;
    float DotsPermmY = 20;
    int XResolution = 1920;
    int YResolution = 1080;
};

} // namespace DLP
