#pragma once
#include "effects/ElasticSprite.hpp"
#include "effects/SceneHelpers.hpp"
#include "runtime/SceneId.hpp"

#include <SFML/Graphics/Sprite.hpp>

#include <cstdint>
#include <optional>

// The party: the wall face-on, fourteen stickers (many through peephole shaders), a walking
// figure and a pulsing cross star.
struct PartyState {
    bool partyFirstFrame = true;
    std::int32_t partyStep = 0;
    float partyStepTime = 0.0f;
    std::optional<ElasticSprite> partyWall; // made by the first frame; none without its texture
    SceneObject bravoWalker;
    SceneObject crossStar;
    float crossStarPulse = 1.0f;
    float walkerSpeed = 0.0f;
    float crossStarSpeed = 0.0f;
    sf::Sprite* partyMask = nullptr;
};

SceneId partyScene(float dt);
