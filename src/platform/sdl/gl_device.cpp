// The GL hardware device: an OpenGL 3.3 core context on the game's SDL window and one shader
// pair. The back buffer is a framebuffer object of the mode's size (colour, depth in the chosen
// format, the chosen samples); Present blits it onto the window (scaled when the window is larger)
// and swaps. Pretransformed vertices keep their pixel coordinates: pixel (i, j) is centred at
// (i, j), whatever the viewport, which only scissors drawing and clears.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>
#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "platform/backend.h"
#include "platform/gpu.h"

namespace {

constexpr uint32_t kTextureMemory = 256u << 20;  // GL does not tell; a fixed figure

const char* const kVertexShader = R"(#version 330 core
layout(location = 0) in vec4 position;  // x, y (pixels), z (0..1), rhw
layout(location = 1) in vec4 diffuse;
layout(location = 2) in vec4 specular;
layout(location = 3) in vec2 uv;
uniform vec2 targetSize;
out vec4 vDiffuse;
out float vFog;
out vec2 vUv;
void main() {
    float w = position.w > 0.0 ? 1.0 / position.w : 1.0;
    // Pixel (i, j) is centred at (i, j). GL's rows run bottom up, so its rule for a centre lying
    // exactly on an edge keeps the bottom row rather than the top one: a nudge of 1/64 pixel
    // upwards (more than the rasteriser's sub-pixel step) settles such ties as the top-left rule
    // does (top row in, bottom row out).
    vec2 ndc = vec2((position.x + 0.5) / targetSize.x * 2.0 - 1.0,
                    1.0 - (position.y + 0.5 - 1.0 / 64.0) / targetSize.y * 2.0);
    gl_Position = vec4(ndc * w, (position.z * 2.0 - 1.0) * w, w);
    vDiffuse = diffuse;
    vFog = specular.a;
    vUv = uv;
}
)";

const char* const kFragmentShader = R"(#version 330 core
in vec4 vDiffuse;
in float vFog;
in vec2 vUv;
uniform sampler2D image;
uniform bool textured;
uniform int colourOp;  // 1 modulate, 2 texture, 3 diffuse
uniform int alphaOp;
uniform bool fog;
uniform vec3 fogColour;
out vec4 colour;
vec4 pick(int op, vec4 texel, vec4 diffuse) {
    if (op == 2) return texel;
    if (op == 3) return diffuse;
    return texel * diffuse;
}
void main() {
    vec4 texel = textured ? texture(image, vUv) : vec4(1.0);
    vec4 c = vec4(pick(colourOp, texel, vDiffuse).rgb, pick(alphaOp, texel, vDiffuse).a);
    if (fog) c.rgb = mix(fogColour, c.rgb, vFog);
    colour = c;
}
)";

GLuint Compile(GLenum kind, const char* source) {
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

GLenum DepthFormat(GpuFormat format) {
    switch (format) {
        case GpuFormat::Depth24Stencil8: return GL_DEPTH24_STENCIL8;
        case GpuFormat::Depth24: return GL_DEPTH_COMPONENT24;
        case GpuFormat::Depth16: return GL_DEPTH_COMPONENT16;
        default: return 0;
    }
}

bool ColourFormatOk(GpuFormat format) { return format == GpuFormat::Xrgb8888 || format == GpuFormat::Rgb565; }

void SetContextAttributes() {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 0);
}

struct GlTexture {
    GLuint name = 0;
    int32_t width = 0, height = 0, levels = 0;
    GpuFormat format = GpuFormat::Unknown;
    std::vector<std::vector<uint8_t>> bits;  // the level images as the game wrote them
};

struct GlBuffer {
    GLuint name = 0;
    GLenum target = 0;
    std::vector<uint8_t> shadow;
    uint32_t lockOffset = 0, lockBytes = 0;
    bool discard = false;
};

class GlDevice final : public GpuDevice {
public:
    GlDevice(SDL_Window* window, SDL_GLContext context, int32_t maxAnisotropy)
        : window_(window), context_(context), maxAnisotropy_(maxAnisotropy) {}

    ~GlDevice() override {
        SDL_GL_MakeCurrent(window_, context_);
        for (auto& [handle, texture] : textures_) glDeleteTextures(1, &texture.name);
        for (auto& [handle, buffer] : buffers_) glDeleteBuffers(1, &buffer.name);
        for (auto& [handle, query] : queries_) glDeleteQueries(1, &query);
        destroyTarget();
        if (sampler_) glDeleteSamplers(1, &sampler_);
        if (vao_) glDeleteVertexArrays(1, &vao_);
        if (program_) glDeleteProgram(program_);
        SDL_GL_MakeCurrent(window_, nullptr);
        SDL_GL_DeleteContext(context_);
        if (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) SDL_SetWindowFullscreen(window_, 0);
    }

