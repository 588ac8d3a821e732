// Scene objects, stickers (pop-in, burst, drift, drip) and the sine scroller, on the shipped
// asset set after the program's own start-up.
#include "support/TestSupport.hpp"

#include "assets/SpriteManager.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/SceneHelpers.hpp"
#include "effects/ShowRandom.hpp"
#include "runtime/DemoState.hpp"
#include "runtime/Startup.hpp"

#include <SFML/Graphics/RenderWindow.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

class SceneHelpers : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        test::CerrCapture quiet; // the audio device lines under the null backend, if any
        startUp(window);
    }
    void SetUp() override {
        clearStickers();
        demo.scroller.scrollerActive = false;
    }

    static sf::Sprite* sprite(const char* key) { return SpriteManager::get(key); }

    // Marks a shared sprite so that a later look tells whether anything drew it.
    static void markUndrawn(sf::Sprite* s) { s->setPosition(-12345.0f, -12345.0f); }
    static bool wasDrawn(const sf::Sprite* s) { return s->getPosition().x != -12345.0f; }

    // Lets every particle of every system run out.
    static void drainParticles() { ParticleManager::update(100.0f); }

    static sf::Image shot(sf::RenderTexture& target) {
        target.display();
        return target.getTexture().copyToImage();
    }

    static sf::RenderWindow window;
};

sf::RenderWindow SceneHelpers::window;

float normalisedAngle(float degrees) {
    float a = std::fmod(degrees, 360.0f);
    return a < 0.0f ? a + 360.0f : a;
}

} // namespace

TEST_F(SceneHelpers, StickerWithoutDelayPopsInOnItsFirstUpdateReachingOneHundredth) {
    sf::Sprite* star = sprite("star");
    addSticker(star, 500.0f, 300.0f, 0.0f, 0.5f, 0.2f, -30.0f, 1.0f, 1.5f, 10.0f, false, false,
               nullptr);
    ASSERT_EQ(demo.stickers.size(), 1u);
    Sticker& s = demo.stickers.back();
    EXPECT_EQ(s.popInDelay, 0.01f);
    EXPECT_EQ(s.textureHeight, 400.0f);
    EXPECT_EQ(s.dripDelay, 1.5f);

    updateSticker(s, 0.004f);
    EXPECT_GT(s.popInDelay, 0.0f);
    EXPECT_FALSE(s.alphaTween.active);
    markUndrawn(star);
    drawStickers();
    EXPECT_FALSE(wasDrawn(star)) << "a waiting sticker is not drawn";

    updateSticker(s, 0.007f); // 0.011 s in all: pops in, nothing else moves
    EXPECT_EQ(s.popInDelay, 0.0f);
    EXPECT_EQ(s.x, 500.0f);
    EXPECT_EQ(s.alpha, 0.5f);
    EXPECT_EQ(s.scale, 0.2f);
    EXPECT_EQ(s.rotation, -30.0f);
    EXPECT_TRUE(s.alphaTween.active);
    EXPECT_EQ(s.alphaTween.kind, Easing::SineOut);
    EXPECT_EQ(s.scaleTween.kind, Easing::ExpoOut);
    EXPECT_EQ(s.rotationTween.kind, Easing::BackOut);
    EXPECT_EQ(s.rotationTween.to, 10.0f);
    EXPECT_EQ(s.scaleTween.duration, 1.0f);

    drawStickers(); // drawn from this frame on, with its starting look
    EXPECT_EQ(star->getPosition(), sf::Vector2f(500.0f, 300.0f));
    EXPECT_EQ(star->getScale(), sf::Vector2f(0.2f, 0.2f));
    EXPECT_FLOAT_EQ(star->getRotation(), normalisedAngle(-30.0f));
    EXPECT_EQ(star->getColor(), sf::Color(255, 255, 255, 127));

    // Then it drifts right at 256 px/s while its tweens run; the rotation overshoots.
    updateSticker(s, 0.25f);
    EXPECT_EQ(s.x, 564.0f);
    EXPECT_EQ(s.alpha, ease(Easing::SineOut, 0.25f, 0.5f, 0.5f, 1.0f));
    EXPECT_EQ(s.scale, ease(Easing::ExpoOut, 0.25f, 0.2f, 1.3f, 1.0f));
    updateSticker(s, 0.25f);
    updateSticker(s, 0.25f);
    EXPECT_GT(s.rotation, 10.0f);
    updateSticker(s, 0.25f);
    EXPECT_EQ(s.x, 756.0f);
    EXPECT_EQ(s.alpha, 1.0f);
    EXPECT_EQ(s.scale, 1.5f);
    EXPECT_EQ(s.rotation, 10.0f);
    EXPECT_FALSE(s.rotationTween.active);
    updateSticker(s, 0.5f);
    EXPECT_EQ(s.x, 884.0f);
    EXPECT_FALSE(s.dripStarted) << "drip not enabled";
}

