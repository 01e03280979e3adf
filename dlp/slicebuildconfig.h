#pragma once

#include "dlp/machineconfig.h"
#include "dlp/typeconversion.h"

#include <string>

namespace DLP {

// Job record of a print: everything the G-code job and the print files need.
class SliceBuildConfig
{
public:
    SliceBuildConfig();
    SliceBuildConfig(const SliceBuildConfig& other) = default;
    SliceBuildConfig& operator=(const SliceBuildConfig& other) = default;
    ~SliceBuildConfig() = default;

    void UpdateMachineConfig(float xres, float yres, float pixelSizeXum, float pixelSizeYum, float height);
    void UpdateFrom(MachineConfig m);
    void UpdateblankTime();
    void SetDefaultCodes();
    std::string ConfigToString();
    bool Save(std::string path);

    float DotsPermmX = 20;
    float DotsPermmY = 20;
    int XResolution = 1920;
    int YResolution = 1080;
    float SliceThickness = 0.1f;
    int ExposureTimePerLayer = 500;
    int BottomExposureTime = 1000;
    int PlateLayers = 0;
    int ZLiftBottomLayer = 0;
    int BottomMaterialStable = 2000;
    int MaterialStable = 4000;
    float HighofBottomLayer = 0.6f;
    float HighofMiddleLayer = 5;
    float ZLiftDistance = 5;
    float ZLiftDistance2 = 2;
    float ZLiftSpeed = 600;
    float ZRetractSpeed = 600;
    float ZLiftBottomSpeed = 48;
    float ZLiftFirstBottomSpeed = 30;
    float TiltDistance1 = 5;
    float TiltSpeed1 = 60;
    float TiltDistance2 = 10;
    float TiltSpeed2 = 600;
    float TiltRetractSpeed = 600;
    float TiltNearDistance = 2;
    float TiltNearDistance2 = 0.2f;
    float TiltNearSpeed = 60;
    float RotateDistance = 1;
    float RotateSpeed = 6;
    float Dp = 130;
    int MaterialID = 1001;
    float MachineHeight = 200;
    bool ExportImages = false;
    bool ExportSVG = false;
    int BlankTime = 0;
    int XOffset = 0;
    int YOffset = 0;
    int MirrorLongSide = 0;
    int MirrorShortSide = 0;
    float LightPwm = 0;
    float HomeAdjustX = 0;
    float HomeAdjustY = 0;
    float HomeAdjustZ = 0;
    std::string HeaderCode;
    std::string FooterCode;
    std::string SpareCode1 = "\r\n";
    std::string SpareCode2 = "\r\n";
    std::string MaterialName = ":(VEXMOR3D Keravel W001";
    MachineConfig machine;
    TypeConversion converter;
};

} // namespace DLP
