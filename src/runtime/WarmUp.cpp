#include "runtime/WarmUp.hpp"

#include "assets/TextureManager.hpp"
#include "effects/ElasticSprite.hpp"
#include "effects/SparsePicture.hpp"
#include "runtime/DemoState.hpp"
#include "runtime/DrawingClip.hpp"
#include "runtime/FrameLoop.hpp"

#include <SFML/Graphics/RectangleShape.hpp>

namespace {

// A registry texture, without the report a lookup of a missing key makes (the registries have
// reported it at loading).
const sf::Texture* texture(const char* key) {
    return TextureManager::exists(key) ? TextureManager::get(key) : nullptr;
}

// The plain (program-less) draws: pictures whose sizes are and are not powers of two, the
// render targets' own pictures, the font's glyphs, and an untextured shape; into a render
// target and into the window.
void warmPlainDrawing(sf::RenderWindow& window) {
    for (const char* key : {"sun", "particle-dot", "drop", "particle-star-gold", "black"}) {
        if (const sf::Texture* picture = texture(key)) {
            const sf::Sprite sprite(*picture);
            demo.frameTarget.draw(sprite);
            window.draw(sprite);
        }
    }
    demo.frameTarget.draw(demo.workSpriteB);
    window.draw(demo.frameSprite);
    demo.frameTarget.draw(demo.scroller.scrollerText);
    demo.workTargetB.draw(demo.scroller.scrollerText);
    const sf::RectangleShape shape(sf::Vector2f(4.0f, 4.0f));
    demo.frameTarget.draw(shape);
    window.draw(shape);
}

// The post-processing programs over a render target's picture and over a registry picture.
void warmPostProcessing() {
    const sf::Shader* programs[] = {&demo.glitchShader,   &demo.rippleShader,
                                    &demo.tvstaticShader, &demo.blueprintPeephole,
                                    &demo.galaxyPeephole, &demo.vantiePeephole};
    const sf::Texture* sticker = texture("sun");
    for (const sf::Shader* program : programs) {
        if (program->getNativeHandle() == 0) {
            continue; // did not load: the show draws without it
        }
        const sf::RenderStates states(program);
        demo.frameTarget.draw(demo.workSpriteB, states);
        demo.workTargetC.draw(demo.frameSprite, states);
        if (sticker != nullptr) {
            demo.frameTarget.draw(sf::Sprite(*sticker), states);
        }
    }
}

// The textured quadrilateral's program with each picture it is given in the show (repeated
// and clamped, power-of-two sizes and others).
void warmElasticSprites() {
    for (const char* key : {"brickwall", "spectrum", "krv-white"}) {
        const sf::Texture* picture = texture(key);
        if (picture == nullptr) {
            continue;
        }
        ElasticSprite sprite;
        sprite.setUseShader();
        sprite.setTexture(*picture, true);
        sprite.enablePerspective();
        sprite.setCornerOffset(2, sf::Vector2f(0.0f, 10.0f));
        demo.frameTarget.draw(sprite);
        demo.workTargetB.draw(sprite);
    }
}

} // namespace

void prepareDrawing() {
    forgetSparsePictures();
    for (const char* key : {"mask", "frame", "frame-sides"}) {
        prepareSparsePicture(texture(key));
    }

    if (demo.window == nullptr) {
        return;
    }
    const FrameContextHold hold;
    const bool wasClipped = drawingClipped();
    setDrawingClipped(true);
    warmPlainDrawing(*demo.window);
    warmPostProcessing();
    warmElasticSprites();
    demo.frameTarget.display();
    demo.workTargetB.display();
    demo.workTargetC.display();
    setDrawingClipped(wasClipped);
}
