#include "render/d3dbatch.h"

#include <algorithm>
#include <cstring>

#include "core/seams/render.h"
#include "render/d3ddevice.h"
#include "render/display.h"
#include "render/graphicdriver.h"
#include "render/sprite.h"

namespace {
BatchBuffers g_batch;
}

BatchBuffers& Batch_Buffers() { return g_batch; }

int Batch_CreateBuffers() {
    Batch_ReleaseBuffers();
    GpuDevice* device = D3D_State().device.get();
    if (!device) return 0;
    const uint32_t vertexBytes = D3D_State().settings.execBufSize;
    const uint32_t indexBytes = vertexBytes * 6 / 32;
    if (device->createVertexBuffer(vertexBytes, &g_batch.vertices) != GpuResult::Ok ||
        device->createIndexBuffer(indexBytes, &g_batch.indices) != GpuResult::Ok) {
        Batch_ReleaseBuffers();
        return 0;
    }
    device->setStreamSource(g_batch.vertices, sizeof(GpuVertex));
    device->setIndices(g_batch.indices);
    if (device->createQuery(&g_batch.query) != GpuResult::Ok) g_batch.query = 0;
    g_batch.vertexCapacity = vertexBytes / sizeof(GpuVertex);
    g_batch.indexCapacity = indexBytes / 2;
    g_batch.vertexCopy.assign(g_batch.vertexCapacity, GpuVertex{});
    g_batch.indexCopy.assign(g_batch.indexCapacity, 0);
    g_batch.phase = 1;
    return 1;
}

void Batch_ReleaseBuffers() {
    if (GpuDevice* device = D3D_State().device.get()) {
        if (g_batch.query) device->releaseQuery(g_batch.query);
        if (g_batch.indices) device->releaseBuffer(g_batch.indices);
        if (g_batch.vertices) device->releaseBuffer(g_batch.vertices);
    }
    // The counters outlive a device reset.
    const uint32_t batches = g_batch.batches, triangles = g_batch.triangles;
    g_batch = BatchBuffers{};
    g_batch.batches = batches;
    g_batch.triangles = triangles;
}

void Batch_ResetState() { g_batch = BatchBuffers{}; }

void Batch_DepthWords(float depth, float* z, float* rhw) {
    constexpr float kA = 1.0000603f, kB = -0.099006f;
    const float clamped = std::clamp(depth, 0.1f, 1640.0f);
    const float w = 1.0f / clamped;
    *z = kA + kB * w;
    *rhw = 0.099f * w;
}

float Batch_OverlayDepth() { return OverlayDepth; }

int Batch_Reserve(uint32_t n, uint32_t m) {
    if (g_batch.phase == 0) return 0;
    // Larger than the whole buffer: it would be written past the copies.
    if (n > g_batch.vertexCapacity || m > g_batch.indexCapacity) return 0;
    if (g_batch.firstVertex + g_batch.vertexCount + n > g_batch.vertexCapacity ||
        g_batch.firstIndex + g_batch.indexCount + m > g_batch.indexCapacity)
        Batch_Rewind();
    g_batch.phase = 2;
    return 1;
}

namespace {
void SendStateBits(GpuDevice* device, uint32_t word, uint32_t changed) {
    if (changed & 0x0C) {
        if (word & 0x04) {
            device->setRenderState(GpuRenderState::Blend, 1);
            device->setRenderState(GpuRenderState::BlendSource, static_cast<uint32_t>(GpuBlend::SourceAlpha));
            device->setRenderState(GpuRenderState::BlendDest, static_cast<uint32_t>(GpuBlend::InverseSourceAlpha));
        } else if (word & 0x08) {
            device->setRenderState(GpuRenderState::Blend, 1);
            device->setRenderState(GpuRenderState::BlendSource, static_cast<uint32_t>(GpuBlend::One));
            device->setRenderState(GpuRenderState::BlendDest, static_cast<uint32_t>(GpuBlend::One));
        } else {
            device->setRenderState(GpuRenderState::Blend, 0);
        }
    }
    if (changed & 0x10) {
        const GpuAddress address = (word & 0x10) ? GpuAddress::Wrap : GpuAddress::Clamp;
        device->setSamplerState(0, GpuSamplerState::AddressU, static_cast<uint32_t>(address));
        device->setSamplerState(0, GpuSamplerState::AddressV, static_cast<uint32_t>(address));
    }
    if (changed & 0x20) device->setRenderState(GpuRenderState::Fog, (word & 0x20) ? 1 : 0);
    if (changed & 0x40) device->setRenderState(GpuRenderState::DepthWrite, (word & 0x40) ? 0 : 1);
    if (changed & 0x80) device->setRenderState(GpuRenderState::MultisampleAntialias, (word & 0x80) ? 0 : 1);
}
}  // namespace

