// Linked into the programs of sanitizer builds (CMake option KLOMP_KEEP_GL_DRIVER, which
// tools/sanitize.sh turns on): before main, loads Mesa's software GL driver once more with
// RTLD_NODELETE, so that it is never unloaded. Mesa leaks a few blocks when its driver is
// unloaded at exit, and LeakSanitizer reports them without a module name that a suppression
// could match; with the driver kept, its blocks stay reachable and only this project's leaks
// are reported. (The test programs do the same in tests/support/TestMain.cpp.)
#include <dlfcn.h>

#include <initializer_list>

namespace {

struct KeepGlDriverLoaded {
    KeepGlDriverLoaded() {
        for (const char* driver : {"/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so",
                                   "/usr/lib/aarch64-linux-gnu/dri/swrast_dri.so"}) {
            if (dlopen(driver, RTLD_NOW | RTLD_NODELETE) != nullptr) {
                return;
            }
        }
    }
} keepGlDriverLoaded;

} // namespace
