// Loaded into the klomp program by the test runner (LD_PRELOAD): every frame the program
// presents (glXSwapBuffers) appends one byte to the file that KLOMP_PRESENT_COUNT names, so
// the runner can tell how many frames the show has drawn, however fast or slow the machine.
// The swap itself is the driver's own, unchanged.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

namespace {
using SwapBuffers = void (*)(void* display, unsigned long drawable);
}

extern "C" __attribute__((visibility("default"))) void glXSwapBuffers(void* display,
                                                                      unsigned long drawable) {
    static const auto next = reinterpret_cast<SwapBuffers>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    if (next != nullptr) {
        next(display, drawable);
    }
    // Opened for each frame, so that the program holds no descriptor of ours between frames.
    if (const char* path = std::getenv("KLOMP_PRESENT_COUNT")) {
        const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0) {
            const ssize_t written = write(fd, "f", 1);
            static_cast<void>(written);
            close(fd);
        }
    }
}
