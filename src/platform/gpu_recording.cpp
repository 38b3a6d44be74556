#include "platform/gpu_recording.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace {

GpuScript g_script;
bool g_scriptSet = false;
std::vector<std::string> g_log;

void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Log(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    // A long headless run keeps the recent calls only.
    if (g_log.size() >= 100000) g_log.erase(g_log.begin(), g_log.begin() + 50000);
    g_log.emplace_back(text);
}

const char* Name(GpuFormat format) { return Gpu_FormatName(format); }

GpuResult Next(std::vector<GpuResult>& answers, size_t& used) {
    return used < answers.size() ? answers[used++] : GpuResult::Ok;
}

bool Contains(const std::vector<GpuFormat>& list, GpuFormat format) {
    return std::find(list.begin(), list.end(), format) != list.end();
}

int32_t BytesPerPixel(GpuFormat format) { return format == GpuFormat::Xrgb8888 ? 4 : 2; }

class RecordingDevice;
RecordingDevice* g_lastDevice = nullptr;

class RecordingDevice final : public GpuDevice {
public:
    RecordingDevice(const GpuScript& script, const GpuPresentParams& params) : script_(script), params_(params) {
        g_lastDevice = this;
    }
    ~RecordingDevice() override {
        Log("device.release");
        if (g_lastDevice == this) g_lastDevice = nullptr;
    }

    GpuResult testCooperativeLevel() override {
        GpuResult r = Next(script_.cooperative, cooperativeUsed_);
        Log("testCooperativeLevel -> %s", Gpu_ResultName(r));
        return r;
    }
    GpuResult reset(GpuPresentParams& params) override {
        GpuResult r = Next(script_.resets, resetsUsed_);
        Log("reset %dx%d %s buffers=%d ms=%d/%u -> %s", params.width, params.height, Name(params.backFormat),
            params.backBufferCount, params.multisampleType, params.multisampleQuality, Gpu_ResultName(r));
        if (r == GpuResult::Ok) params_ = params;
        return r;
    }
    GpuResult present() override {
        GpuResult r = Next(script_.presents, presentsUsed_);
        Log("present -> %s", Gpu_ResultName(r));
        return r;
    }
    GpuResult beginScene() override {
        Log("beginScene");
        return GpuResult::Ok;
    }
    GpuResult endScene() override {
        Log("endScene");
        return GpuResult::Ok;
    }
    GpuResult setViewport(const GpuViewport& v) override {
        Log("setViewport %d %d %d %d", v.x, v.y, v.width, v.height);
        return GpuResult::Ok;
    }
    GpuResult clear(uint32_t targets, uint32_t colour, float depth, uint32_t stencil) override {
        Log("clear %u %08x %.1f %u", targets, colour, static_cast<double>(depth), stencil);
        return GpuResult::Ok;
    }
    GpuResult getBackBuffer() override {
        Log("getBackBuffer");
        hasBackBuffer_ = true;
        return GpuResult::Ok;
    }
    void releaseBackBuffer() override {
        if (!hasBackBuffer_) return;
        Log("releaseBackBuffer");
        hasBackBuffer_ = false;
    }
    GpuResult backBufferDesc(GpuSurfaceDesc* desc) override {
        if (!hasBackBuffer_) return GpuResult::InvalidCall;
        *desc = GpuSurfaceDesc{params_.width, params_.height, params_.backFormat};
        return GpuResult::Ok;
    }
    GpuResult lockBackBuffer(GpuLockedRect* locked) override {
        if (!hasBackBuffer_) return GpuResult::InvalidCall;
        Log("lockBackBuffer");
        int32_t pitch = params_.width * BytesPerPixel(params_.backFormat) + script_.pitchPadding;
        backBits_.assign(static_cast<size_t>(pitch) * static_cast<size_t>(std::max(params_.height, 0)), 0);
        *locked = GpuLockedRect{backBits_.data(), pitch};
        return GpuResult::Ok;
    }
    GpuResult unlockBackBuffer() override {
        Log("unlockBackBuffer");
        return GpuResult::Ok;
    }
    void setRenderState(GpuRenderState state, uint32_t value) override {
        Log("renderState %d %u", static_cast<int>(state), value);
    }
    void setSamplerState(int sampler, GpuSamplerState state, uint32_t value) override {
        Log("samplerState %d %d %u", sampler, static_cast<int>(state), value);
    }
    void setStageState(int stage, GpuStageState state, uint32_t value) override {
        Log("stageState %d %d %u", stage, static_cast<int>(state), value);
    }
    void setTexture(int stage, GpuTexture texture) override { Log("setTexture %d %u", stage, texture); }

