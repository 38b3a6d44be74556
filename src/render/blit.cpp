#include "render/blit.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/debug.h"
#include "render/palette.h"
#include "render/view.h"

int32_t TextColour = 0;

namespace {

// ---- Per-row helpers -------------------------------------------------------------------------

// A group of four source bytes that are all 255 (the key colour), read as one word.
inline bool AllKey4(const uint8_t* s) {
    uint32_t word;
    std::memcpy(&word, s, 4);
    return word == 0xFFFFFFFFu;
}

// Runs put(d, s) over every pixel of a keyed row, skipping groups of four key bytes at once.
template <class Put>
inline void KeyedRow(uint8_t* d, const uint8_t* s, int columns, Put put) {
    int i = 0;
    for (; i + 4 <= columns; i += 4) {
        if (AllKey4(s + i)) continue;
        for (int k = i; k < i + 4; ++k)
            if (s[k] != 255) put(d + k, s[k]);
    }
    for (; i < columns; ++i)
        if (s[i] != 255) put(d + i, s[i]);
}

template <class Row>
inline void EachRow(uint8_t* dst, const uint8_t* src, int rows, ptrdiff_t dstPitch, ptrdiff_t srcPitch, Row row) {
    for (int r = 0; r < rows; ++r, dst += dstPitch, src += srcPitch) row(dst, src);
}

// ---- Rectangles ------------------------------------------------------------------------------

struct Rect64 {
    int64_t left, top, right, bottom;
};

// The part of a buffer's clip rectangle that lies inside the buffer; false when none.
bool ClipInside(const GraphicBuffer* b, Rect64* out) {
    out->left = std::max<int64_t>(b->clipLeft, 0);
    out->top = std::max<int64_t>(b->clipTop, 0);
    out->right = std::min<int64_t>(b->clipRight, int64_t(b->width) - 1);
    out->bottom = std::min<int64_t>(b->clipBottom, int64_t(b->height) - 1);
    return out->left <= out->right && out->top <= out->bottom;
}

// A buffer whose pixels may be addressed.
bool Addressable(const GraphicBuffer* b) {
    return b && b->valid == 1 && b->pixels && b->pixels != Graphic_HardwareScreenMarker() && b->width > 0 &&
           b->height > 0;
}

size_t BytesPerPixel(const GraphicBuffer* b) { return b->format == kGraphicFormat16 ? 2 : 1; }

// True when the two rectangles of memory share a byte.
bool Overlap(const uint8_t* a, size_t aSize, const uint8_t* b, size_t bSize) {
    auto pa = reinterpret_cast<uintptr_t>(a), pb = reinterpret_cast<uintptr_t>(b);
    return pa < pb + bSize && pb < pa + aSize;
}

// When a blit would write pixels it has still to read (a move down or to the right within one
// buffer), the source rows are copied aside first; a move up or to the left reads every source
// pixel in forward order before it is overwritten.
struct SourceRows {
    std::vector<uint8_t> copy;
    const uint8_t* first;  // the first row to read
    ptrdiff_t pitch;
    SourceRows(const uint8_t* src, ptrdiff_t srcPitch, int columns, int rows, const uint8_t* dst,
               ptrdiff_t dstPitch, size_t dstBytesPerPixel)
        : first(src), pitch(srcPitch) {
        // The memory each side spans (first row to last, whichever way the pitch goes).
        auto span = [](const uint8_t* p, ptrdiff_t pitchBytes, int rowCount, size_t rowBytes, const uint8_t** low) {
            const uint8_t* last = p + pitchBytes * (rowCount - 1);
            *low = std::min(p, last);
            return static_cast<size_t>(std::max(p, last) - *low) + rowBytes;
        };
        const uint8_t *srcLow, *dstLow;
        size_t srcSize = span(src, srcPitch, rows, static_cast<size_t>(columns), &srcLow);
        size_t dstSize = span(dst, dstPitch, rows, static_cast<size_t>(columns) * dstBytesPerPixel, &dstLow);
        if (!Overlap(srcLow, srcSize, dstLow, dstSize)) return;
        if (dst <= src && srcPitch > 0 && dstPitch == srcPitch) return;  // forward order reads first
        copy.resize(static_cast<size_t>(columns) * static_cast<size_t>(rows));
        for (int r = 0; r < rows; ++r)
            std::memcpy(copy.data() + static_cast<size_t>(r) * static_cast<size_t>(columns), src + srcPitch * r,
                        static_cast<size_t>(columns));
        first = copy.data();
        pitch = columns;
    }
};

// The column offsets of a stretched row, grown as needed (one entry per destination column).
std::vector<int32_t>& ColumnTable() {
    static std::vector<int32_t> table;
    return table;
}

const int32_t* ColumnOffsets(const StretchJob& job) {
    std::vector<int32_t>& table = ColumnTable();
    if (table.size() < static_cast<size_t>(job.columns)) table.resize(static_cast<size_t>(job.columns));
    int64_t fx = static_cast<int64_t>(job.skipColumns) * job.stepX;
    for (int32_t j = 0; j < job.columns; ++j, fx += job.stepX)
        table[static_cast<size_t>(j)] = static_cast<int32_t>(fx >> 16);
    return table.data();
}

// Walks the destination rows of a stretch: row(destination row, source row with the left edge
// applied, column offsets).
template <class Row>
void StretchEachRow(const StretchJob& job, Row row) {
    if (job.columns <= 0 || job.rows <= 0) return;
    const int32_t* offsets = ColumnOffsets(job);
    int64_t fy = static_cast<int64_t>(job.skipRows) * job.stepY;
    uint8_t* d = job.dest;
    for (int32_t i = 0; i < job.rows; ++i, d += job.destPitch, fy += job.stepY) {
        const uint8_t* s = job.source + ((fy >> 16) + job.sourceTop) * job.sourcePitch + job.sourceLeft;
        row(d, s, offsets);
    }
}

template <class Put>
void StretchPerPixel(const StretchJob& job, Put put) {
    StretchEachRow(job, [&](uint8_t* d, const uint8_t* s, const int32_t* offsets) {
        for (int32_t j = 0; j < job.columns; ++j) put(d + j, s[offsets[j]]);
    });
}

}  // namespace

