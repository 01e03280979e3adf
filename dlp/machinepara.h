#pragma once

#include "dlp/slicebuildconfig.h"

// Machine parameter block written into every print file: 34 float32 values
// in this order (136 bytes; byte order is chosen by each file writer).
struct ST_MachinePara
{
    float DotsPermmX;
    float DotsPermmY;
    float XResolution;
    float YResolution;
    float SliceThickness;
    float ExposureTimePerLayer;
    float BottomExposureTime;
    float ZLiftBottomLayer;
    float BottomMaterialStable;
    float MaterialStable;
    float HighofBottomLayer;
    float HighofMiddleLayer;
    float ZLiftDistance;
    float ZLiftDistance2;
    float ZLiftSpeed;
    float ZRetractSpeed;
    float ZLiftBottomSpeed;
    float ZLiftFirstBottomSpeed;
    float TiltDistance1;
    float TiltSpeed1;
    float TiltDistance2;
    float TiltSpeed2;
    float TiltRetractSpeed;
    float TiltNearDistance;
    float TiltNearDistance2;
    float TiltNearSpeed;
    float RotateDistance;
    float RotateSpeed;
    float Dp;
    float MaterialID;
    float MachineHeight;
    float BlankTime;
    float XOffset;
    float YOffset;
};

static_assert(sizeof(ST_MachinePara) == 34 * sizeof(float), "ST_MachinePara must be 34 packed floats");
static_assert(sizeof(float) == 4, "ST_MachinePara holds float32 values");

namespace DLP {

// Values of the block in index order, for writers that serialise field by field.
inline const float* machineParaValues(const ST_MachinePara& para)
{
    return &para.DotsPermmX;
}

inline ST_MachinePara machineParaFrom(const SliceBuildConfig& c)
{
    ST_MachinePara p;
    p.DotsPermmX = c.DotsPermmX;
    p.DotsPermmY = c.DotsPermmY;
    p.XResolution = static_cast<float>(c.XResolution);
    p.YResolution = static_cast<float>(c.YResolution);
    p.SliceThickness = c.SliceThickness;
    p.ExposureTimePerLayer = static_cast<float>(c.ExposureTimePerLayer);
    p.BottomExposureTime = static_cast<float>(c.BottomExposureTime);
    p.ZLiftBottomLayer = static_cast<float>(c.ZLiftBottomLayer);
    p.BottomMaterialStable = static_cast<float>(c.BottomMaterialStable);
    p.MaterialStable = static_cast<float>(c.MaterialStable);
    p.HighofBottomLayer = c.HighofBottomLayer;
    p.HighofMiddleLayer = c.HighofMiddleLayer;
    p.ZLiftDistance = c.ZLiftDistance;
    p.ZLiftDistance2 = c.ZLiftDistance2;
    p.ZLiftSpeed = c.ZLiftSpeed;
    p.ZRetractSpeed = c.ZRetractSpeed;
    p.ZLiftBottomSpeed = c.ZLiftBottomSpeed;
    p.ZLiftFirstBottomSpeed = c.ZLiftFirstBottomSpeed;
    p.TiltDistance1 = c.TiltDistance1;
    p.TiltSpeed1 = c.TiltSpeed1;
    p.TiltDistance2 = c.TiltDistance2;
    p.TiltSpeed2 = c.TiltSpeed2;
    p.TiltRetractSpeed = c.TiltRetractSpeed;
    p.TiltNearDistance = c.TiltNearDistance;
    p.TiltNearDistance2 = c.TiltNearDistance2;
    p.TiltNearSpeed = c.TiltNearSpeed;
    p.RotateDistance = c.RotateDistance;
    p.RotateSpeed = c.RotateSpeed;
    p.Dp = c.Dp;
    p.MaterialID = static_cast<float>(c.MaterialID);
    p.MachineHeight = c.MachineHeight;
    p.BlankTime = static_cast<float>(c.BlankTime);
    p.XOffset = static_cast<float>(c.XOffset);
    p.YOffset = static_cast<float>(c.YOffset);
    return p;
}

} // namespace DLP