    bool init(GpuPresentParams& params) {
        GLuint vs = Compile(GL_VERTEX_SHADER, kVertexShader), fs = Compile(GL_FRAGMENT_SHADER, kFragmentShader);
        if (!vs || !fs) return false;
        program_ = glCreateProgram();
        glAttachShader(program_, vs);
        glAttachShader(program_, fs);
        glLinkProgram(program_);
        glDeleteShader(vs);
        glDeleteShader(fs);
        GLint linked = 0;
        glGetProgramiv(program_, GL_LINK_STATUS, &linked);
        if (!linked) return false;
        glUseProgram(program_);
        glUniform1i(glGetUniformLocation(program_, "image"), 0);
        uTarget_ = glGetUniformLocation(program_, "targetSize");
        uTextured_ = glGetUniformLocation(program_, "textured");
        uColourOp_ = glGetUniformLocation(program_, "colourOp");
        uAlphaOp_ = glGetUniformLocation(program_, "alphaOp");
        uFog_ = glGetUniformLocation(program_, "fog");
        uFogColour_ = glGetUniformLocation(program_, "fogColour");
        glGenVertexArrays(1, &vao_);
        glBindVertexArray(vao_);
        glGenSamplers(1, &sampler_);
        glBindSampler(0, sampler_);
        glActiveTexture(GL_TEXTURE0);
        return buildTarget(params) && glGetError() == GL_NO_ERROR;
    }

    GpuResult testCooperativeLevel() override { return GpuResult::Ok; }

    GpuResult reset(GpuPresentParams& params) override {
        SDL_GL_MakeCurrent(window_, context_);
        destroyTarget();
        return buildTarget(params) ? GpuResult::Ok : GpuResult::NotAvailable;
    }

