#include "dlp/gcodegenerator.h"

#include "dlp/saturatingcast.h"

#include <cmath>
#include <cstdint>

namespace DLP {

namespace {

const char* const kEol = "\r\n";

class JobWriter
{
public:
    explicit JobWriter(TypeConversion& conv) : conv_(conv) {}

    std::string num(float value) { return conv_.float2str(value); }
    std::string num(int value) { return conv_.int2str(value); }

    void line(const std::string& content) { text += content + kEol; }
    void delay(int ms) { line(";(<Delay> " + num(ms) + " )"); }
    void move(const char* axis, float position, float feed)
    {
        line(std::string("G1 ") + axis + num(position) + " F" + num(feed));
    }

    std::string text;

private:
    TypeConversion& conv_;
};

int ceilToInt(float value)
{
    return truncToInt(std::ceil(value));
}

} // namespace

GCodeFile GCodeGenerator::Generate(int layerCount, SliceBuildConfig config, MachineConfig machine, GCodeError* error,
                                   ValueProblem* problem)
{
    (void)machine;
    if (error)
        *error = GCodeError::None;
    const float t = config.SliceThickness;
    if (!(t > 0.0f) || !std::isfinite(t)) {
        if (error)
            *error = GCodeError::BadSliceThickness;
        return GCodeFile();
    }
    if (layerCount > kMaxLayerCount) {
        if (error)
            *error = GCodeError::TooManyLayers;
        return GCodeFile();
    }
    // No value a printer cannot take goes into a job, whoever built the configuration.
    if (const std::optional<ValueProblem> bad = checkJobValues(config)) {
        if (error)
            *error = GCodeError::BadValue;
        if (problem)
            *problem = *bad;
        return GCodeFile();
    }

    JobWriter w(converter);
    w.text = config.ConfigToString(); // also rebuilds HeaderCode and FooterCode
    w.line("M220");
    w.text += config.HeaderCode;

    const int nBottom = ceilToInt(config.HighofBottomLayer / t);
    const int nMiddle = ceilToInt(config.HighofMiddleLayer / t);
    // Only used when nBottom < nMiddle, so the divisor is at least 2 then.
    const float step = float(config.BottomExposureTime - config.ExposureTimePerLayer)
                       / float(std::int64_t(1) - nBottom + nMiddle);
    const float rotateX = -(288.0f * config.RotateDistance);
    const float rotateF = 288.0f * config.RotateSpeed;
    const bool tilt = significantMove(config.TiltDistance1) || significantMove(config.TiltDistance2);

    for (int i = 0; i < layerCount; ++i) {
        w.line("M219");
        w.line(";(<Slice> Blank )");
        const bool settleLong = i == 0 || i < nBottom || i < nMiddle;
        w.delay(settleLong ? config.MaterialStable : config.BottomMaterialStable);
        w.line("M219");
        w.line(";(<Slice> " + w.num(i) + " )");
        if (i < nBottom) {
            w.delay(config.BottomExposureTime);
        } else if (i < nMiddle) {
            const float rampIndex = float(std::int64_t(i) + 1 - nBottom);
            w.delay(ceilToInt(float(config.BottomExposureTime) - rampIndex * step));
        } else {
            w.delay(config.ExposureTimePerLayer);
        }
        w.line("M219");
        w.line(";(<Slice> Blank )");

        if (tilt) {
            w.text += "G92 Y0\n"; // LF only: the controller firmware expects this exact form
            w.move("Y-", config.TiltDistance1, config.TiltSpeed1);
            w.move("Y-", config.TiltDistance2, config.TiltSpeed2);
        }
        const float slowSpeed = i < config.ZLiftBottomLayer ? config.ZLiftFirstBottomSpeed : config.ZLiftBottomSpeed;
        const float layerZ = float(i) * t;
        if (significantMove(config.ZLiftDistance2))
            w.move("Z", config.ZLiftDistance2 + layerZ, slowSpeed);
        w.move("Z", layerZ + config.ZLiftDistance, config.ZLiftSpeed);

        if (i < layerCount - 1) {
            w.move("Y-", config.TiltNearDistance, config.TiltRetractSpeed);
            if (significantMove(config.TiltNearDistance2))
                w.move("Y", config.TiltNearDistance2, config.TiltNearSpeed);
            if (significantMove(rotateX)) {
                w.line("G92 X0");
                w.move("X", rotateX, rotateF);
            }
            const float nextZ = float(i + 1) * t;
            w.move("Z", nextZ + config.ZLiftDistance2, config.ZRetractSpeed);
            if (significantMove(config.ZLiftDistance2))
                w.move("Z", nextZ, slowSpeed);
            w.delay(config.BlankTime);
        }
    }

    w.line("M220");
    w.line("G1 Z200 F" + w.num(config.ZRetractSpeed));
    if (significantMove(config.TiltNearDistance))
        w.move("Y-", config.TiltNearDistance, config.TiltRetractSpeed);
    if (significantMove(config.TiltNearDistance2))
        w.move("Y", config.TiltNearDistance2, config.TiltNearSpeed);
    w.text += config.FooterCode;
    return GCodeFile(w.text);
}

bool WriteGCodeJob(const std::string& path, int layerCount, const SliceBuildConfig& config,
                   const MachineConfig& machine)
{
    if (path.empty())
        return false;
    GCodeError error = GCodeError::None;
    GCodeFile job = GCodeGenerator().Generate(layerCount, config, machine, &error);
    return error == GCodeError::None && job.Save(path);
}

} // namespace DLP
