// The title and the four later scenes with pieces of the asset set missing: the brick wall,
// the spectrum and logo textures, the white page, the sun, the mask, the record, a label, the
// frame pictures, a walker pose, a credit card, the drip and every particle system. Each scene
// leaves out what is missing (no blank quad in its place) and the show still runs to its end.
#include "support/ShowPlayer.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Copies an asset definition file into `dir` without the given keys of its top-level group.
void writeWithout(const fs::path& dir, const char* file, const char* group,
                  const std::vector<std::string>& keys) {
    nlohmann::json document;
    std::ifstream(test::sourceDir() / "assets" / file) >> document;
    for (const std::string& key : keys) {
        document[group].erase(key);
    }
    std::ofstream(dir / "assets" / file) << document.dump(2);
}

bool transparent(sf::Color c) {
    return c.a == 0;
}

TEST(MissingAssets, ScenesLeaveOutWhatIsMissingAndTheShowEnds) {
    test::TempDir dir;
    fs::create_directory(dir.path() / "assets");
    for (const fs::directory_entry& entry : fs::directory_iterator(test::sourceDir() / "assets")) {
        if (entry.is_directory()) {
            fs::create_directory_symlink(entry.path(),
                                         dir.path() / "assets" / entry.path().filename());
        } else if (entry.path().filename() == "sounds.json" ||
                   entry.path().filename() == "music.json") {
            fs::copy_file(entry.path(), dir.path() / "assets" / entry.path().filename());
        }
    }
    fs::copy_file(test::sourceDir() / "config.json", dir.path() / "config.json");
    writeWithout(dir.path(), "textures.json", "textures", {"brickwall", "spectrum", "krv-white"});
    writeWithout(dir.path(), "sprites.json", "sprites",
                 {"white", "sun", "mask", "frame", "frame-sides", "big-vinyl", "achtung-fulkod",
                  "bravo-3", "c_bravo", "drop", "cross-star"});
    writeWithout(dir.path(), "particles.json", "particlesystems",
                 {"bw_stars", "vinyl_stars", "star_particles"});

    test::WorkingDir inside(dir.path());
    test::CerrCapture diagnostics;
    show::startAt(Scene::Title);
    const float dt = 0.05f;

    // No wall and no white page in the title: the frame stays clear where they would be.
    show::frame(dt);
    EXPECT_TRUE(transparent(show::frameTargetImage().getPixel(100, 1000)));
    {
        show::Clipped clipped;
        show::playWhile([] { return demo.sceneIndex == Scene::Title; }, 40 * 20, dt);
    }
    ASSERT_EQ(demo.sceneIndex, Scene::WallScroller);

    // No wall: the frame stays clear where the wall would cover it (the whole frame); the
    // title's stickers, carried over, cover some places, so one clear corner is enough.
    show::frame(dt);
    const sf::Image wallScene = show::frameTargetImage();
    EXPECT_TRUE(transparent(wallScene.getPixel(100, 1000)) ||
                transparent(wallScene.getPixel(1900, 1060)) ||
                transparent(wallScene.getPixel(1900, 20)));
    {
        show::Clipped clipped;
        show::playWhile([] { return demo.sceneIndex == Scene::WallScroller; }, 30 * 20, dt);
    }
    ASSERT_EQ(demo.sceneIndex, Scene::VinylScroller);

    // No spectrum band and no frame: the teal background shows beside the (missing) record.
    show::frame(dt);
    const sf::Color teal = show::frameTargetImage().getPixel(300, 540);
    EXPECT_EQ(teal, sf::Color(32, 132, 141, 255));
    {
        show::Clipped clipped;
        show::playWhile([] { return demo.sceneIndex == Scene::VinylScroller; }, 50 * 20, dt);
    }
    ASSERT_EQ(demo.sceneIndex, Scene::Party);

    show::frame(dt);
    EXPECT_TRUE(transparent(show::frameTargetImage().getPixel(1800, 100)));
    {
        show::Clipped clipped;
        show::playWhile([] { return demo.sceneIndex == Scene::Party; }, 45 * 20, dt);
    }
    ASSERT_EQ(demo.sceneIndex, Scene::Finale);

    // No logo: nothing shows through the peephole at the centre.
    show::play(40, dt);
    EXPECT_TRUE(transparent(show::frameTargetImage().getPixel(960, 540)));
    {
        show::Clipped clipped;
        show::playWhile([] { return demo.running; }, 35 * 20, dt);
    }
    EXPECT_FALSE(demo.running);
    EXPECT_NE(diagnostics.text().find("does not exist"), std::string::npos);
}

} // namespace
