// Geometry files are outside input: any bytes must parse into a sound geometry or be refused,
// and every face's plane must be computable from what was kept.
#include <cstddef>
#include <cstdint>

#include "Objkr/geometry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        Geom_Services().fileExists = [](const char*) { return false; };
        Geom_Services().paletteFindNearest = [](float, float, float) { return 0; };
        return true;
    }();
    (void)ready;
    Geometry* g = Geom_Parse(data, size);
    if (!g) return 0;
    float sink = 0;
    for (const GeomFace* face = g->firstFace; face; face = face->next) {
        Plane p = Geom_FacePlane(*face, g->vertices);
        sink += p.d + face->centroid.x;
        for (int r = 0; r < face->vertexCount; ++r) sink += g->normals[face->refs[r].vertex].y;
    }
    volatile float keep = sink;
    (void)keep;
    Geom_Free(g);
    return 0;
}