    GpuResult present() override {
        resolve();
        int width = 0, height = 0;
        SDL_GL_GetDrawableSize(window_, &width, &height);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, readFbo());
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glDisable(GL_SCISSOR_TEST);
        const bool same = width == params_.width && height == params_.height;
        glBlitFramebuffer(0, 0, params_.width, params_.height, 0, 0, width, height, GL_COLOR_BUFFER_BIT,
                          same ? GL_NEAREST : GL_LINEAR);
        SDL_GL_SwapWindow(window_);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
        applyScissor();
        return GpuResult::Ok;
    }

    GpuResult beginScene() override { return GpuResult::Ok; }
    GpuResult endScene() override {
        glFlush();
        return GpuResult::Ok;
    }

    GpuResult setViewport(const GpuViewport& viewport) override {
        viewport_ = viewport;
        applyScissor();
        return GpuResult::Ok;
    }

    GpuResult clear(uint32_t targets, uint32_t colour, float depth, uint32_t stencil) override {
        GLbitfield bits = 0;
        if (targets & kGpuClearTarget) {
            glClearColor(((colour >> 16) & 0xFF) / 255.0f, ((colour >> 8) & 0xFF) / 255.0f, (colour & 0xFF) / 255.0f,
                         ((colour >> 24) & 0xFF) / 255.0f);
            bits |= GL_COLOR_BUFFER_BIT;
        }
        if ((targets & kGpuClearDepth) && depthBuffer_) {
            glClearDepth(depth);
            glDepthMask(GL_TRUE);
            bits |= GL_DEPTH_BUFFER_BIT;
        }
        if ((targets & kGpuClearStencil) && params_.depthFormat == GpuFormat::Depth24Stencil8) {
            glClearStencil(static_cast<GLint>(stencil));
            bits |= GL_STENCIL_BUFFER_BIT;
        }
        if (bits) glClear(bits);
        glDepthMask(states_[static_cast<int>(GpuRenderState::DepthWrite)] ? GL_TRUE : GL_FALSE);
        return GpuResult::Ok;
    }

    GpuResult getBackBuffer() override { return GpuResult::Ok; }
    void releaseBackBuffer() override {}
    GpuResult backBufferDesc(GpuSurfaceDesc* desc) override {
        *desc = GpuSurfaceDesc{params_.width, params_.height, params_.backFormat};
        return GpuResult::Ok;
    }

    GpuResult lockBackBuffer(GpuLockedRect* locked) override {
        resolve();
        const bool wide = params_.backFormat == GpuFormat::Xrgb8888;
        const int32_t pitch = params_.width * (wide ? 4 : 2);
        std::vector<uint8_t> flipped(static_cast<size_t>(pitch) * static_cast<size_t>(params_.height));
        glBindFramebuffer(GL_READ_FRAMEBUFFER, readFbo());
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        if (wide)
            glReadPixels(0, 0, params_.width, params_.height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, flipped.data());
        else
            glReadPixels(0, 0, params_.width, params_.height, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, flipped.data());
        lockBits_.resize(flipped.size());
        // GL keeps rows bottom up; the lock shows them top down.
        for (int32_t y = 0; y < params_.height; ++y)
            std::memcpy(lockBits_.data() + static_cast<size_t>(y) * pitch,
                        flipped.data() + static_cast<size_t>(params_.height - 1 - y) * pitch, static_cast<size_t>(pitch));
        *locked = GpuLockedRect{lockBits_.data(), pitch};
        return GpuResult::Ok;
    }

    GpuResult unlockBackBuffer() override {
        if (lockBits_.empty()) return GpuResult::InvalidCall;
        const bool wide = params_.backFormat == GpuFormat::Xrgb8888;
        const size_t pitch = static_cast<size_t>(params_.width) * (wide ? 4 : 2);
        std::vector<uint8_t> flipped(lockBits_.size());
        for (int32_t y = 0; y < params_.height; ++y)
            std::memcpy(flipped.data() + static_cast<size_t>(params_.height - 1 - y) * pitch,
                        lockBits_.data() + static_cast<size_t>(y) * pitch, pitch);
        // Written back through a texture drawn over the target.
        GLuint scratch = 0, fbo = 0;
        glGenTextures(1, &scratch);
        glBindTexture(GL_TEXTURE_2D, scratch);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        if (wide)
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, params_.width, params_.height, 0, GL_BGRA,
                         GL_UNSIGNED_INT_8_8_8_8_REV, flipped.data());
        else
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB565, params_.width, params_.height, 0, GL_RGB, GL_UNSIGNED_SHORT_5_6_5,
                         flipped.data());
        glGenFramebuffers(1, &fbo);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
        glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, scratch, 0);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo_);
        glDisable(GL_SCISSOR_TEST);
        glBlitFramebuffer(0, 0, params_.width, params_.height, 0, 0, params_.width, params_.height,
                          GL_COLOR_BUFFER_BIT, GL_NEAREST);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
        glDeleteFramebuffers(1, &fbo);
        glDeleteTextures(1, &scratch);
        bindTexture(boundTexture_);
        applyScissor();
        lockBits_.clear();
        return GpuResult::Ok;
    }

    void setRenderState(GpuRenderState state, uint32_t value) override {
        const int index = static_cast<int>(state);
        if (index < 0 || index >= static_cast<int>(GpuRenderState::Count)) return;
        states_[index] = value;
        switch (state) {
            case GpuRenderState::DepthTest: value ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST); break;
            case GpuRenderState::DepthWrite: glDepthMask(value ? GL_TRUE : GL_FALSE); break;
            case GpuRenderState::DepthCompare:
                glDepthFunc(value == static_cast<uint32_t>(GpuCompare::Less)     ? GL_LESS
                            : value == static_cast<uint32_t>(GpuCompare::AlwaysPass) ? GL_ALWAYS
                                                                                  : GL_LEQUAL);
                break;
            case GpuRenderState::Blend: value ? glEnable(GL_BLEND) : glDisable(GL_BLEND); break;
            case GpuRenderState::BlendSource:
            case GpuRenderState::BlendDest:
                glBlendFunc(BlendFactor(states_[static_cast<int>(GpuRenderState::BlendSource)]),
                            BlendFactor(states_[static_cast<int>(GpuRenderState::BlendDest)]));
                break;
            case GpuRenderState::MultisampleAntialias:
                value ? glEnable(GL_MULTISAMPLE) : glDisable(GL_MULTISAMPLE);
                break;
            default: break;  // read at draw time, or nothing to do here
        }
    }

    void setSamplerState(int sampler, GpuSamplerState state, uint32_t value) override {
        const int index = static_cast<int>(state);
        if (sampler != 0 || index < 0 || index >= static_cast<int>(GpuSamplerState::Count)) return;
        samplerStates_[index] = value;
        applySampler();
    }

    void setStageState(int stage, GpuStageState state, uint32_t value) override {
        if (stage != 0) return;
        if (state == GpuStageState::ColourOp) colourOp_ = value;
        if (state == GpuStageState::AlphaOp) alphaOp_ = value;
    }

    void setTexture(int stage, GpuTexture texture) override {
        if (stage != 0) return;
        boundTexture_ = textures_.count(texture) ? texture : 0;
        bindTexture(boundTexture_);
    }

    GpuResult createTexture(int32_t width, int32_t height, int32_t levels, GpuFormat format, GpuTexture* out) override {
        if (width <= 0 || height <= 0 || levels <= 0 || levels > 16 ||
            (format != GpuFormat::Rgb565 && format != GpuFormat::Argb4444))
            return GpuResult::InvalidCall;
        uint32_t bytes = 0;
        for (int32_t level = 0; level < levels; ++level)
            bytes += static_cast<uint32_t>(std::max(width >> level, 1) * std::max(height >> level, 1) * 2);
        if (bytes > kTextureMemory - std::min(textureBytes_, kTextureMemory)) return GpuResult::OutOfVideoMemory;
        GlTexture texture;
        texture.width = width;
        texture.height = height;
        texture.levels = levels;
        texture.format = format;
        glGetError();
        glGenTextures(1, &texture.name);
        glBindTexture(GL_TEXTURE_2D, texture.name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
        // A one-level texture must end at level 0, else it is incomplete and samples black.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, levels - 1);
        for (int32_t level = 0; level < levels; ++level) {
            const int32_t w = std::max(width >> level, 1), h = std::max(height >> level, 1);
            texture.bits.emplace_back(static_cast<size_t>(w) * static_cast<size_t>(h) * 2, 0);
            if (format == GpuFormat::Rgb565)
                glTexImage2D(GL_TEXTURE_2D, level, GL_RGB565, w, h, 0, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, nullptr);
            else
                glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA4, w, h, 0, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, nullptr);
        }
        bindTexture(boundTexture_);
        if (glGetError() == GL_OUT_OF_MEMORY) {
            glDeleteTextures(1, &texture.name);
            return GpuResult::OutOfVideoMemory;
        }
        textureBytes_ += bytes;
        *out = ++lastHandle_;
        textures_[*out] = std::move(texture);
        return GpuResult::Ok;
    }

    void releaseTexture(GpuTexture handle) override {
        auto found = textures_.find(handle);
        if (found == textures_.end()) return;
        for (const auto& level : found->second.bits) textureBytes_ -= std::min<uint32_t>(textureBytes_, static_cast<uint32_t>(level.size()));
        glDeleteTextures(1, &found->second.name);
        textures_.erase(found);
        if (boundTexture_ == handle) boundTexture_ = 0;
    }

    GpuResult lockTexture(GpuTexture handle, int32_t level, GpuLockMode, GpuLockedRect* locked) override {
        auto found = textures_.find(handle);
        if (found == textures_.end() || level < 0 || level >= found->second.levels) return GpuResult::InvalidCall;
        *locked = GpuLockedRect{found->second.bits[static_cast<size_t>(level)].data(),
                                std::max(found->second.width >> level, 1) * 2};
        return GpuResult::Ok;
    }

    GpuResult unlockTexture(GpuTexture handle, int32_t level) override {
        auto found = textures_.find(handle);
        if (found == textures_.end() || level < 0 || level >= found->second.levels) return GpuResult::InvalidCall;
        const GlTexture& texture = found->second;
        const int32_t w = std::max(texture.width >> level, 1), h = std::max(texture.height >> level, 1);
        glBindTexture(GL_TEXTURE_2D, texture.name);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
        if (texture.format == GpuFormat::Rgb565)
            glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, GL_RGB, GL_UNSIGNED_SHORT_5_6_5,
                            texture.bits[static_cast<size_t>(level)].data());
        else  // 0xARGB words
            glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV,
                            texture.bits[static_cast<size_t>(level)].data());
        bindTexture(boundTexture_);
        return GpuResult::Ok;
    }

    GpuResult createVertexBuffer(uint32_t bytes, GpuBuffer* out) override {
        return createBuffer(GL_ARRAY_BUFFER, bytes, out);
    }
    GpuResult createIndexBuffer(uint32_t bytes, GpuBuffer* out) override {
        return createBuffer(GL_ELEMENT_ARRAY_BUFFER, bytes, out);
    }

    void releaseBuffer(GpuBuffer handle) override {
        auto found = buffers_.find(handle);
        if (found == buffers_.end()) return;
        glDeleteBuffers(1, &found->second.name);
        buffers_.erase(found);
        if (vertexBuffer_ == handle) vertexBuffer_ = 0;
        if (indexBuffer_ == handle) indexBuffer_ = 0;
    }

    GpuResult lockBuffer(GpuBuffer handle, uint32_t offset, uint32_t bytes, GpuLockMode mode, void** data) override {
        auto found = buffers_.find(handle);
        if (found == buffers_.end() || uint64_t{offset} + bytes > found->second.shadow.size())
            return GpuResult::InvalidCall;
        GlBuffer& buffer = found->second;
        buffer.lockOffset = offset;
        buffer.lockBytes = bytes;
        buffer.discard = mode == GpuLockMode::Discard;
        *data = buffer.shadow.data() + offset;
        return GpuResult::Ok;
    }

    GpuResult unlockBuffer(GpuBuffer handle) override {
        auto found = buffers_.find(handle);
        if (found == buffers_.end()) return GpuResult::InvalidCall;
        GlBuffer& buffer = found->second;
        glBindBuffer(buffer.target, buffer.name);
        if (buffer.discard)
            glBufferData(buffer.target, static_cast<GLsizeiptr>(buffer.shadow.size()), nullptr, GL_STREAM_DRAW);
        glBufferSubData(buffer.target, buffer.lockOffset, buffer.lockBytes, buffer.shadow.data() + buffer.lockOffset);
        return GpuResult::Ok;
    }

    GpuResult setStreamSource(GpuBuffer handle, uint32_t stride) override {
        auto found = buffers_.find(handle);
        if (found == buffers_.end() || stride != sizeof(GpuVertex)) return GpuResult::InvalidCall;
        vertexBuffer_ = handle;
        glBindVertexArray(vao_);
        glBindBuffer(GL_ARRAY_BUFFER, found->second.name);
        const GLsizei size = sizeof(GpuVertex);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, size, reinterpret_cast<void*>(offsetof(GpuVertex, x)));
        // Colour words are 0xAARRGGBB: read as BGRA so that red lands in the first component.
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, size,
                              reinterpret_cast<void*>(offsetof(GpuVertex, diffuse)));
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, size,
                              reinterpret_cast<void*>(offsetof(GpuVertex, specular)));
        glEnableVertexAttribArray(3);
        glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, size, reinterpret_cast<void*>(offsetof(GpuVertex, u)));
        return GpuResult::Ok;
    }

    GpuResult setIndices(GpuBuffer handle) override {
        auto found = buffers_.find(handle);
        if (found == buffers_.end()) return GpuResult::InvalidCall;
        indexBuffer_ = handle;
        glBindVertexArray(vao_);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, found->second.name);
        return GpuResult::Ok;
    }

    GpuResult drawIndexed(GpuPrimitive type, int32_t baseVertex, uint32_t, uint32_t, uint32_t startIndex,
                          uint32_t primitiveCount) override {
        if (!vertexBuffer_ || !indexBuffer_) return GpuResult::InvalidCall;
        const bool lines = type == GpuPrimitive::LineList;
        glUseProgram(program_);
        glBindVertexArray(vao_);
        glUniform2f(uTarget_, static_cast<float>(params_.width), static_cast<float>(params_.height));
        glUniform1i(uTextured_, boundTexture_ != 0);
        glUniform1i(uColourOp_, static_cast<GLint>(colourOp_));
        glUniform1i(uAlphaOp_, static_cast<GLint>(alphaOp_));
        glUniform1i(uFog_, states_[static_cast<int>(GpuRenderState::Fog)] != 0);
        const uint32_t fog = states_[static_cast<int>(GpuRenderState::FogColour)];
        glUniform3f(uFogColour_, ((fog >> 16) & 0xFF) / 255.0f, ((fog >> 8) & 0xFF) / 255.0f, (fog & 0xFF) / 255.0f);
        const GLsizei count = static_cast<GLsizei>(primitiveCount * (lines ? 2 : 3));
        glDrawElementsBaseVertex(lines ? GL_LINES : GL_TRIANGLES, count, GL_UNSIGNED_SHORT,
                                 reinterpret_cast<void*>(static_cast<uintptr_t>(startIndex) * 2), baseVertex);
        return glGetError() == GL_NO_ERROR ? GpuResult::Ok : GpuResult::InvalidCall;
    }

    GpuResult createQuery(GpuQuery* out) override {
        GLuint query = 0;
        glGenQueries(1, &query);
        *out = ++lastHandle_;
        queries_[*out] = query;
        return GpuResult::Ok;
    }
    void releaseQuery(GpuQuery handle) override {
        auto found = queries_.find(handle);
        if (found == queries_.end()) return;
        glDeleteQueries(1, &found->second);
        queries_.erase(found);
    }
    GpuResult beginQuery(GpuQuery handle) override {
        auto found = queries_.find(handle);
        if (found == queries_.end()) return GpuResult::InvalidCall;
        glBeginQuery(GL_SAMPLES_PASSED, found->second);
        return GpuResult::Ok;
    }
    GpuResult endQuery(GpuQuery handle) override {
        if (!queries_.count(handle)) return GpuResult::InvalidCall;
        glEndQuery(GL_SAMPLES_PASSED);
        return GpuResult::Ok;
    }
    GpuResult queryResult(GpuQuery handle, uint32_t* pixels) override {
        auto found = queries_.find(handle);
        if (found == queries_.end()) return GpuResult::InvalidCall;
        GLuint available = 0;
        glGetQueryObjectuiv(found->second, GL_QUERY_RESULT_AVAILABLE, &available);
        if (!available) return GpuResult::StillDrawing;
        glGetQueryObjectuiv(found->second, GL_QUERY_RESULT, pixels);
        return GpuResult::Ok;
    }

    uint32_t availableTextureMemory() override { return kTextureMemory - std::min(textureBytes_, kTextureMemory); }

