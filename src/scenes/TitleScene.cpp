#include "scenes/TitleScene.hpp"

#include "assets/SpriteManager.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/SparsePicture.hpp"
#include "runtime/Colour.hpp"
#include "runtime/DemoState.hpp"
#include "runtime/FrameLoop.hpp"
#include "runtime/RenderTargets.hpp"
#include "scenes/SceneCommon.hpp"

namespace {

struct StickerRow {
    const char* key;
    float x, y, delay;
    float alpha, scale, rotation;
    float targetAlpha, targetScale, targetRotation;
    bool drip, burst;
    Look look;
};

// The stickers that pop in after the words have gone, in the order they are added.
const StickerRow kStickers[] = {
    {"luigi", 760, 540, 0, 0, 0.75f, -20, 1, 1, 4, true, false, Look::Plain},
    {"sorter", 100, 340, 1.5f, 0, 0.75f, -20, 1, 1, 4, true, false, Look::Plain},
    {"star", 239, 557, 2.25f, 0, 0.45f, -20, 1, 1, -4, false, true, Look::Plain},
    {"star", 239, 357, 3.25f, 0, 0.45f, -20, 1, 1, 2, false, true, Look::Ripple},
    {"star", 239, 268, 4.25f, 0, 0.45f, -20, 1, 1, 8, false, true, Look::Plain},
    {"whoopsie", 0, 823, 6.25f, 0, 0.75f, 0, 1, 1, 4, false, false, Look::Plain},
    {"drinks", 730, 769, 6.75f, 0, 0.1f, -20, 1, 1, 8, false, false, Look::Glitch},
    {"movie_idol", 255, 536, 9.5f, 0, 0.75f, 20, 1, 1, -4, true, false, Look::Plain},
    {"heart", 139, 557, 10.25f, 0, 0.45f, -20, 1, 1, -4, false, false, Look::Plain},
    {"gun", 139, 268, 11.25f, 0, 0.45f, -20, 1, 1, 8, false, false, Look::Plain},
    {"prisonbreak", 0, 804, 13.5f, 0, 0.45f, -20, 1, 1, 0, false, false, Look::Plain},
    {"fist", 120, 468, 15, 0, 0.45f, -20, 1, 1, 8, false, true, Look::Plain},
    {"fist", 120, 468, 16, 0, 0.45f, -20, 1, 1, 8, false, true, Look::Plain},
    {"fist", 120, 468, 17, 0, 0.45f, -20, 1, 1, 8, false, true, Look::Plain},
};

const float kWordDelays[6] = {1.0f, 1.5f, 2.0f, 2.5f, 3.0f, 3.5f};

// The six words in title order, which is also the order of their delays.
SceneObject TitleState::*const kWords[6] = {&TitleState::aint,   &TitleState::zilchy,
                                            &TitleState::but,    &TitleState::a,
                                            &TitleState::symbol, &TitleState::klomp};

void setUp(TitleState& s) {
    fadeFromBlack(4.0f);
    s.titleFirstFrame = false;
    demo.wallRect = sf::FloatRect(0.0f, 0.0f, 2048.0f, 2048.0f);
    pivotOnCentre(demo.frameSprite);

    placeSceneObject(s.stencilart, "stencilart", 960.0f, 1080.0f, 1.0f);
    placeSceneObject(s.bomb, "bomb", 960.0f, -160.0f, 1.0f);
    placeSceneObject(s.aint, "aint", 383.0f, 343.0f, 0.0f);
    placeSceneObject(s.zilchy, "zilchy", 934.0f, 343.0f, 0.0f);
    placeSceneObject(s.but, "but", 1482.0f, 343.0f, 0.0f);
    placeSceneObject(s.a, "a", 393.0f, 602.0f, 0.0f);
    placeSceneObject(s.symbol, "symbol", 680.0f, 590.0f, 0.0f);
    placeSceneObject(s.klomp, "klomp", 1227.0f, 602.0f, 0.0f);

    if (ElasticSprite* wall = buildWall(s.titleWall)) {
        wall->setCornerOffset(2, sf::Vector2f(0.0f, 2500.0f));
        wall->setCornerOffset(3, sf::Vector2f(0.0f, -2500.0f));
    }
}

void addTitleStickers() {
    for (const StickerRow& row : kStickers) {
        addSticker(SpriteManager::get(row.key), row.x, row.y, row.delay, row.alpha, row.scale,
                   row.rotation, row.targetAlpha, row.targetScale, row.targetRotation, row.drip,
                   row.burst, shaderFor(row.look));
    }
}

// Examines the rules of the current step once; returns the scene's result.
SceneId timeline(TitleState& s, float dt) {
    switch (s.titleStep) {
    case -1:
        if (s.titleStepTime >= 1.5f) {
            for (int i = 0; i < 6; ++i) {
                dropIn(s.*kWords[i], kWordDelays[i]);
            }
            enterStep(s.titleStep, s.titleStepTime, 0);
        }
        break;
    case 0:
        if (!s.dripShown && s.titleStepTime > 4.5f) {
            s.dripShown = true;
            s.dripYTween.start(590.0f, 780.0f, 1.2f, Easing::SineOut, 0.0f);
        }
        if (s.titleStepTime > 8.0f) {
            for (int i = 0; i < 6; ++i) {
                spinAway(s.*kWords[i], kWordDelays[i]);
            }
            s.wallBottomTween.start(2500.0f, 0.0f, 5.0f, Easing::BackOut, 0.0f);
            s.wallTopTween.start(-2500.0f, 0.0f, 5.0f, Easing::BackOut, 0.0f);
            enterStep(s.titleStep, s.titleStepTime, 1);
        }
        break;
    case 1:
        if (!s.dripFadeStarted && s.titleStepTime > 2.0f) {
            s.dripFadeStarted = true;
            s.dripAlphaTween.start(1.0f, 0.0f, 1.0f, Easing::SineOut, 0.0f);
        }
        if (s.titleStepTime > 5.0f) {
            s.dripShown = false;
            addTitleStickers();
            enterStep(s.titleStep, s.titleStepTime, 2);
        }
        break;
    case 2:
        if (!s.bombFalling && s.titleStepTime > 3.0f) {
            s.bombFalling = true;
            s.bomb.yTween.start(s.bomb.y, 920.0f, 1.25f, Easing::BounceOut, 0.0f);
        }
        if (!s.stencilartLeaving && s.titleStepTime > 10.0f) {
            s.stencilartLeaving = true;
            s.stencilart.xTween.start(s.stencilart.x, 1400.0f, 3.0f, Easing::Linear, 0.0f);
            s.stencilart.yTween.start(s.stencilart.y, -715.0f, 3.0f, Easing::Linear, 0.0f);
            s.stencilart.rotationTween.start(s.stencilart.rotation, -90.0f, 2.0f, Easing::BackIn,
                                             1.25f);
        }
        if (static_cast<double>(s.titleStepTime) > 13.5) {
            s.sunShown = true;
            enterStep(s.titleStep, s.titleStepTime, 3);
        }
        break;
    case 3:
        if (static_cast<double>(s.titleStepTime) > 2.8) {
            enterStep(s.titleStep, s.titleStepTime, 4);
        }
        break;
    case 4:
        s.sunFade -= dt;
        if (s.sunFade <= 0.0f) {
            s.jetFlying = true;
            s.jetEmitTimer = 0.032f;
            s.wallBottomTween.start(0.0f, 2500.0f, 5.0f, Easing::SineOut, 0.0f);
            s.wallTopTween.start(0.0f, -2500.0f, 5.0f, Easing::SineOut, 0.0f);
            enterStep(s.titleStep, s.titleStepTime, 5);
        }
        break;
    case 5:
        if (s.titleStepTime > 4.0f) {
            return Scene::WallScroller;
        }
        break;
    default:
        break;
    }
    return Scene::Title;
}

// The wall tweens show their value before their clock moves, so a swing shows its start
// offsets in the frame it begins.
void swingWall(TitleState& s, float dt) {
    if (!s.wallBottomTween.active) {
        return;
    }
    s.wallBottomTween.evaluate();
    s.wallTopTween.evaluate();
    if (s.titleWall) {
        s.titleWall->setCornerOffset(2, sf::Vector2f(0.0f, s.wallBottomTween.value));
        s.titleWall->setCornerOffset(3, sf::Vector2f(0.0f, s.wallTopTween.value));
    }
    s.wallBottomTween.advanceTime(dt);
    s.wallTopTween.advanceTime(dt);
}

void drawDrip(TitleState& s, float dt) {
    if (s.dripYTween.active) {
        s.dripYTween.advance(dt);
        s.dripY = s.dripYTween.value;
    }
    if (s.dripAlphaTween.active) {
        s.dripAlphaTween.advance(dt);
        s.dripAlpha = s.dripAlphaTween.value < 0.0f ? 0.0f : s.dripAlphaTween.value;
    }
    if (sf::Sprite* drip = SpriteManager::get("black-drop")) {
        drip->setColor(sf::Color(255, 255, 255, alphaByte(s.dripAlpha)));
        drip->setPosition(650.0f, s.dripY);
        demo.frameTarget.draw(*drip);
    }
}

void drawSun(TitleState& s) {
    sf::Sprite* sun = SpriteManager::get("sun");
    sf::Sprite* rider = SpriteManager::get("prisonbreak");
    if (sun == nullptr || rider == nullptr) {
        return;
    }
    sun->setPosition(rider->getPosition());
    sun->setRotation(s.sunAngle);
    sun->setColor(sf::Color(255, 255, 255, alphaByte(s.sunFade < 0.0f ? 0.0f : s.sunFade)));
    demo.frameTarget.draw(*sun);
}

void flyJet(TitleState& s, float dt) {
    s.jetX += 896.0f * dt;
    s.jetEmitTimer -= dt;
    if (s.jetEmitTimer <= 0.0f) {
        s.jetEmitTimer = 0.032f;
        if (ParticleSystem* stars = ParticleManager::get("star_particles")) {
            stars->emitParticleAt(s.jetX - 200.0f, 400.0f);
        }
    }
    if (sf::Sprite* jet = SpriteManager::get("jas39")) {
        jet->setPosition(s.jetX, 400.0f);
        demo.frameTarget.draw(*jet, shaded(demo.glitchShader));
    }
}

} // namespace