TEST_F(SceneHelpers, DelayedStickerStaysInvisibleForItsDelay) {
    sf::Sprite* heart = sprite("heart");
    addSticker(heart, 100.0f, 100.0f, 2.0f, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f, 0.0f, false, false,
               nullptr);
    Sticker& s = demo.stickers.back();
    for (int i = 0; i < 3; ++i) {
        updateSticker(s, 0.5f);
        markUndrawn(heart);
        drawStickers();
        EXPECT_FALSE(wasDrawn(heart)) << "after " << (i + 1) * 0.5 << " s";
    }
    updateSticker(s, 0.5f);
    EXPECT_EQ(s.popInDelay, 0.0f);
    EXPECT_EQ(s.x, 100.0f);
    drawStickers();
    EXPECT_TRUE(wasDrawn(heart));
}

TEST_F(SceneHelpers, BurstEmitsUpToSeventyFiveStarsAtTheSticker) {
    ParticleSystem* stars = ParticleManager::get("star_particles");
    ASSERT_NE(stars, nullptr);
    drainParticles();
    ASSERT_EQ(stars->liveCount(), 0);
    sf::Sprite* star = sprite("star");
    for (int i = 0; i < 3; ++i) {
        addSticker(star, 700.0f + 100.0f * static_cast<float>(i), 200.0f, 0.0f, 1.0f, 1.0f, 0.0f,
                   1.0f, 1.0f, 0.0f, false, true, nullptr);
    }
    updateSticker(demo.stickers[0], 0.02f);
    EXPECT_EQ(stars->liveCount(), 75);
    for (const Particle& p : stars->pool()) {
        if (p.alive) {
            EXPECT_EQ(p.x, 700.0f);
            EXPECT_EQ(p.y, 200.0f);
        }
    }
    updateSticker(demo.stickers[1], 0.02f); // only 25 free slots left
    EXPECT_EQ(stars->liveCount(), 100);
    EXPECT_EQ(std::count_if(stars->pool().begin(), stars->pool().end(),
                            [](const Particle& p) { return p.x == 800.0f; }),
              25);
    seedShowRandom(77);
    const int next = showRandom();
    seedShowRandom(77);
    updateSticker(demo.stickers[2], 0.02f); // a full pool: nothing, no random numbers
    EXPECT_EQ(stars->liveCount(), 100);
    EXPECT_EQ(showRandom(), next);
    // A sticker without burst adds none.
    drainParticles();
    addSticker(star, 10.0f, 10.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f, 0.0f, false, false, nullptr);
    updateSticker(demo.stickers.back(), 0.02f);
    EXPECT_EQ(stars->liveCount(), 0);
}

TEST_F(SceneHelpers, DripStartsStrictlyAfterOneAndAHalfSecondsAndGrows) {
    sf::Sprite* heart = sprite("heart");
    addSticker(heart, 300.0f, 500.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f, 0.0f, true, false,
               nullptr);
    Sticker& s = demo.stickers.back();
    const float fullOffset = 390.0f * 0.5f + 30.0f;
    const float dt = 0.25f;
    updateSticker(s, dt); // pop-in
    for (int frame = 1; frame <= 6; ++frame) {
        updateSticker(s, dt);
        EXPECT_FALSE(s.dripStarted) << "frame " << frame;
    }
    EXPECT_EQ(s.dripDelay, 0.0f);
    updateSticker(s, dt); // the delay goes below 0: the drip starts and runs this frame
    EXPECT_TRUE(s.dripStarted);
    EXPECT_EQ(s.dripOffset, ease(Easing::SineOut, dt, 0.0f, fullOffset, 1.25f));
    EXPECT_EQ(s.dripStretch, ease(Easing::SineOut, dt, 1.0f, 2.0f, 5.0f));
    EXPECT_EQ(s.x, 300.0f + 256.0f * 7 * dt);

    sf::Sprite* drop = sprite("drop");
    markUndrawn(drop);
    drawStickers();
    EXPECT_EQ(drop->getPosition(), sf::Vector2f(s.x - 40.0f, 500.0f + s.dripOffset));
    EXPECT_EQ(drop->getScale(), sf::Vector2f(1.0f, s.dripStretch));

    for (int frame = 2; frame <= 5; ++frame) {
        updateSticker(s, dt);
    }
    EXPECT_EQ(s.dripOffset, fullOffset) << "full length after 1.25 s";
    EXPECT_FALSE(s.dripOffsetTween.active);
    EXPECT_LT(s.dripStretch, 3.0f);
    for (int frame = 6; frame <= 20; ++frame) {
        updateSticker(s, dt);
    }
    EXPECT_EQ(s.dripStretch, 3.0f) << "three times as tall after 5 s";
    updateSticker(s, dt);
    EXPECT_EQ(s.dripOffset, fullOffset);
    EXPECT_EQ(s.dripStretch, 3.0f);
    drawStickers();
    EXPECT_EQ(drop->getPosition(), sf::Vector2f(s.x - 40.0f, 500.0f + fullOffset));
    EXPECT_EQ(drop->getScale(), sf::Vector2f(1.0f, 3.0f));
}

