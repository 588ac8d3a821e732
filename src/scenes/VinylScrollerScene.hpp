#pragma once
#include "effects/Easing.hpp"
#include "effects/ElasticSprite.hpp"
#include "runtime/SceneId.hpp"

#include <SFML/Graphics/Rect.hpp>
#include <SFML/Graphics/Sprite.hpp>

#include <cstdint>
#include <optional>
#include <vector>

// The record in the middle of the vinyl scene: it waits small, springs up with the next label
// and a star burst, shows the label, and shrinks back; after the last label it leaves.
struct RecordChanger {
    std::vector<sf::Sprite*> labels;
    std::int32_t labelIndex = -1;
    float angle = 45.0f;
    Tween scaleTween;
    float scale = 0.4f;
    Tween opacityTween;
    float opacity = 0.0f;
    std::int32_t state = 0; // 0 waiting small, 1 growing, 2 showing, 3 ending, 4 done
    float stateTime = 0.0f;
    bool labelLatch = false;
};

struct VinylState {
    bool vinylFirstFrame = true;
    float vinylSceneTime = 0.0f;
    std::int32_t vinylStep = 0;
    SceneId vinylResult = 2;
    std::optional<ElasticSprite> spectrumBand; // made by the first frame; none without its texture
    sf::FloatRect spectrumRect;
    sf::Sprite* vinylFrame = nullptr;
    sf::Sprite* vinylFrameSides = nullptr;
    sf::Sprite* bigVinyl = nullptr;
    RecordChanger recordChanger;
};

SceneId vinylScrollerScene(float dt);
void updateRecordChanger(float dt);

extern const char* const kVinylScrollerMessage;
