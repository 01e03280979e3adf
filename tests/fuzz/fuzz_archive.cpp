// Feeds arbitrary bytes to the converter as a print archive (for a model
// that takes layers at their size and one that scales them), and as the
// source file of a re-save whose new header keeps the source's frame, so
// the check of every layer against that frame is reached. A re-save that
// succeeds wrote a whole file whose layers cover the frame, hold no run of
// length 0 and light a pixel. Pictures that are not PNG, or whose header
// claims more than the budget, are refused without being decoded. The
// bytes are also taken as a picture themselves, which the archive's
// checksums would keep mutations from reaching: the chunk walk decides what
// the decoder gets, and that is a PNG with nothing left to leave out.
#include "fuzz_input.h"
#include "printfile/ExportThread.h"
#include "printfile/archivemember.h"
#include "printfile/runlength.h"
#include "printfile/vxsresave.h"

#include <QFile>

#include <cstddef>
#include <cstring>
#include <cstdint>
#include <tuple>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzApplication("fuzz_archive");
    {
        const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
        PngHeader header;
        QString error;
        const bool judged = ReadPngHeader(bytes, header, error);
        if (judged) {
            const QByteArray input = PngDecoderInput(bytes);
            PngHeader given;
            if (input.size() > bytes.size() || (header.copyBytes != 0 && header.copyBytes != input.size()) ||
                !ReadPngHeader(input, given, error) || given.size != header.size || given.copyBytes != 0 ||
                given.profileBytes != header.profileBytes || given.transparency != header.transparency)
                __builtin_trap();
        }
        QImage image;
        if (DecodeArchiveImage(bytes, image, error, qint64(64) << 20) &&
            (!judged || image.size() != header.size || !image.textKeys().isEmpty()))
            __builtin_trap();
    }
    const QString input = FuzzFolder().filePath("input.zip");
    const QString output = FuzzFolder().filePath("out.vxs");
    if (!WriteFuzzInput(input, data, size))
        return 0;
    // Pellar120 takes layers at their size; Pellar10 scales them from the
    // frame the archive's header states.
    for (const auto& [model, code, width, height] :
         {std::make_tuple("Pellar120", 120, 1440.0f, 2560.0f), std::make_tuple("Pellar10", 10, 480.0f, 854.0f)}) {
        ExportThread job;
        job.m_exportType = "ChiTuBox";
        job.m_zipPath = input;
        job.m_exportPath = output;
        job.m_machineName = model;
        job.m_machineCode = code;
        job.m_para.XResolution = width;
        job.m_para.YResolution = height;
        job.m_para.SliceThickness = 0.05f;
        job.m_para.MachineHeight = 150;
        job.m_decodeBudget = qint64(64) << 20;
        job.Export_ChiTuBox();
    }
    {
        ExportThread job;
        job.m_exportType = "Vexmor3D";
        job.m_srcPath = input;
        job.m_dstPath = FuzzFolder().filePath("resaved.vxs");
        if (size >= 164) {
            // The source's frame, thickness and height. The printer's code is
            // the source's, unless the word after it (0 in a print file) says
            // otherwise, so both the match and the refusal are reached.
            qint32 code = 0, other = 0;
            std::memcpy(&code, data + 16, 4);
            std::memcpy(&other, data + 20, 4);
            job.m_machineCode = code ^ other;
            std::memcpy(&job.m_para.XResolution, data + 36, 4);
            std::memcpy(&job.m_para.YResolution, data + 40, 4);
            std::memcpy(&job.m_para.SliceThickness, data + 44, 4);
            std::memcpy(&job.m_para.MachineHeight, data + 28 + 4 * 30, 4);
        }
        if (job.Export_Vexmor3D() == ExportOk) {
            VxsLayout layout;
            QString error;
            int bad = 0;
            bool lit = false;
            QFile out(job.m_dstPath);
            if (!out.open(QIODevice::ReadOnly) || !ReadVxsLayout(out, layout, error) ||
                !CheckVxsLayerFrames(out, layout, VxsFrameSide(job.m_para.XResolution),
                                     VxsFrameSide(job.m_para.YResolution), bad, error, &lit) ||
                !lit)
                __builtin_trap();
        }
    }
    QFile::remove(output);
    QFile::remove(FuzzFolder().filePath("resaved.vxs"));
    return 0;
}
