#pragma once
#include <polyclipping/clipper.hpp>

#include <QVector>

// Outlines of one mesh per layer plane, integer 1/1000 mm.
using LayerContours = QVector<ClipperLib::Paths>;
// Outlines per shell, then per layer plane; an extra last shell slot holds
// the chained outlines of all open shells when the mesh has border edges.
using ShellLayerContours = QVector<QVector<ClipperLib::Paths>>;