void Batch_SetTextureState(GpuTexture texture, uint32_t word) {
    word = (word | 0x02) & 0xFF;
    if (g_batch.stateKnown && texture == g_batch.boundTexture && word == g_batch.stateWord) return;
    Batch_Flush();
    GpuDevice* device = D3D_State().device.get();
    if (!device) return;
    const uint32_t changed = g_batch.stateKnown ? (word ^ g_batch.stateWord) : 0xFFu;
    if (!g_batch.stateKnown || texture != g_batch.boundTexture) device->setTexture(0, texture);
    SendStateBits(device, word, changed);
    g_batch.boundTexture = texture;
    g_batch.stateWord = word;
    g_batch.stateKnown = true;
}

void Batch_SetPrimitive(GpuPrimitive type) {
    if (type == g_batch.primitive) return;
    Batch_Flush();
    g_batch.primitive = type;
}

GpuVertex* Batch_NextVertex() {
    return g_batch.vertexCopy.data() + g_batch.firstVertex + g_batch.vertexCount;
}

void Batch_AddFan(uint32_t count) {
    if (count < 3) return;
    uint16_t* out = g_batch.indexCopy.data() + g_batch.firstIndex + g_batch.indexCount;
    // Indices count from the batch's first vertex (the draw's base vertex).
    const uint32_t base = g_batch.vertexCount;
    for (uint32_t i = 0; i + 2 < count; ++i) {
        *out++ = static_cast<uint16_t>(base);
        *out++ = static_cast<uint16_t>(base + 1 + i);
        *out++ = static_cast<uint16_t>(base + 2 + i);
    }
    g_batch.vertexCount += count;
    g_batch.indexCount += 3 * (count - 2);
    g_batch.triangles += count - 2;
}

void Batch_AddLineStrip(const float* points, int count, int colour) {
    if (count < 2 || !D3D_State().device) return;
    const uint32_t n = static_cast<uint32_t>(count);
    Batch_SetTextureState(0, 0x02);
    Batch_SetPrimitive(GpuPrimitive::LineList);
    if (!Batch_Reserve(n, 2 * (n - 1))) return;
    float z = 0.0f, rhw = 0.0f;
    Batch_DepthWords(Batch_OverlayDepth(), &z, &rhw);
    const uint32_t diffuse = PaletteColors32[colour & 0xFF];
    GpuVertex* v = Batch_NextVertex();
    for (uint32_t i = 0; i < n; ++i)
        v[i] = GpuVertex{points[2 * i], points[2 * i + 1], z, rhw, diffuse, 0, 0.0f, 0.0f};
    uint16_t* out = g_batch.indexCopy.data() + g_batch.firstIndex + g_batch.indexCount;
    const uint32_t base = g_batch.vertexCount;
    for (uint32_t i = 0; i + 1 < n; ++i) {
        *out++ = static_cast<uint16_t>(base + i);
        *out++ = static_cast<uint16_t>(base + i + 1);
    }
    g_batch.vertexCount += n;
    g_batch.indexCount += 2 * (n - 1);
}

void D3D_FillRect(uint32_t colour, float left, float top, float right, float bottom, bool blend) {
    if (!D3D_State().device) return;
    Batch_SetTextureState(0, blend ? 0x04 : 0x44);
    Batch_SetPrimitive(GpuPrimitive::TriangleList);
    if (!Batch_Reserve(4, 6)) return;
    float z = 0.0f, rhw = 0.0f;
    Batch_DepthWords(Batch_OverlayDepth(), &z, &rhw);
    GpuVertex* v = Batch_NextVertex();
    v[0] = GpuVertex{left, top, z, rhw, colour, 0xFF000000u, 0.0f, 0.0f};
    v[1] = GpuVertex{right, top, z, rhw, colour, 0xFF000000u, 0.0f, 0.0f};
    v[2] = GpuVertex{right, bottom, z, rhw, colour, 0xFF000000u, 0.0f, 0.0f};
    v[3] = GpuVertex{left, bottom, z, rhw, colour, 0xFF000000u, 0.0f, 0.0f};
    Batch_AddFan(4);
}