private:
    static GLenum BlendFactor(uint32_t value) {
        switch (static_cast<GpuBlend>(value)) {
            case GpuBlend::Zero: return GL_ZERO;
            case GpuBlend::One: return GL_ONE;
            case GpuBlend::SourceAlpha: return GL_SRC_ALPHA;
            case GpuBlend::InverseSourceAlpha: return GL_ONE_MINUS_SRC_ALPHA;
        }
        return GL_ONE;
    }

    GpuResult createBuffer(GLenum target, uint32_t bytes, GpuBuffer* out) {
        GlBuffer buffer;
        buffer.target = target;
        buffer.shadow.assign(bytes, 0);
        glGenBuffers(1, &buffer.name);
        glBindVertexArray(vao_);
        glBindBuffer(target, buffer.name);
        glBufferData(target, bytes, nullptr, GL_STREAM_DRAW);
        // The element binding belongs to the vertex array: put the current one back.
        if (target == GL_ELEMENT_ARRAY_BUFFER) {
            auto current = buffers_.find(indexBuffer_);
            glBindBuffer(target, current == buffers_.end() ? 0 : current->second.name);
        }
        if (glGetError() == GL_OUT_OF_MEMORY) {
            glDeleteBuffers(1, &buffer.name);
            return GpuResult::OutOfVideoMemory;
        }
        *out = ++lastHandle_;
        buffers_[*out] = std::move(buffer);
        return GpuResult::Ok;
    }

    void bindTexture(GpuTexture handle) {
        auto found = textures_.find(handle);
        glBindTexture(GL_TEXTURE_2D, found == textures_.end() ? 0 : found->second.name);
    }

    void applySampler() {
        auto filter = [](uint32_t value) {
            return value == static_cast<uint32_t>(GpuFilter::Point) ? GL_NEAREST : GL_LINEAR;
        };
        const uint32_t mag = samplerStates_[static_cast<int>(GpuSamplerState::MagFilter)];
        const uint32_t min = samplerStates_[static_cast<int>(GpuSamplerState::MinFilter)];
        const uint32_t mip = samplerStates_[static_cast<int>(GpuSamplerState::MipFilter)];
        GLenum minFilter = filter(min);
        if (mip == static_cast<uint32_t>(GpuFilter::Point))
            minFilter = minFilter == GL_NEAREST ? GL_NEAREST_MIPMAP_NEAREST : GL_LINEAR_MIPMAP_NEAREST;
        else if (mip == static_cast<uint32_t>(GpuFilter::Linear) || mip == static_cast<uint32_t>(GpuFilter::Anisotropic))
            minFilter = minFilter == GL_NEAREST ? GL_NEAREST_MIPMAP_LINEAR : GL_LINEAR_MIPMAP_LINEAR;
        glSamplerParameteri(sampler_, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(filter(mag)));
        glSamplerParameteri(sampler_, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(minFilter));
        auto address = [](uint32_t value) {
            return static_cast<GLint>(value == static_cast<uint32_t>(GpuAddress::Wrap) ? GL_REPEAT : GL_CLAMP_TO_EDGE);
        };
        glSamplerParameteri(sampler_, GL_TEXTURE_WRAP_S, address(samplerStates_[static_cast<int>(GpuSamplerState::AddressU)]));
        glSamplerParameteri(sampler_, GL_TEXTURE_WRAP_T, address(samplerStates_[static_cast<int>(GpuSamplerState::AddressV)]));
        if (maxAnisotropy_ > 1) {
            const uint32_t wanted = samplerStates_[static_cast<int>(GpuSamplerState::MaxAnisotropy)];
            const float level = min == static_cast<uint32_t>(GpuFilter::Anisotropic)
                                    ? static_cast<float>(std::clamp<int64_t>(wanted, 1, maxAnisotropy_))
                                    : 1.0f;
            glSamplerParameterf(sampler_, GL_TEXTURE_MAX_ANISOTROPY, level);
        }
    }

    void applyScissor() {
        if (viewport_.width <= 0 || viewport_.height <= 0) {
            glDisable(GL_SCISSOR_TEST);
            return;
        }
        glEnable(GL_SCISSOR_TEST);
        glScissor(viewport_.x, params_.height - viewport_.y - viewport_.height, viewport_.width, viewport_.height);
    }

    bool buildTarget(GpuPresentParams& params) {
        if (!ColourFormatOk(params.backFormat) || params.width <= 0 || params.height <= 0) return false;
        if (params.windowed) {
            SDL_SetWindowFullscreen(window_, 0);
        } else {
            SDL_DisplayMode mode{};
            mode.w = params.width;
            mode.h = params.height;
            mode.refresh_rate = params.refresh;
            SDL_SetWindowDisplayMode(window_, &mode);
            SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN);
        }
        SDL_GL_SetSwapInterval(params.immediate ? 0 : 1);
        params_ = params;
        const GLsizei samples = params.multisampleType > 1 ? params.multisampleType : 0;
        const GLenum colourFormat = params.backFormat == GpuFormat::Xrgb8888 ? GL_RGBA8 : GL_RGB565;
        glGetError();
        glGenFramebuffers(1, &fbo_);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
        glGenRenderbuffers(1, &colour_);
        glBindRenderbuffer(GL_RENDERBUFFER, colour_);
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, colourFormat, params.width, params.height);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
        const GLenum depthFormat = params.autoDepth ? DepthFormat(params.depthFormat) : 0;
        if (depthFormat) {
            glGenRenderbuffers(1, &depthBuffer_);
            glBindRenderbuffer(GL_RENDERBUFFER, depthBuffer_);
            glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, depthFormat, params.width, params.height);
            glFramebufferRenderbuffer(GL_FRAMEBUFFER,
                                      depthFormat == GL_DEPTH24_STENCIL8 ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                                      GL_RENDERBUFFER, depthBuffer_);
        }
        bool ok = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        if (ok && samples > 0) {
            glGenFramebuffers(1, &resolveFbo_);
            glBindFramebuffer(GL_FRAMEBUFFER, resolveFbo_);
            glGenRenderbuffers(1, &resolveColour_);
            glBindRenderbuffer(GL_RENDERBUFFER, resolveColour_);
            glRenderbufferStorage(GL_RENDERBUFFER, colourFormat, params.width, params.height);
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, resolveColour_);
            ok = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        }
        glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
        glViewport(0, 0, params.width, params.height);
        viewport_ = GpuViewport{0, 0, params.width, params.height, 0.0f, 1.0f};
        applyScissor();
        if (!ok || glGetError() != GL_NO_ERROR) {
            destroyTarget();
            return false;
        }
        return true;
    }

    void destroyTarget() {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        GLuint fbos[2] = {fbo_, resolveFbo_};
        GLuint renderbuffers[3] = {colour_, depthBuffer_, resolveColour_};
        glDeleteFramebuffers(2, fbos);
        glDeleteRenderbuffers(3, renderbuffers);
        fbo_ = resolveFbo_ = colour_ = depthBuffer_ = resolveColour_ = 0;
    }

    // Multisampled targets are resolved before they are shown or read.
    void resolve() {
        if (!resolveFbo_) return;
        glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFbo_);
        glDisable(GL_SCISSOR_TEST);
        glBlitFramebuffer(0, 0, params_.width, params_.height, 0, 0, params_.width, params_.height, GL_COLOR_BUFFER_BIT,
                          GL_NEAREST);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
        applyScissor();
    }
    GLuint readFbo() const { return resolveFbo_ ? resolveFbo_ : fbo_; }

    SDL_Window* window_;
    SDL_GLContext context_;
    int32_t maxAnisotropy_;
    GpuPresentParams params_;
    GLuint program_ = 0, vao_ = 0, sampler_ = 0;
    GLuint fbo_ = 0, colour_ = 0, depthBuffer_ = 0, resolveFbo_ = 0, resolveColour_ = 0;
    GLint uTarget_ = -1, uTextured_ = -1, uColourOp_ = -1, uAlphaOp_ = -1, uFog_ = -1, uFogColour_ = -1;
    GpuViewport viewport_;
    uint32_t states_[static_cast<int>(GpuRenderState::Count)] = {};
    uint32_t samplerStates_[static_cast<int>(GpuSamplerState::Count)] = {};
    uint32_t colourOp_ = static_cast<uint32_t>(GpuStageOp::Modulate);
    uint32_t alphaOp_ = static_cast<uint32_t>(GpuStageOp::Modulate);
    GpuTexture boundTexture_ = 0;
    GpuBuffer vertexBuffer_ = 0, indexBuffer_ = 0;
    uint32_t lastHandle_ = 0;
    uint32_t textureBytes_ = 0;
    std::vector<uint8_t> lockBits_;
    std::map<GpuTexture, GlTexture> textures_;
    std::map<GpuBuffer, GlBuffer> buffers_;
    std::map<GpuQuery, GLuint> queries_;
};

