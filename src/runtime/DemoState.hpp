#pragma once
// The one process-wide record of everything the show keeps while it runs.
#include "effects/SceneHelpers.hpp"
#include "runtime/Config.hpp"
#include "runtime/SceneId.hpp"
#include "scenes/FinaleScene.hpp"
#include "scenes/IntroScene.hpp"
#include "scenes/PartyScene.hpp"
#include "scenes/TitleScene.hpp"
#include "scenes/VinylScrollerScene.hpp"
#include "scenes/WallScrollerScene.hpp"

#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/Rect.hpp>
#include <SFML/Graphics/RenderTexture.hpp>
#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/Shader.hpp>
#include <SFML/Graphics/Sprite.hpp>

#include <cstdint>
#include <vector>

struct DemoState {
    bool running = true;
    SceneId sceneIndex = Scene::Intro;
    sf::RenderWindow* window = nullptr;

    sf::RenderTexture frameTarget;
    sf::Sprite frameSprite;
    // frameTarget is opaque throughout in this frame: an opaque backdrop or clear covered it,
    // and alpha blending keeps an opaque pixel opaque. The window then takes the frame without
    // blending, which gives the same pixels for less work.
    bool frameOpaque = false;
    sf::RenderTexture workTargetB;
    sf::Sprite workSpriteB;
    sf::RenderTexture workTargetC;
    sf::Sprite workSpriteC;

    sf::Sprite* fadeSprite = nullptr;
    float fadeLevel = 0.0f;
    float fadeSpeed = 0.0f;
    std::int32_t fadeMode = 0; // 0 idle, 1 fading to black, 2 fading from black

    float effectClock = 0.0f;

    sf::Shader glitchShader;
    sf::Shader rippleShader;
    sf::Shader tvstaticShader;
    sf::Shader blueprintPeephole;
    sf::Shader galaxyPeephole;
    sf::Shader vantiePeephole;

    sf::Font demoFont;
    Scroller scroller;
    std::vector<Sticker> stickers;
    sf::FloatRect wallRect;
    Config config;

    IntroState intro;
    TitleState title;
    WallScrollerState wallScroller;
    VinylState vinyl;
    PartyState party;
    FinaleState finale;
};

extern DemoState demo;
