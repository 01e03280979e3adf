#include "printfile/savefilestream.h"

SaveFileStream::SaveFileStream(const QString& path) : m_file(path)
{
    m_stream.setByteOrder(QDataStream::LittleEndian);
    m_stream.setFloatingPointPrecision(QDataStream::SinglePrecision);
}

bool SaveFileStream::open()
{
    if (!m_file.open(QIODevice::WriteOnly))
        return false;
    m_stream.setDevice(&m_file);
    return true;
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

bool SaveFileStream::commit()
{
    if (!ok()) {
        m_file.cancelWriting();
        m_file.commit(); // discards the temporary file
        return false;
    }
    return m_file.commit();
}
