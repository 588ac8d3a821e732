#pragma once
// The preview's overlay, drawn on the window over the show's picture (never into the show's
// render targets): show time, scene and step, fade level, frame time, speed, the last action
// or reload and its diagnostics, and a time bar with the scene hand-overs.
#include "preview/Player.hpp"
#include "runtime/SceneId.hpp"

#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/RenderWindow.hpp>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace preview {

struct OverlayInfo {
    capture::FrameRecord frame;
    double fps = 60.0;
    double drawSeconds = 0.0;
    double speed = 1.0;
    bool playing = false;
    double lengthSeconds = 0.0;                    // the time bar's span
    std::array<double, kSceneCount> sceneStarts{}; // seconds; negative while unknown
    std::string message;                           // the last action and what it took
    std::vector<std::string> problems;             // diagnostics of the last reload
};

class Overlay {
  public:
    Overlay();
    // Draws in window pixels; the window's view is restored afterwards.
    void draw(sf::RenderWindow& window, const OverlayInfo& info);

  private:
    sf::Font font_;
    bool haveFont_ = false;
};

} // namespace preview
