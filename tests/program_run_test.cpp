// The real program, started as a viewer starts it, plays the whole show and ends by itself
// with exit status 0, reporting nothing on the way.
//
// The show runs on the program's own clock for about 197 seconds. Where libfaketime is
// installed the program's clock runs six times faster (its frames then measure six times
// longer, which the show handles like any long frame), so the run takes about 40 seconds;
// without it the program plays in real time.
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

const char* const kFakeTime[] = {
    "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1",
    "/usr/lib/aarch64-linux-gnu/faketime/libfaketimeMT.so.1",
};

TEST(ProgramRun, PlaysTheWholeShowAndExitsWithStatusZero) {
    test::TempDir dir;
    test::linkAssets(dir.path());
    std::filesystem::copy_file(test::sourceDir() / "config.json", dir.path() / "config.json");

    double speed = 1.0;
    std::vector<std::string> environment;
    for (const char* library : kFakeTime) {
        if (std::filesystem::exists(library)) {
            speed = 6.0;
            environment = {std::string("LD_PRELOAD=") + library, "FAKETIME=+0 x6"};
            break;
        }
    }
    const double showSeconds = 196.8 / speed;

    const auto start = std::chrono::steady_clock::now();
    const test::ProgramRun run =
        test::runProgram(dir.path(), -1.0, -1.0, showSeconds * 2.0 + 60.0, environment);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("program ran %.1f s of wall time with its clock at %.0fx\n", wall, speed);

    EXPECT_EQ(run.exitStatus, 0) << run.standardError;
    // It ended at the end of the show, not early.
    EXPECT_GE(wall, showSeconds * 0.95);
    EXPECT_EQ(run.standardOutput, "");
    // The only line is the window system's note that vertical sync cannot be set under Xvfb;
    // a missing asset or a failing loader anywhere in the show would add its diagnostic.
    std::istringstream lines(run.standardError);
    std::string line;
    while (std::getline(lines, line)) {
        EXPECT_EQ(line, "Setting vertical sync not supported");
    }
}

} // namespace
