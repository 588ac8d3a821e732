#include "runtime/RenderTargets.hpp"

#include "assets/Definitions.hpp"
#include "assets/TextureManager.hpp"
#include "runtime/DemoState.hpp"
#include "runtime/Frame.hpp"

#include <SFML/System/Err.hpp>

#include <iostream>

namespace {

const char* const kVertexFile = "assets/shaders/passthrough.vert";

void createTarget(sf::RenderTexture& target, sf::Sprite& sprite) {
    target.create(kFrameWidth, kFrameHeight, sf::ContextSettings());
    target.setSmooth(false);
    target.setRepeated(false);
    sprite.setTexture(target.getTexture(), true);
}

// Loads a program as the library does, except that a path that is no regular file (a pipe
// would block the library's open forever) is refused with the library's own line. The result
// is not needed: a program that did not load draws as if none were given.
void loadProgram(sf::Shader& shader, const char* fragmentFile) {
    for (const char* file : {kVertexFile, fragmentFile}) {
        if (isSpecialFile(file)) {
            sf::err() << "Failed to open " << (file == kVertexFile ? "vertex" : "fragment")
                      << " shader file \"" << file << "\"" << std::endl;
            return;
        }
    }
    loadWithoutThrowing([&] { return shader.loadFromFile(kVertexFile, fragmentFile); });
}

void loadPeephole(sf::Shader& shader, const char* backgroundKey) {
    loadProgram(shader, "assets/shaders/peephole.frag");
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

bool shadersAvailable() {
    static const bool available = sf::Shader::isAvailable();
    return available;
}

sf::RenderStates shaded(const sf::Shader& shader) {
    return shadersAvailable() ? sf::RenderStates(&shader) : sf::RenderStates::Default;
}

void loadShaders() {
    if (!shadersAvailable()) {
        std::cerr << "Shaders are not available here; the show runs without its post-processing "
                     "effects."
                  << std::endl;
        return;
    }
    loadProgram(demo.glitchShader, "assets/shaders/glitch.frag");
    demo.glitchShader.setUniform("currentTexture", sf::Shader::CurrentTexture);
    demo.glitchShader.setUniform("u_resolution", sf::Glsl::Vec2(kFrameWidthF, kFrameHeightF));

    loadProgram(demo.rippleShader, "assets/shaders/ripple.frag");
    demo.rippleShader.setUniform("currentTexture", sf::Shader::CurrentTexture);
    demo.rippleShader.setUniform("speed", 4.0f);
    demo.rippleShader.setUniform("force", 4.0f);
    demo.rippleShader.setUniform("alpha", 1.0f);

    loadProgram(demo.tvstaticShader, "assets/shaders/tvstatic.frag");
    demo.tvstaticShader.setUniform("currentTexture", sf::Shader::CurrentTexture);

    loadPeephole(demo.blueprintPeephole, "blueprint");
    loadPeephole(demo.galaxyPeephole, "galaxy");
    loadPeephole(demo.vantiePeephole, "vantiebg");
}
