// The asset check on the shipped set, and that it catches a broken set.
#include "support/TestSupport.hpp"

#include "asset-check.hpp"

#include <SFML/Audio/OutputSoundFile.hpp>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

namespace {

nlohmann::json readJson(const std::filesystem::path& path) {
    std::ifstream in(path);
    return nlohmann::json::parse(in);
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

// A copy of the shipped set in `dir` (definition files copied, media linked) with faults:
// brickwall no longer repeats, spectrum and its entry are gone, black is 20 px short, a
// texture names a file that is not there, and noise is half a second long.
void writeBrokenSet(const std::filesystem::path& dir) {
    const std::filesystem::path shipped = test::sourceDir() / "assets";
    const std::filesystem::path assets = dir / "assets";
    std::filesystem::create_directories(assets / "sounds");
    for (const char* media : {"gfx", "music", "particles", "colored-crayons"}) {
        std::filesystem::create_directory_symlink(shipped / media, assets / media);
    }
    for (const char* file : {"music.json", "particles.json"}) {
        std::filesystem::copy_file(shipped / file, assets / file);
    }

    nlohmann::json textures = readJson(shipped / "textures.json");
    textures["textures"]["brickwall"]["repeated"] = false;
    textures["textures"].erase("spectrum");
    textures["textures"]["ghost"] = {{"file", "assets/gfx/ghost.png"}};
    std::ofstream(assets / "textures.json") << textures.dump(2);

    nlohmann::json sprites = readJson(shipped / "sprites.json");
    sprites["sprites"]["black"]["rectW"] = 1900;
    std::ofstream(assets / "sprites.json") << sprites.dump(2);

    nlohmann::json sounds = readJson(shipped / "sounds.json");
    sounds["sounds"]["noise"]["file"] = "assets/sounds/short.wav";
    std::ofstream(assets / "sounds.json") << sounds.dump(2);
    sf::OutputSoundFile wav;
    ASSERT_TRUE(wav.openFromFile((assets / "sounds/short.wav").string(), 44100, 2));
    const std::vector<sf::Int16> silence(44100, 0); // 0.5 s of two channels
    wav.write(silence.data(), silence.size());
}

} // namespace

// Runs first (death tests do), in a fresh process: the registries can be filled only once.
TEST(AssetCheckDeathTest, BrokenSetFailsOnEveryFault) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    test::TempDir dir;
    writeBrokenSet(dir.path());
    EXPECT_EXIT(
        {
            std::ostringstream log;
            assetcheck::Report report;
            {
                test::WorkingDir inside(dir.path());
                report = assetcheck::checkAssetSet(log);
            }
            std::cerr << joined(report.failures) << "--\n" << joined(report.diagnostics);
            std::filesystem::remove_all(dir.path());
            std::exit(report.passed() ? 0 : 1);
        },
        ::testing::ExitedWithCode(1),
        "assets/textures.json: 67 of 68 textures registered \\(lost: ghost\\)\n"
        "5 of 6 textures \\(missing: spectrum\\)\n"
        "texture brickwall repeats: it does not.*\n"
        "texture spectrum repeats: no such texture\n"
        "sprite black covers 1920x1080 from \\(0, 0\\): texture rect \\(0, 0, 1900, 1080\\).*\n"
        "sound noise \\(assets/sounds/short.wav\\) lasts 0.50 s \\(at least 0.75 s\\)\n"
        "--\n"
        ".*Unable to load file assets/gfx/ghost.png.*");
}

TEST(AssetCheck, ShippedSetHoldsEverything) {
    test::CerrCapture stray;
    std::ostringstream log;
    const assetcheck::Report report = assetcheck::checkAssetSet(log);
    EXPECT_TRUE(report.diagnostics.empty()) << joined(report.diagnostics) << log.str();
    EXPECT_TRUE(report.failures.empty()) << joined(report.failures) << log.str();
    EXPECT_EQ(stray.text(), "");
}

TEST(AssetCheck, FontMapTellsMappedFromUnmapped) {
    // Glyph 0 has an outline too, so only the character map can tell a missing letter.
    std::vector<char32_t> missing;
    std::string error;
    ASSERT_TRUE(assetcheck::findUnmappedCharacters(
        assetcheck::kFontFile, {U'A', U'M', U'Z', U' ', U'\u4E00', U'\U0001F600'}, missing, error))
        << error;
    EXPECT_EQ(missing, (std::vector<char32_t>{U'\u4E00', U'\U0001F600'}));
}

TEST(AssetCheck, FontMapRejectsDamagedFiles) {
    test::TempDir dir;
    std::ifstream in(assetcheck::kFontFile, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string font = bytes.str();
    ASSERT_GT(font.size(), 400u);
    std::vector<char32_t> missing;
    std::string error;
    EXPECT_FALSE(assetcheck::findUnmappedCharacters(dir.write("text.ttf", "not a font at all"),
                                                    {U'A'}, missing, error));
    EXPECT_FALSE(
        assetcheck::findUnmappedCharacters(dir.file("absent.ttf"), {U'A'}, missing, error));
    // Cut short inside the table directory: every read stays inside the file.
    EXPECT_FALSE(assetcheck::findUnmappedCharacters(dir.write("cut.ttf", font.substr(0, 40)),
                                                    {U'A'}, missing, error));
}
