// The recording hardware device: logs every call with its arguments and answers from a script.
// It is the headless backend's device (its default script lets the hardware driver run headless)
// and tests script it to reach every branch of the driver.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/gpu.h"

struct GpuScript {
    std::string adapterName = "Recording adapter";
    bool failSystem = false;  // the system itself cannot be made
    GpuResult systemResult = GpuResult::NotAvailable;
    GpuDisplayMode desktop{1024, 768, 60, GpuFormat::Xrgb8888};
    // The adapter's modes in enumeration order (offered in every accepted back-buffer format).
    std::vector<GpuDisplayMode> modes;
    std::vector<GpuFormat> backFormats;   // accepted by checkDeviceType
    std::vector<GpuFormat> depthFormats;  // accepted by checkDepthFormat and checkDepthMatch
    GpuCaps caps{true, 16, 256};
    // Multisample type (samples) -> quality levels; missing types are not available. Type 0 is
    // always available with one level.
    std::map<int32_t, uint32_t> multisample;
    GpuResult hardwareCreate = GpuResult::Ok;
    GpuResult softwareCreate = GpuResult::Ok;
    // Answers in sequence; once used up, Ok.
    std::vector<GpuResult> cooperative;
    std::vector<GpuResult> resets;
    std::vector<GpuResult> presents;
    // Texture creations fail with OutOfVideoMemory from the Nth on (1 = the first); 0 never.
    int32_t textureFailFrom = 0;
    uint32_t availableMemory = 64u << 20;
    int32_t pitchPadding = 0;  // bytes added to every locked row
};

// The default script: one adapter, a 1024 x 768 desktop at 60 Hz, modes from 640 x 480 up,
// every format, no multisample.
GpuScript Gpu_DefaultScript();

// The script the next recording system takes, and the log every recording system writes to.
GpuScript& Gpu_RecordingScript();
std::vector<std::string>& Gpu_RecordingLog();
// Default script, empty log, nothing created (tests call it between cases).
void Gpu_ResetRecording();
// A recording system on Gpu_RecordingScript() (a factory for Gpu_SetSystemFactory).
std::unique_ptr<GpuSystem> Gpu_MakeRecordingSystem(GpuResult* result);

// What a recording device holds, for tests.
struct GpuRecordedTexture {
    int32_t width = 0, height = 0, levels = 0;
    GpuFormat format = GpuFormat::Unknown;
    std::vector<std::vector<uint8_t>> bits;  // per level, rows of pitch bytes
    std::vector<int32_t> pitch;
};
// The live texture of the last device made; false when there is none.
bool Gpu_RecordedTextureOf(GpuTexture texture, GpuRecordedTexture* out);
int Gpu_RecordedLiveTextures();
// Log lines that start with prefix, in order.
std::vector<std::string> Gpu_RecordedCalls(const std::string& prefix);
