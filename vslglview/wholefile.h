#pragma once

#include <QString>

#include <memory>

// A file read into memory whole. Read, not mapped: a mapped file that another
// program shortens while it is parsed kills the process with SIGBUS; a copy
// stays as it was read.
class WholeFile {
public:
    // False with `error` set (a short reason, without the path) when the file
    // is missing, not a regular file, cannot be opened or read, does not fit
    // in memory, or changes size while it is read. An empty file reads.
    bool Read(const QString& path, QString& error);
    const char* data() const { return m_bytes.get(); }
    const unsigned char* bytes() const { return reinterpret_cast<const unsigned char*>(m_bytes.get()); }
    qint64 size() const { return m_size; }

private:
    std::unique_ptr<char[]> m_bytes;
    qint64 m_size = 0;
};
