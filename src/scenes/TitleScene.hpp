#pragma once
#include "effects/Easing.hpp"
#include "effects/ElasticSprite.hpp"
#include "effects/SceneHelpers.hpp"
#include "runtime/SceneId.hpp"

#include <cstdint>
#include <optional>

// The title: six words bounce onto the page in front of the scrolling wall and spin away, the
// wall swings flat, stickers pop in, a bomb drops, the stencil cut-out leaves, the sun rides a
// sticker and a jet crosses trailing stars.
struct TitleState {
    bool titleFirstFrame = true;
    std::int32_t titleStep = -1;
    float titleStepTime = 0.0f;
    std::optional<ElasticSprite> titleWall; // made by the scene's first frame
    Tween wallBottomTween;
    Tween wallTopTween;
    SceneObject aint, zilchy, but, a, symbol, klomp;
    SceneObject stencilart;
    SceneObject bomb;
    Tween dripYTween;
    Tween dripAlphaTween;
    bool dripShown = false;
    bool dripFadeStarted = false;
    float dripY = 590.0f;
    float dripAlpha = 1.0f;
    bool bombFalling = false;
    bool stencilartLeaving = false;
    bool sunShown = false;
    float sunAngle = 0.0f;
    float sunFade = 1.0f;
    bool jetFlying = false;
    float jetX = -506.0f;
    float jetEmitTimer = 0.0f;
};

SceneId titleScene(float dt);
// Drops the object in from above the screen with a bounce, fading it in.
void dropIn(SceneObject& object, float delay);
// Fades, shrinks and turns the object away.
void spinAway(SceneObject& object, float delay);