    GpuResult createTexture(int32_t width, int32_t height, int32_t levels, GpuFormat format, GpuTexture* out) override {
        ++textureCreations_;
        bool fail = script_.textureFailFrom > 0 && textureCreations_ >= script_.textureFailFrom;
        GpuResult r = fail ? GpuResult::OutOfVideoMemory : GpuResult::Ok;
        if (width <= 0 || height <= 0 || levels <= 0) r = GpuResult::InvalidCall;
        Log("createTexture %dx%d levels=%d %s -> %s", width, height, levels, Name(format), Gpu_ResultName(r));
        if (r != GpuResult::Ok) return r;
        GpuRecordedTexture texture;
        texture.width = width;
        texture.height = height;
        texture.levels = levels;
        texture.format = format;
        for (int32_t level = 0; level < levels; ++level) {
            int32_t w = std::max(width >> level, 1), h = std::max(height >> level, 1);
            int32_t pitch = w * 2 + script_.pitchPadding;
            texture.pitch.push_back(pitch);
            texture.bits.emplace_back(static_cast<size_t>(pitch) * static_cast<size_t>(h), 0xEE);
        }
        *out = ++lastHandle_;
        textures_[*out] = std::move(texture);
        return GpuResult::Ok;
    }
    void releaseTexture(GpuTexture texture) override {
        Log("releaseTexture %u", texture);
        textures_.erase(texture);
    }
    GpuResult lockTexture(GpuTexture texture, int32_t level, GpuLockMode mode, GpuLockedRect* locked) override {
        Log("lockTexture %u level=%d%s", texture, level, mode == GpuLockMode::Discard ? " discard" : "");
        auto found = textures_.find(texture);
        if (found == textures_.end() || level < 0 || level >= found->second.levels) return GpuResult::InvalidCall;
        *locked = GpuLockedRect{found->second.bits[static_cast<size_t>(level)].data(),
                                found->second.pitch[static_cast<size_t>(level)]};
        return GpuResult::Ok;
    }
    GpuResult unlockTexture(GpuTexture texture, int32_t level) override {
        Log("unlockTexture %u level=%d", texture, level);
        return GpuResult::Ok;
    }

    GpuResult createVertexBuffer(uint32_t bytes, GpuBuffer* out) override { return createBuffer("vertex", bytes, out); }
    GpuResult createIndexBuffer(uint32_t bytes, GpuBuffer* out) override { return createBuffer("index", bytes, out); }
    void releaseBuffer(GpuBuffer buffer) override {
        Log("releaseBuffer %u", buffer);
        buffers_.erase(buffer);
    }
    GpuResult lockBuffer(GpuBuffer buffer, uint32_t offset, uint32_t bytes, GpuLockMode mode, void** data) override {
        Log("lockBuffer %u %u %u %s", buffer, offset, bytes,
            mode == GpuLockMode::Discard ? "discard" : mode == GpuLockMode::NoOverwrite ? "nooverwrite" : "normal");
        auto found = buffers_.find(buffer);
        if (found == buffers_.end() || uint64_t{offset} + bytes > found->second.size()) return GpuResult::InvalidCall;
        *data = found->second.data() + offset;
        return GpuResult::Ok;
    }
    GpuResult unlockBuffer(GpuBuffer buffer) override {
        Log("unlockBuffer %u", buffer);
        return GpuResult::Ok;
    }
    GpuResult setStreamSource(GpuBuffer vertices, uint32_t stride) override {
        Log("setStreamSource %u %u", vertices, stride);
        return GpuResult::Ok;
    }
    GpuResult setIndices(GpuBuffer indices) override {
        Log("setIndices %u", indices);
        return GpuResult::Ok;
    }
    GpuResult drawIndexed(GpuPrimitive type, int32_t baseVertex, uint32_t minIndex, uint32_t vertexCount,
                          uint32_t startIndex, uint32_t primitiveCount) override {
        Log("drawIndexed %d %d %u %u %u %u", static_cast<int>(type), baseVertex, minIndex, vertexCount, startIndex,
            primitiveCount);
        return GpuResult::Ok;
    }
    GpuResult createQuery(GpuQuery* out) override {
        *out = ++lastHandle_;
        Log("createQuery %u", *out);
        return GpuResult::Ok;
    }
    void releaseQuery(GpuQuery query) override { Log("releaseQuery %u", query); }
    GpuResult beginQuery(GpuQuery query) override {
        Log("beginQuery %u", query);
        return GpuResult::Ok;
    }
    GpuResult endQuery(GpuQuery query) override {
        Log("endQuery %u", query);
        return GpuResult::Ok;
    }
    GpuResult queryResult(GpuQuery, uint32_t* pixels) override {
        *pixels = 0;
        return GpuResult::Ok;
    }
    uint32_t availableTextureMemory() override { return script_.availableMemory; }