void dropIn(SceneObject& object, float delay) {
    object.yTween.start(-400.0f, object.y, 1.25f, Easing::BounceOut, delay);
    object.y = -400.0f;
    object.alphaTween.start(object.alpha, 1.0f, 1.0f, Easing::SineOut, delay);
}

void spinAway(SceneObject& object, float delay) {
    object.alphaTween.start(object.alpha, 0.0f, 1.25f, Easing::SineOut, delay);
    object.scaleTween.start(object.scale, 0.0f, 1.25f, Easing::BackIn, delay);
    object.rotationTween.start(object.rotation, 45.0f, 1.25f, Easing::BackIn, delay);
}

SceneId titleScene(float dt) {
    TitleState& s = demo.title;

    demo.effectClock += dt;
    const float c = demo.effectClock;
    swayFrame(c);
    demo.glitchShader.setUniform("glitchAmount", wallGlitchAmount(c));
    demo.rippleShader.setUniform("time", 2.0f * sinf64(c) + 2.0f);

    if (s.titleFirstFrame) {
        setUp(s);
    }

    s.titleStepTime += dt;
    const SceneId result = timeline(s, dt);

    swingWall(s, dt);
    for (SceneObject* object :
         {&s.aint, &s.zilchy, &s.but, &s.a, &s.symbol, &s.klomp, &s.stencilart, &s.bomb}) {
        updateSceneObject(*object, dt);
    }
    if (s.bombFalling) {
        s.bomb.x += kDriftSpeed * dt;
    }

    demo.frameOpaque = drawBackdrop(demo.frameTarget, SpriteManager::get("white"));
    scrollWall(s.titleWall, dt);

    for (SceneObject* word : {&s.aint, &s.zilchy, &s.but, &s.a}) {
        drawSceneObject(*word, nullptr);
    }
    if (s.dripShown) {
        drawDrip(s, dt);
    }
    if (s.titleStep != -1) {
        drawSceneObject(s.symbol, &demo.glitchShader);
    }
    drawSceneObject(s.klomp, nullptr);

    updateStickers(dt);
    drawStickers();

    s.sunAngle += 90.0f * dt;
    if (s.sunShown) {
        drawSun(s);
    }
    drawSceneObject(s.stencilart, nullptr);
    drawSceneObject(s.bomb, nullptr);

    ParticleManager::update(dt);
    ParticleManager::draw();

    if (s.jetFlying) {
        flyJet(s, dt);
    }
    drawSparsePicture(demo.frameTarget, SpriteManager::get("mask"));
    return result;
}
