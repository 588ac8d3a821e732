#include "scenes/PartyScene.hpp"

#include "assets/SpriteManager.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/SparsePicture.hpp"
#include "runtime/DemoState.hpp"
#include "runtime/FrameLoop.hpp"
#include "scenes/SceneCommon.hpp"

namespace {

struct StickerRow {
    const char* key;
    float y, delay;
    float scale, rotation;
    float targetScale, targetRotation;
    bool drip, burst;
    Look look;
};

// All at x 350, from alpha 0 to 1. Each splat pops in under the sticker that follows it.
const StickerRow kStickers[] = {
    {"splat", 400, 3, 0.25f, -4, 1, 4, false, false, Look::Plain},
    {"charlie", 400, 3, 1.5f, 4, 1, -4, false, false, Look::Blueprint},
    {"splat", 720, 8, 0.25f, -4, 1, 4, false, false, Look::Plain},
    {"duck", 720, 8, 1.5f, 4, 1, -4, false, false, Look::Blueprint},
    {"splat", 500, 13, 0.25f, -4, 1, 4, false, false, Look::Plain},
    {"1202", 500, 13, 1.5f, 4, 1, -4, false, false, Look::Blueprint},
    {"bong", 800, 18, 0.75f, -4, 1, 1, false, true, Look::Blueprint},
    {"portrait", 500, 20.5f, 0.75f, -4, 1, 1, true, false, Look::Galaxy},
    {"charlie2000", 540, 23.5f, 0.25f, -12, 1, 0, false, true, Look::Galaxy},
    {"finger", 1080, 24.5f, 0.25f, -8, 1, 0, false, false, Look::Plain},
    {"ring", 1080, 25.5f, 1.5f, -8, 1, 0, false, false, Look::Plain},
    {"zib", 1080, 27.5f, 0.75f, 12, 1, 0, true, false, Look::Blueprint},
    {"vantie", 540, 31.5f, 1.25f, -12, 1, 6, true, false, Look::Vantie},
    {"tripple", 1080, 34.5f, 0.25f, 12, 0.8f, 0, false, false, Look::Plain},
};

void setUp(PartyState& s) {
    s.partyFirstFrame = false;
    s.partyMask = centredSprite("mask");
    fadeFromBlack(1.0f / 3.0f);
    pivotOnCentre(demo.frameSprite);
    clearStickers();
    demo.wallRect = sf::FloatRect(0.0f, 0.0f, 2048.0f, 2048.0f);
    for (const StickerRow& row : kStickers) {
        addSticker(SpriteManager::get(row.key), 350.0f, row.y, row.delay, 0.0f, row.scale,
                   row.rotation, 1.0f, row.targetScale, row.targetRotation, row.drip, row.burst,
                   shaderFor(row.look));
    }
    buildWall(s.partyWall);

    SceneObject& walker = s.bravoWalker;
    walker.frames.clear();
    for (const char* key : {"bravo-1", "bravo-2", "bravo-3", "bravo-4", "bravo-5", "bravo-6"}) {
        walker.frames.push_back(SpriteManager::get(key));
    }
    walker.animated = true;
    walker.frameTime = 0.14f;
    walker.frameTimer = 0.14f;
    walker.frameIndex = 0;
    walker.sprite = walker.frames.front();
    walker.x = -420.0f;
    walker.y = 640.0f;
    walker.alpha = 1.0f;
    walker.rotation = 0.0f;
    walker.scale = 1.0f;

    placeSceneObject(s.crossStar, "cross-star", -553.0f, 508.0f, 1.0f);
}

SceneId timeline(PartyState& s) {
    switch (s.partyStep) {
    case 0:
        if (s.partyStepTime >= 13.0f) {
            s.walkerSpeed = kDriftSpeed;
            s.crossStarSpeed = kDriftSpeed;
            enterStep(s.partyStep, s.partyStepTime, 1);
        }
        break;
    case 1:
        if (s.partyStepTime > 26.0f) {
            fadeToBlack(1.0f);
            enterStep(s.partyStep, s.partyStepTime, 2);
        }
        break;
    case 2:
        if (s.partyStepTime > 1.5f) {
            return Scene::Finale;
        }
        break;
    default:
        break;
    }
    return Scene::Party;
}

} // namespace

SceneId partyScene(float dt) {
    PartyState& s = demo.party;

    demo.effectClock += dt;
    swayFrame(demo.effectClock);

    const float t = s.partyStepTime;
    demo.blueprintPeephole.setUniform("xOffset", 0.125f * t);
    demo.blueprintPeephole.setUniform("yOffset", 0.25f * t);
    demo.galaxyPeephole.setUniform("yOffset", 0.125f * t);
    demo.vantiePeephole.setUniform("xOffset", -0.125f * t);
    demo.vantiePeephole.setUniform("yOffset", -0.25f * t);

    if (s.partyFirstFrame) {
        setUp(s);
    }

    s.partyStepTime += dt;
    const SceneId result = timeline(s);

    s.crossStarPulse =
        static_cast<float>(static_cast<double>(s.crossStarPulse) - 1.5 * static_cast<double>(dt));
    if (s.crossStarPulse < 0.75f) {
        s.crossStarPulse = 1.5f;
    }

    scrollWall(s.partyWall, dt);

    updateStickers(dt);
    drawStickers();

    s.bravoWalker.x += s.walkerSpeed * dt;
    updateSceneObject(s.bravoWalker, dt);
    drawSceneObject(s.bravoWalker, nullptr);

    updateSceneObject(s.crossStar, dt);
    s.crossStar.scale = s.crossStarPulse;
    s.crossStar.x += s.crossStarSpeed * dt;
    drawSceneObject(s.crossStar, nullptr);

    ParticleManager::update(dt);
    ParticleManager::draw();

    drawSparsePicture(demo.frameTarget, s.partyMask);
    return result;
}
