#pragma once

// Creates frameTarget, workTargetB and workTargetC (1920x1080) and points their sprites at
// them.
void createRenderTargets();
// Loads the six post-processing programs and sets their start uniforms; the peephole
// programs get their background textures from the texture registry.
void loadShaders();
