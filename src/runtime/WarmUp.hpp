#pragma once
#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/Texture.hpp>

#include <string>

// The last step of start-up, so that no frame of the show pays for a first use:
// - every drawing program of the show meets each kind of texture and target it meets in the
//   show once, so the software renderer builds its variants now (a first use costs a frame
//   several times its usual time);
// - the transparent parts of the full-screen pictures are found.
// The draws are limited to one pixel and the frame loop clears every target first.
void prepareDrawing();

// The full-screen pictures whose transparent parts are found (texture keys). Start-up does it as
// they load, from the decoded pictures (TextureManager::watchLoads with the function below);
// prepareDrawing reads back any that were loaded otherwise.
inline constexpr const char* kSparsePictureKeys[] = {"mask", "frame", "frame-sides", "black",
                                                     "white"};
void prepareSparsePictureOnLoad(const std::string& key, const sf::Texture& texture,
                                const sf::Image& picture);
