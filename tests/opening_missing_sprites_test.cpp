// The intro and the title with every picture of their own missing from the definitions (and
// the wall's texture too): each lookup is reported and its drawing skipped, and both scenes
// still run their timelines to the hand-over.
#include "support/OpeningShow.hpp"

#include <nlohmann/json.hpp>

#include <fstream>
#include <memory>

namespace {

const char* const kDropped[] = {
    "vinyl",  "presents",   "black",       "sun",        "aint",   "zilchy", "but",
    "a",      "symbol",     "klomp",       "stencilart", "bomb",   "white",  "black-drop",
    "jas39",  "mask",       "prisonbreak", "luigi",      "sorter", "star",   "whoopsie",
    "drinks", "movie_idol", "heart",       "gun",        "fist",   "drop"};

class MissingSprites : public opening::Show {
  protected:
    // A copy of the repository's run-time files whose definitions lack those entries.
    static void SetUpTestSuite() {
        folder = std::make_unique<test::TempDir>();
        const std::filesystem::path source = test::sourceDir();
        std::filesystem::copy_file(source / "config.json", folder->path() / "config.json");
        std::filesystem::create_directory(folder->path() / "assets");
        for (const auto& entry : std::filesystem::directory_iterator(source / "assets")) {
            const std::string name = entry.path().filename().string();
            if (name == "sprites.json" || name == "textures.json") {
                continue;
            }
            std::filesystem::create_symlink(entry.path(), folder->path() / "assets" / name);
        }
        nlohmann::json sprites;
        std::ifstream(source / "assets/sprites.json") >> sprites;
        for (const char* key : kDropped) {
            sprites["sprites"].erase(key);
        }
        folder->write("assets/sprites.json", sprites.dump(2));
        nlohmann::json textures;
        std::ifstream(source / "assets/textures.json") >> textures;
        textures["textures"].erase("brickwall");
        folder->write("assets/textures.json", textures.dump(2));

        inside = std::make_unique<test::WorkingDir>(folder->path());
        Show::SetUpTestSuite();
    }
    static void TearDownTestSuite() {
        inside.reset();
        folder.reset();
    }

    static std::unique_ptr<test::TempDir> folder;
    static std::unique_ptr<test::WorkingDir> inside;
};

std::unique_ptr<test::TempDir> MissingSprites::folder;
std::unique_ptr<test::WorkingDir> MissingSprites::inside;

TEST_F(MissingSprites, BothScenesSkipWhatIsMissingAndHandOver) {
    ASSERT_EQ(demo.intro.introVinyl, nullptr);
    test::CerrCapture capture;
    // Long enough frames to pass every step quickly, a few of them drawn in full.
    playWhile(0.05f, [] { return demo.intro.introStep < 2; });
    fullFrame(0.05f); // the glitched word and the static, without their pictures
    playWhile(0.05f, [] { return demo.sceneIndex == -1; });
    EXPECT_EQ(demo.sceneIndex, 0);
    EXPECT_EQ(demo.intro.introVinyl, nullptr);
    EXPECT_EQ(demo.intro.introBlack, nullptr);
    for (int i = 0; i < 3; ++i) {
        fullFrame(0.05f);
    }
    playWhile(0.05f, [] { return demo.sceneIndex == 0; });
    EXPECT_EQ(demo.sceneIndex, 1);
    EXPECT_TRUE(demo.title.jetFlying);
    EXPECT_EQ(demo.stickers.size(), 14u);
    const std::string said = capture.text();
    EXPECT_NE(said.find("SpriteManager: Sprite with key jas39 does not exist."), std::string::npos);
    EXPECT_NE(said.find("SpriteManager: Sprite with key vinyl does not exist."), std::string::npos);
}

} // namespace
