#pragma once
// Golden frames: the show played with a fixed 60 fps frame time from its start, and the frames
// at a fixed list of show times kept as small pictures (480x270, each pixel the mean of a 4x4
// block of the window). The references live in tests/golden/. The test, klomp-golden (renders
// the stills into a folder) and klomp-golden-compare (checks a folder against the references,
// without a display) share this code, so a build on another platform can render the same
// stills and have them compared with the same references.
#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/RenderWindow.hpp>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace golden {

constexpr double kFramesPerSecond = 60.0;
constexpr unsigned kFactor = 4; // 1920x1080 -> 480x270
constexpr unsigned kWidth = 1920 / kFactor;
constexpr unsigned kHeight = 1080 / kFactor;

// One golden frame: a name that says what it shows, and the frame number (shown at
// frame / 60 seconds of show time, as klomp-capture numbers its frames).
struct Moment {
    std::string name; // also the file name without ".png"
    std::int64_t frame = 0;
    double seconds() const { return static_cast<double>(frame) / kFramesPerSecond; }
};

// The frames that are compared, in show order.
const std::vector<Moment>& moments();

// The window's picture shrunk by kFactor: each output pixel is the rounded mean of a block,
// made opaque (the window's alpha means nothing on screen). `bgra` is bottom-up rows as
// glReadPixels gives them.
sf::Image shrink(const std::uint8_t* bgra, unsigned width, unsigned height);

// Starts the show in `window` (the program's own start-up, vertical sync off) and plays it at
// 60 fps up to the last moment. Frames that are not golden are played with drawing clipped
// to one pixel; after each golden frame `still` gets its moment and its shrunk picture.
// Returns false when the show ended before the last moment.
bool renderStills(sf::RenderWindow& window,
                  const std::function<void(const Moment&, const sf::Image&)>& still);

// How two stills differ. A pixel differs when one of its colour channels differs by more
// than `tolerance`.
struct Difference {
    bool sizesDiffer = false;
    std::int64_t pixels = 0; // pixels that differ
    int largest = 0;         // largest channel difference anywhere
    bool same() const { return !sizesDiffer && pixels == 0; }
};
Difference compare(const sf::Image& actual, const sf::Image& reference, int tolerance);

// A picture of where two stills differ: the reference dimmed to a quarter, differing pixels
// in red (brighter for larger differences).
sf::Image differencePicture(const sf::Image& actual, const sf::Image& reference, int tolerance);

// Writes NAME-actual.png, NAME-reference.png and NAME-diff.png into `folder` (created when
// missing). Returns false when a file could not be written.
bool writeDifference(const std::string& folder, const std::string& name, const sf::Image& actual,
                     const sf::Image& reference, int tolerance);

// Compares every moment's still in `actualFolder` with the reference in `referenceFolder`,
// prints a line per differing or missing still, writes the differing pictures into `diffFolder`
// when it is not empty, and returns the number of stills that did not match.
int compareFolders(const std::string& referenceFolder, const std::string& actualFolder,
                   int tolerance, const std::string& diffFolder);

} // namespace golden