    const std::map<GpuTexture, GpuRecordedTexture>& textures() const { return textures_; }

private:
    GpuResult createBuffer(const char* kind, uint32_t bytes, GpuBuffer* out) {
        *out = ++lastHandle_;
        buffers_[*out].assign(bytes, 0);
        Log("create%sBuffer %u -> %u", kind, bytes, *out);
        return GpuResult::Ok;
    }

    GpuScript script_;
    GpuPresentParams params_;
    size_t cooperativeUsed_ = 0, resetsUsed_ = 0, presentsUsed_ = 0;
    int32_t textureCreations_ = 0;
    uint32_t lastHandle_ = 0;
    bool hasBackBuffer_ = false;
    std::vector<uint8_t> backBits_;
    std::map<GpuTexture, GpuRecordedTexture> textures_;
    std::map<GpuBuffer, std::vector<uint8_t>> buffers_;
};

class RecordingSystem final : public GpuSystem {
public:
    explicit RecordingSystem(const GpuScript& script) : script_(script) { Log("system.create"); }
    ~RecordingSystem() override { Log("system.release"); }

    std::string adapterName() override { return script_.adapterName; }
    GpuResult desktopMode(GpuDisplayMode* mode) override {
        *mode = script_.desktop;
        return GpuResult::Ok;
    }
    int32_t modeCount(GpuFormat format) override {
        return Contains(script_.backFormats, format) ? static_cast<int32_t>(script_.modes.size()) : 0;
    }
    GpuResult mode(GpuFormat format, int32_t index, GpuDisplayMode* mode) override {
        if (index < 0 || index >= modeCount(format)) return GpuResult::InvalidCall;
        *mode = script_.modes[static_cast<size_t>(index)];
        mode->format = format;
        return GpuResult::Ok;
    }
    GpuResult checkDeviceType(GpuFormat backFormat, bool windowed) override {
        GpuResult r = Contains(script_.backFormats, backFormat) ? GpuResult::Ok : GpuResult::NotAvailable;
        Log("checkDeviceType %s %s -> %s", Name(backFormat), windowed ? "windowed" : "fullscreen", Gpu_ResultName(r));
        return r;
    }
    GpuResult checkDepthFormat(GpuFormat backFormat, GpuFormat depthFormat) override {
        GpuResult r = Contains(script_.depthFormats, depthFormat) ? GpuResult::Ok : GpuResult::NotAvailable;
        Log("checkDepthFormat %s %s -> %s", Name(backFormat), Name(depthFormat), Gpu_ResultName(r));
        return r;
    }
    GpuResult checkDepthMatch(GpuFormat backFormat, GpuFormat depthFormat) override {
        GpuResult r = Contains(script_.depthFormats, depthFormat) ? GpuResult::Ok : GpuResult::NotAvailable;
        Log("checkDepthMatch %s %s -> %s", Name(backFormat), Name(depthFormat), Gpu_ResultName(r));
        return r;
    }
    GpuResult checkMultisample(GpuFormat backFormat, bool windowed, int32_t type, uint32_t* qualityLevels) override {
        GpuResult r = GpuResult::NotAvailable;
        *qualityLevels = 0;
        if (type == 0) {
            r = GpuResult::Ok;
            *qualityLevels = 1;
        } else if (auto found = script_.multisample.find(type); found != script_.multisample.end()) {
            r = GpuResult::Ok;
            *qualityLevels = found->second;
        }
        Log("checkMultisample %s %s %d -> %s", Name(backFormat), windowed ? "windowed" : "fullscreen", type,
            Gpu_ResultName(r));
        return r;
    }
    GpuResult caps(GpuCaps* caps) override {
        *caps = script_.caps;
        return GpuResult::Ok;
    }
    GpuResult createDevice(WindowHandle window, GpuVertexProcessing processing, GpuPresentParams& params,
                           std::unique_ptr<GpuDevice>* out) override {
        bool hardware = processing == GpuVertexProcessing::Hardware;
        GpuResult r = hardware ? script_.hardwareCreate : script_.softwareCreate;
        Log("createDevice window=%u %s %dx%d %s buffers=%d ms=%d/%u %s%s%s depth=%s refresh=%d%s -> %s", window,
            hardware ? "hardware" : "software", params.width, params.height, Name(params.backFormat),
            params.backBufferCount, params.multisampleType, params.multisampleQuality,
            params.windowed ? "windowed" : "fullscreen", params.lockableBackBuffer ? " lockable" : "",
            params.autoDepth ? " autodepth" : "", Name(params.depthFormat), params.refresh,
            params.immediate ? " immediate" : "", Gpu_ResultName(r));
        if (r != GpuResult::Ok) return r;
        *out = std::make_unique<RecordingDevice>(script_, params);
        return GpuResult::Ok;
    }

private:
    GpuScript script_;
};

}  // namespace

