#include "runtime/RenderTargets.hpp"

#include "assets/TextureManager.hpp"
#include "runtime/DemoState.hpp"

namespace {

const char* const kVertexFile = "assets/shaders/passthrough.vert";

void createTarget(sf::RenderTexture& target, sf::Sprite& sprite) {
    target.create(1920, 1080, sf::ContextSettings());
    target.setSmooth(false);
    target.setRepeated(false);
    sprite.setTexture(target.getTexture(), true);
}

void loadPeephole(sf::Shader& shader, const char* backgroundKey) {
    shader.loadFromFile(kVertexFile, "assets/shaders/peephole.frag");
    shader.setUniform("currentTexture", sf::Shader::CurrentTexture);
    // Without its background `bgTexture` is never bound and samples texture unit 0, where the
    // drawn sprite's own texture is: the sprite then shows its own picture through its shape,
    // tiled across the screen in 512-pixel squares like a background.
    if (const sf::Texture* background = TextureManager::get(backgroundKey)) {
        shader.setUniform("bgTexture", *background);
    }
    shader.setUniform("xOffset", 0.0f);
    shader.setUniform("yOffset", 0.0f);
}

} // namespace

void createRenderTargets() {
    createTarget(demo.frameTarget, demo.frameSprite);
    createTarget(demo.workTargetB, demo.workSpriteB);
    createTarget(demo.workTargetC, demo.workSpriteC);
}

void loadShaders() {
    demo.glitchShader.loadFromFile(kVertexFile, "assets/shaders/glitch.frag");
    demo.glitchShader.setUniform("currentTexture", sf::Shader::CurrentTexture);
    demo.glitchShader.setUniform("u_resolution", sf::Glsl::Vec2(1920.0f, 1080.0f));

    demo.rippleShader.loadFromFile(kVertexFile, "assets/shaders/ripple.frag");
    demo.rippleShader.setUniform("currentTexture", sf::Shader::CurrentTexture);
    demo.rippleShader.setUniform("speed", 4.0f);
    demo.rippleShader.setUniform("force", 4.0f);
    demo.rippleShader.setUniform("alpha", 1.0f);

    demo.tvstaticShader.loadFromFile(kVertexFile, "assets/shaders/tvstatic.frag");
    demo.tvstaticShader.setUniform("currentTexture", sf::Shader::CurrentTexture);

    loadPeephole(demo.blueprintPeephole, "blueprint");
    loadPeephole(demo.galaxyPeephole, "galaxy");
    loadPeephole(demo.vantiePeephole, "vantiebg");
}
