#include "Objkr/geometry.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/bytes.h"
#include "core/debug.h"
#include "core/helpers.h"
#include "core/seams/render.h"
#include "core/zix.h"

namespace {

GeomCacheEntry g_entries[kGeomCacheSize];
int g_count = 0;

int DefaultPaletteFindNearest(float red, float green, float blue) {
    return Seam_Render().paletteFindNearest(red, green, blue);
}
bool DefaultFileExists(const char* name) { return Zix_FileExists(name); }
constexpr GeomServices kDefaultGeomServices = {DefaultPaletteFindNearest, DefaultFileExists};
GeomServices g_geomServices = kDefaultGeomServices;

bool HasNaN(const Vector& v) { return std::isnan(v.x) || std::isnan(v.y) || std::isnan(v.z); }
bool IsZero(const Vector& v) { return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f; }

uint32_t NameWord(const char name[8], int index) {
    const auto* p = reinterpret_cast<const uint8_t*>(name) + 4 * index;
    return Bytes_U32(p);
}
void NameFromWords(char out[8], uint32_t word1, uint32_t word2) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<char>((word1 >> (8 * i)) & 0xFF);
        out[4 + i] = static_cast<char>((word2 >> (8 * i)) & 0xFF);
    }
}

// Sizes of a geometry block; null layout when the counts cannot be held.
struct BlockLayout {
    size_t faces, refs, vertices, total;
};
bool Layout(uint64_t references, uint64_t faces, uint64_t vertices, BlockLayout* out) {
    const uint64_t limit = uint64_t(1) << 31;
    if (references > limit || faces > limit || vertices > limit) return false;
    out->faces = sizeof(Geometry);
    out->refs = out->faces + size_t(faces) * sizeof(GeomFace);
    out->vertices = out->refs + size_t(references) * sizeof(GeomVertexRef);
    out->total = out->vertices + 2 * size_t(vertices) * sizeof(Vector);
    return true;
}

void SelectInto(Entity* entity, Geometry* geometry) {
    if (entity->geometry != geometry) Objkr_Services().unbindTexture(entity);
    entity->geometry = geometry;
}

template <typename Fn>
void ForTree(Entity* entity, Fn&& fn) {
    fn(entity);
    for (Entity* child = entity->child; child; child = child->next) ForTree(child, fn);
}

}  // namespace

GeomServices& Geom_Services() { return g_geomServices; }
void Geom_ResetServices() { g_geomServices = kDefaultGeomServices; }

// ---- parsing ------------------------------------------------------------------------------

Geometry* Geom_AllocBlock(int references, int faces, int vertices) {
    if (references < 0 || faces < 0 || vertices < 0) return nullptr;
    BlockLayout layout;
    if (!Layout(uint64_t(references), uint64_t(faces), uint64_t(vertices), &layout)) return nullptr;
    auto* block = static_cast<uint8_t*>(std::calloc(1, layout.total));
    if (!block) return nullptr;
    auto* g = reinterpret_cast<Geometry*>(block);
    g->vertexCount = vertices;
    g->normalCount = vertices;
    g->vertices = reinterpret_cast<Vector*>(block + layout.vertices);
    g->normals = g->vertices + vertices;
    g->faceStore = reinterpret_cast<GeomFace*>(block + layout.faces);
    g->refStore = reinterpret_cast<GeomVertexRef*>(block + layout.refs);
    return g;
}

void Geom_Free(Geometry* geometry) { std::free(geometry); }

