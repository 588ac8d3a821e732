// The real program, started as a viewer starts it, plays the whole show and ends by itself
// with exit status 0, reporting nothing on the way.
//
// The show runs on the program's own clock for about 197 seconds. Where libfaketime is
// installed the program's clock runs ten times faster (its frames then measure ten times
// longer, which the show handles like any long frame), so the run takes about 25 seconds here;
// without it the program plays in real time.
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

TEST(ProgramRun, PlaysTheWholeShowAndExitsWithStatusZero) {
    test::TempDir dir;
    test::linkAssets(dir.path());
    std::filesystem::copy_file(test::sourceDir() / "config.json", dir.path() / "config.json");

    test::RunPlan plan;
    plan.clockSpeed = 10.0;
    plan.privateDisplay = false;
    plan.timeout = 196.8 / (test::fakeTimeLibrary().empty() ? 1.0 : plan.clockSpeed) * 2.0 + 60.0;
    const auto start = std::chrono::steady_clock::now();
    const test::ProgramRun run = test::runProgram(dir.path(), plan);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("program ran %.1f s of wall time with its clock at %.0fx\n", wall, run.clockSpeed);

    EXPECT_EQ(run.problem, "");
    EXPECT_TRUE(run.windowSeen);
    EXPECT_TRUE(run.endedBeforeAsked);
    EXPECT_EQ(run.exitStatus, 0) << run.standardError;
    // It ended at the end of the show, not early: its clock ran through the show's length.
    EXPECT_GE(wall * run.clockSpeed, 196.8 * 0.95);
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
