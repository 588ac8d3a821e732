#pragma once
#include "effects/ElasticSprite.hpp"
#include "runtime/SceneId.hpp"

#include <SFML/Graphics/Sprite.hpp>

#include <cstdint>
#include <optional>

// The first scroller runs over the turned wall with a stream of stars and a sun fading in.
struct WallScrollerState {
    bool wallScrollerFirstFrame = true;
    std::int32_t wallScrollerStep = 0;
    float wallScrollerStepTime = 0.0f;
    std::optional<ElasticSprite>
        wallScrollerWall; // made by the first frame; none without its texture
    float wallScrollerSunOpacity = 0.0f;
    float wallScrollerSunAngle = 0.0f;
    sf::Sprite* wallScrollerSun = nullptr;
    SceneId wallScrollerResult = 1;
};

SceneId wallScrollerScene(float dt);

// The message of the first scroller.
extern const char* const kWallScrollerMessage;
