// The finale played from its first frame to the end of the show at a steady 60 frames per
// second: what it inherits and switches off, the swirling logo and the credit stickers seen
// through the blueprint peephole, the sun that waits for 7 seconds, the closing fade and the
// quit. The scene is entered directly after start-up; the tests of the fixture run in order and
// keep playing.
#include "support/ShowPlayer.hpp"

#include "assets/SpriteManager.hpp"
#include "scenes/FinaleScene.hpp"
#include "scenes/SceneCommon.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace {

bool sunColoured(sf::Color c) {
    return c.r > 200 && c.g > 110 && c.b < 110 && c.a > 200;
}

// Blue of the blueprint showing through a peephole, not the white of the logo or a card.
bool blueprintBlue(const show::Mean& m) {
    return m.b > m.r + 30 && m.b > m.g + 20;
}

class Finale : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        show::startAt(Scene::Finale);
        // As the vinyl scroller leaves the scroller: smaller text, lower wave, phase moved on.
        Scroller& s = demo.scroller;
        s.scrollerText.setCharacterSize(128);
        s.scrollerAmplitude = 75.0f;
        s.scrollerPhase = 3.0f;
        s.scrollerShadow = true;
    }
    static FinaleState& scene() { return demo.finale; }
};

SHOW_CHAPTER(Finale, FirstFrameTurnsTheShadowOffAndBringsThreePeepholeCredits) {
    addSticker(SpriteManager::get("splat"), 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f, 0.0f,
               false, false, nullptr);
    demo.frameSprite.setRotation(3.0f);
    demo.workSpriteB.setScale(1.1f, 1.1f);
    show::frame();

    const Scroller& s = demo.scroller;
    EXPECT_FALSE(s.scrollerShadow);
    EXPECT_EQ(s.scrollerMessage, kFinaleMessage);
    EXPECT_FLOAT_EQ(s.scrollerX, 1920.0f - 704.0f * show::kFrame);
    EXPECT_EQ(s.scrollerY, 150.0f);
    EXPECT_EQ(s.scrollerText.getCharacterSize(), 128u);
    EXPECT_EQ(s.scrollerAmplitude, 75.0f);
    EXPECT_FLOAT_EQ(s.scrollerPhase, 3.0f + show::kFrame);

    ASSERT_EQ(demo.stickers.size(), 3u);
    // Off screen to the left at one height, three seconds apart, shrinking from 1.25 as they
    // pop in; the drift carries them across.
    const char* const keys[] = {"c_alpha", "c_bravo", "c_charlie"};
    const float delays[] = {6.0f, 9.0f, 12.0f};
    for (std::size_t i = 0; i < 3; ++i) {
        const Sticker& credit = demo.stickers[i];
        EXPECT_EQ(credit.sprite, SpriteManager::get(keys[i]));
        EXPECT_EQ(credit.shader, &demo.blueprintPeephole);
        EXPECT_EQ(credit.x, -800.0f);
        EXPECT_EQ(credit.y, 630.0f);
        EXPECT_FLOAT_EQ(credit.popInDelay, delays[i] - show::kFrame);
        EXPECT_EQ(credit.scale, 1.25f);
        EXPECT_EQ(credit.targetScale, 1.0f);
    }
    EXPECT_EQ(demo.frameSprite.getRotation(), 0.0f);
    EXPECT_EQ(demo.workSpriteB.getScale(), sf::Vector2f(1.0f, 1.0f));
    EXPECT_EQ(demo.fadeMode, 2);
}

