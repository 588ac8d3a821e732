#pragma once
#include "effects/Easing.hpp"
#include "runtime/SceneId.hpp"

#include <SFML/Graphics/Sprite.hpp>

#include <cstdint>

// The intro: the song starts, the record pops in over the turning sun, PRESENTS glitches with
// a burst of static and noise, the record shrinks away and the picture fades to black.
struct IntroState {
    bool introFirstFrame = true;
    SceneId introNextScene = -1;
    std::int32_t introStep = 0;
    float introStepTime = 0.0f;
    float introVinylAngle = 0.0f;
    float introSunAngle = 0.0f;
    float introVinylScale = 0.0f;
    Tween introVinylTween;
    bool introPresentsShown = false;
    float introNoiseTime = 0.0f;
    sf::Sprite* introVinyl = nullptr;
    sf::Sprite* introPresents = nullptr;
    sf::Sprite* introBlack = nullptr;
    sf::Sprite* introSun = nullptr;
};

SceneId introScene(float dt);