class GlSystem final : public GpuSystem {
public:
    bool probe() {
        // A hidden window and context show whether OpenGL 3.3 core can be had at all.
        SetContextAttributes();
        SDL_Window* window = SDL_CreateWindow("", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (!window) return false;
        SDL_GLContext context = SDL_GL_CreateContext(window);
        if (!context) {
            SDL_DestroyWindow(window);
            return false;
        }
        const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        name_ = renderer ? renderer : "OpenGL";
        GLint samples = 0;
        glGetIntegerv(GL_MAX_SAMPLES, &samples);
        maxSamples_ = samples;
        GLfloat anisotropy = 1.0f;
        GLint extensions = 0;
        glGetIntegerv(GL_NUM_EXTENSIONS, &extensions);
        for (GLint i = 0; i < extensions; ++i) {
            const char* ext = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
            if (ext && (std::strcmp(ext, "GL_EXT_texture_filter_anisotropic") == 0 ||
                        std::strcmp(ext, "GL_ARB_texture_filter_anisotropic") == 0))
                glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY, &anisotropy);
        }
        maxAnisotropy_ = static_cast<int32_t>(anisotropy);
        SDL_GL_MakeCurrent(window, nullptr);
        SDL_GL_DeleteContext(context);
        SDL_DestroyWindow(window);
        return true;
    }

