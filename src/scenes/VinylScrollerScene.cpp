#include "scenes/VinylScrollerScene.hpp"

#include "assets/SpriteManager.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/SceneHelpers.hpp"
#include "effects/SparsePicture.hpp"
#include "runtime/Colour.hpp"
#include "runtime/DemoState.hpp"
#include "runtime/DrawingClip.hpp"
#include "runtime/Frame.hpp"
#include "runtime/FrameLoop.hpp"
#include "runtime/RenderTargets.hpp"
#include "scenes/SceneCommon.hpp"

const char* const kVinylScrollerMessage =
    "THIS ONE GOES OUT TO EVERY CODER WHO SAT UP ALL NIGHT.         "
    "GREETS TO ALL THE CREWS AT EVERY PARTY.          "
    "SPIN THE RECORDS LOUD.           "
    "KEEP THE OLD SCENE ALIVE.";

namespace {

void setUp(VinylState& s) {
    s.vinylFirstFrame = false;
    unswaySprite(demo.frameSprite);
    unswaySprite(demo.workSpriteB);

    Scroller& scroller = demo.scroller;
    scroller.scrollerMessage = kVinylScrollerMessage;
    scroller.scrollerX = kFrameWidthF;
    scroller.scrollerY = 100.0f;
    scroller.scrollerActive = true;
    scroller.scrollerSpeed = -332.8f;
    scroller.scrollerText.setCharacterSize(128);
    scroller.scrollerAmplitude = 75.0f;
    scroller.scrollerShadow = false;

    s.spectrumRect = sf::FloatRect(0.0f, 0.0f, kFrameWidthF, kFrameHeightF);
    if (ElasticSprite* band = buildElasticSprite(s.spectrumBand, "spectrum", kFrameCentre)) {
        band->setCornerOffset(1, sf::Vector2f(0.0f, 2500.0f));
        band->setCornerOffset(0, sf::Vector2f(0.0f, -2500.0f));
    }

    s.vinylFrame = centredSprite("frame");
    s.vinylFrameSides = centredSprite("frame-sides");

    fadeFromBlack(2.0f / 3.0f);

    RecordChanger& r = s.recordChanger;
    r.labels.clear();
    for (const char* key : {"achtung-fulkod", "faceplant", "memoryleek", "oj", "spp"}) {
        r.labels.push_back(SpriteManager::get(key));
    }
    s.bigVinyl = centredSprite("big-vinyl");
    r.labelIndex = -1;
    r.angle = 45.0f;
    r.state = 0;
    r.labelLatch = false;
    r.stateTime = 0.0f;
    r.scale = 0.4f;
}

void burstStars() {
    if (ParticleSystem* stars = ParticleManager::get("vinyl_stars")) {
        for (int i = 0; i < 50; ++i) {
            stars->emitParticleAt(kCentreX, kCentreY);
        }
    }
}

} // namespace

void updateRecordChanger(float dt) {
    RecordChanger& r = demo.vinyl.recordChanger;
    r.angle += 45.0f * dt;
    if (r.scaleTween.active) {
        r.scaleTween.advance(dt);
        r.scale = r.scaleTween.value;
    }
    if (r.opacityTween.active) {
        r.opacityTween.advance(dt);
        r.opacity = r.opacityTween.value;
    }

    r.stateTime += dt;
    switch (r.state) {
    case 0:
        if (r.stateTime > 3.0f) {
            r.scaleTween.start(r.scale, 1.0f, 0.5f, Easing::BackIn, 0.0f);
            enterStep(r.state, r.stateTime, 1);
        }
        break;
    case 1:
        if (r.stateTime > 0.25f && !r.labelLatch) {
            r.labelIndex += 1;
            r.labelLatch = true;
            r.opacity = 0.0f;
            r.opacityTween.start(0.0f, 1.0f, 0.5f, Easing::CircIn, 0.0f);
        }
        if (r.stateTime > 0.5f) {
            burstStars();
            r.labelLatch = false;
            enterStep(r.state, r.stateTime, 2);
        }
        break;
    case 2:
        if (r.stateTime > 4.0f) {
            r.opacityTween.start(1.0f, 0.0f, 0.5f, Easing::CircIn, 0.0f);
            r.scaleTween.start(r.scale, 0.4f, 0.5f, Easing::BackIn, 0.0f);
            enterStep(r.state, r.stateTime, 0);
            if (!(r.labelIndex + 1 < static_cast<std::int32_t>(r.labels.size()))) {
                r.state = 3;
                r.labelIndex = -1;
            }
        }
        break;
    case 3:
        if (r.stateTime > 2.5f) {
            r.scaleTween.start(r.scale, 0.0f, 0.5f, Easing::BackIn, 0.0f);
            r.state = 4;
        }
        break;
    default:
        break;
    }
}

