#pragma once
// What the capture tool and the benchmark share: the show played with a fixed frame time,
// and switching the drawing off for frames nobody looks at.
#include "runtime/SceneId.hpp"
#include "runtime/SceneTable.hpp"

#include <SFML/Graphics/RenderWindow.hpp>

#include <cstdint>
#include <cstdio>

namespace capture {

// The frame clock of a fixed-rate run. Frame n is shown at n / fps seconds of show time and
// every frame advances the show by the same float dt, so a run never reads the wall clock.
struct FixedClock {
    explicit FixedClock(double framesPerSecond);

    double fps;
    float dt;

    double timeOf(std::int64_t frame) const { return static_cast<double>(frame) / fps; }
    // The first frame shown at or after `seconds` (a frame within a microsecond counts).
    std::int64_t firstFrameAtOrAfter(double seconds) const;
    // The frame nearest to `seconds`.
    std::int64_t nearestFrame(double seconds) const;
};

// What one frame left behind, read from the show's state right after it ran.
struct FrameRecord {
    std::int64_t frame = 0;
    double time = 0.0; // show time at which the frame is shown
    SceneId scene = 0; // the scene that ran in this frame
    std::int32_t step = 0;
    float fadeLevel = 0.0f;
};

// Opens the window and runs the show's start-up with vertical sync off, so a fixed-rate run
// goes as fast as the machine allows.
void startShow(sf::RenderWindow& window);

// Runs frame `frame` of the show (renderFrame with the clock's dt) and reports it. The
// window is not presented: the caller reads the back buffer first if it wants the picture.
// Without `readInput` the window's events are left to the caller (drawFrame alone).
FrameRecord playFrame(const FixedClock& clock, std::int64_t frame, bool readInput = true);

// The timeline file: a header line, then one line per frame: show time, scene, step, fade.
void writeTraceHeader(std::FILE* file);
void writeTraceLine(std::FILE* file, const FrameRecord& record);

} // namespace capture
