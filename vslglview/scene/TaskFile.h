#pragma once
#include "printfile/slicelayers.h"
#include "support/SupportGeometry.h"
#include "vslfunction/VSLTriangle3D.h"

#include <QDataStream>
#include <QMap>
#include <QMatrix4x4>
#include <QPair>
#include <QString>
#include <QVector>

// The task file: tagged sections holding a whole plate. A section is a
// 20-byte NUL-padded tag, its content and a 20-byte end tag; numbers are
// little-endian, floats single precision.
namespace taskfile {
constexpr int kTagBytes = 20;
constexpr int kIdBytes = 10;
// Ids whose text does not fit in 9 characters cannot be written.
bool IdText(int id, QByteArray& text);
} // namespace taskfile

class TaskWriter {
public:
    // Each appends one section to `path`; false when the file cannot be
    // opened, a write fails or the id does not fit its field.
    bool WriteBinaryModel(QString path, QVector<VSLTriangle3D>& triangles, int id);
    bool WriteBinaryMatrix(QString path, QMatrix4x4& matrix, int id);
    bool WriteBinarySupport(QString path, QVector<VSLTriangle3D>& triangles);
    bool WriteBinarySliceModel(QString path, SliceLayers& layers);
    bool WriteBinarySliceSupport(QString path, SliceLayers& layers);

    // The same sections onto an open stream (little-endian, single precision).
    static bool Model(QDataStream& s, const QVector<VSLTriangle3D>& triangles, int id);
    static bool Matrix(QDataStream& s, const QMatrix4x4& matrix, int id);
    static void Support(QDataStream& s, const QVector<VSLTriangle3D>& triangles);
    // The same section of supports tessellated one by one as they are written.
    static void Support(QDataStream& s, const supportgeom::PlacedSupports& placed);
    static void SliceModel(QDataStream& s, const SliceLayers& layers);
    static void SliceSupport(QDataStream& s, const SliceLayers& layers);
    static void Paras(QDataStream& s, const QVector<int>& ints, const QVector<float>& floats);
    static void Tag(QDataStream& s, const char* text);
    static void PrepareStream(QDataStream& s);
};

class TaskLoader {
public:
    // Reads the whole file; the outputs are appended to (the model map
    // replaced per id) only when every section was read completely with its
    // end tag, else they are left untouched and the result is false.
    // Counts are checked against the bytes left; non-finite numbers, short
    // reads and unknown end tags make the file unreadable.
    bool LoadBinaryTask(QString path, QMap<int, QVector<VSLTriangle3D>>& models,
                        QVector<QPair<int, QMatrix4x4>>& matrices, QVector<VSLTriangle3D>& supports,
                        SliceLayers& modelSlices, SliceLayers& supportSlices,
                        QVector<int>& paraInts, QVector<float>& paraFloats);
    // The same over bytes in memory.
    bool LoadBinaryTask(const char* data, qint64 size, QMap<int, QVector<VSLTriangle3D>>& models,
                        QVector<QPair<int, QMatrix4x4>>& matrices, QVector<VSLTriangle3D>& supports,
                        SliceLayers& modelSlices, SliceLayers& supportSlices,
                        QVector<int>& paraInts, QVector<float>& paraFloats);
};