TEST_F(SceneHelpers, ClearedListDrawsNothingAndStartsAgain) {
    sf::Sprite* heart = sprite("heart");
    addSticker(heart, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f, 0.0f, false, false, nullptr);
    updateStickers(0.1f);
    clearStickers();
    markUndrawn(heart);
    drawStickers();
    EXPECT_FALSE(wasDrawn(heart));
    addSticker(heart, 2.0f, 2.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f, 1.0f, 0.0f, false, false, nullptr);
    EXPECT_EQ(demo.stickers.size(), 1u);
    EXPECT_EQ(demo.stickers[0].x, 2.0f);
}

TEST_F(SceneHelpers, FlipBookHoldsEachFrameAndWraps) {
    SceneObject object;
    sf::Sprite* frames[3] = {sprite("bravo-1"), sprite("bravo-2"), sprite("bravo-3")};
    object.frames.assign(std::begin(frames), std::end(frames));
    object.sprite = frames[0];
    object.frameTime = 0.14f;
    object.frameTimer = 0.14f;
    object.animated = true;

    // At 60 frames per second the remainder is dropped, so each picture shows 9 frames.
    const float dt = 1.0f / 60.0f;
    std::vector<unsigned> shown;
    std::vector<int> lengths;
    int run = 0;
    for (int frame = 0; frame < 9 * 7; ++frame) {
        const unsigned before = object.frameIndex;
        updateSceneObject(object, dt);
        ++run;
        EXPECT_EQ(object.sprite, frames[object.frameIndex]);
        if (object.frameIndex != before) {
            shown.push_back(before);
            lengths.push_back(run);
            run = 0;
        }
    }
    EXPECT_EQ(shown, (std::vector<unsigned>{0, 1, 2, 0, 1, 2, 0}));
    for (const int length : lengths) {
        EXPECT_EQ(length, 9);
        EXPECT_GE(static_cast<float>(length) * dt, 0.14f);
    }
    // A long frame moves on by one picture only.
    object.frameTimer = 0.14f;
    const unsigned before = object.frameIndex;
    updateSceneObject(object, 1.0f);
    EXPECT_EQ(object.frameIndex, (before + 1) % 3);
    EXPECT_EQ(object.frameTimer, 0.14f);

    // Switched on with no frames: nothing to show, nothing changes.
    SceneObject empty;
    empty.sprite = frames[1];
    empty.animated = true;
    updateSceneObject(empty, 1.0f);
    EXPECT_EQ(empty.sprite, frames[1]);
}

TEST_F(SceneHelpers, SceneObjectCopiesOnlyRunningTweens) {
    SceneObject object;
    object.sprite = sprite("heart");
    object.x = 5.0f;
    object.alpha = 0.999f;
    object.yTween.start(0.0f, 100.0f, 2.0f, Easing::Linear);
    updateSceneObject(object, 0.5f);
    EXPECT_EQ(object.x, 5.0f) << "no x tween: the scene's own value stays";
    EXPECT_EQ(object.y, 25.0f);
    object.y = -1.0f; // overwritten again while the tween runs
    updateSceneObject(object, 0.5f);
    EXPECT_EQ(object.y, 50.0f);
    updateSceneObject(object, 1.0f);
    EXPECT_EQ(object.y, 100.0f);
    object.y = 7.0f; // the tween has ended: the scene may set it
    updateSceneObject(object, 0.5f);
    EXPECT_EQ(object.y, 7.0f);

    drawSceneObject(object, nullptr);
    EXPECT_EQ(object.sprite->getColor().a, 254) << "alpha times 255, truncated";
    EXPECT_EQ(object.sprite->getPosition(), sf::Vector2f(5.0f, 7.0f));
}

