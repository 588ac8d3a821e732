#include "runtime/FrameLoop.hpp"

#include "runtime/Colour.hpp"
#include "runtime/DemoState.hpp"
#include "runtime/DrawingClip.hpp"
#include "runtime/Frame.hpp"
#include "runtime/SceneTable.hpp"

#include <SFML/Graphics/RectangleShape.hpp>
#include <SFML/System/Clock.hpp>
#include <SFML/Window/Event.hpp>
#include <SFML/Window/Keyboard.hpp>

void fadeToBlack(float speed) {
    demo.fadeLevel = 0.0f;
    demo.fadeMode = 1;
    demo.fadeSpeed = speed;
}

void fadeFromBlack(float speed) {
    demo.fadeLevel = 1.0f;
    demo.fadeMode = 2;
    demo.fadeSpeed = speed;
}

namespace {

void stepFade(float dt) {
    if (demo.fadeMode == 1) {
        demo.fadeLevel += dt * demo.fadeSpeed;
        if (demo.fadeLevel >= 1.0f) {
            demo.fadeLevel = 1.0f;
            demo.fadeMode = 0;
        }
    } else if (demo.fadeMode == 2) {
        demo.fadeLevel -= dt * demo.fadeSpeed;
        if (demo.fadeLevel <= 0.0f) {
            demo.fadeLevel = 0.0f;
            demo.fadeMode = 0;
        }
    }
}

SceneId callScene(SceneId index, float dt) {
    const SceneEntry* scene = sceneEntry(index);
    return scene != nullptr ? scene->frame(dt) : Scene::Quit;
}

// Lays the fade over the window. Without the `black` sprite a plain black rectangle darkens
// the frame instead.
// An overlay of alpha 0 leaves every pixel as it is under alpha blending, so it is not drawn:
// that saves a full-screen pass in every frame without a fade.
void drawFadeOverlay(sf::RenderWindow& window) {
    const sf::Uint8 alpha = alphaByte(demo.fadeLevel);
    if (alpha == 0) {
        return;
    }
    if (demo.fadeSprite != nullptr) {
        sf::Sprite& overlay = *demo.fadeSprite;
        const sf::Uint8 remembered = overlay.getColor().a;
        overlay.setColor(sf::Color(255, 255, 255, alpha));
        window.draw(overlay);
        overlay.setColor(sf::Color(255, 255, 255, remembered));
        return;
    }
    static sf::RectangleShape fallback(sf::Vector2f(kFrameWidthF, kFrameHeightF));
    fallback.setFillColor(sf::Color(0, 0, 0, alpha));
    window.draw(fallback);
}

} // namespace

void readShowInput() {
    if (sf::Keyboard::isKeyPressed(sf::Keyboard::Escape)) {
        demo.running = false;
    }
    sf::Event event;
    while (demo.window->pollEvent(event)) {
        if (event.type == sf::Event::Closed) {
            demo.running = false;
        }
    }
}

void drawFrame(float dt) {
    sf::RenderWindow& window = *demo.window;
    stepFade(dt);

    // A frame drawn clipped to one pixel (a tool's unseen frame) is never looked at, and every
    // frame drawn in full clears all four first: its clears would only cost the renderer's
    // switches between the targets.
    if (!drawingClipped()) {
        const sf::Color transparent(0, 0, 0, 0);
        window.clear(transparent);
        demo.frameTarget.clear(transparent);
        demo.workTargetB.clear(transparent);
        demo.workTargetC.clear(transparent);
    }
    demo.frameOpaque = false;

    if (demo.sceneIndex >= Scene::Intro && demo.sceneIndex < Scene::Quit) {
        demo.sceneIndex = callScene(demo.sceneIndex, dt);
        demo.frameTarget.display();
        // Over the cleared window an opaque texel gives its own colour with or without blending.
        const bool opaque = demo.frameOpaque && demo.frameSprite.getColor().a == 255;
        window.draw(demo.frameSprite,
                    opaque ? sf::RenderStates(sf::BlendNone) : sf::RenderStates::Default);
    } else {
        demo.running = false;
    }
    drawFadeOverlay(window);
}

void renderFrame(float dt) {
    readShowInput();
    drawFrame(dt);
}

void runFrame(float dt) {
    renderFrame(dt);
    demo.window->display();
}

void runFrameLoop() {
    const FrameContextHold hold;
    sf::Clock clock;
    clock.restart();
    while (demo.running) {
        runFrame(clock.restart().asSeconds());
    }
}
