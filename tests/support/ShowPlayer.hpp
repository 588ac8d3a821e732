#pragma once
// Playing the show inside a test: start-up on a real window, fixed-step frames, grabbing
// pictures and measuring them, and timing frames. Header-only, shared by the scene tests
// (OpeningShow.hpp builds the intro and title fixtures on it).
#include "runtime/DemoState.hpp"
#include "runtime/FrameLoop.hpp"
#include "runtime/Startup.hpp"
#include "support/TestSupport.hpp"

#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/Shader.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <SFML/System/Clock.hpp>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace show {

// A steady 60 frames per second, as the frame loop measures it.
constexpr float kFrame = 1.0f / 60.0f;

// The window of the one show this process plays; start-up runs on the first call.
inline sf::RenderWindow& startShow() {
    static sf::RenderWindow window;
    static bool started = false;
    if (!started) {
        started = true;
        startUp(window);
    }
    return window;
}

// Starts the show and jumps straight to `scene`, whose first frame sets itself up. The wall
// rectangle is given the value the title scene starts it with, as the later scenes inherit it.
inline void startAt(SceneId scene) {
    startShow();
    demo.wallRect = sf::FloatRect(0.0f, 0.0f, 2048.0f, 2048.0f);
    demo.sceneIndex = scene;
}

// One frame of the show, presented.
inline void frame(float dt = kFrame) {
    renderFrame(dt);
    demo.window->display();
}

// Plays frames of `dt` while `keepGoing` holds, at most `limit` frames; returns how many ran.
inline int playWhile(const std::function<bool()>& keepGoing, int limit, float dt = kFrame) {
    int frames = 0;
    while (frames < limit && keepGoing()) {
        frame(dt);
        ++frames;
    }
    return frames;
}

// Plays `count` frames of `dt`.
inline void play(int count, float dt = kFrame) {
    for (int i = 0; i < count; ++i) {
        frame(dt);
    }
}

// Scissors every later draw to one pixel while it lives: the show's logic at a fraction of the
// cost, for stretches where the pictures do not matter.
class Clipped {
  public:
    Clipped() { test::clipDrawingToOnePixel(*demo.window); }
    ~Clipped() { test::unclipDrawing(*demo.window); }
    Clipped(const Clipped&) = delete;
    Clipped& operator=(const Clipped&) = delete;
};

// What the scene drew in its last frame (before the frame sway and the fade), y downwards.
inline sf::Image frameTargetImage() {
    return demo.frameTarget.getTexture().copyToImage();
}

// What the window holds after the last renderFrame (before presenting).
inline sf::Image windowImage() {
    sf::Texture grab;
    grab.create(1920, 1080);
    grab.update(*demo.window);
    return grab.copyToImage();
}

// One frame of `dt`, returning the window's picture as the viewer sees it.
inline sf::Image frameWithWindowImage(float dt = kFrame) {
    renderFrame(dt);
    sf::Image picture = windowImage();
    demo.window->display();
    return picture;
}

// A picture of frameTarget as the window shows it (without the sway): the frame loop blends
// it over the transparent black window, so its colours count with their alpha.
inline sf::Image asShown(const sf::Image& frameTargetPicture) {
    sf::Image shown = frameTargetPicture;
    for (unsigned y = 0; y < shown.getSize().y; ++y) {
        for (unsigned x = 0; x < shown.getSize().x; ++x) {
            const sf::Color c = shown.getPixel(x, y);
            shown.setPixel(x, y,
                           sf::Color(static_cast<sf::Uint8>(c.r * c.a / 255),
                                     static_cast<sf::Uint8>(c.g * c.a / 255),
                                     static_cast<sf::Uint8>(c.b * c.a / 255), c.a));
        }
    }
    return shown;
}

