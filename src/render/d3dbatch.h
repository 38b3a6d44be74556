// The hardware device's dynamic vertex and index buffers: created with the device and after
// every reset, released before every reset and with the device.
#pragma once
#include <cstdint>

#include <vector>

#include "platform/gpu.h"

struct BatchBuffers {
    GpuBuffer vertices = 0;
    GpuBuffer indices = 0;
    GpuQuery query = 0;
    uint32_t vertexCapacity = 0;  // vertices
    uint32_t indexCapacity = 0;   // 16-bit indices
    int32_t phase = 0;            // 0 no buffers, 1 ready, 2 writing, 3 written
    // System-memory copies, copied into the device buffers once per batch.
    std::vector<GpuVertex> vertexCopy;
    std::vector<uint16_t> indexCopy;
    uint32_t firstVertex = 0, vertexCount = 0;
    uint32_t firstIndex = 0, indexCount = 0;
    GpuPrimitive primitive = GpuPrimitive::TriangleList;
    GpuTexture boundTexture = 0;
    uint32_t stateWord = 0;
    bool stateKnown = false;  // false until a state word was sent to this device
    // The sprite colour is the sprites' CurrentTint and the blinking colour the text colour the
    // paused frame sets (TextColour): one variable each, shared with the software path.
    float queryReference = -1.0f;     // pixels of the calibration square; -1 not calibrated
    // Counters for the statistics overlay (reset by it).
    uint32_t batches = 0;
    uint32_t triangles = 0;
    uint32_t sceneFirstBatch = 0;  // the batch counter when the scene began
};
BatchBuffers& Batch_Buffers();

// Creates both buffers (ExecBufSize bytes of vertices, ExecBufSize x 6 / 32 bytes of indices),
// binds them, creates the occlusion query; 0 when a buffer cannot be created.
int Batch_CreateBuffers();
void Batch_ReleaseBuffers();
// Clears everything without device calls (tests).
void Batch_ResetState();

// The depth-buffer value (A + B / z) and reciprocal w (0.099 / z) of depth set 0 for a view depth,
// clamped to 0.1..1640.
void Batch_DepthWords(float depth, float* z, float* rhw);
// The overlay depth: the depth at which 2-D drawing is batched. One variable (OverlayDepth) that
// the render seam's depth bias reads and writes once the renderer is installed.
float Batch_OverlayDepth();

// Makes room for n vertices and m indices behind the pending data, rewinding when they do not
// fit; 0 (draw nothing) when they would not fit even in empty buffers.
int Batch_Reserve(uint32_t n, uint32_t m);
// Flushes and applies when the texture or the state word (with 0x02 added) differs; only the
// render states of changed bits are sent.
void Batch_SetTextureState(GpuTexture texture, uint32_t word);
// Flushes when the pending primitives are of another type.
void Batch_SetPrimitive(GpuPrimitive type);
// The next free vertex after a Batch_Reserve.
GpuVertex* Batch_NextVertex();
// After count vertices were written at Batch_NextVertex: a fan of count - 2 triangles.
void Batch_AddFan(uint32_t count);
// A line list joining consecutive points (x, y pairs) at the overlay depth, in palette colour.
void Batch_AddLineStrip(const float* points, int count, int colour);
// A screen quad in a 32-bit colour at the overlay depth: state 0x44, or 0x04 with blend.
void D3D_FillRect(uint32_t colour, float left, float top, float right, float bottom, bool blend);
// The visible pixels of a polygon (x, y, depth per point) over the calibration square's; -1 when
// there is no query or it is not calibrated.
float D3D_QueryVisiblePixels(const float* points, int count);

// Draws what is pending and starts the next batch at the front of both buffers.
void Batch_Rewind();
// Draws what is pending.
int Batch_Flush();
// The bottom and right edge lines of the screen in colour 0, drawn at the end of each scene.
void Batch_DrawScreenEdges();
// Measures the pixels of a unit square after a reset (the visibility query's reference).
void Batch_CalibrateQuery();
