#include "capture/ShowSession.hpp"

#include "runtime/DemoState.hpp"
#include "runtime/FrameLoop.hpp"
#include "runtime/Startup.hpp"

#include <SFML/OpenGL.hpp>

#include <cmath>

namespace capture {

FixedClock::FixedClock(double framesPerSecond)
    : fps(framesPerSecond), dt(static_cast<float>(1.0 / framesPerSecond)) {}

std::int64_t FixedClock::firstFrameAtOrAfter(double seconds) const {
    if (seconds <= 0.0) {
        return 0;
    }
    return static_cast<std::int64_t>(std::ceil(seconds * fps - 1e-6));
}

std::int64_t FixedClock::nearestFrame(double seconds) const {
    if (seconds <= 0.0) {
        return 0;
    }
    return static_cast<std::int64_t>(std::llround(seconds * fps));
}

void startShow(sf::RenderWindow& window) {
    startUp(window);
    window.setVerticalSyncEnabled(false);
}

FrameRecord playFrame(const FixedClock& clock, std::int64_t frame, bool readInput) {
    FrameRecord record;
    record.frame = frame;
    record.time = clock.timeOf(frame);
    record.scene = demo.sceneIndex;
    if (readInput) {
        renderFrame(clock.dt);
    } else {
        drawFrame(clock.dt);
    }
    record.step = sceneStep(record.scene);
    record.fadeLevel = demo.fadeLevel;
    return record;
}

void writeTraceHeader(std::FILE* file) {
    std::fputs("time\tscene\tstep\tfade\n", file);
}

void writeTraceLine(std::FILE* file, const FrameRecord& record) {
    std::fprintf(file, "%.4f\t%d\t%d\t%.4f\n", record.time, record.scene, record.step,
                 static_cast<double>(record.fadeLevel));
}

} // namespace capture
