// Writer of geometry files (".geo") and the simple shapes the sample models are built from.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/mathlib.h"

namespace content {

struct GeoCorner {
    int32_t vertex = 0;
    float u = 0, v = 0;
    int32_t word = 0;
};

struct GeoFace {
    uint8_t red = 128, green = 128, blue = 128;
    std::string texture;  // up to 15 characters, no extension; empty for a plain colour
    uint8_t kept[3] = {};
    std::vector<GeoCorner> corners;
};

struct GeoMesh {
    std::string name;  // the 16-character name field
    std::vector<Vector> vertices;
    std::vector<Vector> normals;  // empty: each vertex gets the mean of its faces' normals
    std::vector<GeoFace> faces;
};

// The file: "OEG.", the name, counts, vertices, normals and the face records.
std::string GeoBytes(const GeoMesh& mesh);

struct GeoStyle {
    uint8_t red = 128, green = 128, blue = 128;
    std::string texture;
};

// Shapes with outward-facing faces (corners counter-clockwise seen from outside).
GeoMesh GeoBox(const std::string& name, const Vector& min, const Vector& max, const GeoStyle& style);
// A prism of `sides` sides around the y axis from y0 (radius r0) to y1 (radius r1 > 0).
GeoMesh GeoPrism(const std::string& name, int sides, float r0, float r1, float y0, float y1, const GeoStyle& style);
// A pyramid of `sides` sides: base of radius r at y0, apex at y1.
GeoMesh GeoPyramid(const std::string& name, int sides, float r, float y0, float y1, const GeoStyle& style);
// Appends b's vertices and faces to a, moved by offset.
void GeoMerge(GeoMesh& a, const GeoMesh& b, const Vector& offset);
// The mesh's box.
void GeoBounds(const GeoMesh& mesh, Vector* min, Vector* max);

}  // namespace content
