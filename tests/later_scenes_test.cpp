// The three scroll messages keep their shapes, and the brick-wall scroller scene plays from its
// first frame to its hand-over: what it inherits and leaves alone, the turned wall, the sun,
// the star stream and the closing fade. The scene is entered directly after start-up; the
// tests of the fixture run in order and keep playing the one show of this process.
#include "support/ShowPlayer.hpp"

#include "effects/ParticleManager.hpp"
#include "scenes/FinaleScene.hpp"
#include "scenes/SceneCommon.hpp"
#include "scenes/VinylScrollerScene.hpp"
#include "scenes/WallScrollerScene.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// A message cut into its words and the runs of spaces between them.
struct Shape {
    std::string text;
    std::vector<std::string> words;
    std::vector<std::size_t> gaps; // lengths of the space runs between words
    bool edgeSpaces = false;       // a leading or trailing space
};

Shape shapeOf(const char* message) {
    Shape shape;
    shape.text = message;
    const std::string& t = shape.text;
    shape.edgeSpaces = !t.empty() && (t.front() == ' ' || t.back() == ' ');
    std::size_t i = 0;
    while (i < t.size()) {
        const std::size_t spaces = t.find_first_not_of(' ', i);
        if (spaces == std::string::npos) {
            break;
        }
        if (spaces > i && !shape.words.empty()) {
            shape.gaps.push_back(spaces - i);
        }
        const std::size_t end = std::min(t.find(' ', spaces), t.size());
        shape.words.push_back(t.substr(spaces, end - spaces));
        i = end;
    }
    return shape;
}

bool onlyCharacters(const std::string& text, const std::string& punctuation) {
    return std::all_of(text.begin(), text.end(), [&](char c) {
        return (c >= 'A' && c <= 'Z') || c == ' ' || punctuation.find(c) != std::string::npos;
    });
}

std::size_t gapsOf(const Shape& shape, std::size_t length) {
    return static_cast<std::size_t>(std::count(shape.gaps.begin(), shape.gaps.end(), length));
}

TEST(ScrollMessages, WallMessageIsFifteenWordsInThreePhrases) {
    const Shape s = shapeOf(kWallScrollerMessage);
    EXPECT_EQ(s.text.size(), 100u);
    EXPECT_TRUE(onlyCharacters(s.text, ""));
    EXPECT_FALSE(s.edgeSpaces);
    EXPECT_EQ(s.words.size(), 15u);
    EXPECT_EQ(gapsOf(s, 2) + gapsOf(s, 8), s.gaps.size()) << s.text;
    EXPECT_EQ(gapsOf(s, 8), 2u);
}

TEST(ScrollMessages, VinylMessageIsTwentyNineWordsWithThreeBreaks) {
    const Shape s = shapeOf(kVinylScrollerMessage);
    EXPECT_EQ(s.text.size(), 170u);
    EXPECT_TRUE(onlyCharacters(s.text, "."));
    EXPECT_FALSE(s.edgeSpaces);
    EXPECT_EQ(s.words.size(), 29u);
    EXPECT_EQ(gapsOf(s, 1), s.gaps.size() - 3) << s.text;
    EXPECT_EQ(gapsOf(s, 9), 1u);
    EXPECT_EQ(gapsOf(s, 10), 1u);
    EXPECT_EQ(gapsOf(s, 11), 1u);
}

TEST(ScrollMessages, FinaleMessageIsSixteenWordsInThreePhrases) {
    const Shape s = shapeOf(kFinaleMessage);
    EXPECT_EQ(s.text.size(), 111u);
    EXPECT_TRUE(onlyCharacters(s.text, ""));
    EXPECT_FALSE(s.edgeSpaces);
    EXPECT_EQ(s.words.size(), 16u);
    // Phrases break at a run of 11 spaces, then at one of 10; inside them words are two
    // spaces apart, in two places one.
    std::vector<std::size_t> breaks;
    for (std::size_t gap : s.gaps) {
        if (gap > 2) {
            breaks.push_back(gap);
        }
    }
    EXPECT_EQ(breaks, (std::vector<std::size_t>{11, 10})) << s.text;
    EXPECT_EQ(gapsOf(s, 1), 2u);
    EXPECT_EQ(gapsOf(s, 2), s.gaps.size() - 4);
}

// Horizontal mortar lines crossed going down the picture around column x. The bricks are red
// and the mortar grey; a row counts as mortar where most of a 31-pixel stretch is grey, so
// the vertical joints between bricks do not count.
int mortarLines(const sf::Image& image, unsigned x) {
    int lines = 0;
    int rowsSinceMortar = 1000;
    for (unsigned y = 0; y < image.getSize().y; ++y) {
        int grey = 0;
        for (unsigned xx = x - 15; xx <= x + 15; ++xx) {
            const sf::Color c = image.getPixel(xx, y);
            grey += (std::abs(c.r - c.g) < 40 && std::abs(c.r - c.b) < 40) ? 1 : 0;
        }
        if (grey >= 25) {
            // A line starts after at least four rows of brick, so speckles inside one wide
            // joint do not count twice.
            if (rowsSinceMortar >= 4) {
                ++lines;
            }
            rowsSinceMortar = 0;
        } else {
            ++rowsSinceMortar;
        }
    }
    return lines;
}

