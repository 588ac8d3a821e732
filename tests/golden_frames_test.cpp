// The show's pictures against checked-in references: the show played at a fixed 60 fps and
// the window's frames at fixed show times, shrunk to 480x270, compared with tests/golden/.
//
// The comparison is exact. The software renderer gives bit-identical frames from run to run
// and between build types, and the shrinking is integer arithmetic, so any difference is a
// change to what the viewer sees: a sprite a pixel off, a colour a level off, a timeline a
// frame early. When a picture change is intended, tools/update-golden.sh renders new
// references. Set KLOMP_GOLDEN_DIFF_DIR to a folder to get the actual, reference and
// difference pictures of every frame that differs.
#include "golden/GoldenFrames.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

namespace {

std::filesystem::path referenceFolder() {
    return test::sourceDir() / "tests" / "golden";
}

TEST(GoldenFrames, TheShowLooksAsItsReferences) {
    const char* diffFolder = std::getenv("KLOMP_GOLDEN_DIFF_DIR");
    sf::RenderWindow window;
    int compared = 0;
    const bool complete =
        golden::renderStills(window, [&](const golden::Moment& moment, const sf::Image& actual) {
            ++compared;
            sf::Image reference;
            const std::string file = (referenceFolder() / (moment.name + ".png")).string();
            if (!reference.loadFromFile(file)) {
                ADD_FAILURE() << moment.name << ": no reference " << file
                              << " (tools/update-golden.sh makes them)";
            } else {
                const golden::Difference d = golden::compare(actual, reference, 0);
                if (d.same()) {
                    return;
                }
                ADD_FAILURE() << moment.name << " (frame " << moment.frame
                              << " at 60 fps): " << d.pixels
                              << " of 129600 pixels differ, largest channel difference "
                              << d.largest;
            }
            if (diffFolder != nullptr && *diffFolder != '\0') {
                golden::writeDifference(diffFolder, moment.name, actual, reference, 0);
            }
        });
    EXPECT_TRUE(complete) << "the show ended before the last golden frame";
    EXPECT_EQ(compared, static_cast<int>(golden::moments().size()));

    // Every reference belongs to a moment: a renamed moment leaves no stale picture behind.
    std::set<std::string> names;
    for (const golden::Moment& moment : golden::moments()) {
        names.insert(moment.name + ".png");
    }
    for (const auto& entry : std::filesystem::directory_iterator(referenceFolder())) {
        EXPECT_EQ(names.count(entry.path().filename().string()), 1u)
            << "stale reference " << entry.path();
    }
}

} // namespace
