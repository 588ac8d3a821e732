#pragma once
#include "effects/Easing.hpp"
#include "effects/ElasticSprite.hpp"
#include "runtime/SceneId.hpp"

#include <SFML/Graphics/Rect.hpp>

#include <cstdint>
#include <optional>

// The finale: the swirling logo through the blueprint peephole, the closing scroller, the
// credit stickers and the sun, then the last fade and the end of the show.
struct FinaleState {
    bool finaleFirstFrame = true;
    std::int32_t finaleStep = 0;
    float finaleTime = 0.0f;
    float finaleSunAngle = 0.0f;
    bool finaleSunShown = false;
    Tween finaleSunTween;
    std::optional<ElasticSprite> finaleLogo; // made by the first frame; none without its texture
    sf::FloatRect logoRect;
};

SceneId finaleScene(float dt);

extern const char* const kFinaleMessage;
