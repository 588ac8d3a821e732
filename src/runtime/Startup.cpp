#include "runtime/Startup.hpp"

#include "assets/MusicManager.hpp"
#include "assets/SoundManager.hpp"
#include "assets/SpriteManager.hpp"
#include "assets/TextureManager.hpp"
#include "effects/ParticleManager.hpp"
#include "runtime/Config.hpp"
#include "runtime/DemoState.hpp"
#include "runtime/RenderTargets.hpp"
#include "runtime/WarmUp.hpp"

#include <algorithm>
#include <iostream>

namespace {
const char* const kFontFile = "assets/colored-crayons/colored-crayons.ttf";
}

void startUpWindow(sf::RenderWindow& window) {
    loadConfig();
    demo.window = &window;
    const sf::Uint32 style = demo.config.fullscreen ? sf::Style::Fullscreen : sf::Style::Default;
    window.create(sf::VideoMode(1920, 1080, 32), "Ain't zilchy but a (symbol) klomp", style,
                  sf::ContextSettings());
    if (!demo.config.fullscreen) {
        // SFML 2.5 on X11 centres a new window vertically by the screen's width, which puts a
        // 1920x1080 window 420 px down a 1920x1080 desktop: centre it on the desktop instead.
        const sf::VideoMode desktop = sf::VideoMode::getDesktopMode();
        const int x = std::max(0, (static_cast<int>(desktop.width) - 1920) / 2);
        const int y = std::max(0, (static_cast<int>(desktop.height) - 1080) / 2);
        window.setPosition(sf::Vector2i(x, y));
    }
    window.setVerticalSyncEnabled(demo.config.vsync);
    window.setActive(true);
    window.setMouseCursorVisible(false);

    window.clear(sf::Color(0, 0, 0, 255));
    window.display();

    createRenderTargets();
}

void startUpRegistries() {
    TextureManager::load("assets/textures.json");
    SpriteManager::load("assets/sprites.json");
    SoundManager::load("assets/sounds.json");
    MusicManager::load("assets/music.json");
    ParticleManager::load("assets/particles.json");

    demo.fadeSprite = SpriteManager::get("black");
    if (sf::Sprite* mask = SpriteManager::get("mask")) {
        mask->setPosition(960.0f, 540.0f);
    }
}

void startUpShadersAndFont() {
    loadShaders();

    if (!demo.demoFont.loadFromFile(kFontFile)) {
        std::cerr << "Unable to load fontfile " << kFontFile << std::endl;
    }

    Scroller& s = demo.scroller;
    s.scrollerText.setFont(demo.demoFont);
    s.scrollerText.setCharacterSize(256);
    s.scrollerX = 1920.0f;
    s.scrollerY = 400.0f;
    s.scrollerPhase = 0.0f;
    s.scrollerFill = sf::Color(255, 255, 255, 255);
    s.scrollerOutline = sf::Color(0, 0, 0, 255);
    s.scrollerShadow = true;
    s.scrollerAmplitude = 190.0f;
    s.scrollerText.setOutlineThickness(12.0f);

    // Drawing every letter once makes the font build its glyphs (size 256, outline 12) now
    // rather than in the middle of the show. The frame loop's first clear removes it.
    // The later scrollers run at size 128 and one message has full stops: build those glyphs
    // too, so that no scene's first frame stalls on rasterising letters.
    s.scrollerText.setString("ABCDEFGHIJKLMNOPQRSTUVWXYZ .");
    s.scrollerText.setCharacterSize(128);
    demo.window->draw(s.scrollerText);
    s.scrollerText.setCharacterSize(256);
    s.scrollerText.setString("ABCDEFGHIJKLMNOPQRSTUVWXYZ ");
    demo.window->draw(s.scrollerText);

    // Stickers are added during the show; room for every set keeps that from reallocating.
    demo.stickers.reserve(32);
}

void startUp(sf::RenderWindow& window) {
    startUpWindow(window);
    startUpRegistries();
    startUpShadersAndFont();
    prepareDrawing();
}