Geometry* Geom_Parse(const void* data, size_t size) {
    if (!data || size < kGeoHeaderSize) return nullptr;
    const auto* p = static_cast<const uint8_t*>(data);
    if (std::memcmp(p, "OEG.", 4) != 0) return nullptr;
    char fileName[17] = {};
    std::memcpy(fileName, p + 8, 16);
    const uint64_t vertexCount = Bytes_U32(p + 24);
    const uint64_t faceCount = Bytes_U32(p + 28);

    // Every count, size and vertex index is checked against the image before anything is built.
    const uint64_t facesStart = kGeoHeaderSize + 24 * vertexCount;
    if (facesStart > size) {
        Debug_Trace("geometry \"%.16s\" is shorter than its %u vertices\n", fileName, unsigned(vertexCount));
        return nullptr;
    }
    uint64_t at = facesStart, references = 0;
    for (uint64_t f = 0; f < faceCount; ++f) {
        if (at + kGeoFaceHeaderSize > size) {
            Debug_Trace("geometry \"%.16s\" is shorter than its %u faces\n", fileName, unsigned(faceCount));
            return nullptr;
        }
        const uint64_t n = Bytes_U32(p + at + 4);
        const uint64_t bytes = kGeoFaceHeaderSize + kGeoVertexRefSize * n;
        if (at + bytes > size) {
            Debug_Trace("geometry \"%.16s\" face %u runs past the file\n", fileName, unsigned(f));
            return nullptr;
        }
        for (uint64_t r = 0; r < n; ++r) {
            const int32_t index = static_cast<int32_t>(Bytes_U32(p + at + kGeoFaceHeaderSize + kGeoVertexRefSize * r));
            if (index < 0 || uint64_t(index) >= vertexCount) {
                Debug_Trace("geometry \"%.16s\" face %u uses vertex %d of %u\n", fileName, unsigned(f), index,
                            unsigned(vertexCount));
                return nullptr;
            }
        }
        references += n;
        at += bytes;
    }

    Geometry* g = Geom_AllocBlock(static_cast<int>(references), static_cast<int>(faceCount),
                                  static_cast<int>(vertexCount));
    if (!g) return nullptr;
    const int V = g->vertexCount;

    for (int i = 0; i < V; ++i) {
        Vector v = Bytes_Vec(p + kGeoHeaderSize + 12 * size_t(i));
        if (HasNaN(v)) {
            v = Vector{0, 0, 0};
            Debug_Trace("repaired geom \"%.16s\" vertex %d\n", fileName, i);
        }
        g->vertices[i] = v;
    }
    bool normalRepaired = false;
    for (int i = 0; i < V; ++i) {
        Vector n = Bytes_Vec(p + kGeoHeaderSize + 12 * size_t(V) + 12 * size_t(i));
        if (HasNaN(n)) {
            n = Vector{0, 0, 0};
            normalRepaired = true;
        }
        g->normals[i] = n;
    }

    at = facesStart;
    GeomVertexRef* refs = g->refStore;
    GeomFace** link = &g->firstFace;
    for (uint64_t f = 0; f < faceCount; ++f) {
        const uint8_t* rec = p + at;
        GeomFace* face = &g->faceStore[f];
        const int n = static_cast<int>(Bytes_U32(rec + 4));
        face->vertexCount = n;
        face->red = rec[8];
        face->green = rec[9];
        face->blue = rec[10];
        face->colourIndex =
            g_geomServices.paletteFindNearest(face->red / 255.0f, face->green / 255.0f, face->blue / 255.0f);
        std::memcpy(face->kept, rec + 31, 3);
        int len = 0;
        while (len < kGeoTextureChars && rec[34 + len]) {
            face->texture[len] = static_cast<char>(std::tolower(rec[34 + len]));
            ++len;
        }
        if (len > 0) {
            std::memcpy(face->texture + len, ".tmt", 5);
            if (!g_geomServices.fileExists(face->texture)) std::memcpy(face->texture + len, ".map", 5);
        }
        face->refs = refs;
        Vector sum{0, 0, 0};
        for (int r = 0; r < n; ++r) {
            const uint8_t* ref = rec + kGeoFaceHeaderSize + kGeoVertexRefSize * size_t(r);
            refs[r].vertex = static_cast<int32_t>(Bytes_U32(ref));
            refs[r].word = static_cast<int32_t>(Bytes_U32(ref + 4));
            refs[r].u = Bytes_F32(ref + 8);
            refs[r].v = Bytes_F32(ref + 12);
            const Vector& v = g->vertices[refs[r].vertex];
            sum = Vector{sum.x + v.x, sum.y + v.y, sum.z + v.z};
        }
        if (n > 0) face->centroid = Vector{sum.x / float(n), sum.y / float(n), sum.z / float(n)};

        // The face normal: the fan from the first corner, summed.
        Vector normal{0, 0, 0};
        if (n > 0) {
            const Vector& v0 = g->vertices[refs[0].vertex];
            for (int i = 1; i + 1 < n; ++i) {
                Vector c = Vec3_Cross(Vec3_Sub(g->vertices[refs[i].vertex], v0),
                                      Vec3_Sub(g->vertices[refs[i + 1].vertex], v0));
                normal = Vector{normal.x + c.x, normal.y + c.y, normal.z + c.z};
            }
        }
        normal = Vec3_Normalize(normal);
        face->plane.normal = normal;
        face->plane.d = -Vec3_Dot(normal, face->centroid);

        if (normalRepaired) {
            for (int r = 0; r < n; ++r) {
                Vector& vn = g->normals[refs[r].vertex];
                if (IsZero(vn)) {
                    vn = normal;
                    Debug_Trace("repaired geom \"%.16s\" normal %d\n", fileName, refs[r].vertex);
                }
            }
        }

        *link = face;
        link = &face->next;
        refs += n;
        at += kGeoFaceHeaderSize + kGeoVertexRefSize * uint64_t(n);
        g->faceCount++;
    }
    return g;
}

