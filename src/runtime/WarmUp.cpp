#include "runtime/WarmUp.hpp"

#include "assets/TextureManager.hpp"
#include "effects/ElasticSprite.hpp"
#include "effects/SparsePicture.hpp"
#include "runtime/DemoState.hpp"
#include "runtime/DrawingClip.hpp"
#include "runtime/FrameLoop.hpp"

#include <utility>

namespace {

// A registry texture, without the report a lookup of a missing key makes (the registries have
// reported it at loading).
const sf::Texture* texture(const char* key) {
    return TextureManager::exists(key) ? TextureManager::get(key) : nullptr;
}

// The plain (program-less) draws as the show makes them: pictures whose sizes are and are
// not powers of two and the font's glyphs into the render targets, a render target's picture
// and the fade overlay into the window.
void warmPlainDrawing(sf::RenderWindow& window) {
    for (const char* key : {"sun", "particle-dot"}) {
        if (const sf::Texture* picture = texture(key)) {
            demo.frameTarget.draw(sf::Sprite(*picture));
        }
    }
    if (const sf::Texture* picture = texture("sun")) {
        demo.workTargetB.draw(sf::Sprite(*picture));
        // Opaque backdrops are laid without blending.
        demo.frameTarget.draw(sf::Sprite(*picture), sf::RenderStates(sf::BlendNone));
    }
    demo.frameTarget.draw(demo.scroller.scrollerText);
    demo.workTargetB.draw(demo.scroller.scrollerText);
    window.draw(demo.frameSprite);
    window.draw(demo.frameSprite, sf::RenderStates(sf::BlendNone));
    if (demo.fadeSprite != nullptr) {
        window.draw(*demo.fadeSprite);
    }
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
        // The show runs television static from frameTarget into workTargetC, the others
        // into frameTarget over work targets' pictures and stickers.
        const sf::RenderStates states(program);
        if (program == &demo.tvstaticShader) {
            demo.workTargetC.draw(demo.frameSprite, states);
            continue;
        }
        demo.frameTarget.draw(demo.workSpriteB, states);
        if (sticker != nullptr) {
            demo.frameTarget.draw(sf::Sprite(*sticker), states);
        }
    }
}

// The textured quadrilateral's program with each picture it is given in the show (repeated
// and clamped, power-of-two sizes and others).
void warmElasticSprites() {
    // The walls go into frameTarget, the spectrum band and the logo into workTargetB.
    const std::pair<const char*, sf::RenderTexture*> uses[] = {{"brickwall", &demo.frameTarget},
                                                               {"spectrum", &demo.workTargetB},
                                                               {"krv-white", &demo.workTargetB}};
    for (const auto& [key, target] : uses) {
        const sf::Texture* picture = texture(key);
        if (picture == nullptr) {
            continue;
        }
        ElasticSprite sprite;
        sprite.setUseShader();
        sprite.setTexture(*picture, true);
        sprite.enablePerspective();
        sprite.setCornerOffset(2, sf::Vector2f(0.0f, 10.0f));
        target->draw(sprite);
    }
}

} // namespace

void prepareSparsePictureOnLoad(const std::string& key, const sf::Texture& texture,
                                const sf::Image& picture) {
    for (const char* sparse : kSparsePictureKeys) {
        if (key == sparse) {
            prepareSparsePicture(&texture, &picture);
        }
    }
}

void prepareDrawing() {
    for (const char* key : kSparsePictureKeys) {
        prepareSparsePicture(texture(key), nullptr);
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
