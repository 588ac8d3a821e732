#include "runtime/ProcessSetup.hpp"

#include "runtime/Printable.hpp"

#include <SFML/System/Err.hpp>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <streambuf>
#include <string>

#if defined(_WIN32)
#include <stdlib.h>
#else
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#if defined(__GLIBC__)
#include <cstdint>
#include <malloc.h>
#include <sys/mman.h>
#endif

#if defined(__unix__) && !defined(__APPLE__)
#include <X11/Xlib.h>
#define KLOMP_X11 1
#endif

namespace {

// Writes the multimedia library's messages to the standard error stream, as the library does
// by itself, with their control characters escaped; line ends stay, as each message is
// written with its own.
class EscapingBuffer : public std::streambuf {
  protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        const char ch = traits_type::to_char_type(c);
        write(std::string_view(&ch, 1));
        return c;
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        write(std::string_view(text, static_cast<std::size_t>(count)));
        return count;
    }
    int sync() override { return std::fflush(stderr); }

  private:
    static void write(std::string_view text) {
        writeEscaped(text, true, [](std::string_view piece) {
            std::fwrite(piece.data(), 1, piece.size(), stderr);
        });
    }
};

#if !defined(_WIN32)
const char* programName() {
#if defined(__GLIBC__)
    return program_invocation_short_name;
#else
    return "klomp";
#endif
}
#endif

#if defined(KLOMP_X11)
[[noreturn]] void refuseToStart(const std::string& what) {
    std::cerr << programName() << ": " << what
              << "; without a display that offers OpenGL, run it under tools/with-xvfb.sh "
                 "(tools/play.sh renders the show to klomp.mp4 that way)."
              << std::endl;
    std::exit(1);
}
#endif

#if !defined(_WIN32)
void openStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        // The lowest free descriptor is taken, which is this one: the lower ones are open.
        const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

// The X connection, the GL driver, the song's stream and the audio device each hold
// descriptors; far fewer than this makes the graphics library crash rather than report.
constexpr rlim_t kDescriptorsNeeded = 64;

void ensureDescriptors() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= kDescriptorsNeeded) {
        return;
    }
    if (limit.rlim_max == RLIM_INFINITY || limit.rlim_max >= kDescriptorsNeeded) {
        limit.rlim_cur = kDescriptorsNeeded;
        if (setrlimit(RLIMIT_NOFILE, &limit) == 0) {
            return;
        }
    }
    std::cerr << programName() << ": only " << limit.rlim_cur
              << " files may be open at once (ulimit -n); the show needs " << kDescriptorsNeeded
              << "." << std::endl;
    std::exit(1);
}
#endif

#if defined(__GLIBC__)
// Start-up fills about 100 MB of fresh memory: the decoded pictures, and the software
// renderer's copies of them as textures and render targets. Touched a 4 KiB page at a time,
// that memory costs more in page faults than the decoding itself (half of the registries'
// time, measured). So large blocks come from the heap instead of mappings of their own, the
// heap grows once by a stretch that the kernel may back with 2 MiB pages, and it is not
// trimmed back. Where the heap cannot grow in one piece (or another allocator stands in, as
// under the sanitizers) it is left as it was. Only a hint: the memory and what it holds are
// the same either way.
void prepareHeap() {
    constexpr std::size_t kMiB = 1024 * 1024;
    constexpr std::uintptr_t kHugePage = 2 * kMiB;
    constexpr std::size_t kBlock = 16 * kMiB; // below the mapping threshold: from the heap
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(32 * kMiB));
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(512 * kMiB));
    mallopt(M_TOP_PAD, static_cast<int>(256 * kMiB));
    const auto before = reinterpret_cast<std::uintptr_t>(sbrk(0));
    void* const block = std::malloc(kBlock);
    const auto after = reinterpret_cast<std::uintptr_t>(sbrk(0));
    const auto at = reinterpret_cast<std::uintptr_t>(block);
    // The block lies at the end of the heap, which grew by the padding behind it.
    if (block != nullptr && after > before && at < after && after - at >= kBlock) {
        const std::uintptr_t first = (at + kHugePage - 1) & ~(kHugePage - 1);
        const std::uintptr_t end = after & ~(kHugePage - 1);
        if (end > first) {
            madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
        }
    }
    std::free(block);
    mallopt(M_TOP_PAD, static_cast<int>(128 * 1024)); // glibc's default again
}
#endif

#if defined(KLOMP_X11)
void checkDisplay() {
    const char* name = std::getenv("DISPLAY");
    const std::string shown = name == nullptr || *name == '\0' ? std::string("(DISPLAY is not set)")
                                                               : "\"" + std::string(name) + "\"";
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        refuseToStart("cannot open the X display " + shown);
    }
    int opcode = 0;
    int event = 0;
    int error = 0;
    const bool glx = XQueryExtension(display, "GLX", &opcode, &event, &error) != 0;
    XCloseDisplay(display);
    if (!glx) {
        refuseToStart("the X display " + shown + " offers no OpenGL (GLX)");
    }
}
#endif

} // namespace

extern "C" void klomp_prepare_process() {
    // The standard streams may not be built yet this early; this builds them.
    static const std::ios_base::Init streams;
#if defined(_WIN32)
    if (std::getenv("LP_NUM_THREADS") == nullptr) {
        _putenv_s("LP_NUM_THREADS", "0");
    }
#else
    openStandardDescriptors();
#if defined(__GLIBC__)
    prepareHeap();
#endif
    std::signal(SIGPIPE, SIG_IGN);
    setenv("LP_NUM_THREADS", "0", 0);
    ensureDescriptors();
#endif
    // Never destroyed: the library may report while the process ends.
    static EscapingBuffer* const escaping = new EscapingBuffer;
    sf::err().rdbuf(escaping);
#if defined(KLOMP_X11)
    checkDisplay();
#endif
}

namespace {
// Priority 101 runs before every constructor of ordinary priority in the program, the static
// DemoState's among them.
__attribute__((constructor(101))) void prepareProcessFirst() {
    klomp_prepare_process();
}
} // namespace
