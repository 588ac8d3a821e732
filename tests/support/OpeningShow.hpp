#pragma once
// Shared by the tests of the intro and title scenes: a fixture that starts the show once and
// keeps playing it with chosen frame times, reference models of the two timelines that use
// the scenes' own float arithmetic, and pixel helpers for stills.
#include "support/ShowPlayer.hpp"

#include <SFML/Graphics/Texture.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace opening {

// Frame times by frame number (0 = the show's first frame).
using FrameTimes = std::function<float(long)>;

// Step times and thresholds of the two scenes, as their rules give them.
constexpr float kIntroLimits[4] = {1.5f, 6.0f, 8.5f, 4.0f};

// The frames in which the intro's steps 0..3 end (the last one returns 0), following its
// rules: step time grows by dt before the current step's one threshold is compared
// (strictly); a step change zeroes the time.
inline std::vector<long> introStepEnds(const FrameTimes& dt) {
    std::vector<long> ends;
    int step = 0;
    float time = 0.0f;
    for (long frame = 0; ends.size() < 4 && frame < 1000000; ++frame) {
        time += dt(frame);
        if (time > kIntroLimits[step]) {
            ends.push_back(frame);
            ++step;
            time = 0.0f;
        }
    }
    return ends;
}

// Whether the title's step `step` ends with step time `time` (or, in step 4, with the sun's
// fade at `sunFade`). Step -1 compares with >=, the others strictly; 13.5 and 2.8 in double.
inline bool titleStepEnds(int step, float time, float sunFade) {
    switch (step) {
    case -1:
        return time >= 1.5f;
    case 0:
        return time > 8.0f;
    case 1:
        return time > 5.0f;
    case 2:
        return static_cast<double>(time) > 13.5;
    case 3:
        return static_cast<double>(time) > 2.8;
    case 4:
        return sunFade <= 0.0f;
    default:
        return time > 4.0f;
    }
}

// The frames in which the title's steps -1..5 end, the title first called in `firstFrame`
// (the last one returns 1).
inline std::vector<long> titleStepEnds(const FrameTimes& dt, long firstFrame) {
    std::vector<long> ends;
    int step = -1;
    float time = 0.0f;
    float sunFade = 1.0f;
    for (long frame = firstFrame; ends.size() < 7 && frame < firstFrame + 1000000; ++frame) {
        const float d = dt(frame);
        time += d;
        if (step == 4) {
            sunFade -= d;
        }
        if (titleStepEnds(step, time, sunFade)) {
            ends.push_back(frame);
            ++step;
            time = 0.0f;
        }
    }
    return ends;
}

inline long introHandOverFrame(const FrameTimes& dt) {
    return introStepEnds(dt).back();
}

inline long titleHandOverFrame(const FrameTimes& dt, long firstFrame) {
    return titleStepEnds(dt, firstFrame).back();
}

inline int brightness(sf::Color c) {
    return c.r + c.g + c.b;
}

// Largest difference of the colour channels.
inline int channelDistance(sf::Color a, sf::Color b) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

// Smallest channel distance between `colour` and the picture around `at` (dx, dy pixels
// either way).
inline int nearestMatch(const sf::Image& picture, sf::Vector2f at, sf::Color colour, int dx, int dy,
                        bool greenOnly = false) {
    int best = 1000;
    for (int y = -dy; y <= dy; ++y) {
        for (int x = -dx; x <= dx; ++x) {
            const int px = static_cast<int>(std::floor(at.x)) + x;
            const int py = static_cast<int>(std::floor(at.y)) + y;
            if (px < 0 || py < 0 || px >= 1920 || py >= 1080) {
                continue;
            }
            const sf::Color seen =
                picture.getPixel(static_cast<unsigned>(px), static_cast<unsigned>(py));
            best = std::min(best, greenOnly ? std::abs(seen.g - colour.g)
                                            : opening::channelDistance(seen, colour));
        }
    }
    return best;
}

