#include "render/picture.h"

#include <cstring>
#include <new>

#include "core/bytes.h"
#include "platform/paths.h"

namespace {

void PutU16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

bool WriteAll(const char* path, const std::vector<uint8_t>& bytes) {
    FILE* file = Plat_OpenFile(path, "wb");
    if (!file) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

bool ReadAll(const char* path, std::vector<uint8_t>* bytes) {
    FILE* file = path ? Plat_OpenFile(path, "rb") : nullptr;
    if (!file) return false;
    uint8_t chunk[8192];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes->insert(bytes->end(), chunk, chunk + n);
    std::fclose(file);
    return true;
}

struct Header {
    int width = 0, height = 0, rowBytes = 0;
};

// Manufacturer 10, 8 bits a pixel, one plane, bytes per line at least the width, sane extents.
bool AcceptHeader(const uint8_t* bytes, size_t size, Header* h) {
    if (size < kPictureHeaderSize) return false;
    if (bytes[0] != 10 || bytes[3] != 8 || bytes[65] != 1) return false;
    const int xmin = Bytes_U16(bytes + 4), ymin = Bytes_U16(bytes + 6);
    const int xmax = Bytes_U16(bytes + 8), ymax = Bytes_U16(bytes + 10);
    if (xmax < xmin || ymax < ymin) return false;
    h->width = xmax - xmin + 1;
    h->height = ymax - ymin + 1;
    h->rowBytes = Bytes_U16(bytes + 66);
    return h->width <= kPictureMaxWidth && h->rowBytes >= h->width;
}

}  // namespace

void Rle_PutRun(int count, std::vector<uint8_t>& out, uint8_t value) {
    if (count > 1 || value >= 192) out.push_back(static_cast<uint8_t>(192 + count));
    out.push_back(value);
}

void Rle_WriteRow(const uint8_t* row, int count, std::vector<uint8_t>& out) {
    int run = 0;
    uint8_t value = 0;
    for (int i = 0; i < count; ++i) {
        if (run && row[i] == value) {
            if (++run == 63) {
                Rle_PutRun(run, out, value);
                run = 0;
            }
            continue;
        }
        if (run) Rle_PutRun(run, out, value);
        value = row[i];
        run = 1;
    }
    if (run) Rle_PutRun(run, out, value);
}

bool Rle_ReadRow(const uint8_t* bytes, size_t size, size_t* at, uint8_t* row, int count, int rowBytes) {
    int produced = 0;
    while (produced < rowBytes) {
        if (*at >= size) return false;
        uint8_t b = bytes[(*at)++];
        int n = 1;
        if (b > 192) {
            n = b - 192;
            if (*at >= size) return false;
            b = bytes[(*at)++];
        }
        // Every write stays inside the row, however long the run.
        for (int i = 0; i < n && produced < rowBytes; ++i, ++produced)
            if (produced < count) row[produced] = b;
    }
    return true;
}

std::vector<uint8_t> Picture_Encode(const uint8_t* pixels, int width, int height, size_t pitch,
                                    const uint8_t palette[kPicturePaletteSize]) {
    std::vector<uint8_t> out(kPictureHeaderSize, 0);
    out[0] = 10;
    out[1] = 5;
    out[2] = 1;
    out[3] = 8;
    PutU16(&out[8], static_cast<uint32_t>(width - 1));
    PutU16(&out[10], static_cast<uint32_t>(height - 1));
    PutU16(&out[12], 320);
    PutU16(&out[14], 200);
    out[65] = 1;
    PutU16(&out[66], static_cast<uint32_t>(width));
    PutU16(&out[68], 1);
    for (int y = 0; y < height; ++y) Rle_WriteRow(pixels + static_cast<size_t>(y) * pitch, width, out);
    out.push_back(12);
    out.insert(out.end(), palette, palette + kPicturePaletteSize);
    return out;
}

int Picture_Write(const char* path, const GraphicBuffer* buffer, const uint8_t palette[kPicturePaletteSize]) {
    if (!path || !buffer || !buffer->pixels || buffer->format != kGraphicFormat8 || buffer->width <= 0 ||
        buffer->height <= 0 || buffer->width > kPictureMaxWidth + 1 || buffer->height > 65536)
        return 0;
    return WriteAll(path, Picture_Encode(buffer->pixels, buffer->width, buffer->height,
                                         static_cast<size_t>(buffer->width), palette))
               ? 1
               : 0;
}

int Picture_WriteImage(const char* path, const uint8_t* image, const uint8_t palette[kPicturePaletteSize]) {
    if (!path || !image) return 0;
    const int width = Bytes_U16(image), height = static_cast<int>(Bytes_U32(image + 4));
    if (width <= 0 || height <= 0 || height > 65536) return 0;
    return WriteAll(path, Picture_Encode(image + 8, width, height, static_cast<size_t>(width), palette)) ? 1 : 0;
}

uint8_t* Picture_Decode(const uint8_t* bytes, size_t size) {
    Header h;
    if (!bytes || !AcceptHeader(bytes, size, &h)) return nullptr;
    // Each row takes at least one byte per 63 pixels: refuse a height the file cannot hold.
    if (static_cast<uint64_t>(h.height) * static_cast<uint64_t>((h.rowBytes + 62) / 63) >
        size - kPictureHeaderSize)
        return nullptr;
    const size_t pixels = static_cast<size_t>(h.width) * static_cast<size_t>(h.height);
    uint8_t* image = new (std::nothrow) uint8_t[pixels + 8];
    if (!image) return nullptr;
    Bytes_SetU32(image, static_cast<uint32_t>(h.width));
    Bytes_SetU32(image + 4, static_cast<uint32_t>(h.height));
    size_t at = kPictureHeaderSize;
    for (int y = 0; y < h.height; ++y) {
        if (!Rle_ReadRow(bytes, size, &at, image + 8 + static_cast<size_t>(y) * static_cast<size_t>(h.width), h.width,
                         h.rowBytes)) {
            delete[] image;
            return nullptr;
        }
    }
    return image;
}

uint8_t* Picture_Read(const char* path) {
    std::vector<uint8_t> bytes;
    if (!ReadAll(path, &bytes)) return nullptr;
    return Picture_Decode(bytes.data(), bytes.size());
}

int Picture_CheckFile(const char* path, uint8_t palette[kPicturePaletteSize]) {
    std::vector<uint8_t> bytes;
    Header h;
    if (!ReadAll(path, &bytes) || !AcceptHeader(bytes.data(), bytes.size(), &h)) return 0;
    if (bytes.size() < kPictureHeaderSize + kPicturePaletteSize) return 0;
    if (palette) std::memcpy(palette, bytes.data() + bytes.size() - kPicturePaletteSize, kPicturePaletteSize);
    return 1;
}
