// The hardware device's dynamic vertex and index buffers: created with the device and after
// every reset, released before every reset and with the device.
#pragma once
#include <cstdint>

#include "platform/gpu.h"

struct BatchBuffers {
    GpuBuffer vertices = 0;
    GpuBuffer indices = 0;
    GpuQuery query = 0;
    uint32_t vertexCapacity = 0;  // vertices
    uint32_t indexCapacity = 0;   // 16-bit indices
    int32_t phase = 0;            // 0 no buffers, 1 ready
};
BatchBuffers& Batch_Buffers();

// Creates both buffers (ExecBufSize bytes of vertices, ExecBufSize x 6 / 32 bytes of indices),
// binds them, creates the occlusion query; 0 when a buffer cannot be created.
int Batch_CreateBuffers();
void Batch_ReleaseBuffers();
// Draws what is pending and starts the next batch at the front of both buffers.
void Batch_Rewind();
// Draws what is pending.
int Batch_Flush();
// The bottom and right edge lines of the screen in colour 0, drawn at the end of each scene.
void Batch_DrawScreenEdges();
// Measures the pixels of a unit square after a reset (the visibility query's reference).
void Batch_CalibrateQuery();
