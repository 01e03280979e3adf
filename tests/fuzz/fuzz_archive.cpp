// Feeds arbitrary bytes to the converter as a print archive, and as the
// source file of a re-save whose new header keeps the source's frame, so
// the check of every layer against that frame is reached. A re-save that
// succeeds wrote a whole file whose layers cover the frame.
#include "fuzz_input.h"
#include "printfile/ExportThread.h"
#include "printfile/runlength.h"
#include "printfile/vxsresave.h"

#include <QFile>

#include <cstddef>
#include <cstring>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzApplication("fuzz_archive");
    const QString input = FuzzFolder().filePath("input.zip");
    const QString output = FuzzFolder().filePath("out.vxs");
    if (!WriteFuzzInput(input, data, size))
        return 0;
    {
        ExportThread job;
        job.m_exportType = "ChiTuBox";
        job.m_zipPath = input;
        job.m_exportPath = output;
        job.m_machineName = "Pellar120";
        job.m_machineCode = 120;
        job.Export_ChiTuBox();
    }
    {
        ExportThread job;
        job.m_exportType = "Vexmor3D";
        job.m_srcPath = input;
        job.m_dstPath = FuzzFolder().filePath("resaved.vxs");
        if (size >= 44) {
            std::memcpy(&job.m_para.XResolution, data + 36, 4);
            std::memcpy(&job.m_para.YResolution, data + 40, 4);
        }
        if (job.Export_Vexmor3D() == ExportOk) {
            VxsLayout layout;
            QString error;
            int bad = 0;
            QFile out(job.m_dstPath);
            if (!out.open(QIODevice::ReadOnly) || !ReadVxsLayout(out, layout, error) ||
                !CheckVxsLayerFrames(out, layout, VxsFrameSide(job.m_para.XResolution),
                                     VxsFrameSide(job.m_para.YResolution), bad, error))
                __builtin_trap();
        }
    }
    QFile::remove(output);
    QFile::remove(FuzzFolder().filePath("resaved.vxs"));
    return 0;
}
