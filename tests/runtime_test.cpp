// Configuration, the frame loop's fade and ending, and the render targets.
#include "support/TestSupport.hpp"

#include "assets/MusicManager.hpp"
#include "assets/SoundManager.hpp"
#include "runtime/Config.hpp"
#include "runtime/DemoState.hpp"
#include "runtime/FrameLoop.hpp"
#include "runtime/RenderTargets.hpp"

#include <SFML/Graphics/Texture.hpp>
#include <gtest/gtest.h>

namespace {

struct ConfigCase {
    Config config;
    bool musicMuted;
    bool soundMuted;
    std::string diagnostics;
};

// Runs loadConfig in a folder holding `content` as config.json (no file when null).
ConfigCase loadFrom(const char* content) {
    test::TempDir dir;
    if (content != nullptr) {
        dir.write("config.json", content);
    }
    demo.config = Config{};
    MusicManager::musicMuted = false;
    SoundManager::soundMuted = false;
    test::WorkingDir inside(dir.path());
    test::CerrCapture capture;
    loadConfig();
    return {demo.config, MusicManager::musicMuted, SoundManager::soundMuted, capture.text()};
}

TEST(Config, MissingFileKeepsDefaultsWithOneLine) {
    const ConfigCase c = loadFrom(nullptr);
    EXPECT_EQ(c.diagnostics, "Config.json missing.\n");
    EXPECT_FALSE(c.config.fullscreen);
    EXPECT_TRUE(c.config.vsync);
    EXPECT_FALSE(c.musicMuted);
    EXPECT_FALSE(c.soundMuted);
}

TEST(Config, EveryKeyApplies) {
    const ConfigCase c =
        loadFrom(R"({"fullscreen": true, "vsync": false, "music": false, "sound": false})");
    EXPECT_EQ(c.diagnostics, "");
    EXPECT_TRUE(c.config.fullscreen);
    EXPECT_FALSE(c.config.vsync);
    EXPECT_TRUE(c.musicMuted);
    EXPECT_TRUE(c.soundMuted);
}

TEST(Config, TrueSwitchesChangeNothingAndShowFpsIsAccepted) {
    const ConfigCase c = loadFrom(R"({"music": true, "sound": true, "show_fps": true})");
    EXPECT_EQ(c.diagnostics, "");
    EXPECT_FALSE(c.musicMuted);
    EXPECT_FALSE(c.soundMuted);
    EXPECT_TRUE(c.config.vsync);
}

TEST(Config, UnparsableAndCutOffFilesReportTheParserAndKeepDefaults) {
    for (const char* content : {"{\"fullscreen\": tr", "", "not json"}) {
        const ConfigCase c = loadFrom(content);
        ASSERT_EQ(
            c.diagnostics.rfind(
                "config.json: Error while parsing JSON.\n[json.exception.parse_error.101]", 0),
            0u)
            << c.diagnostics;
        EXPECT_EQ(std::count(c.diagnostics.begin(), c.diagnostics.end(), '\n'), 2);
        EXPECT_FALSE(c.config.fullscreen);
    }
}

TEST(Config, ArrayRootAppliesNothingSilently) {
    const ConfigCase c = loadFrom(R"([{"fullscreen": true}])");
    EXPECT_EQ(c.diagnostics, "");
    EXPECT_FALSE(c.config.fullscreen);
}

TEST(Config, WrongTypeKeepsThatDefaultAndLaterKeysStillApply) {
    const ConfigCase c = loadFrom(
        R"({"fullscreen": 1, "music": "off", "sound": false, "vsync": null, "show_fps": 3})");
    EXPECT_EQ(c.diagnostics, "config.json: Key fullscreen: [json.exception.type_error.302] type "
                             "must be boolean, but is number\n"
                             "config.json: Key music: [json.exception.type_error.302] type must be "
                             "boolean, but is string\n"
                             "config.json: Key vsync: [json.exception.type_error.302] type must be "
                             "boolean, but is null\n"
                             "config.json: Key show_fps: [json.exception.type_error.302] type must "
                             "be boolean, but is number\n");
    EXPECT_FALSE(c.config.fullscreen);
    EXPECT_FALSE(c.musicMuted);
    EXPECT_TRUE(c.soundMuted);
    EXPECT_TRUE(c.config.vsync);
}

// A window and the three targets, enough for the frame loop's own work.
class FrameLoopTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        window.create(sf::VideoMode(1920, 1080, 32), "frame loop test");
        demo.window = &window;
        createRenderTargets();
        white.create(1920, 1080);
        sf::Image image;
        image.create(1920, 1080, sf::Color::White);
        white.update(image);
        overlay.setTexture(white, true);
    }
    void SetUp() override {
        demo.running = true;
        demo.sceneIndex = Scene::Quit;
        demo.fadeSprite = &overlay;
        demo.fadeLevel = 0.0f;
        demo.fadeMode = 0;
        overlay.setColor(sf::Color(255, 255, 255, 77));
    }
    static sf::Color windowPixel() {
        sf::Texture grab;
        grab.create(1920, 1080);
        grab.update(window);
        return grab.copyToImage().getPixel(960, 540);
    }
    static sf::RenderWindow window;
    static sf::Texture white;
    static sf::Sprite overlay;
};
sf::RenderWindow FrameLoopTest::window;
sf::Texture FrameLoopTest::white;
sf::Sprite FrameLoopTest::overlay;