SceneId vinylScrollerScene(float dt) {
    VinylState& s = demo.vinyl;
    if (s.vinylFirstFrame) {
        setUp(s);
    }

    s.vinylSceneTime += dt;
    demo.rippleShader.setUniform("time", 2.0f * sinf64(s.vinylSceneTime) + 2.0f);

    if (s.vinylStep == 0 && s.vinylSceneTime > 43.0f) {
        fadeToBlack(1.0f / 3.0f);
        enterStep(s.vinylStep, s.vinylSceneTime, 1);
    } else if (s.vinylStep == 1 && s.vinylSceneTime > 3.5f) {
        s.vinylResult = Scene::Party;
    }

    demo.frameTarget.clear(sf::Color(32, 132, 141, 255));
    demo.frameOpaque = true;

    s.spectrumRect.left -= 800.0f * dt;
    if (s.spectrumBand) {
        s.spectrumBand->setTextureRect(s.spectrumRect);
        // The frame's opaque top and bottom rows and the frame sides' opaque columns replace
        // whatever the ripple draws under them: it draws only between them, and the band is
        // needed only where the ripple reads (workSpriteB lies unmoved on frameTarget here).
        sf::IntRect area = unhiddenArea(demo.frameTarget, s.vinylFrame);
        if (!area.intersects(unhiddenArea(demo.frameTarget, s.vinylFrameSides), area)) {
            area = sf::IntRect();
        }
        const sf::Vector2f reach = rippleReach();
        const sf::FloatRect read(static_cast<float>(area.left) - reach.x,
                                 static_cast<float>(area.top) - reach.y,
                                 static_cast<float>(area.width) + 2.0f * reach.x,
                                 static_cast<float>(area.height) + 2.0f * reach.y);
        {
            const DrawWithin within(demo.workTargetB, pixelArea(read, 2, demo.workTargetB));
            if (within.any()) {
                demo.workTargetB.draw(*s.spectrumBand);
            }
        }
        demo.workTargetB.display();
        const DrawWithin within(demo.frameTarget, area);
        if (within.any()) {
            demo.frameTarget.draw(demo.workSpriteB, shaded(demo.rippleShader));
        }
    }

    drawSparsePicture(demo.frameTarget, s.vinylFrame);

    updateRecordChanger(dt);
    RecordChanger& r = s.recordChanger;
    if (s.bigVinyl != nullptr) {
        s.bigVinyl->setRotation(r.angle);
        s.bigVinyl->setScale(r.scale, r.scale);
        demo.frameTarget.draw(*s.bigVinyl);
    }
    if (r.labelIndex >= 0 && r.labelIndex < static_cast<std::int32_t>(r.labels.size())) {
        if (sf::Sprite* label = r.labels[static_cast<std::size_t>(r.labelIndex)]) {
            label->setPosition(kFrameCentre);
            label->setRotation(r.angle);
            label->setScale(r.scale, r.scale);
            label->setColor(sf::Color(255, 255, 255, alphaByte(r.opacity)));
            demo.frameTarget.draw(*label);
        }
    }

    advanceScroller(dt);
    drawScroller(demo.frameTarget);
    drawSparsePicture(demo.frameTarget, s.vinylFrameSides);

    ParticleManager::update(dt);
    ParticleManager::draw();
    return s.vinylResult;
}
