#pragma once
// What the targets need around the reader they feed: a folder for the input
// as a file, the file itself, and an application object for readers that use
// one. Each target is its own program, so the statics are its own.
#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <string>

// A folder kept for the whole run.
inline QTemporaryDir& FuzzFolder()
{
    static QTemporaryDir dir;
    return dir;
}

// The input as the file `path`; false when it could not be written whole.
inline bool WriteFuzzInput(const QString& path, const uint8_t* data, size_t size)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           f.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size);
}

// Made on the first input and kept: readers that need an event loop or the
// application's name find it.
inline void FuzzApplication(const char* name)
{
    static int argc = 1;
    static std::string program = name;
    static char* argv[] = {program.data(), nullptr};
    static QCoreApplication app(argc, argv);
}