// ---- Copy loops ------------------------------------------------------------------------------

void Blit_CopyRows(uint8_t* dst, const uint8_t* src, int columns, int rows, ptrdiff_t dstPitch, ptrdiff_t srcPitch) {
    // memmove: a row moved within one buffer may overlap itself.
    EachRow(dst, src, rows, dstPitch, srcPitch,
            [columns](uint8_t* d, const uint8_t* s) { std::memmove(d, s, static_cast<size_t>(columns)); });
}

void Blit_CopyKeyedRows(uint8_t* dst, const uint8_t* src, int columns, int rows, ptrdiff_t dstPitch,
                        ptrdiff_t srcPitch) {
    constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
    EachRow(dst, src, rows, dstPitch, srcPitch, [columns](uint8_t* d, const uint8_t* s) {
        // Eight bytes at a time: all key skipped, none key stored whole (from the word already
        // read, so a copy onto itself stays right), the rest byte by byte.
        int i = 0;
        for (; i + 8 <= columns; i += 8) {
            uint64_t word;
            std::memcpy(&word, s + i, 8);
            const uint64_t inverse = ~word;  // a key byte is a zero byte here
            if (inverse == 0) continue;
            if (((inverse - kOnes) & ~inverse & kHighs) == 0) {
                std::memcpy(d + i, &word, 8);
                continue;
            }
            for (int k = i; k < i + 8; ++k)
                if (s[k] != 255) d[k] = s[k];
        }
        KeyedRow(d + i, s + i, columns - i, [](uint8_t* p, uint8_t v) { *p = v; });
    });
}

void Blit_TransRows(uint8_t* dst, const uint8_t* src, int columns, int rows, ptrdiff_t dstPitch, ptrdiff_t srcPitch) {
    EachRow(dst, src, rows, dstPitch, srcPitch, [columns](uint8_t* d, const uint8_t* s) {
        for (int i = 0; i < columns; ++i) d[i] = TranslucencyTable[s[i]][d[i]];
    });
}

