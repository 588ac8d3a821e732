#include "runtime/Startup.hpp"

#include "assets/Definitions.hpp"
#include "assets/MusicManager.hpp"
#include "assets/SoundManager.hpp"
#include "assets/SpriteManager.hpp"
#include "assets/TextureManager.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/ShowRandom.hpp"
#include "effects/SparsePicture.hpp"
#include "runtime/Config.hpp"
#include "runtime/DemoState.hpp"
#include "runtime/Frame.hpp"
#include "runtime/RenderTargets.hpp"
#include "runtime/WarmUp.hpp"
#include "scenes/SceneCommon.hpp"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>

void startUpWindow(sf::RenderWindow& window) {
    loadConfig();
    demo.window = &window;
    const sf::Uint32 style = demo.config.fullscreen ? sf::Style::Fullscreen : sf::Style::Default;
    window.create(sf::VideoMode(kFrameWidth, kFrameHeight, 32), kShowTitle, style,
                  sf::ContextSettings());
    if (!demo.config.fullscreen) {
        // SFML 2.5 on X11 centres a new window vertically by the screen's width, which puts a
        // 1920x1080 window 420 px down a 1920x1080 desktop: centre it on the desktop instead.
        const sf::VideoMode desktop = sf::VideoMode::getDesktopMode();
        const int x =
            std::max(0, (static_cast<int>(desktop.width) - static_cast<int>(kFrameWidth)) / 2);
        const int y =
            std::max(0, (static_cast<int>(desktop.height) - static_cast<int>(kFrameHeight)) / 2);
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
    TextureManager::watchLoads(&prepareSparsePictureOnLoad);
    TextureManager::load("assets/textures.json");
    TextureManager::watchLoads(nullptr);
    SpriteManager::load("assets/sprites.json");
    SoundManager::load("assets/sounds.json");
    MusicManager::load("assets/music.json");
    ParticleManager::load("assets/particles.json");

    demo.fadeSprite = SpriteManager::get("black");
    centredSprite("mask");
}

void startUpShadersAndFont() {
    loadShaders();

    const bool fontLoaded = !isSpecialFile(kFontFile) && loadWithoutThrowing([] {
        return demo.demoFont.loadFromFile(kFontFile);
    });
    if (!fontLoaded) {
        std::cerr << "Unable to load fontfile " << kFontFile << std::endl;
    }

    Scroller& s = demo.scroller;
    s.scrollerText.setFont(demo.demoFont);
    s.scrollerText.setCharacterSize(256);
    s.scrollerX = kFrameWidthF;
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
    s.scrollerText.setString(std::string(kScrollerLetters) + ".");
    s.scrollerText.setCharacterSize(128);
    demo.window->draw(s.scrollerText);
    s.scrollerText.setCharacterSize(256);
    s.scrollerText.setString(kScrollerLetters);
    demo.window->draw(s.scrollerText);
    // A font cut short loads without complaint and then has no letters, so that every scroller
    // would draw nothing: the glyph just built tells.
    if (fontLoaded && !(demo.demoFont.getGlyph(U'A', 256, false, 12.0f).bounds.width > 0.0f)) {
        std::cerr << "Unable to load fontfile " << kFontFile << " (its letters cannot be read)"
                  << std::endl;
    }

    // Stickers are added during the show; room for every set keeps that from reallocating.
    demo.stickers.reserve(32);
}

void tearDownShow() {
    // The prepared pictures are known by their textures, which go now.
    forgetSparsePictures();
    // Particle systems point at sprites and sprites at textures: release in that order.
    ParticleManager::clear();
    SpriteManager::clear();
    TextureManager::clear();
    SoundManager::clear();
    MusicManager::clear();

    demo.running = true;
    demo.sceneIndex = Scene::Intro;
    demo.fadeSprite = nullptr;
    demo.frameOpaque = false;
    demo.fadeLevel = 0.0f;
    demo.fadeSpeed = 0.0f;
    demo.fadeMode = 0;
    demo.effectClock = 0.0f;
    demo.scroller = Scroller{};
    demo.stickers.clear();
    demo.wallRect = sf::FloatRect();
    demo.intro = IntroState{};
    demo.title = TitleState{};
    demo.wallScroller = WallScrollerState{};
    demo.vinyl = VinylState{};
    demo.party = PartyState{};
    demo.finale = FinaleState{};
    // The particles' random sequence starts again where a new process starts it.
    seedShowRandom(1);
}

void startUp(sf::RenderWindow& window) {
    startUpWindow(window);
    startUpRegistries();
    startUpShadersAndFont();
    prepareDrawing();
}
