#include "scenes/FinaleScene.hpp"

#include "assets/SpriteManager.hpp"
#include "effects/SceneHelpers.hpp"
#include "runtime/Colour.hpp"
#include "runtime/DemoState.hpp"
#include "runtime/Frame.hpp"
#include "runtime/FrameLoop.hpp"
#include "runtime/RenderTargets.hpp"
#include "scenes/SceneCommon.hpp"

#include <algorithm>

const char* const kFinaleMessage = "THANKS FOR  WATCHING  KLOMP           "
                                   "MADE  WITH  LOVE  AND  TOO MUCH  COFFEE          "
                                   "SEE  YOU  AT  THE  PARTY";

namespace {

void setUp(FinaleState& s) {
    s.finaleFirstFrame = false;
    fadeFromBlack(1.0f);
    unswaySprite(demo.frameSprite);
    unswaySprite(demo.workSpriteB);
    centredSprite("sun");
    s.logoRect = sf::FloatRect(0.0f, 0.0f, 812.0f, 636.0f);
    buildElasticSprite(s.finaleLogo, "krv-white", sf::Vector2f(406.0f, 318.0f));

    clearStickers();
    const char* const credits[3] = {"c_alpha", "c_bravo", "c_charlie"};
    const float delays[3] = {6.0f, 9.0f, 12.0f};
    for (int i = 0; i < 3; ++i) {
        addSticker(SpriteManager::get(credits[i]), -800.0f, 630.0f, delays[i], 0.0f, 1.25f, 0.0f,
                   1.0f, 1.0f, 0.0f, false, false, &demo.blueprintPeephole);
    }

    Scroller& scroller = demo.scroller;
    scroller.scrollerMessage = kFinaleMessage;
    scroller.scrollerX = kFrameWidthF;
    scroller.scrollerY = 150.0f;
    scroller.scrollerActive = true;
    scroller.scrollerShadow = false;
    scroller.scrollerSpeed = -704.0f;
}

} // namespace

SceneId finaleScene(float dt) {
    FinaleState& s = demo.finale;
    SceneId result = Scene::Finale;
    s.finaleSunAngle += 90.0f * dt;

    demo.blueprintPeephole.setUniform("xOffset", 0.125f * s.finaleTime);
    demo.blueprintPeephole.setUniform("yOffset", 0.25f * s.finaleTime);

    if (s.finaleFirstFrame) {
        setUp(s);
    }

    const float sw = sinf64(3.0f * s.finaleTime);
    const float cw = cosf64(3.0f * s.finaleTime);
    const sf::Vector2f corners[4] = {
        {200.0f * sw - 200.0f, 50.0f * cw - 50.0f},
        {200.0f * cw - 200.0f, 50.0f * sw + 50.0f},
        {200.0f * sw + 200.0f, 50.0f * cw + 50.0f},
        {200.0f * cw + 200.0f, 50.0f * sw - 50.0f},
    };

    s.finaleTime += dt;
    if (s.finaleStep == 0) {
        if (s.finaleTime > 7.0f && !s.finaleSunShown) {
            s.finaleSunShown = true;
            s.finaleSunTween.start(0.0f, 1.0f, 1.5f, Easing::SineOut, 0.0f);
        }
        if (s.finaleTime > 22.0f) {
            fadeToBlack(0.2f);
            enterStep(s.finaleStep, s.finaleTime, 1);
        }
    } else if (s.finaleStep == 1 && s.finaleTime > 8.5f) {
        result = Scene::Quit;
    }

    if (s.finaleSunShown) {
        s.finaleSunTween.advance(dt);
        if (sf::Sprite* sun = SpriteManager::get("sun")) {
            sun->setColor(sf::Color(255, 255, 255, alphaByte(s.finaleSunTween.value)));
            sun->setRotation(s.finaleSunAngle);
            demo.frameTarget.draw(*sun);
        }
    }

    sf::FloatRect logoArea;
    if (s.finaleLogo) {
        ElasticSprite& logo = *s.finaleLogo;
        logo.setRotation(60.0f * sinf64(2.0f * s.finaleTime));
        logo.setScale(0.75f, 0.75f);
        for (unsigned int i = 0; i < 4; ++i) {
            logo.setCornerOffset(i, corners[i]);
        }
        logo.setTextureRect(s.logoRect);
        demo.workTargetB.draw(logo);
        // After the draw the corners are where they landed in workTargetB.
        const auto& landed = logo.getVertices();
        float left = landed[0].position.x;
        float top = landed[0].position.y;
        float right = left;
        float bottom = top;
        for (const sf::Vertex& corner : landed) {
            left = std::min(left, corner.position.x);
            top = std::min(top, corner.position.y);
            right = std::max(right, corner.position.x);
            bottom = std::max(bottom, corner.position.y);
        }
        logoArea = sf::FloatRect(left, top, right - left, bottom - top);
    }
    demo.workTargetB.display();

    advanceScroller(dt);
    drawScroller(demo.frameTarget);

    // The logo is all there is in workTargetB; the peephole reads only the texel under the
    // pixel it draws.
    drawPassOver(demo.frameTarget, demo.workSpriteB, demo.blueprintPeephole, logoArea, 0.0f);

    updateStickers(dt);
    drawStickers();
    return result;
}
