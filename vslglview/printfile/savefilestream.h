#pragma once

#include <QDataStream>
#include <QSaveFile>

// A print file written to a temporary file beside the destination through a
// little-endian, single-precision stream; the destination is replaced only by
// commit(), and an uncommitted file leaves nothing behind.
class SaveFileStream
{
public:
    explicit SaveFileStream(const QString& path);

    bool open();
    QDataStream& stream() { return m_stream; }
    QSaveFile& file() { return m_file; }
    bool ok() const { return m_stream.status() == QDataStream::Ok; }
    void writeRaw(const void* data, qint64 size);
    void writeZeros(int count);
    bool commit();

private:
    QSaveFile m_file;
    QDataStream m_stream;
};