// Mean colour of a square patch (half-width `r`) around (x, y), as floats 0..255.
struct Mean {
    double r = 0, g = 0, b = 0, a = 0;
};
inline Mean meanAround(const sf::Image& image, int x, int y, int r) {
    Mean m;
    int n = 0;
    for (int yy = y - r; yy <= y + r; ++yy) {
        for (int xx = x - r; xx <= x + r; ++xx) {
            if (xx < 0 || yy < 0 || xx >= static_cast<int>(image.getSize().x) ||
                yy >= static_cast<int>(image.getSize().y)) {
                continue;
            }
            const sf::Color c =
                image.getPixel(static_cast<unsigned>(xx), static_cast<unsigned>(yy));
            m.r += c.r;
            m.g += c.g;
            m.b += c.b;
            m.a += c.a;
            ++n;
        }
    }
    if (n > 0) {
        m.r /= n;
        m.g /= n;
        m.b /= n;
        m.a /= n;
    }
    return m;
}

// Number of pixels in the rectangle [x0, x1) x [y0, y1) for which `match` holds.
inline int countPixels(const sf::Image& image, unsigned x0, unsigned y0, unsigned x1, unsigned y1,
                       const std::function<bool(sf::Color)>& match) {
    int n = 0;
    for (unsigned y = y0; y < y1; ++y) {
        for (unsigned x = x0; x < x1; ++x) {
            if (match(image.getPixel(x, y))) {
                ++n;
            }
        }
    }
    return n;
}

// Plays `count` presented frames of `dt` at full size and prints their median and longest
// wall-clock cost. Measured for the record, not judged: the software renderer varies.
inline double reportFrameTimes(const char* what, int count, float dt = kFrame) {
    std::vector<double> ms;
    sf::Clock clock;
    for (int i = 0; i < count; ++i) {
        clock.restart();
        frame(dt);
        ms.push_back(static_cast<double>(clock.getElapsedTime().asSeconds()) * 1000.0);
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    std::printf("[ frame time ] %s: median %.1f ms, longest %.1f ms over %d frames\n", what, median,
                ms.back(), count);
    std::fflush(stdout);
    return median;
}

// Chapters: the tests of a fixture that plays one show on from where the previous test left
// it, declared with SHOW_CHAPTER(Fixture, Name) in place of TEST_F. Run alone (CTest runs every
// case in a process of its own), a chapter first plays the chapters declared before it, with
// their expectations set aside and their drawing clipped, so that it finds the show as a run of
// the whole suite leaves it; in a run of the whole suite each chapter runs once, in order.
class Chapters {
  public:
    using Body = void (*)();
    static int add(const char* fixture, Body body) {
        std::vector<Entry>& list = registry()[fixture];
        list.push_back({body, false});
        return static_cast<int>(list.size()) - 1;
    }
    static void run(const char* fixture, int index) {
        std::vector<Entry>& list = registry()[fixture];
        const std::size_t at = static_cast<std::size_t>(index);
        for (std::size_t i = 0; i < at; ++i) {
            if (list[i].done) {
                continue;
            }
            ::testing::TestPartResultArray setAside;
            {
                const ::testing::ScopedFakeTestPartResultReporter quiet(
                    ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD,
                    &setAside);
                // The same frames, drawn clipped: the show's state does not depend on drawing.
                test::setCatchingUp(true);
                list[i].body();
                test::setCatchingUp(false);
            }
            list[i].done = true;
            for (int r = 0; r < setAside.size(); ++r) {
                if (setAside.GetTestPartResult(r).fatally_failed()) {
                    ADD_FAILURE() << "chapter " << i << " of " << fixture
                                  << ", played first, stopped: "
                                  << setAside.GetTestPartResult(r).message();
                    return;
                }
            }
        }
        list[at].done = true;
        list[at].body();
    }

  private:
    struct Entry {
        Body body;
        bool done;
    };
    static std::map<std::string, std::vector<Entry>>& registry() {
        static std::map<std::string, std::vector<Entry>> chapters;
        return chapters;
    }
};

} // namespace show

#define SHOW_CHAPTER(fixture, name)                                                                \
    struct fixture##_##name##_Chapter : fixture {                                                  \
        static void body();                                                                        \
        static const int index;                                                                    \
    };                                                                                             \
    const int fixture##_##name##_Chapter::index =                                                  \
        show::Chapters::add(#fixture, &fixture##_##name##_Chapter::body);                          \
    TEST_F(fixture, name) {                                                                        \
        show::Chapters::run(#fixture, fixture##_##name##_Chapter::index);                          \
    }                                                                                              \
    void fixture##_##name##_Chapter::body()