TEST_F(FrameLoopTest, OverlayAlphaIsTruncatedAndTheSpriteKeepsItsAlpha) {
    demo.fadeLevel = 0.999f;
    renderFrame(0.0f);
    // A white overlay over the cleared window shows its alpha as grey.
    EXPECT_EQ(windowPixel().r, 254);
    EXPECT_EQ(overlay.getColor(), sf::Color(255, 255, 255, 77));
}

TEST_F(FrameLoopTest, FadeFromBlackIsBlackAtOnceAndClearAQuarterSecondLater) {
    fadeFromBlack(4.0f);
    EXPECT_EQ(demo.fadeLevel, 1.0f);
    EXPECT_EQ(demo.fadeMode, 2);
    demo.fadeLevel = 1.0f; // the frame that started it shows it fully
    renderFrame(0.0f);
    EXPECT_EQ(windowPixel().r, 255);
    renderFrame(0.125f);
    EXPECT_NEAR(demo.fadeLevel, 0.5f, 1e-6);
    renderFrame(0.13f);
    EXPECT_EQ(demo.fadeLevel, 0.0f);
    EXPECT_EQ(demo.fadeMode, 0);
    renderFrame(0.1f);
    EXPECT_EQ(demo.fadeLevel, 0.0f);
}

TEST_F(FrameLoopTest, FadeToBlackStopsAtExactlyOne) {
    fadeToBlack(1.0f);
    EXPECT_EQ(demo.fadeLevel, 0.0f);
    renderFrame(0.6f);
    renderFrame(0.6f);
    EXPECT_EQ(demo.fadeLevel, 1.0f);
    EXPECT_EQ(demo.fadeMode, 0);
}

TEST_F(FrameLoopTest, QuitIndexEndsTheRunAfterThatFrame) {
    demo.sceneIndex = Scene::Quit;
    renderFrame(0.016f);
    EXPECT_FALSE(demo.running);
}

TEST_F(FrameLoopTest, MissingBlackSpriteStillDarkens) {
    demo.fadeSprite = nullptr;
    demo.fadeLevel = 1.0f;
    renderFrame(0.0f);
    const sf::Color pixel = windowPixel();
    EXPECT_EQ(pixel.r, 0);
    EXPECT_EQ(pixel.a, 255);
}

TEST_F(FrameLoopTest, RenderTargetsAreFullFrameWithoutSmoothingOrRepetition) {
    for (const sf::RenderTexture* target :
         {&demo.frameTarget, &demo.workTargetB, &demo.workTargetC}) {
        EXPECT_EQ(target->getSize(), sf::Vector2u(1920, 1080));
        EXPECT_FALSE(target->isSmooth());
        EXPECT_FALSE(target->isRepeated());
    }
    EXPECT_EQ(demo.frameSprite.getTextureRect(), sf::IntRect(0, 0, 1920, 1080));
    EXPECT_EQ(demo.workSpriteC.getTexture(), &demo.workTargetC.getTexture());
}

} // namespace
