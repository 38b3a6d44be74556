#include "platform/gpu.h"

#include "platform/gpu_recording.h"
#include "platform/system.h"

// The sdl backend's system (OpenGL 3.3 core); null when OpenGL cannot be had.
std::unique_ptr<GpuSystem> Plat_MakeGlSystem(GpuResult* result);

namespace {
GpuSystemFactory g_factory = nullptr;
}

const char* Gpu_ResultName(GpuResult result) {
    switch (result) {
        case GpuResult::Ok: return "ok";
        case GpuResult::DeviceLost: return "device lost";
        case GpuResult::DeviceNotReset: return "device not reset";
        case GpuResult::NotAvailable: return "not available";
        case GpuResult::OutOfVideoMemory: return "out of video memory";
        case GpuResult::InvalidCall: return "invalid call";
        case GpuResult::StillDrawing: return "still drawing";
        case GpuResult::DriverFailure: return "driver failure";
    }
    return "unknown result";
}

const char* Gpu_FormatName(GpuFormat format) {
    switch (format) {
        case GpuFormat::Unknown: return "unknown";
        case GpuFormat::Xrgb8888: return "xrgb8888";
        case GpuFormat::Rgb888: return "rgb888";
        case GpuFormat::Rgb565: return "rgb565";
        case GpuFormat::Xrgb1555: return "xrgb1555";
        case GpuFormat::Xrgb4444: return "xrgb4444";
        case GpuFormat::Argb4444: return "argb4444";
        case GpuFormat::Depth32: return "depth32";
        case GpuFormat::Depth24Stencil8: return "depth24s8";
        case GpuFormat::Depth24Stencil4: return "depth24s4";
        case GpuFormat::Depth24: return "depth24";
        case GpuFormat::Depth16: return "depth16";
        case GpuFormat::Depth15Stencil1: return "depth15s1";
    }
    return "?";
}

std::unique_ptr<GpuSystem> Gpu_CreateSystem(GpuResult* result) {
    GpuResult ignored = GpuResult::Ok;
    if (!result) result = &ignored;
    *result = GpuResult::Ok;
    if (g_factory) return g_factory(result);
    if (Plat_IsHeadless()) return Gpu_MakeRecordingSystem(result);
    return Plat_MakeGlSystem(result);
}

void Gpu_SetSystemFactory(GpuSystemFactory factory) { g_factory = factory; }
