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

    // A PrintFileResult: refuses a destination that is a folder, device or
    // FIFO before anything is created.
    int open();
    QDataStream& stream() { return m_stream; }
    QSaveFile& file() { return m_file; }
    bool ok() const { return m_stream.status() == QDataStream::Ok; }
    void writeRaw(const void* data, qint64 size);
    void writeZeros(int count);
    // The PrintFileResult of a failed write (a full device is told apart).
    int writeFailure() const;
    // A PrintFileResult; on any failure nothing replaces the destination.
    int commit();

private:
    QSaveFile m_file;
    QDataStream m_stream;
};