    std::string adapterName() override { return name_; }

    // The display's modes, smallest first as the game expects of an adapter, joined by the classic
    // window sizes that fit on the desktop: a GL back buffer in a window may have any size, and a
    // desktop that offers only its own size (a virtual X server) still gets windows of them.
    static std::vector<SDL_DisplayMode> Modes() {
        std::vector<SDL_DisplayMode> modes;
        const int count = SDL_GetNumDisplayModes(0);
        for (int i = 0; i < count; ++i) {
            SDL_DisplayMode m;
            if (SDL_GetDisplayMode(0, i, &m) == 0) modes.push_back(m);
        }
        SDL_DisplayMode desktop{};
        if (SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
            static constexpr int kClassic[][2] = {{640, 480}, {800, 600}, {1024, 768}};
            for (const auto& size : kClassic) {
                const bool known = std::any_of(modes.begin(), modes.end(), [&](const SDL_DisplayMode& m) {
                    return m.w == size[0] && m.h == size[1];
                });
                if (!known && size[0] <= desktop.w && size[1] <= desktop.h) {
                    SDL_DisplayMode m = desktop;
                    m.w = size[0], m.h = size[1];
                    modes.push_back(m);
                }
            }
        }
        std::stable_sort(modes.begin(), modes.end(), [](const SDL_DisplayMode& a, const SDL_DisplayMode& b) {
            return a.w != b.w ? a.w < b.w : a.h < b.h;
        });
        return modes;
    }

