#include "capture/PixelReadBack.hpp"

#include <SFML/OpenGL.hpp>
#include <SFML/Window/Context.hpp>

#include <cstddef>
#include <cstdint>

namespace capture {

namespace {

// The entry points are looked up at run time: the GL headers of the system promise only 1.1.
using GenBuffers = void (*)(GLsizei, GLuint*);
using DeleteBuffers = void (*)(GLsizei, const GLuint*);
using BindBuffer = void (*)(GLenum, GLuint);
using BufferStorage = void (*)(GLenum, std::ptrdiff_t, const void*, GLbitfield);
using MapBufferRange = void* (*)(GLenum, std::ptrdiff_t, std::ptrdiff_t, GLbitfield);
using UnmapBuffer = GLboolean (*)(GLenum);
using FenceSync = __GLsync* (*)(GLenum, GLbitfield);
using ClientWaitSync = GLenum (*)(__GLsync*, GLbitfield, std::uint64_t);
using DeleteSync = void (*)(__GLsync*);

constexpr GLenum kPixelPackBuffer = 0x88EB;
constexpr GLbitfield kMapRead = 0x0001;
constexpr GLbitfield kMapPersistent = 0x0040;
constexpr GLbitfield kMapCoherent = 0x0080;
constexpr GLenum kSyncGpuCommandsComplete = 0x9117;
constexpr GLbitfield kSyncFlushCommands = 0x0001;
constexpr GLenum kWaitFailed = 0x911D;
constexpr GLenum kTimeoutExpired = 0x911B;
constexpr GLenum kBgra = 0x80E1;

struct Functions {
    GenBuffers genBuffers = nullptr;
    DeleteBuffers deleteBuffers = nullptr;
    BindBuffer bindBuffer = nullptr;
    BufferStorage bufferStorage = nullptr;
    MapBufferRange mapBufferRange = nullptr;
    UnmapBuffer unmapBuffer = nullptr;
    FenceSync fenceSync = nullptr;
    ClientWaitSync clientWaitSync = nullptr;
    DeleteSync deleteSync = nullptr;

    bool load() {
        genBuffers = reinterpret_cast<GenBuffers>(sf::Context::getFunction("glGenBuffers"));
        deleteBuffers =
            reinterpret_cast<DeleteBuffers>(sf::Context::getFunction("glDeleteBuffers"));
        bindBuffer = reinterpret_cast<BindBuffer>(sf::Context::getFunction("glBindBuffer"));
        bufferStorage =
            reinterpret_cast<BufferStorage>(sf::Context::getFunction("glBufferStorage"));
        mapBufferRange =
            reinterpret_cast<MapBufferRange>(sf::Context::getFunction("glMapBufferRange"));
        unmapBuffer = reinterpret_cast<UnmapBuffer>(sf::Context::getFunction("glUnmapBuffer"));
        fenceSync = reinterpret_cast<FenceSync>(sf::Context::getFunction("glFenceSync"));
        clientWaitSync =
            reinterpret_cast<ClientWaitSync>(sf::Context::getFunction("glClientWaitSync"));
        deleteSync = reinterpret_cast<DeleteSync>(sf::Context::getFunction("glDeleteSync"));
        return genBuffers && deleteBuffers && bindBuffer && bufferStorage && mapBufferRange &&
               unmapBuffer && fenceSync && clientWaitSync && deleteSync;
    }
};

Functions& gl() {
    static Functions functions;
    return functions;
}

} // namespace

PixelReadBack::~PixelReadBack() {
    destroy();
}

bool PixelReadBack::create(unsigned count, unsigned width, unsigned height) {
    destroy();
    if (!gl().load()) {
        return false;
    }
    width_ = width;
    height_ = height;
    const auto bytes = static_cast<std::ptrdiff_t>(width) * height * 4;
    names_.assign(count, 0);
    gl().genBuffers(static_cast<GLsizei>(count), names_.data());
    for (unsigned name : names_) {
        gl().bindBuffer(kPixelPackBuffer, name);
        gl().bufferStorage(kPixelPackBuffer, bytes, nullptr,
                           kMapRead | kMapPersistent | kMapCoherent);
        void* memory = gl().mapBufferRange(kPixelPackBuffer, 0, bytes,
                                           kMapRead | kMapPersistent | kMapCoherent);
        mapped_.push_back(static_cast<std::uint8_t*>(memory));
    }
    gl().bindBuffer(kPixelPackBuffer, 0);
    fences_.assign(count, nullptr);
    for (std::uint8_t* memory : mapped_) {
        if (memory == nullptr) {
            destroy();
            return false;
        }
    }
    return true;
}

void PixelReadBack::start(unsigned index) {
    gl().bindBuffer(kPixelPackBuffer, names_[index]);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadBuffer(GL_BACK);
    // BGRA is the window's own layout, which the driver copies fastest.
    glReadPixels(0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_), kBgra,
                 GL_UNSIGNED_BYTE, nullptr);
    gl().bindBuffer(kPixelPackBuffer, 0);
    if (fences_[index] != nullptr) {
        gl().deleteSync(fences_[index]);
    }
    fences_[index] = gl().fenceSync(kSyncGpuCommandsComplete, 0);
}

void PixelReadBack::finish(unsigned index) {
    if (fences_[index] == nullptr) {
        return;
    }
    GLenum result = kTimeoutExpired;
    while (result == kTimeoutExpired) {
        result = gl().clientWaitSync(fences_[index], kSyncFlushCommands, 1000000000ull);
    }
    (void)kWaitFailed;
    gl().deleteSync(fences_[index]);
    fences_[index] = nullptr;
}

void PixelReadBack::destroy() {
    if (names_.empty()) {
        return;
    }
    for (__GLsync*& fence : fences_) {
        if (fence != nullptr) {
            gl().deleteSync(fence);
        }
    }
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (i < mapped_.size() && mapped_[i] != nullptr) {
            gl().bindBuffer(kPixelPackBuffer, names_[i]);
            gl().unmapBuffer(kPixelPackBuffer);
        }
    }
    gl().bindBuffer(kPixelPackBuffer, 0);
    gl().deleteBuffers(static_cast<GLsizei>(names_.size()), names_.data());
    names_.clear();
    mapped_.clear();
    fences_.clear();
}

} // namespace capture