// ---- the cache ----------------------------------------------------------------------------

Geometry* GeomCache_Get(uint32_t word1, uint32_t word2) {
    GeomCacheEntry* slot = nullptr;
    int passed = 0;
    for (GeomCacheEntry& e : g_entries) {
        if (e.geometry) {
            ++passed;
            if (e.name[0] == word1 && e.name[1] == word2) {
                e.useCount++;
                return e.geometry;
            }
        } else if (!slot) {
            slot = &e;
        }
        if (passed >= g_count && slot) break;
    }
    char name[8];
    NameFromWords(name, word1, word2);
    if (!slot) slot = GeomCache_EvictLargest();
    if (!slot) {
        Error_Warning("Geometry cache full: all %d geometries are in use, \"%.8s\" not loaded", kGeomCacheSize,
                      name);
        return nullptr;
    }
    char fileName[13];
    Geom_JoinName(fileName, name, ".geo");
    uint32_t size = 0;
    void* image = Zix_LoadFile(fileName, &size);
    if (!image) return nullptr;
    Geometry* g = Geom_Parse(image, size);
    std::free(image);
    if (!g) return nullptr;
    g_count++;
    slot->name[0] = word1;
    slot->name[1] = word2;
    slot->geometry = g;
    slot->useCount = 1;
    slot->fileSize = size;
    slot->unused = 0;
    g->cacheEntry = slot;
    return g;
}

void Geom_Unref(Geometry* geometry) {
    if (!geometry || !geometry->cacheEntry) return;
    if (geometry->cacheEntry->useCount > 0) geometry->cacheEntry->useCount--;
}

void GeomCache_Reset() {
    std::memset(g_entries, 0, sizeof g_entries);
    g_count = 0;
}

void GeomCache_FreeAll() {
    for (GeomCacheEntry& e : g_entries) Geom_Free(e.geometry);
    GeomCache_Reset();
}

GeomCacheEntry* GeomCache_EvictLargest() {
    GeomCacheEntry* best = nullptr;
    for (GeomCacheEntry& e : g_entries)
        if (e.geometry && e.useCount <= 0 && (!best || e.fileSize > best->fileSize)) best = &e;
    if (!best) return nullptr;
    Geom_Free(best->geometry);
    std::memset(best, 0, sizeof *best);
    g_count--;
    return best;
}

int GeomCache_Count() { return g_count; }

const GeomCacheEntry* GeomCache_Entry(int index) {
    return index >= 0 && index < kGeomCacheSize ? &g_entries[index] : nullptr;
}

// ---- names --------------------------------------------------------------------------------

void Geom_SplitName(const char* fileName, char name[8], char extension[4]) {
    std::memset(name, 0, 8);
    std::memset(extension, 0, 4);
    if (!fileName) return;
    for (int i = 0; i < 8 && fileName[i] && fileName[i] != '.'; ++i) name[i] = fileName[i];
    if (const char* dot = std::strchr(fileName, '.'))
        for (int i = 0; i < 4 && dot[i]; ++i) extension[i] = dot[i];
}

