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

const char* sceneName(SceneId scene) {
    switch (scene) {
    case Scene::Intro:
        return "intro";
    case Scene::Title:
        return "title";
    case Scene::WallScroller:
        return "wall scroller";
    case Scene::VinylScroller:
        return "vinyl scroller";
    case Scene::Party:
        return "party";
    case Scene::Finale:
        return "finale";
    default:
        return "quit";
    }
}

std::int32_t sceneStep(SceneId scene) {
    switch (scene) {
    case Scene::Intro:
        return demo.intro.introStep;
    case Scene::Title:
        return demo.title.titleStep;
    case Scene::WallScroller:
        return demo.wallScroller.wallScrollerStep;
    case Scene::VinylScroller:
        return demo.vinyl.vinylStep;
    case Scene::Party:
        return demo.party.partyStep;
    case Scene::Finale:
        return demo.finale.finaleStep;
    default:
        return 0;
    }
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
