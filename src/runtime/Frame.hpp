#pragma once
// The size of the show's picture: the window, the render targets and every scene's
// coordinates are in these pixels.
#include <SFML/System/Vector2.hpp>

constexpr unsigned int kFrameWidth = 1920;
constexpr unsigned int kFrameHeight = 1080;
constexpr float kFrameWidthF = 1920.0f;
constexpr float kFrameHeightF = 1080.0f;
// The picture's centre: the pivot of the frame sprites and the place of every centred picture.
constexpr float kCentreX = 960.0f;
constexpr float kCentreY = 540.0f;
inline const sf::Vector2f kFrameCentre(kCentreX, kCentreY);
