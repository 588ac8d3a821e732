#include "scenes/WallScrollerScene.hpp"

#include "assets/SpriteManager.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/SceneHelpers.hpp"
#include "effects/SparsePicture.hpp"
#include "runtime/Colour.hpp"
#include "runtime/DemoState.hpp"
#include "runtime/FrameLoop.hpp"
#include "runtime/RenderTargets.hpp"
#include "scenes/SceneCommon.hpp"

const char* const kWallScrollerMessage =
    "KLOMP  IS  BACK  WITH  BRICKS  AND  BASS        HOLD  ON  TIGHT        "
    "AND  THE  WALL  NEVER  SLEEPS";

namespace {

void setUp(WallScrollerState& s) {
    s.wallScrollerFirstFrame = false;
    pivotOnCentre(demo.frameSprite);
    pivotOnCentre(demo.workSpriteB);
    s.wallScrollerSun = centredSprite("sun");
    if (ElasticSprite* wall = buildWall(s.wallScrollerWall)) {
        wall->setCornerOffset(2, sf::Vector2f(0.0f, 2500.0f));
        wall->setCornerOffset(3, sf::Vector2f(0.0f, -2500.0f));
    }

    Scroller& scroller = demo.scroller;
    scroller.scrollerMessage = kWallScrollerMessage;
    scroller.scrollerActive = true;
    scroller.scrollerSpeed = -704.0f;
}

void setStars(bool on) {
    if (ParticleSystem* stars = ParticleManager::get("bw_stars")) {
        stars->emitting = on;
        if (on) {
            stars->spawnAccumulator = 0.0f;
        }
    }
}

void timeline(WallScrollerState& s) {
    switch (s.wallScrollerStep) {
    case 0:
        if (s.wallScrollerStepTime > 2.0f) {
            setStars(true);
            enterStep(s.wallScrollerStep, s.wallScrollerStepTime, 1);
        }
        break;
    case 1:
        if (s.wallScrollerStepTime > 20.0f) {
            fadeToBlack(1.0f);
            setStars(false);
            enterStep(s.wallScrollerStep, s.wallScrollerStepTime, 2);
        }
        break;
    case 2:
        if (s.wallScrollerStepTime > 1.5f) {
            s.wallScrollerResult = Scene::VinylScroller;
        }
        break;
    default:
        break;
    }
}

} // namespace

SceneId wallScrollerScene(float dt) {
    WallScrollerState& s = demo.wallScroller;

    const float glitchAmount = wallGlitchAmount(demo.effectClock);
    demo.glitchShader.setUniform("glitchAmount", glitchAmount);
    demo.effectClock += dt;
    const float c = demo.effectClock;
    swayFrame(c);
    demo.workSpriteB.setRotation(9.0f * cosf64(0.75f * c));
    const float rock = 0.05f * sinf64(c) + 0.05f + 1.05f;
    demo.workSpriteB.setScale(rock, rock);

    if (s.wallScrollerSunOpacity < 1.0f) {
        s.wallScrollerSunOpacity += dt;
        if (s.wallScrollerSunOpacity > 1.0f) {
            s.wallScrollerSunOpacity = 1.0f;
        }
    }

    if (s.wallScrollerFirstFrame) {
        setUp(s);
    }

    s.wallScrollerStepTime += dt;
    timeline(s);

    scrollWall(s.wallScrollerWall, dt);

    updateStickers(dt);
    drawStickers();

    s.wallScrollerSunAngle += 90.0f * dt;
    advanceScroller(dt);
    drawScroller(demo.workTargetB);

    ParticleManager::update(dt);
    ParticleManager::draw();

    demo.workTargetB.display();
    // The scroller is all there is in workTargetB.
    drawPassOver(demo.frameTarget, demo.workSpriteB, demo.glitchShader,
                 demo.scroller.drawnAreas.data(), demo.scroller.drawnAreaCount,
                 glitchReach(glitchAmount));

    if (sf::Sprite* sun = s.wallScrollerSun) {
        sun->setScale(1.0f, 1.0f);
        sun->setRotation(s.wallScrollerSunAngle);
        sun->setColor(sf::Color(255, 255, 255, alphaByte(s.wallScrollerSunOpacity)));
        demo.frameTarget.draw(*sun);
    }
    drawSparsePicture(demo.frameTarget, SpriteManager::get("mask"));
    return s.wallScrollerResult;
}