class WallScroller : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { show::startAt(Scene::WallScroller); }
    static WallScrollerState& scene() { return demo.wallScroller; }
};

SHOW_CHAPTER(WallScroller, FirstFrameKeepsTheInheritedScrollerAndUsesTheClockBeforeItsAdvance) {
    // As the title scene leaves them: the clock running, the scroller's start-up values with
    // its position and phase moved on.
    demo.effectClock = 1.0f;
    Scroller& scroller = demo.scroller;
    scroller.scrollerX = 2000.0f;
    scroller.scrollerPhase = 0.7f;

    const sf::Image picture = show::frameWithWindowImage();
    test::saveStill(picture, "wall_first_frame");

    EXPECT_FLOAT_EQ(test::uniformValue(demo.glitchShader, "glitchAmount"), wallGlitchAmount(1.0f));
    EXPECT_FLOAT_EQ(scroller.scrollerX, 2000.0f - 704.0f * show::kFrame);
    EXPECT_FLOAT_EQ(scroller.scrollerPhase, 0.7f + show::kFrame);
    EXPECT_EQ(scroller.scrollerMessage, kWallScrollerMessage);
    EXPECT_TRUE(scroller.scrollerActive);
    EXPECT_TRUE(scroller.scrollerShadow);
    EXPECT_EQ(scroller.scrollerY, 400.0f);
    EXPECT_EQ(scroller.scrollerAmplitude, 190.0f);
    EXPECT_EQ(scroller.scrollerText.getCharacterSize(), 256u);
    EXPECT_FLOAT_EQ(scene().wallScrollerSunOpacity, show::kFrame);
}

SHOW_CHAPTER(WallScroller, TheWallRecedesToTheLeft) {
    // The right-hand edge is 5000 px longer than the left: the brick rows stand close together
    // on the left and far apart on the right. The text and the sun are not there yet.
    show::play(2);
    const sf::Image picture = show::frameTargetImage();
    test::saveStill(show::asShown(picture), "wall_tilt");
    const int left = mortarLines(picture, 150);
    const int right = mortarLines(picture, 1750);
    std::printf("mortar lines: %d at x 150, %d at x 1750\n", left, right);
    EXPECT_GE(left, 10);
    EXPECT_GE(2 * left, 3 * right); // a flat wall would give the same count on both sides
    EXPECT_GE(right, 3);
}

SHOW_CHAPTER(WallScroller, SunReachesFullOpacityAndStarsStartAfterTwoSeconds) {
    ParticleSystem* stars = ParticleManager::get("bw_stars");
    ASSERT_NE(stars, nullptr);
    // The accumulator has been counting all along; a stream that started from it would
    // release a crowd of stars at once.
    stars->spawnAccumulator = 5.0f;
    show::Clipped clipped;
    show::playWhile([] { return scene().wallScrollerSunOpacity < 1.0f; }, 120);
    EXPECT_EQ(scene().wallScrollerSunOpacity, 1.0f);
    show::playWhile([&] { return !stars->emitting; }, 120);
    const float started = scene().wallScrollerStepTime;
    EXPECT_TRUE(stars->emitting);
    EXPECT_EQ(scene().wallScrollerStep, 1);
    EXPECT_EQ(started, 0.0f);
    EXPECT_LE(stars->liveCount(), 1);
    show::play(60);
    EXPECT_EQ(scene().wallScrollerSunOpacity, 1.0f);
    EXPECT_GE(stars->liveCount(), 20);
}

SHOW_CHAPTER(WallScroller, ScrollerSunAndStarsStill) {
    {
        show::Clipped clipped;
        show::play(150); // about 5.5 s into the scene
    }
    const sf::Image picture = show::frameWithWindowImage();
    test::saveStill(picture, "wall_scroller");
    // The sun at the centre, turned and fully opaque, over the wall.
    const show::Mean sun = show::meanAround(show::frameTargetImage(), 960, 540, 3);
    EXPECT_GT(sun.r, 200);
    EXPECT_GT(sun.g, 150);
    EXPECT_LT(sun.b, 150);
    show::reportFrameTimes("brick-wall scroller", 20);
}

SHOW_CHAPTER(WallScroller, FadesAtTwentyTwoSecondsAndHandsOverWithStarsPlayingOut) {
    ParticleSystem* stars = ParticleManager::get("bw_stars");
    show::Clipped clipped;
    show::playWhile([] { return scene().wallScrollerStep < 2; }, 20 * 60);
    EXPECT_EQ(demo.fadeMode, 1);
    EXPECT_EQ(demo.fadeSpeed, 1.0f);
    EXPECT_FALSE(stars->emitting);
    show::playWhile([] { return demo.sceneIndex == Scene::WallScroller; }, 2 * 60);
    EXPECT_EQ(demo.sceneIndex, Scene::VinylScroller);
    EXPECT_EQ(demo.fadeLevel, 1.0f);
    EXPECT_GT(stars->liveCount(), 0);
    EXPECT_EQ(wallScrollerScene(show::kFrame), Scene::VinylScroller);
}

} // namespace
