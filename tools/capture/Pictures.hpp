#pragma once
// Pictures that summarise a run: a contact sheet of thumbnails and a plot of per-frame times
// across the show. Both draw with SFML into a render texture, so they need a display.
#include "runtime/SceneId.hpp"

#include <SFML/Graphics/Color.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace capture {

// The font of labels: DejaVu Sans where it is installed, else the show's own font; an empty
// string when neither is there.
std::string labelFontFile();

// A small copy of one frame, top row first, RGBA.
struct Thumbnail {
    double time = 0.0;
    SceneId scene = 0;
    unsigned width = 0;
    unsigned height = 0;
    std::vector<std::uint8_t> pixels;
};

// Shrinks a frame read back from the window (bottom row first, BGRA) by averaging
// `factor` x `factor` blocks, turning it upright and into opaque RGBA.
void shrinkFrame(const std::uint8_t* pixels, unsigned width, unsigned height, unsigned factor,
                 Thumbnail& out);

// A grid of the thumbnails with the show time and the scene's name under each.
bool saveContactSheet(const std::string& path, const std::vector<Thumbnail>& thumbnails,
                      unsigned columns);

struct PlotSeries {
    std::string name;
    sf::Color colour;
    std::vector<double> x; // show time, seconds
    std::vector<double> y; // milliseconds
};

struct PlotMark {
    double x = 0.0;
    std::string label;
};

// A line plot of the series against show time, with the marks (scene starts) as labelled
// vertical lines. The y range fits the data, ignoring the top 0.5 % so one stall does not
// flatten the rest (points above are drawn at the top edge).
bool saveTimePlot(const std::string& path, const std::string& title,
                  const std::vector<PlotSeries>& series, const std::vector<PlotMark>& marks);

// The file of a readable label font, or an empty string.
std::string labelFontFile();

} // namespace capture