SHOW_CHAPTER(Finale, LogoSwirlsThroughThePeephole) {
    {
        show::Clipped clipped;
        show::play(119); // 2 s
    }
    const float before = scene().finaleTime;
    const sf::Image window = show::frameWithWindowImage();
    test::saveStill(window, "finale_logo");
    const float after = scene().finaleTime;
    EXPECT_EQ(test::uniformValue(demo.blueprintPeephole, "xOffset"), 0.125f * before);
    EXPECT_EQ(test::uniformValue(demo.blueprintPeephole, "yOffset"), 0.25f * before);

    // The quad as drawn: the rectangle 812 x 636 about its centre, each corner moved by the
    // swirl of the time before this frame's advance, turned by the time after it, scaled 0.75.
    const float sw = sinf64(3.0f * before);
    const float cw = cosf64(3.0f * before);
    const sf::Vector2f local[4] = {
        {0.0f + 200.0f * sw - 200.0f, 0.0f + 50.0f * cw - 50.0f},
        {0.0f + 200.0f * cw - 200.0f, 636.0f + 50.0f * sw + 50.0f},
        {812.0f + 200.0f * sw + 200.0f, 636.0f + 50.0f * cw + 50.0f},
        {812.0f + 200.0f * cw + 200.0f, 0.0f + 50.0f * sw - 50.0f},
    };
    sf::Transform transform;
    transform.translate(960.0f, 540.0f)
        .rotate(60.0f * sinf64(2.0f * after))
        .scale(0.75f, 0.75f)
        .translate(-406.0f, -318.0f);
    ASSERT_TRUE(scene().finaleLogo.has_value());
    const auto& vertices = scene().finaleLogo->getVertices();
    for (std::size_t i = 0; i < 4; ++i) {
        const sf::Vector2f expected = transform.transformPoint(local[i]);
        EXPECT_NEAR(vertices[i].position.x, expected.x, 0.05f) << "corner " << i;
        EXPECT_NEAR(vertices[i].position.y, expected.y, 0.05f) << "corner " << i;
    }

    // The diagonals of the quad cross where the texture's centre is drawn: white in the logo,
    // on screen the blueprint's blue.
    const sf::Vector2f p0 = vertices[0].position, p1 = vertices[1].position;
    const sf::Vector2f p2 = vertices[2].position, p3 = vertices[3].position;
    const float t = ((p0.y - p1.y) * (p3.x - p1.x) - (p0.x - p1.x) * (p3.y - p1.y)) /
                    ((p3.y - p1.y) * (p2.x - p0.x) - (p3.x - p1.x) * (p2.y - p0.y));
    const sf::Vector2f centre = p0 + t * (p2 - p0);
    const sf::Image picture = show::frameTargetImage();
    const show::Mean logo =
        show::meanAround(picture, static_cast<int>(centre.x), static_cast<int>(centre.y), 3);
    EXPECT_TRUE(blueprintBlue(logo)) << logo.r << " " << logo.g << " " << logo.b;
    EXPECT_GT(logo.a, 200);

    // No shadow pass: the dark, three-quarter-opaque shadow letters would fill thousands of
    // pixels of the scroller's band.
    const int shadow = show::countPixels(picture, 0, 0, 1920, 450, [](sf::Color c) {
        return c.r < 8 && c.g < 8 && c.b < 8 && c.a >= 180 && c.a <= 204;
    });
    EXPECT_LT(shadow, 1500);
    std::printf("shadow-like pixels in the scroller's band: %d\n", shadow);

    // Nothing of the sun yet.
    EXPECT_EQ(show::countPixels(picture, 0, 0, 1920, 1080, sunColoured), 0);
    show::reportFrameTimes("finale", 20);
}

SHOW_CHAPTER(Finale, SunWaitsForSevenSecondsThenFadesInAndSpins) {
    {
        show::Clipped clipped;
        show::playWhile([] { return scene().finaleTime < 6.9f; }, 8 * 60);
    }
    EXPECT_FALSE(scene().finaleSunShown);
    show::frame();
    const sf::Image before = show::frameTargetImage();
    EXPECT_EQ(show::countPixels(before, 0, 0, 1920, 1080, sunColoured), 0);
    {
        show::Clipped clipped;
        show::playWhile([] { return scene().finaleTime < 8.6f; }, 2 * 60);
    }
    EXPECT_TRUE(scene().finaleSunShown);
    EXPECT_FALSE(scene().finaleSunTween.active);
    test::saveStill(show::frameWithWindowImage(), "finale_sun");
    const sf::Image after = show::frameTargetImage();
    EXPECT_GT(show::countPixels(after, 0, 0, 1920, 1080, sunColoured), 5000);
    const sf::Sprite* sun = SpriteManager::get("sun");
    ASSERT_NE(sun, nullptr);
    EXPECT_EQ(sun->getColor().a, 255);
    EXPECT_FLOAT_EQ(sun->getRotation(), std::fmod(scene().finaleSunAngle, 360.0f));
}

SHOW_CHAPTER(Finale, CreditStickersShowTheBlueprint) {
    {
        show::Clipped clipped;
        show::playWhile([] { return scene().finaleTime < 16.0f; }, 8 * 60);
    }
    test::saveStill(show::frameWithWindowImage(), "finale_credits");
    const sf::Image picture = show::frameTargetImage();
    for (std::size_t i = 0; i < 3; ++i) {
        const Sticker& card = demo.stickers[i];
        ASSERT_EQ(card.popInDelay, 0.0f);
        ASSERT_GT(card.x, 0.0f);
        ASSERT_LT(card.x, 1920.0f);
        // The card's white middle.
        const show::Mean m =
            show::meanAround(picture, static_cast<int>(card.x), static_cast<int>(card.y), 3);
        EXPECT_TRUE(blueprintBlue(m)) << "card " << i << ": " << m.r << " " << m.g << " " << m.b;
    }
}

SHOW_CHAPTER(Finale, ClosingFadeThenTheQuitIndexAndTheEnd) {
    show::Clipped clipped;
    show::playWhile([] { return scene().finaleStep == 0; }, 7 * 60);
    EXPECT_EQ(scene().finaleTime, 0.0f);
    EXPECT_EQ(demo.fadeMode, 1);
    EXPECT_EQ(demo.fadeSpeed, 0.2f);
    show::playWhile([] { return demo.sceneIndex == Scene::Finale; }, 9 * 60);
    EXPECT_EQ(demo.sceneIndex, Scene::Quit);
    EXPECT_GT(scene().finaleTime, 8.5f);
    EXPECT_EQ(demo.fadeLevel, 1.0f);
    EXPECT_TRUE(demo.running);
    show::frame();
    EXPECT_FALSE(demo.running);
}

} // namespace
