#pragma once
#include "vslfunction/VSLTriangle3D.h"

#include <QString>
#include <QVector>

// Reads an ASCII or binary STL file into a triangle list. Usage: set `path`,
// call IsReady(), then LoadData() when it returned true.
class VSLModelLoader {
public:
    QString path;
    int isAscii = 1;
    int probeLineCount = 8;
    bool ready = false;

    // Name test (".stl" anywhere, any case), open test and format probe.
    bool IsReady();
    // Replaces `out` with the file's triangles (normals and bounds computed
    // from the corners). False, with errorString() set, when the file is
    // refused; `out` is then empty. A binary file shorter than its facet
    // count is read as far as it goes, with warningString() saying so.
    bool LoadData(QVector<VSLTriangle3D>& out);
    bool ReadAscii(QString file, QVector<VSLTriangle3D>& out);
    bool ReadBinary(QString file, QVector<VSLTriangle3D>& out);

    QString errorString() const { return m_error; }
    // Empty unless the last read kept a file that is not whole.
    QString warningString() const { return m_warning; }

private:
    void PrepareSTLFile();
    bool Fail(const QString& problem);
    QString m_error;
    QString m_warning;
};

// Writes a triangle list as binary or ASCII STL.
class VSLModelWriter {
public:
    // Facets go to the file in batches of this many, so a plate of any size
    // needs no buffer the size of its whole file.
    static constexpr int kFacetsPerWrite = 16384;
    QVector<VSLTriangle3D> triangles;
    void AddTriangles(const QVector<VSLTriangle3D>& list);
    bool WriterBinary(QString path);
    bool WriterASCII(QString path);
};
