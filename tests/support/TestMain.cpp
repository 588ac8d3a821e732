// Test main: keeps Mesa's software driver loaded for the life of the process, so that leak
// checkers see this project's leaks rather than the driver's unload, then runs the tests.
#include <gtest/gtest.h>

#include <dlfcn.h>

int main(int argc, char** argv) {
    for (const char* driver : {"/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so",
                               "/usr/lib/aarch64-linux-gnu/dri/swrast_dri.so"}) {
        if (dlopen(driver, RTLD_NOW | RTLD_NODELETE) != nullptr) {
            break;
        }
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