    GpuResult desktopMode(GpuDisplayMode* mode) override {
        SDL_DisplayMode desktop;
        if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) return GpuResult::NotAvailable;
        *mode = GpuDisplayMode{desktop.w, desktop.h, desktop.refresh_rate, GpuFormat::Xrgb8888};
        return GpuResult::Ok;
    }
    int32_t modeCount(GpuFormat format) override {
        if (!ColourFormatOk(format)) return 0;
        return static_cast<int32_t>(Modes().size());
    }
    GpuResult mode(GpuFormat format, int32_t index, GpuDisplayMode* out) override {
        const std::vector<SDL_DisplayMode> modes = Modes();
        if (!ColourFormatOk(format) || index < 0 || index >= static_cast<int32_t>(modes.size()))
            return GpuResult::InvalidCall;
        *out = GpuDisplayMode{modes[size_t(index)].w, modes[size_t(index)].h, modes[size_t(index)].refresh_rate, format};
        return GpuResult::Ok;
    }
    GpuResult checkDeviceType(GpuFormat backFormat, bool) override {
        return ColourFormatOk(backFormat) ? GpuResult::Ok : GpuResult::NotAvailable;
    }
    GpuResult checkDepthFormat(GpuFormat, GpuFormat depthFormat) override {
        return DepthFormat(depthFormat) ? GpuResult::Ok : GpuResult::NotAvailable;
    }
    GpuResult checkDepthMatch(GpuFormat backFormat, GpuFormat depthFormat) override {
        return ColourFormatOk(backFormat) && DepthFormat(depthFormat) ? GpuResult::Ok : GpuResult::NotAvailable;
    }
    GpuResult checkMultisample(GpuFormat, bool, int32_t type, uint32_t* qualityLevels) override {
        *qualityLevels = 0;
        if (type == 0 || (type >= 2 && type <= maxSamples_)) {
            *qualityLevels = 1;
            return GpuResult::Ok;
        }
        return GpuResult::NotAvailable;
    }
    GpuResult caps(GpuCaps* caps) override {
        *caps = GpuCaps{true, std::max(maxAnisotropy_, 1), 4096};
        return GpuResult::Ok;
    }

    GpuResult createDevice(WindowHandle handle, GpuVertexProcessing, GpuPresentParams& params,
                           std::unique_ptr<GpuDevice>* out) override {
        SDL_Window* window = static_cast<SDL_Window*>(Plat_Backend()->glWindow(handle));
        if (!window) return GpuResult::NotAvailable;
        SetContextAttributes();
        SDL_GLContext context = SDL_GL_CreateContext(window);
        if (!context) return GpuResult::NotAvailable;
        SDL_GL_MakeCurrent(window, context);
        auto device = std::make_unique<GlDevice>(window, context, maxAnisotropy_);
        if (!device->init(params)) return GpuResult::NotAvailable;
        *out = std::move(device);
        return GpuResult::Ok;
    }

