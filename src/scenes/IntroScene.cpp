#include "scenes/IntroScene.hpp"

#include "assets/MusicManager.hpp"
#include "assets/SoundManager.hpp"
#include "assets/SpriteManager.hpp"
#include "effects/SparsePicture.hpp"
#include "runtime/DemoState.hpp"
#include "runtime/FrameLoop.hpp"
#include "runtime/RenderTargets.hpp"
#include "scenes/SceneCommon.hpp"

SceneId introScene(float dt) {
    IntroState& s = demo.intro;

    const float clock = demo.effectClock;
    const float glitchAmount = 70.0f * sinf64(2.0f * clock) + 58.0f;
    demo.glitchShader.setUniform("glitchAmount", glitchAmount);
    demo.tvstaticShader.setUniform("time", clock);

    s.introStepTime += dt;
    s.introVinylAngle += 45.0f * dt;
    demo.effectClock += dt;

    if (s.introFirstFrame) {
        MusicManager::play("klomp", false, 0.0);
        fadeFromBlack(1.0f / 3.0f);
        s.introFirstFrame = false;
        s.introVinyl = centredSprite("vinyl");
        s.introPresents = centredSprite("presents");
        s.introBlack = SpriteManager::get("black");
        s.introSun = centredSprite("sun");
    }

    switch (s.introStep) {
    case 0:
        if (s.introStepTime > 1.5f) {
            s.introVinylTween.start(0.0f, 1.0f, 1.5f, Easing::BackOut, 0.0f);
            enterStep(s.introStep, s.introStepTime, 1);
        }
        break;
    case 1:
        if (s.introStepTime > 6.0f) {
            s.introNoiseTime = 0.75f;
            s.introPresentsShown = true;
            SoundManager::play("noise");
            s.introVinylTween.start(1.0f, 0.0f, 1.5f, Easing::BackIn, 9.0f);
            enterStep(s.introStep, s.introStepTime, 2);
        }
        break;
    case 2:
        if (s.introStepTime > 8.5f) {
            fadeToBlack(1.0f / 3.0f);
            enterStep(s.introStep, s.introStepTime, 3);
        }
        break;
    case 3:
        if (s.introStepTime > 4.0f) {
            s.introNextScene = Scene::Title;
        }
        break;
    default:
        break;
    }

    s.introSunAngle -= 45.0f * dt;

    demo.frameOpaque = drawBackdrop(demo.frameTarget, s.introBlack);
    if (s.introSun != nullptr) {
        s.introSun->setRotation(s.introSunAngle);
        demo.frameTarget.draw(*s.introSun);
    }

    if (s.introVinylTween.active) {
        s.introVinylTween.advance(dt);
        s.introVinylScale = s.introVinylTween.value;
    }
    if (s.introVinyl != nullptr) {
        s.introVinyl->setScale(s.introVinylScale, s.introVinylScale);
        s.introVinyl->setRotation(s.introVinylAngle);
        demo.frameTarget.draw(*s.introVinyl);
    }

    if (s.introPresentsShown) {
        drawIfPresent(demo.workTargetB, s.introPresents);
        demo.workTargetB.display();
        // PRESENTS is all there is in workTargetB.
        const sf::FloatRect content =
            s.introPresents != nullptr ? s.introPresents->getGlobalBounds() : sf::FloatRect();
        drawPassOver(demo.frameTarget, demo.workSpriteB, demo.glitchShader, content,
                     glitchReach(glitchAmount));
    }

    if (s.introNoiseTime > 0.0f) {
        s.introNoiseTime -= dt;
        if (s.introNoiseTime <= 0.0f) {
            SoundManager::stop("noise");
        } else {
            demo.frameTarget.display();
            demo.workTargetC.draw(demo.frameSprite, shaded(demo.tvstaticShader));
            demo.workTargetC.display();
            demo.frameTarget.draw(demo.workSpriteC);
        }
    }

    return s.introNextScene;
}
