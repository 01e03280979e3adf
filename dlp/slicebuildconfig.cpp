#include "dlp/slicebuildconfig.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace DLP {

SliceBuildConfig::SliceBuildConfig()
{
    UpdateFrom(machine);
    UpdateblankTime();
    MaterialName = ":(VEXMOR3D Keravel W001";
    SetDefaultCodes();
}

void SliceBuildConfig::UpdateMachineConfig(float xres, float yres, float pixelSizeXum, float pixelSizeYum, float height)
{
    machine.updateMachineSettings(xres, yres, pixelSizeXum, pixelSizeYum, height);
    UpdateFrom(machine);
    MachineHeight = height;
}

void SliceBuildConfig::UpdateFrom(MachineConfig m)
{
    DotsPermmX = m.DotsPermmX;
    DotsPermmY = m.DotsPermmY;
    XResolution = m.XResolution;
    YResolution = m.YResolution;
}

void SliceBuildConfig::UpdateblankTime()
{
    auto add = [this](float term) { BlankTime = static_cast<int>(static_cast<float>(BlankTime) + term); };
    const float minSpeed = 0.001f;
    if (ZLiftSpeed > minSpeed) {
        const float wholeMm = std::trunc(std::fabs(ZLiftDistance - ZLiftDistance2));
        BlankTime = static_cast<int>(wholeMm / ZLiftSpeed);
    }
    if (ZRetractSpeed > minSpeed)
        add(std::fabs(ZLiftDistance - ZLiftDistance2 - SliceThickness) / ZRetractSpeed);
    const float slowSpeed = std::min(ZLiftFirstBottomSpeed, ZLiftBottomSpeed);
    if (slowSpeed > minSpeed)
        add(std::fabs(ZLiftDistance2) / slowSpeed);
    if (TiltSpeed1 > minSpeed)
        add(std::fabs(TiltDistance1) / TiltSpeed1);
    if (TiltSpeed2 > minSpeed)
        add(std::fabs(TiltDistance2 - TiltDistance1) / TiltSpeed2);
    if (TiltRetractSpeed > minSpeed)
        add(std::fabs(TiltDistance2 - TiltNearDistance) / TiltRetractSpeed);
    if (TiltNearSpeed > minSpeed)
        add(std::fabs(TiltNearDistance + TiltNearDistance2) / TiltNearSpeed);
    if (RotateSpeed > minSpeed)
        add(RotateDistance / RotateSpeed);
}

void SliceBuildConfig::SetDefaultCodes()
{
    SpareCode1 = "\r\n";
    SpareCode2 = "\r\n";
}

std::string SliceBuildConfig::ConfigToString()
{
    std::string text;
    SetDefaultCodes();
    return text;
}

bool SliceBuildConfig::Save(std::string path)
{
    (void)path;
    return false;
}

} // namespace DLP