private:
    std::string name_;
    int32_t maxSamples_ = 0;
    int32_t maxAnisotropy_ = 1;
};

}  // namespace

std::unique_ptr<GpuSystem> Plat_MakeGlSystem(GpuResult* result) {
    auto system = std::make_unique<GlSystem>();
    if (!system->probe()) {
        if (result) *result = GpuResult::NotAvailable;
        return nullptr;
    }
    if (result) *result = GpuResult::Ok;
    return system;
}

// A full-colour frame (0x00RRGGBB words, top row first) filling the OpenGL window: the frame
// goes into a texture that is stretched over the whole window, and the window is swapped. The
// hardware device's own state (framebuffer, scissor, the texture unit's binding, the unpack
// rules) is put back afterwards, so its next frame draws as before.
bool Plat_GlShowFrame(void* nativeWindow, const uint32_t* xrgb, int width, int height) {
    auto* window = static_cast<SDL_Window*>(nativeWindow);
    if (!window || !xrgb || width <= 0 || height <= 0 || !SDL_GL_GetCurrentContext()) return false;
    GLint readFbo = 0, drawFbo = 0, texture = 0, alignment = 4, rowLength = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFbo);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawFbo);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);

    GLuint picture = 0, source = 0;
    glGenTextures(1, &picture);
    glBindTexture(GL_TEXTURE_2D, picture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, xrgb);
    glGenFramebuffers(1, &source);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, source);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, picture, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glDisable(GL_SCISSOR_TEST);
    int windowWidth = 0, windowHeight = 0;
    SDL_GL_GetDrawableSize(window, &windowWidth, &windowHeight);
    // The frame's first row is its top: it lands at the window's top.
    glBlitFramebuffer(0, 0, width, height, 0, windowHeight, windowWidth, 0, GL_COLOR_BUFFER_BIT,
                      windowWidth == width && windowHeight == height ? GL_NEAREST : GL_LINEAR);
    const bool ok = glGetError() == GL_NO_ERROR;
    SDL_GL_SwapWindow(window);

    glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(readFbo));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(drawFbo));
    glDeleteFramebuffers(1, &source);
    glBindTexture(GL_TEXTURE_2D, GLuint(texture));
    glDeleteTextures(1, &picture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
    if (scissor) glEnable(GL_SCISSOR_TEST);
    return ok;
}