void Geom_JoinName(char out[13], const char name[8], const char extension[4]) {
    int n = 0;
    while (n < 8 && name[n]) {
        out[n] = name[n];
        ++n;
    }
    for (int i = 0; i < 4 && extension[i]; ++i) out[n++] = extension[i];
    out[n] = 0;
}

bool Geom_IsMapFile(const char* name) {
    if (!name) return true;
    const char* dot = std::strrchr(name, '.');
    return !dot || Text_CompareNoCase(dot, ".map") == 0;
}

// ---- lists --------------------------------------------------------------------------------

int GeomList_Add(Entity* entity, const char* name, int state, int level) {
    if (!entity) return 0;
    GeomList& list = entity->geomList;
    if (!name || Text_CompareNoCaseN(name, "null", 4) == 0) {
        if (state == 0 && level == 0) {
            SelectInto(entity, nullptr);
            list.currentKey = 0;
        }
        return 0;
    }
    if (list.count >= list.capacity) {
        const int capacity = list.capacity + 10;
        auto* items = static_cast<GeomItem*>(std::realloc(list.items, sizeof(GeomItem) * size_t(capacity)));
        if (!items) return 0;
        list.items = items;
        list.capacity = capacity;
    }
    GeomItem& item = list.items[list.count++];
    item.key = Geom_MakeKey(state, level);
    char stem[8], extension[4];
    Geom_SplitName(name, stem, extension);
    item.geometry = GeomCache_Get(NameWord(stem, 0), NameWord(stem, 1));
    if (!item.geometry) Debug_Printf("Missing geometry \"%.8s\"\n", stem);
    std::memcpy(item.name, stem, 8);
    if (state == 0 && level == 0) {
        SelectInto(entity, item.geometry);
        list.currentKey = 0;
    }
    return item.geometry ? 1 : 0;
}

void GeomList_CopyFromDef(const Entity* source, Entity* entity) {
    if (!source || !entity || source == entity) return;
    GeomList_Free(entity);
    const GeomList& from = source->geomList;
    GeomList& to = entity->geomList;
    if (from.count > 0 && from.items) {
        to.items = static_cast<GeomItem*>(std::malloc(sizeof(GeomItem) * size_t(from.capacity)));
        if (!to.items) return;
        for (int i = 0; i < from.count; ++i) {
            to.items[i] = from.items[i];
            if (from.items[i].geometry)
                to.items[i].geometry = GeomCache_Get(NameWord(from.items[i].name, 0), NameWord(from.items[i].name, 1));
        }
        to.count = from.count;
        to.capacity = from.capacity;
    }
    to.currentKey = from.currentKey;
    entity->geometry = source->geometry;
}

void GeomList_Free(Entity* entity) {
    if (!entity) return;
    GeomList& list = entity->geomList;
    for (int i = 0; i < list.count && list.items; ++i) Geom_Unref(list.items[i].geometry);
    std::free(list.items);
    list = GeomList{};
    entity->geometry = nullptr;
}

void GeomList_FreeTree(Entity* entity) {
    if (entity) ForTree(entity, [](Entity* e) { GeomList_Free(e); });
}

namespace {
// The geometry of the first item with exactly that key, or null.
Geometry* ItemGeometry(const Entity* entity, int32_t key) {
    const GeomList& list = entity->geomList;
    for (int i = 0; i < list.count && list.items; ++i)
        if (list.items[i].key == key && list.items[i].geometry) return list.items[i].geometry;
    return nullptr;
}

// Stores the key and selects it, falling back to level 0 unless the level is 1; the bound
// texture goes with every change of key.
int ChangeKey(Entity* entity, int state, int level) {
    const int32_t key = Geom_MakeKey(state, level);
    if (key == entity->geomList.currentKey) return entity->geometry ? 1 : 0;
    entity->geomList.currentKey = key;
    Objkr_Services().unbindTexture(entity);
    Geometry* g = ItemGeometry(entity, key);
    if (!g && level != 1) g = ItemGeometry(entity, Geom_MakeKey(state, 0));
    entity->geometry = g;
    return g ? 1 : 0;
}
}  // namespace

int GeomList_Select(Entity* entity, int state, int level) {
    if (!entity) return 0;
    Geometry* g = ItemGeometry(entity, Geom_MakeKey(state, level));
    if (!g) return 0;
    SelectInto(entity, g);
    return 1;
}

