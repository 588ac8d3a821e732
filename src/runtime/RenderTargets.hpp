#pragma once
#include <SFML/Graphics/RenderStates.hpp>
#include <SFML/Graphics/Shader.hpp>

// Creates frameTarget, workTargetB and workTargetC (1920x1080) and points their sprites at
// them.
void createRenderTargets();
// Loads the six post-processing programs and sets their start uniforms; the peephole
// programs get their background textures from the texture registry. Without shader support
// it says so in one line and loads none.
void loadShaders();

// Whether the platform runs shaders; asked once.
bool shadersAvailable();
// Render states that draw through `shader`, or the default ones where the platform runs no
// shaders: the show then draws unshaded, without the library's complaint at every bind.
sf::RenderStates shaded(const sf::Shader& shader);