void Blit_TransRevRows(uint8_t* dst, const uint8_t* src, int columns, int rows, ptrdiff_t dstPitch,
                       ptrdiff_t srcPitch) {
    EachRow(dst, src, rows, dstPitch, srcPitch, [columns](uint8_t* d, const uint8_t* s) {
        for (int i = 0; i < columns; ++i) d[i] = TranslucencyTable[d[i]][s[i]];
    });
}

void Blit_AlphaKeyedRows(uint8_t* dst, const uint8_t* src, int columns, int rows, ptrdiff_t dstPitch,
                         ptrdiff_t srcPitch) {
    EachRow(dst, src, rows, dstPitch, srcPitch, [columns](uint8_t* d, const uint8_t* s) {
        KeyedRow(d, s, columns, [](uint8_t* p, uint8_t v) { *p = AlphaTable[v][*p]; });
    });
}

void Blit_SilhouetteRows(uint8_t* dst, const uint8_t* src, int columns, int rows, ptrdiff_t dstPitch,
                         ptrdiff_t srcPitch) {
    const uint8_t colour = static_cast<uint8_t>(TextColour);
    EachRow(dst, src, rows, dstPitch, srcPitch, [columns, colour](uint8_t* d, const uint8_t* s) {
        KeyedRow(d, s, columns, [colour](uint8_t* p, uint8_t v) { *p = v == 0 ? 0 : colour; });
    });
}

void Blit_Copy16Rows(uint16_t* dst, const uint8_t* src, int columns, int rows, ptrdiff_t dstPitch,
                     ptrdiff_t srcPitch) {
    for (int r = 0; r < rows; ++r, dst += dstPitch, src += srcPitch)
        for (int i = 0; i < columns; ++i) dst[i] = PaletteColors16[src[i]];
}

void Blit_CopyKeyed16Rows(uint16_t* dst, const uint8_t* src, int columns, int rows, ptrdiff_t dstPitch,
                          ptrdiff_t srcPitch) {
    for (int r = 0; r < rows; ++r, dst += dstPitch, src += srcPitch) {
        int i = 0;
        for (; i + 4 <= columns; i += 4) {
            if (AllKey4(src + i)) continue;
            for (int k = i; k < i + 4; ++k)
                if (src[k] != 255) dst[k] = PaletteColors16[src[k]];
        }
        for (; i < columns; ++i)
            if (src[i] != 255) dst[i] = PaletteColors16[src[i]];
    }
}

// ---- Stretch loops ---------------------------------------------------------------------------

void Blit_StretchRows(const StretchJob& job) {
    StretchPerPixel(job, [](uint8_t* d, uint8_t s) { *d = s; });
}

void Blit_StretchKeyedRows(const StretchJob& job) {
    StretchPerPixel(job, [](uint8_t* d, uint8_t s) {
        if (s != 255) *d = s;
    });
}

void Blit_StretchTransRows(const StretchJob& job) {
    StretchPerPixel(job, [](uint8_t* d, uint8_t s) { *d = TranslucencyTable[s][*d]; });
}

void Blit_StretchTransRevRows(const StretchJob& job) {
    StretchPerPixel(job, [](uint8_t* d, uint8_t s) { *d = TranslucencyTable[*d][s]; });
}

void Blit_StretchAlphaKeyedRows(const StretchJob& job) {
    StretchEachRow(job, [&](uint8_t* d, const uint8_t* s, const int32_t* offsets) {
        // Pixel pairs, a pair of two key bytes skipped at once; an odd last pixel on its own.
        int32_t j = 0;
        for (; j + 2 <= job.columns; j += 2) {
            uint8_t a = s[offsets[j]], b = s[offsets[j + 1]];
            if ((a & b) == 255) continue;
            if (a != 255) d[j] = AlphaTable[a][d[j]];
            if (b != 255) d[j + 1] = AlphaTable[b][d[j + 1]];
        }
        if (j < job.columns) {
            uint8_t a = s[offsets[j]];
            if (a != 255) d[j] = AlphaTable[a][d[j]];
        }
    });
}