float D3D_QueryVisiblePixels(const float* points, int count) {
    GpuDevice* device = D3D_State().device.get();
    if (!device || !g_batch.query || g_batch.queryReference <= 0.0f || count < 3) return -1.0f;
    const uint32_t n = static_cast<uint32_t>(count);
    Batch_SetTextureState(0, 0xC4);
    Batch_SetPrimitive(GpuPrimitive::TriangleList);
    if (!Batch_Reserve(n, 3 * (n - 2))) return -1.0f;
    Batch_Flush();  // only the polygon between the query's begin and end
    if (!Batch_Reserve(n, 3 * (n - 2))) return -1.0f;
    GpuVertex* v = Batch_NextVertex();
    for (uint32_t i = 0; i < n; ++i) {
        float z = 0.0f, rhw = 0.0f;
        Batch_DepthWords(points[3 * i + 2], &z, &rhw);
        v[i] = GpuVertex{points[3 * i], points[3 * i + 1], z, rhw, 0, 0xFF000000u, 0.0f, 0.0f};
    }
    Batch_AddFan(n);
    if (device->beginQuery(g_batch.query) != GpuResult::Ok) {
        Batch_Flush();
        return -1.0f;
    }
    Batch_Flush();
    device->endQuery(g_batch.query);
    uint32_t pixels = 0;
    // Polled until the answer is there; a device that never answers gives up rather than hang.
    for (int tries = 0;; ++tries) {
        const GpuResult result = device->queryResult(g_batch.query, &pixels);
        if (result == GpuResult::Ok) break;
        if (result != GpuResult::StillDrawing || tries > 1000000) return -1.0f;
    }
    return static_cast<float>(pixels) / g_batch.queryReference;
}

int Batch_Flush() {
    if (g_batch.indexCount == 0) return 0;
    GpuDevice* device = D3D_State().device.get();
    const uint32_t drawn = g_batch.indexCount;
    if (device) {
        void* data = nullptr;
        const GpuLockMode vmode = g_batch.firstVertex == 0 ? GpuLockMode::Discard : GpuLockMode::NoOverwrite;
        if (device->lockBuffer(g_batch.vertices, g_batch.firstVertex * sizeof(GpuVertex),
                               g_batch.vertexCount * sizeof(GpuVertex), vmode, &data) == GpuResult::Ok) {
            std::memcpy(data, g_batch.vertexCopy.data() + g_batch.firstVertex, g_batch.vertexCount * sizeof(GpuVertex));
            device->unlockBuffer(g_batch.vertices);
        }
        const GpuLockMode imode = g_batch.firstIndex == 0 ? GpuLockMode::Discard : GpuLockMode::NoOverwrite;
        if (device->lockBuffer(g_batch.indices, g_batch.firstIndex * 2, g_batch.indexCount * 2, imode, &data) ==
            GpuResult::Ok) {
            std::memcpy(data, g_batch.indexCopy.data() + g_batch.firstIndex, g_batch.indexCount * 2);
            device->unlockBuffer(g_batch.indices);
        }
        g_batch.phase = 3;
        const bool lines = g_batch.primitive == GpuPrimitive::LineList;
        device->drawIndexed(g_batch.primitive, static_cast<int32_t>(g_batch.firstVertex), 0, g_batch.vertexCount,
                            g_batch.firstIndex, g_batch.indexCount / (lines ? 2 : 3));
    }
    g_batch.firstVertex += g_batch.vertexCount;
    g_batch.firstIndex += g_batch.indexCount;
    g_batch.vertexCount = 0;
    g_batch.indexCount = 0;
    ++g_batch.batches;
    return static_cast<int>(drawn);
}

void Batch_Rewind() {
    Batch_Flush();
    g_batch.firstVertex = 0;
    g_batch.firstIndex = 0;
    if (g_batch.phase != 0) g_batch.phase = 1;
}

void Batch_DrawScreenEdges() {
    const GraphicBuffer& screen = g_graphicDriver.screen;
    if (screen.clipRight < screen.clipLeft || screen.clipBottom < screen.clipTop) return;
    // The bottom row and the right column of the screen's clip rectangle.
    const float left = static_cast<float>(screen.clipLeft), top = static_cast<float>(screen.clipTop);
    const float right = static_cast<float>(screen.clipRight), bottom = static_cast<float>(screen.clipBottom);
    const float points[6] = {left, bottom, right, bottom, right, top};
    Batch_AddLineStrip(points, 3, 0);
}

void Batch_CalibrateQuery() {
    g_batch.queryReference = -1.0f;
    GpuDevice* device = D3D_State().device.get();
    if (!device || !g_batch.query) return;
    if (CurrentDisplayMode != 0 && (RenderFlags & kRenderZBuffer)) device->clear(kGpuClearDepth, 0, 1.0f, 0);
    if (device->beginScene() != GpuResult::Ok) return;
    g_batch.queryReference = 1.0f;
    const float square[12] = {0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f};
    const float pixels = D3D_QueryVisiblePixels(square, 4);
    // A square that shows no pixel would make every later answer a division by zero.
    g_batch.queryReference = pixels > 0.0f ? pixels : -1.0f;
    Batch_Rewind();
    device->endScene();
}
