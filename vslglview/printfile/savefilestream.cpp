#include "printfile/savefilestream.h"

#include "printfile/filesafety.h"
#include "printfile/printjobinput.h"

SaveFileStream::SaveFileStream(const QString& path) : m_file(path)
{
    m_stream.setByteOrder(QDataStream::LittleEndian);
    m_stream.setFloatingPointPrecision(QDataStream::SinglePrecision);
}

int SaveFileStream::open()
{
    if (!DestinationProblem(m_file.fileName()).isEmpty())
        return PrintFileBadDestination;
    if (!m_file.open(QIODevice::WriteOnly))
        return PrintFileOpenFailed;
    m_stream.setDevice(&m_file);
    return PrintFileOk;
}

void SaveFileStream::writeRaw(const void* data, qint64 size)
{
    // writeRawData takes an int; layer codes stay far below that, but split anyway.
    const char* bytes = static_cast<const char*>(data);
    while (size > 0 && ok()) {
        const int chunk = int(qMin<qint64>(size, 1 << 30));
        if (m_stream.writeRawData(bytes, chunk) != chunk)
            m_stream.setStatus(QDataStream::WriteFailed);
        bytes += chunk;
        size -= chunk;
    }
}

void SaveFileStream::writeZeros(int count)
{
    static const char zeros[4] = {0, 0, 0, 0};
    for (int i = 0; i < count; ++i)
        writeRaw(zeros, 1);
}

int SaveFileStream::writeFailure() const
{
    return WriteFailure(m_file) == QFileDevice::ResourceError ? PrintFileNoSpace : PrintFileWriteFailed;
}

int SaveFileStream::commit()
{
    if (!ok()) {
        const int failure = writeFailure();
        m_file.cancelWriting();
        m_file.commit(); // discards the temporary file
        return failure;
    }
    QFileDevice::FileError failure = QFileDevice::NoError;
    if (CommitSaveFile(m_file, failure))
        return PrintFileOk;
    return failure == QFileDevice::ResourceError ? PrintFileNoSpace : PrintFileCommitFailed;
}
