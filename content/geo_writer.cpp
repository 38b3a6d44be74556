#include "geo_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/bytes.h"

namespace content {

namespace {

Vector Add(const Vector& a, const Vector& b) { return Vector{a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector Unit(const Vector& v) {
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return length > 0 ? Vector{v.x / length, v.y / length, v.z / length} : Vector{0, 0, 0};
}

GeoFace Face(const GeoStyle& style, std::initializer_list<int> indices, const std::vector<Vector>& vertices) {
    GeoFace face;
    face.red = style.red;
    face.green = style.green;
    face.blue = style.blue;
    face.texture = style.texture;
    for (int index : indices) {
        const Vector& v = vertices[size_t(index)];
        face.corners.push_back(GeoCorner{index, v.x + v.z, v.y, 0});
    }
    return face;
}

}  // namespace

std::string GeoBytes(const GeoMesh& mesh) {
    std::vector<Vector> normals = mesh.normals;
    if (normals.size() != mesh.vertices.size()) {
        normals.assign(mesh.vertices.size(), Vector{0, 0, 0});
        for (const GeoFace& face : mesh.faces) {
            if (face.corners.size() < 3) continue;
            const Vector& v0 = mesh.vertices[size_t(face.corners[0].vertex)];
            Vector n{0, 0, 0};
            for (size_t i = 1; i + 1 < face.corners.size(); ++i)
                n = Add(n, Vec3_Cross(Vec3_Sub(mesh.vertices[size_t(face.corners[i].vertex)], v0),
                                      Vec3_Sub(mesh.vertices[size_t(face.corners[i + 1].vertex)], v0)));
            n = Unit(n);
            for (const GeoCorner& c : face.corners) normals[size_t(c.vertex)] = Add(normals[size_t(c.vertex)], n);
        }
        for (Vector& n : normals) n = Unit(n);
    }
    std::string out = "OEG.";
    Bytes_AppendU32(out, 0);
    Bytes_AppendFixed(out, mesh.name, 16);
    Bytes_AppendU32(out, static_cast<uint32_t>(mesh.vertices.size()));
    Bytes_AppendU32(out, static_cast<uint32_t>(mesh.faces.size()));
    Bytes_AppendU32(out, 0);
    for (const Vector& v : mesh.vertices) Bytes_AppendVec(out, v);
    for (const Vector& n : normals) Bytes_AppendVec(out, n);
    for (const GeoFace& face : mesh.faces) {
        Bytes_AppendU32(out, 0);
        Bytes_AppendU32(out, static_cast<uint32_t>(face.corners.size()));
        out.push_back(static_cast<char>(face.red));
        out.push_back(static_cast<char>(face.green));
        out.push_back(static_cast<char>(face.blue));
        out.append(20, '\0');
        for (uint8_t b : face.kept) out.push_back(static_cast<char>(b));
        Bytes_AppendFixed(out, face.texture, 15);
        out.append(6, '\0');
        for (const GeoCorner& c : face.corners) {
            Bytes_AppendU32(out, static_cast<uint32_t>(c.vertex));
            Bytes_AppendU32(out, static_cast<uint32_t>(c.word));
            Bytes_AppendF32(out, c.u);
            Bytes_AppendF32(out, c.v);
        }
    }
    return out;
}

GeoMesh GeoBox(const std::string& name, const Vector& min, const Vector& max, const GeoStyle& style) {
    GeoMesh mesh;
    mesh.name = name;
    // Vertex i: x from bit 0, y from bit 1, z from bit 2.
    for (int i = 0; i < 8; ++i)
        mesh.vertices.push_back(Vector{(i & 1) ? max.x : min.x, (i & 2) ? max.y : min.y, (i & 4) ? max.z : min.z});
    for (auto indices : {std::initializer_list<int>{2, 6, 7, 3}, {0, 1, 5, 4}, {1, 3, 7, 5}, {0, 4, 6, 2},
                         {4, 5, 7, 6}, {0, 2, 3, 1}})
        mesh.faces.push_back(Face(style, indices, mesh.vertices));
    return mesh;
}

GeoMesh GeoPrism(const std::string& name, int sides, float r0, float r1, float y0, float y1, const GeoStyle& style) {
    GeoMesh mesh;
    mesh.name = name;
    sides = std::max(sides, 3);
    for (int ring = 0; ring < 2; ++ring) {
        for (int k = 0; k < sides; ++k) {
            const double a = 2.0 * M_PI * k / sides;
            const float r = ring ? r1 : r0;
            mesh.vertices.push_back(Vector{float(r * std::cos(a)), ring ? y1 : y0, float(r * std::sin(a))});
        }
    }
    for (int k = 0; k < sides; ++k) {
        const int b0 = k, b1 = (k + 1) % sides, t0 = sides + k, t1 = sides + (k + 1) % sides;
        mesh.faces.push_back(Face(style, {b0, t0, t1, b1}, mesh.vertices));
    }
    GeoFace top, bottom;
    top = Face(style, {}, mesh.vertices);
    bottom = top;
    for (int k = sides - 1; k >= 0; --k) top.corners.push_back(GeoCorner{sides + k, 0, 0, 0});
    for (int k = 0; k < sides; ++k) bottom.corners.push_back(GeoCorner{k, 0, 0, 0});
    mesh.faces.push_back(top);
    mesh.faces.push_back(bottom);
    return mesh;
}

GeoMesh GeoPyramid(const std::string& name, int sides, float r, float y0, float y1, const GeoStyle& style) {
    GeoMesh mesh;
    mesh.name = name;
    sides = std::max(sides, 3);
    for (int k = 0; k < sides; ++k) {
        const double a = 2.0 * M_PI * k / sides;
        mesh.vertices.push_back(Vector{float(r * std::cos(a)), y0, float(r * std::sin(a))});
    }
    mesh.vertices.push_back(Vector{0, y1, 0});
    for (int k = 0; k < sides; ++k) mesh.faces.push_back(Face(style, {k, sides, (k + 1) % sides}, mesh.vertices));
    GeoFace bottom = Face(style, {}, mesh.vertices);
    for (int k = 0; k < sides; ++k) bottom.corners.push_back(GeoCorner{k, 0, 0, 0});
    mesh.faces.push_back(bottom);
    return mesh;
}

void GeoMerge(GeoMesh& a, const GeoMesh& b, const Vector& offset) {
    const int base = static_cast<int>(a.vertices.size());
    for (const Vector& v : b.vertices) a.vertices.push_back(Add(v, offset));
    for (GeoFace face : b.faces) {
        for (GeoCorner& c : face.corners) c.vertex += base;
        a.faces.push_back(face);
    }
    a.normals.clear();
}

void GeoBounds(const GeoMesh& mesh, Vector* min, Vector* max) {
    *min = Vector{0, 0, 0};
    *max = Vector{0, 0, 0};
    for (size_t i = 0; i < mesh.vertices.size(); ++i) {
        const Vector& v = mesh.vertices[i];
        if (i == 0) *min = *max = v;
        *min = Vector{std::min(min->x, v.x), std::min(min->y, v.y), std::min(min->z, v.z)};
        *max = Vector{std::max(max->x, v.x), std::max(max->y, v.y), std::max(max->z, v.z)};
    }
}

}  // namespace content