GpuScript Gpu_DefaultScript() {
    GpuScript script;
    script.modes = {{640, 480, 60, GpuFormat::Unknown}, {800, 600, 60, GpuFormat::Unknown},
                    {1024, 768, 60, GpuFormat::Unknown}};
    script.backFormats = {GpuFormat::Xrgb8888, GpuFormat::Rgb888, GpuFormat::Rgb565, GpuFormat::Xrgb1555,
                          GpuFormat::Xrgb4444};
    script.depthFormats = {GpuFormat::Depth32, GpuFormat::Depth24Stencil8, GpuFormat::Depth24Stencil4,
                           GpuFormat::Depth24, GpuFormat::Depth16, GpuFormat::Depth15Stencil1};
    return script;
}

GpuScript& Gpu_RecordingScript() {
    if (!g_scriptSet) {
        g_script = Gpu_DefaultScript();
        g_scriptSet = true;
    }
    return g_script;
}

std::vector<std::string>& Gpu_RecordingLog() { return g_log; }

void Gpu_ResetRecording() {
    g_script = Gpu_DefaultScript();
    g_scriptSet = true;
    g_log.clear();
}

std::unique_ptr<GpuSystem> Gpu_MakeRecordingSystem(GpuResult* result) {
    const GpuScript& script = Gpu_RecordingScript();
    if (script.failSystem) {
        if (result) *result = script.systemResult;
        Log("system.create -> %s", Gpu_ResultName(script.systemResult));
        return nullptr;
    }
    if (result) *result = GpuResult::Ok;
    return std::make_unique<RecordingSystem>(script);
}

bool Gpu_RecordedTextureOf(GpuTexture texture, GpuRecordedTexture* out) {
    if (!g_lastDevice) return false;
    auto found = g_lastDevice->textures().find(texture);
    if (found == g_lastDevice->textures().end()) return false;
    if (out) *out = found->second;
    return true;
}

int Gpu_RecordedLiveTextures() { return g_lastDevice ? static_cast<int>(g_lastDevice->textures().size()) : 0; }

std::vector<std::string> Gpu_RecordedCalls(const std::string& prefix) {
    std::vector<std::string> calls;
    for (const std::string& line : g_log)
        if (line.compare(0, prefix.size(), prefix) == 0) calls.push_back(line);
    return calls;
}