TEST_F(SceneHelpers, ScrollerMovesOnlyWhileActive) {
    Scroller& s = demo.scroller;
    s.scrollerX = 1920.0f;
    s.scrollerPhase = 0.0f;
    s.scrollerSpeed = -704.0f;
    s.scrollerActive = false;
    advanceScroller(0.5f);
    EXPECT_EQ(s.scrollerX, 1920.0f);
    EXPECT_EQ(s.scrollerPhase, 0.0f);
    s.scrollerActive = true;
    advanceScroller(0.5f);
    EXPECT_EQ(s.scrollerX, 1568.0f);
    EXPECT_EQ(s.scrollerPhase, 0.5f);
}

TEST_F(SceneHelpers, ScrollerPlacesEachCharacterByItsOwnWidthOnTheWave) {
    Scroller& s = demo.scroller;
    s.scrollerMessage = "AWV";
    s.scrollerX = 100.0f;
    s.scrollerY = 400.0f;
    s.scrollerPhase = 0.3f;
    s.scrollerActive = true;
    s.scrollerShadow = false;
    demo.workTargetB.clear(sf::Color::Transparent);
    drawScroller(demo.workTargetB);

    sf::Text probe("A", demo.demoFont, 256);
    probe.setOutlineThickness(12.0f);
    float x = 100.0f;
    for (const char* c : {"A", "W"}) {
        probe.setString(c);
        x += probe.getLocalBounds().width; // no kerning between neighbours
    }
    const float offset =
        static_cast<float>(static_cast<double>(static_cast<float>(0.0 + 0.2)) + 0.2);
    const float y =
        400.0f + 190.0f * static_cast<float>(std::sin(static_cast<double>(0.3f + offset)));
    EXPECT_EQ(s.scrollerText.getString(), sf::String("V"));
    EXPECT_EQ(s.scrollerText.getPosition(), sf::Vector2f(x, y));
    EXPECT_EQ(s.scrollerText.getFillColor(), s.scrollerFill);
    s.scrollerShadow = true;
}

TEST_F(SceneHelpers, ShadowRunsAQuarterPeriodAheadAndCanBeSwitchedOff) {
    Scroller& s = demo.scroller;
    s.scrollerMessage = "H";
    s.scrollerX = 700.0f;
    s.scrollerY = 300.0f;
    s.scrollerPhase = 0.0f; // sin 0 = 0 for the letter, cos 0 = 1 for the shadow: 190 px lower
    s.scrollerAmplitude = 190.0f;
    s.scrollerActive = true;
    const sf::Color fill = s.scrollerFill;
    const sf::Color outline = s.scrollerOutline;
    s.scrollerFill = sf::Color::Red;
    s.scrollerOutline = sf::Color::Green;

    struct Box {
        int count = 0;
        int left = 1920, right = -1, bottom = -1;
        void add(int x, int y) {
            ++count;
            left = std::min(left, x);
            right = std::max(right, x);
            bottom = std::max(bottom, y);
        }
    };
    auto render = [&](bool shadow, Box& dark, Box& coloured) {
        s.scrollerShadow = shadow;
        demo.workTargetB.clear(sf::Color::Blue);
        drawScroller(demo.workTargetB);
        const sf::Image image = shot(demo.workTargetB);
        for (int y = 0; y < 1080; ++y) {
            for (int x = 0; x < 1920; ++x) {
                const sf::Color c =
                    image.getPixel(static_cast<unsigned>(x), static_cast<unsigned>(y));
                if (c.r < 8 && c.g < 8 && c.b < 200) {
                    dark.add(x, y); // the shadow's black at 192/255 over blue
                } else if (c.r > 128 || c.g > 128) {
                    coloured.add(x, y);
                }
            }
        }
    };
    Box dark, coloured, darkOff, colouredOff;
    render(true, dark, coloured);
    render(false, darkOff, colouredOff);
    s.scrollerFill = fill;
    s.scrollerOutline = outline;
    s.scrollerShadow = true;

    ASSERT_GT(dark.count, 1000);
    EXPECT_NEAR(dark.bottom - coloured.bottom, 190, 2);
    EXPECT_NEAR(dark.left, coloured.left, 2);
    EXPECT_NEAR(dark.right, coloured.right, 2);
    EXPECT_EQ(darkOff.count, 0) << "no shadow pass";
    // The coloured pass is the same (its edges blend over the shadow where they overlap).
    EXPECT_NEAR(colouredOff.count, coloured.count, coloured.count / 50);
    EXPECT_EQ(colouredOff.bottom, coloured.bottom);

    // Switched off, it draws nothing at all.
    s.scrollerActive = false;
    Box none, noneColoured;
    render(true, none, noneColoured);
    EXPECT_EQ(none.count + noneColoured.count, 0);
}