// ---- The blits -------------------------------------------------------------------------------

int Graphic_Copy_Bitmap(GraphicBuffer* dst, const GraphicBuffer* src, int x, int y, int mode) {
    if (!dst || !src || dst->valid != 1 || src->valid != 1) return 0;
    if (!Addressable(dst) || !Addressable(src)) return 0;
    // The source rectangle, cut to its buffer; the picture keeps its place on the target.
    Rect64 from;
    if (!ClipInside(src, &from)) return 0;
    Rect64 bounds;
    if (!ClipInside(dst, &bounds)) return -1;
    const int64_t left = int64_t(x) + dst->clipLeft + (from.left - src->clipLeft);
    const int64_t top = int64_t(y) + dst->clipTop + (from.top - src->clipTop);
    const int64_t right = left + (from.right - from.left);
    const int64_t bottom = top + (from.bottom - from.top);
    if (right < bounds.left || left > bounds.right || bottom < bounds.top || top > bounds.bottom) return -1;
    const Rect64 to{std::max(left, bounds.left), std::max(top, bounds.top), std::min(right, bounds.right),
                    std::min(bottom, bounds.bottom)};

    const bool into16 = dst->format == kGraphicFormat16;
    if (src->format != kGraphicFormat8 || (dst->format != kGraphicFormat8 && !into16)) {
        Debug_Trace("Unsupported Graphic_Copy_Bitmap format\n");
        return 0;
    }
    const int columns = static_cast<int>(to.right - to.left + 1);
    const int rows = static_cast<int>(to.bottom - to.top + 1);
    const int64_t srcColumn = from.left + (to.left - left);
    const int64_t skipRows = to.top - top;
    const ptrdiff_t pitch = src->width;
    // Mirrored: the first destination row shows the source rectangle's mirror row.
    const bool mirrored = mode == 6;
    const int64_t srcRow = mirrored ? from.bottom - skipRows : from.top + skipRows;
    const uint8_t* s = src->pixels + srcRow * pitch + srcColumn;
    const ptrdiff_t srcPitch = mirrored ? -pitch : pitch;
    const size_t dstBpp = BytesPerPixel(dst);
    uint8_t* d = dst->pixels + (to.top * dst->width + to.left) * static_cast<int64_t>(dstBpp);
    const ptrdiff_t dstPitchBytes = static_cast<ptrdiff_t>(dst->width) * static_cast<ptrdiff_t>(dstBpp);
    SourceRows source(s, srcPitch, columns, rows, d, dstPitchBytes, dstBpp);

    if (into16) {
        auto* d16 = reinterpret_cast<uint16_t*>(d);
        if (mode == 0) Blit_Copy16Rows(d16, source.first, columns, rows, dst->width, source.pitch);
        else if ((mode >= 1 && mode <= 4) || mode == 6)
            Blit_CopyKeyed16Rows(d16, source.first, columns, rows, dst->width, source.pitch);
        return 1;
    }
    switch (mode) {
    case 1:
    case 6: Blit_CopyKeyedRows(d, source.first, columns, rows, dstPitchBytes, source.pitch); break;
    case 2: Blit_TransRows(d, source.first, columns, rows, dstPitchBytes, source.pitch); break;
    case 3: Blit_TransRevRows(d, source.first, columns, rows, dstPitchBytes, source.pitch); break;
    case 4: Blit_AlphaKeyedRows(d, source.first, columns, rows, dstPitchBytes, source.pitch); break;
    case 5: Blit_SilhouetteRows(d, source.first, columns, rows, dstPitchBytes, source.pitch); break;
    default: Blit_CopyRows(d, source.first, columns, rows, dstPitchBytes, source.pitch); break;
    }
    return 1;
}