int GeomList_SetLevel(Entity* entity, int level) {
    if (!entity) return 0;
    int state, current;
    Geom_SplitKey(entity->geomList.currentKey, &state, &current);
    return ChangeKey(entity, state, level);
}

int GeomList_SetState(Entity* entity, int state) {
    if (!entity) return 0;
    int current, level;
    Geom_SplitKey(entity->geomList.currentKey, &current, &level);
    return ChangeKey(entity, state, level);
}

int GeomList_SetStateTree(Entity* entity, int state) {
    if (!entity) return 0;
    int any = 0;
    ForTree(entity, [&](Entity* e) {
        GeomList_SetState(e, state);
        if (e->geometry) any = 1;
    });
    return any;
}

const char* GeomList_TextureName(Entity* entity, int level) {
    if (!entity) return nullptr;
    GeomList_SetLevel(entity, level);
    if (!entity->geometry) return nullptr;
    for (const GeomFace* face = entity->geometry->firstFace; face; face = face->next)
        if (face->texture[0] && !Geom_IsMapFile(face->texture)) return face->texture;
    return nullptr;
}

// ---- faces and views ----------------------------------------------------------------------

Plane Geom_FacePlane(const GeomFace& face, const Vector* vertices) {
    const Plane zero{{0, 0, 0}, 0};
    const int n = face.vertexCount;
    if (n < 3 || !vertices || !face.refs) return zero;
    auto at = [&](int i) -> const Vector& { return vertices[face.refs[i].vertex]; };
    if (n == 3) return Plane_FromPoints(at(0), at(1), at(2));

    // The longest edge between consecutive corners (the closing edge included) is the most
    // trustworthy base; the corner farthest from its line completes the plane.
    int start = -1;
    float longest = 0.0f;
    for (int i = 0; i < n; ++i) {
        const Vector e = Vec3_Sub(at((i + 1) % n), at(i));
        const float length = Vec3_Dot(e, e);
        if (length > longest) {
            longest = length;
            start = i;
        }
    }
    if (start < 0) return zero;
    const int end = (start + 1) % n;
    const Vector edge = Vec3_Sub(at(end), at(start));
    Plane best = zero;
    float bestLength = 0.0f;
    for (int i = 0; i < n; ++i) {
        if (i == start || i == end) continue;
        const Vector c = Vec3_Cross(Vec3_Sub(at(i), at(start)), edge);
        const float length = Vec3_Dot(c, c);
        if (length > bestLength) {
            bestLength = length;
            best = Plane_FromPoints(at(start), at(end), at(i));
            if (length > 16.0f) break;
        }
    }
    return best;
}

void Geom_Dump(const Geometry* g) {
    if (!g) return;
    Debug_SetLogPath("objtest.txt");
    Debug_SetOutputMode(kDebugOutLog);
    Debug_Printf("Geometry object at %x:\n\n", unsigned(reinterpret_cast<uintptr_t>(g)));
    Debug_Printf("References:\t\t%d\n", g->cacheEntry ? int(g->cacheEntry->useCount) : 0);
    Debug_Printf("Number of vertices:\t%d\n", g->vertexCount);
    Debug_Printf("Number of normals:\t%d\n\n", g->normalCount);
    Debug_Printf("Vertex list:\n\n");
    for (int i = 0; i < g->vertexCount; ++i)
        Debug_Printf("Vertex # %d:\t\t(%f, %f, %f)\n", i, double(g->vertices[i].x), double(g->vertices[i].y),
                     double(g->vertices[i].z));
    Debug_Printf("Normal list:\n\n");
    for (int i = 0; i < g->normalCount; ++i)
        Debug_Printf("Normal # %d:\t\t(%f, %f, %f)\n", i, double(g->normals[i].x), double(g->normals[i].y),
                     double(g->normals[i].z));
    int index = 0;
    for (const GeomFace* face = g->firstFace; face; face = face->next, ++index) {
        Debug_Printf("Face # %d:\t\tVertices:\t", index);
        for (int r = 0; r < face->vertexCount; ++r) Debug_Printf("%3d ", face->refs[r].vertex);
        Debug_Printf("\n");
    }
}
