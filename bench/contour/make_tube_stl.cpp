// make_tube_stl SEGMENTS OUTER_MM INNER_MM HEIGHT_MM [shuffled] OUT.stl
// Writes the unwelded tube of the tests (every triangle with corners of its
// own) as a binary STL, to feed `pipeline` a mesh full of loose chains.
#include "test_meshes.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    const bool shuffled = argc == 7 && std::strcmp(argv[5], "shuffled") == 0;
    if (argc != 6 && !shuffled) {
        std::fprintf(stderr, "usage: make_tube_stl SEGMENTS OUTER_MM INNER_MM HEIGHT_MM [shuffled] OUT.stl\n");
        return 2;
    }
    const int segments = std::atoi(argv[1]);
    const float outer = float(std::atof(argv[2])), inner = float(std::atof(argv[3])), height = float(std::atof(argv[4]));
    if (segments < 3 || segments > 10000000 || !(inner > 0) || !(outer > inner) || !(height > 0)) {
        std::fprintf(stderr, "make_tube_stl: need SEGMENTS >= 3 and OUTER > INNER > 0, HEIGHT > 0\n");
        return 2;
    }
    const auto tris = testmesh::UnweldedTube(segments, outer, inner, height, 0.002f, shuffled);
    if (!testmesh::WriteFile(QString::fromLocal8Bit(argv[argc - 1]), testmesh::BinaryStl(tris))) {
        std::fprintf(stderr, "make_tube_stl: cannot write %s\n", argv[argc - 1]);
        return 1;
    }
    return 0;
}