// Plays the show from its start in a real window. One process plays it once: the tests of
// a suite run in order and each goes on from where the previous one left the show.
class Show : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (demo.window == nullptr) {
            show::startShow();
            grab.create(1920, 1080);
            test::clipDrawingToOnePixel(*demo.window);
        }
    }

    // One whole frame: the frame loop's work and presenting.
    static void frame(float dt) {
        renderFrame(dt);
        if (captureWindow) {
            // Before presenting: afterwards the back buffer's content is undefined.
            grab.update(*demo.window);
        }
        demo.window->display();
        ++frames;
        seconds += static_cast<double>(dt);
        history.push_back(dt);
    }

    // Frames of `dt` while `more()` holds, at most `limit` of them.
    static void playWhile(float dt, const std::function<bool()>& more, long limit = 100000) {
        for (long i = 0; i < limit && more(); ++i) {
            frame(dt);
        }
    }

    // A frame drawn in full, after frames that touched only one pixel; what the window
    // showed is kept for windowPicture().
    static void fullFrame(float dt) {
        drawInFull();
        frame(dt);
        clipAgain();
    }
    static void drawInFull() {
        test::unclipDrawing(*demo.window);
        captureWindow = true;
    }
    static void clipAgain() {
        captureWindow = false;
        test::clipDrawingToOnePixel(*demo.window);
    }

    // The scene's picture as the last frame left it (before the sway and the fade).
    static sf::Image scenePicture() { return demo.frameTarget.getTexture().copyToImage(); }

    // What the window showed in the last frame drawn in full.
    static sf::Image windowPicture() { return grab.copyToImage(); }

    static sf::Texture grab;
    static bool captureWindow;
    static long frames;                // frames played so far
    static double seconds;             // their frame times added in double
    static std::vector<float> history; // every frame time so far
    // The frame times played, by frame number, for the reference models.
    static float played(long frame) { return history.at(static_cast<std::size_t>(frame)); }
};

// What a play through the intro and the title showed of their timelines.
struct Timeline {
    std::vector<long> introEnds; // frames in which intro steps 0..3 ended
    std::vector<long> titleEnds; // frames in which title steps -1..5 ended
    long titleFirst = -1;        // frame of the title's first call
    int exactHits = 0;           // frames whose step time landed exactly on a threshold
};

// Plays the intro and the title with the given frame times, drawing clipped, and records
// every step change. A step time that lands exactly on a threshold is checked on the spot
// against the threshold's strictness. `afterTitleFrame` runs after every title frame.
class TimelineShow : public Show {
  protected:
    static Timeline playOpening(const FrameTimes& dt,
                                const std::function<void(float)>& afterTitleFrame = {}) {
        Timeline seen;
        while (demo.sceneIndex <= 0 && frames < 20000 && !HasFatalFailure()) {
            const float d = dt(frames);
            const long index = frames;
            if (demo.sceneIndex == -1) {
                const int step = demo.intro.introStep;
                const bool exact = demo.intro.introStepTime + d == kIntroLimits[step];
                frame(d);
                if (demo.intro.introStep != step || demo.sceneIndex == 0) {
                    seen.introEnds.push_back(index);
                }
                if (exact) {
                    ++seen.exactHits;
                    EXPECT_TRUE(demo.intro.introStep == step && demo.sceneIndex == -1)
                        << "intro step " << step << " ended on its threshold, frame " << index;
                }
                if (demo.sceneIndex == 0) {
                    seen.titleFirst = frames;
                }
            } else {
                const TitleState& t = demo.title;
                const int step = t.titleStep;
                const float time = t.titleStepTime + d;
                const float sunFade = step == 4 ? t.sunFade - d : t.sunFade;
                const float limits[7] = {1.5f, 8.0f, 5.0f, 13.5f, 2.8f, 0.0f, 4.0f};
                const bool exact = step == 4 ? sunFade == 0.0f : time == limits[step + 1];
                frame(d);
                const bool ended = t.titleStep != step || demo.sceneIndex == 1;
                if (ended) {
                    seen.titleEnds.push_back(index);
                }
                if (exact) {
                    ++seen.exactHits;
                    EXPECT_EQ(ended, step == -1 || step == 4)
                        << "title step " << step << " on its threshold, frame " << index;
                }
                if (afterTitleFrame) {
                    afterTitleFrame(d);
                }
            }
        }
        return seen;
    }

    // The recorded step changes agree with the rules applied to the same frame times.
    static void expectStepsFollowTheRules(const Timeline& seen, const FrameTimes& dt) {
        EXPECT_EQ(seen.introEnds, introStepEnds(dt));
        ASSERT_EQ(seen.titleFirst, introStepEnds(dt).back() + 1);
        EXPECT_EQ(seen.titleEnds, titleStepEnds(dt, seen.titleFirst));
        EXPECT_EQ(demo.sceneIndex, 1);
    }

    // Seconds of show time up to the end of frame `last`.
    static double secondsThrough(const FrameTimes& dt, long last) {
        double total = 0.0;
        for (long i = 0; i <= last; ++i) {
            total += static_cast<double>(dt(i));
        }
        return total;
    }
};

inline sf::Texture Show::grab;
inline bool Show::captureWindow = false;
inline long Show::frames = 0;
inline double Show::seconds = 0.0;
inline std::vector<float> Show::history;

} // namespace opening