void Graphic_Stretch_Bitmap(GraphicBuffer* dst, const GraphicBuffer* src, int left, int top, int right, int bottom,
                            int mode) {
    if (!dst || !src) return;
    if (dst->format == kGraphicFormat16 || src->format == kGraphicFormat16) {
        Debug_Trace("Unsupported Graphic_Stretch_Bitmap format\n");
        return;
    }
    if (dst->valid != 1 || src->valid != 1 || !Addressable(dst) || !Addressable(src)) return;
    Rect64 from, bounds;
    if (!ClipInside(src, &from) || !ClipInside(dst, &bounds)) return;
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    const int64_t wantWidth = int64_t(right) - left + 1, wantHeight = int64_t(bottom) - top + 1;
    const int64_t srcWidth = from.right - from.left + 1, srcHeight = from.bottom - from.top + 1;
    const int64_t stepX = wantWidth == 1 ? 0 : (srcWidth << 16) / wantWidth;
    const int64_t stepY = wantHeight == 1 ? 0 : (srcHeight << 16) / wantHeight;

    const Rect64 want{int64_t(left) + dst->clipLeft, int64_t(top) + dst->clipTop, int64_t(right) + dst->clipLeft,
                      int64_t(bottom) + dst->clipTop};
    if (want.right < bounds.left || want.left > bounds.right || want.bottom < bounds.top || want.top > bounds.bottom)
        return;
    const Rect64 to{std::max(want.left, bounds.left), std::max(want.top, bounds.top),
                    std::min(want.right, bounds.right), std::min(want.bottom, bounds.bottom)};

    const bool mirrored = mode == 6 || mode == 7;
    const ptrdiff_t pitch = src->width;
    StretchJob job{};
    job.dest = dst->pixels + to.top * dst->width + to.left;
    job.columns = static_cast<int32_t>(to.right - to.left + 1);
    job.rows = static_cast<int32_t>(to.bottom - to.top + 1);
    job.destPitch = dst->width;
    job.sourceLeft = static_cast<int32_t>(from.left);
    job.skipColumns = static_cast<int32_t>(to.left - want.left);
    job.skipRows = static_cast<int32_t>(to.top - want.top);
    job.stepX = stepX;
    job.stepY = stepY;
    if (mirrored) {
        // From the source rectangle's bottom row upwards: a mirror within the rectangle.
        job.source = src->pixels + from.bottom * pitch;
        job.sourcePitch = -pitch;
        job.sourceTop = 0;
    } else {
        job.source = src->pixels;
        job.sourcePitch = pitch;
        job.sourceTop = static_cast<int32_t>(from.top);
    }

    // A stretch within one buffer reads from a copy of the source rectangle.
    std::vector<uint8_t> aside;
    const size_t dstSpan = static_cast<size_t>((to.bottom - to.top) * dst->width + job.columns);
    const uint8_t* srcLow = src->pixels + from.top * pitch + from.left;
    const size_t srcSpan = static_cast<size_t>((from.bottom - from.top) * pitch + srcWidth);
    if (Overlap(srcLow, srcSpan, job.dest, dstSpan)) {
        aside.resize(static_cast<size_t>(srcWidth * srcHeight));
        for (int64_t r = 0; r < srcHeight; ++r)
            std::memcpy(aside.data() + r * srcWidth, srcLow + r * pitch, static_cast<size_t>(srcWidth));
        job.sourceLeft = 0;
        if (mirrored) {
            job.source = aside.data() + (srcHeight - 1) * srcWidth;
            job.sourcePitch = -srcWidth;
        } else {
            job.source = aside.data();
            job.sourcePitch = srcWidth;
            job.sourceTop = 0;
        }
    }

    switch (mode) {
    case 1:
    case 6: Blit_StretchKeyedRows(job); break;
    case 2: Blit_StretchTransRows(job); break;
    case 3: Blit_StretchTransRevRows(job); break;
    case 4:
    case 7: Blit_StretchAlphaKeyedRows(job); break;
    default: Blit_StretchRows(job); break;
    }
}

void Graphic_ShakePicture(RenderView* view, int dx, int dy) {
    if (view && view->buffer) Graphic_Copy_Bitmap(view->buffer, view->buffer, dx, dy, 2);
}

void Blit_Reset() {
    TextColour = 0;
    std::vector<int32_t>().swap(ColumnTable());
}
