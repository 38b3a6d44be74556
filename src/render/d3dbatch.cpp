#include "render/d3dbatch.h"

#include "render/d3ddevice.h"

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
    g_batch.phase = 1;
    return 1;
}

void Batch_ReleaseBuffers() {
    if (GpuDevice* device = D3D_State().device.get()) {
        if (g_batch.query) device->releaseQuery(g_batch.query);
        if (g_batch.indices) device->releaseBuffer(g_batch.indices);
        if (g_batch.vertices) device->releaseBuffer(g_batch.vertices);
    }
    g_batch = BatchBuffers{};
}

// PENDING(8.105) the batch writers fill the buffers; until then nothing is ever pending.
void Batch_Rewind() { Batch_Flush(); }
int Batch_Flush() { return 0; }
void Batch_DrawScreenEdges() {}
void Batch_CalibrateQuery() {}
