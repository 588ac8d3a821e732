// The title scene at a steady 60 frames per second, after an intro played with drawing
// clipped: its set-up, the sway and uniforms of every frame, the wall in perspective and its
// swings, the words, the drip, the fourteen stickers, the bomb, the cut-out, the sun, the jet
// and the hand-over, with stills of the moments that matter.
#include "support/OpeningShow.hpp"

#include "assets/SpriteManager.hpp"
#include "assets/TextureManager.hpp"
#include "effects/ParticleManager.hpp"

#include <array>
#include <iostream>

namespace {

constexpr float kDt = 1.0f / 60.0f;

// Screen pixel of a texel of a sprite as the sprite was last placed.
sf::Vector2f screenOf(const sf::Sprite& sprite, float tx, float ty) {
    return sprite.getTransform().transformPoint(tx + 0.5f, ty + 0.5f);
}

// Whether an opaque texel of `sprite`, as last placed, lies on the screen point.
bool covers(const sf::Sprite& sprite, const sf::Image& texture, sf::Vector2f at) {
    const sf::Vector2f texel = sprite.getInverseTransform().transformPoint(at);
    if (texel.x < 0.0f || texel.y < 0.0f || texel.x >= static_cast<float>(texture.getSize().x) ||
        texel.y >= static_cast<float>(texture.getSize().y)) {
        return false;
    }
    return texture.getPixel(static_cast<unsigned>(texel.x), static_cast<unsigned>(texel.y)).a > 0;
}

// The stencil cut-out stands in front of the words and the wall.
bool behindCutOut(sf::Vector2f at) {
    const sf::Sprite* cutOut = demo.title.stencilart.sprite;
    if (cutOut == nullptr) {
        return false;
    }
    static const sf::Image texture = cutOut->getTexture()->copyToImage();
    return covers(*cutOut, texture, at);
}

// Share of the opaque, coloured texels around the sprite's origin that the picture shows
// where the sprite's transform puts them. `slack` widens the search sideways for pictures
// drawn through the glitch, which tears bands sideways and splits red from blue.
double shareShown(const sf::Image& picture, const sf::Sprite& sprite, int slack = 0) {
    const sf::Image texture = sprite.getTexture()->copyToImage();
    const sf::Vector2f origin = sprite.getOrigin();
    int checked = 0;
    int shown = 0;
    for (int dy = -90; dy <= 90; dy += 15) {
        for (int dx = -120; dx <= 120; dx += 15) {
            const int tx = static_cast<int>(origin.x) + dx;
            const int ty = static_cast<int>(origin.y) + dy;
            if (tx < 0 || ty < 0 || tx >= static_cast<int>(texture.getSize().x) ||
                ty >= static_cast<int>(texture.getSize().y)) {
                continue;
            }
            const sf::Color texel =
                texture.getPixel(static_cast<unsigned>(tx), static_cast<unsigned>(ty));
            if (texel.a < 255 || opening::brightness(texel) > 600) {
                continue; // see-through or too close to the white page to tell
            }
            const sf::Vector2f at =
                screenOf(sprite, static_cast<float>(tx), static_cast<float>(ty));
            if (behindCutOut(at)) {
                continue;
            }
            ++checked;
            const int distance = slack > 0
                                     ? opening::nearestMatch(picture, at, texel, slack, 1, true)
                                     : opening::nearestMatch(picture, at, texel, 1, 1);
            if (distance <= 24) {
                ++shown;
            }
        }
    }
    EXPECT_GE(checked, 8) << "too few texels to judge";
    return checked == 0 ? 0.0 : static_cast<double>(shown) / checked;
}

// The projective map of the unit square onto the wall's quadrilateral and back: texture
// fraction (u across, v down) of a screen point.
struct Homography {
    double m[3][3];
    double inv[3][3];

    explicit Homography(const std::array<sf::Vector2f, 4>& corner) {
        // Corners 0 top-left (u 0, v 0), 1 bottom-left (0, 1), 2 bottom-right (1, 1),
        // 3 top-right (1, 0).
        const auto x = [&corner](std::size_t i) { return static_cast<double>(corner[i].x); };
        const auto y = [&corner](std::size_t i) { return static_cast<double>(corner[i].y); };
        const double x0 = x(0), y0 = y(0), x1 = x(3), y1 = y(3);
        const double x2 = x(2), y2 = y(2), x3 = x(1), y3 = y(1);
        const double sx = x0 - x1 + x2 - x3, sy = y0 - y1 + y2 - y3;
        const double dx1 = x1 - x2, dx2 = x3 - x2, dy1 = y1 - y2, dy2 = y3 - y2;
        const double den = dx1 * dy2 - dx2 * dy1;
        const double g = (sx * dy2 - dx2 * sy) / den;
        const double h = (dx1 * sy - sx * dy1) / den;
        const double rows[3][3] = {{x1 - x0 + g * x1, x3 - x0 + h * x3, x0},
                                   {y1 - y0 + g * y1, y3 - y0 + h * y3, y0},
                                   {g, h, 1.0}};
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                m[r][c] = rows[r][c];
            }
        }
        const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
                inv[r][c] = (m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) / det;
            }
        }
    }

    sf::Vector2<double> fractionAt(double x, double y) const {
        const double u = inv[0][0] * x + inv[0][1] * y + inv[0][2];
        const double v = inv[1][0] * x + inv[1][1] * y + inv[1][2];
        const double w = inv[2][0] * x + inv[2][1] * y + inv[2][2];
        return {u / w, v / w};
    }
};

// One row of the stickers that the title adds at the end of its step 1.
struct StickerRow {
    const char* key;
    float x, y, delay, alpha, scale, rotation, targetAlpha, targetScale, targetRotation;
    bool drip, burst;
    char shader; // 'n' none, 'r' ripple, 'g' glitch
};

const StickerRow kStickers[14] = {
    {"luigi", 760, 540, 0, 0, 0.75f, -20, 1, 1, 4, true, false, 'n'},
    {"sorter", 100, 340, 1.5f, 0, 0.75f, -20, 1, 1, 4, true, false, 'n'},
    {"star", 239, 557, 2.25f, 0, 0.45f, -20, 1, 1, -4, false, true, 'n'},
    {"star", 239, 357, 3.25f, 0, 0.45f, -20, 1, 1, 2, false, true, 'r'},
    {"star", 239, 268, 4.25f, 0, 0.45f, -20, 1, 1, 8, false, true, 'n'},
    {"whoopsie", 0, 823, 6.25f, 0, 0.75f, 0, 1, 1, 4, false, false, 'n'},
    {"drinks", 730, 769, 6.75f, 0, 0.1f, -20, 1, 1, 8, false, false, 'g'},
    {"movie_idol", 255, 536, 9.5f, 0, 0.75f, 20, 1, 1, -4, true, false, 'n'},
    {"heart", 139, 557, 10.25f, 0, 0.45f, -20, 1, 1, -4, false, false, 'n'},
    {"gun", 139, 268, 11.25f, 0, 0.45f, -20, 1, 1, 8, false, false, 'n'},
    {"prisonbreak", 0, 804, 13.5f, 0, 0.45f, -20, 1, 1, 0, false, false, 'n'},
    {"fist", 120, 468, 15, 0, 0.45f, -20, 1, 1, 8, false, true, 'n'},
    {"fist", 120, 468, 16, 0, 0.45f, -20, 1, 1, 8, false, true, 'n'},
    {"fist", 120, 468, 17, 0, 0.45f, -20, 1, 1, 8, false, true, 'n'},
};

class TitleAt60 : public opening::Show {
  protected:
    // A title frame, checking the sway and the uniforms against the clock after its advance.
    static void checkedFrame() {
        const float clock = demo.effectClock + kDt;
        frame(kDt);
        ASSERT_EQ(demo.effectClock, clock);
        const auto sin64 = [](float x) {
            return static_cast<float>(std::sin(static_cast<double>(x)));
        };
        float turn = static_cast<float>(std::fmod(5.0f * sin64(0.5f * clock), 360.0f));
        if (turn < 0.0f) {
            turn += 360.0f;
        }
        const float breath = 0.025f * sin64(clock) + 0.025f + 1.12f;
        EXPECT_FLOAT_EQ(demo.frameSprite.getRotation(), turn);
        EXPECT_EQ(demo.frameSprite.getScale(), sf::Vector2f(breath, breath));
        EXPECT_FLOAT_EQ(test::uniformValue(demo.glitchShader, "glitchAmount"),
                        12.0f * sin64(8.0f * clock) + 12.0f);
        EXPECT_FLOAT_EQ(test::uniformValue(demo.rippleShader, "time"), 2.0f * sin64(clock) + 2.0f);
        if (demo.sceneIndex == 0) {
            ++titleFrames;
        }
    }

    static void playTitleWhile(const std::function<bool()>& more) {
        while (more() && !HasFatalFailure() && demo.sceneIndex == 0) {
            checkedFrame();
        }
    }

    // Title frames until the next one ends `at` seconds after the title began.
    static void playTitleUntil(double at) {
        const long target = std::lround(at * 60.0) - 1;
        playTitleWhile([target] { return titleFrames < target; });
    }

    static void fullTitleFrame() {
        drawInFull();
        checkedFrame();
        clipAgain();
    }

    static long titleFrames; // title frames played
    static long titleStart;  // the show's frame number of the title's first frame
};

long TitleAt60::titleFrames = 0;
long TitleAt60::titleStart = 0;

SHOW_CHAPTER(TitleAt60, FirstFrameSetsUpAndLeavesTheSymbolUndrawn) {
    playWhile(kDt, [] { return demo.sceneIndex == -1; });
    ASSERT_EQ(demo.sceneIndex, 0);
    titleStart = frames;
    sf::Sprite* symbol = SpriteManager::get("symbol");
    ASSERT_NE(symbol, nullptr);
    const sf::Vector2f symbolBefore = symbol->getPosition();

    checkedFrame();
    const TitleState& s = demo.title;
    EXPECT_FALSE(s.titleFirstFrame);
    EXPECT_EQ(demo.fadeLevel, 1.0f);
    EXPECT_EQ(demo.fadeSpeed, 4.0f);
    EXPECT_EQ(demo.frameSprite.getOrigin(), sf::Vector2f(960.0f, 540.0f));
    EXPECT_EQ(demo.frameSprite.getPosition(), sf::Vector2f(960.0f, 540.0f));
    EXPECT_EQ(demo.wallRect, sf::FloatRect(-256.0f * kDt, 0.0f, 2048.0f, 2048.0f));

    const struct {
        const SceneObject& object;
        const char* key;
        float x, y, alpha;
    } placed[] = {{s.aint, "aint", 383, 343, 0},
                  {s.zilchy, "zilchy", 934, 343, 0},
                  {s.but, "but", 1482, 343, 0},
                  {s.a, "a", 393, 602, 0},
                  {s.symbol, "symbol", 680, 590, 0},
                  {s.klomp, "klomp", 1227, 602, 0},
                  {s.stencilart, "stencilart", 960, 1080, 1},
                  {s.bomb, "bomb", 960, -160, 1}};
    for (const auto& p : placed) {
        EXPECT_EQ(p.object.sprite, SpriteManager::get(p.key)) << p.key;
        EXPECT_EQ(p.object.x, p.x) << p.key;
        EXPECT_EQ(p.object.y, p.y) << p.key;
        EXPECT_EQ(p.object.alpha, p.alpha) << p.key;
        EXPECT_EQ(p.object.scale, 1.0f) << p.key;
        EXPECT_EQ(p.object.rotation, 0.0f) << p.key;
        EXPECT_FALSE(p.object.animated) << p.key;
    }
    // The other words were drawn (see-through); the symbol word was not drawn at all.
    EXPECT_EQ(SpriteManager::get("aint")->getPosition(), sf::Vector2f(383.0f, 343.0f));
    EXPECT_EQ(SpriteManager::get("aint")->getColor().a, 0);
    EXPECT_EQ(symbol->getPosition(), symbolBefore);

    while (s.titleStep == -1 && !HasFatalFailure()) {
        checkedFrame();
        if (s.titleStep == -1) {
            ASSERT_EQ(symbol->getPosition(), symbolBefore) << "the symbol word drawn in step -1";
        }
    }
}

SHOW_CHAPTER(TitleAt60, TheWordsDropInAndTheWallStandsInPerspective) {
    const TitleState& s = demo.title;
    ASSERT_EQ(s.titleStep, 0);
    // The frame of the step change dropped every word above the screen with its delay.
    const SceneObject* words[6] = {&s.aint, &s.zilchy, &s.but, &s.a, &s.symbol, &s.klomp};
    const float homeY[6] = {343, 343, 343, 602, 590, 602};
    const float delays[6] = {1.0f, 1.5f, 2.0f, 2.5f, 3.0f, 3.5f};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(words[i]->y, -400.0f);
        EXPECT_EQ(words[i]->alpha, 0.0f);
        EXPECT_EQ(words[i]->yTween.to, homeY[i]);
        EXPECT_EQ(words[i]->yTween.kind, Easing::BounceOut);
        EXPECT_EQ(words[i]->yTween.duration, 1.25f);
        EXPECT_FLOAT_EQ(words[i]->yTween.delay, delays[i] - kDt);
        EXPECT_FLOAT_EQ(words[i]->alphaTween.delay, delays[i] - kDt);
    }
    // The symbol word is drawn from step 0 on.
    EXPECT_EQ(SpriteManager::get("symbol")->getPosition(), sf::Vector2f(680.0f, -400.0f));

    // Before any word has come down: the wall alone, seen at a steep angle.
    playTitleUntil(2.0);
    fullTitleFrame();
    const sf::Image picture = scenePicture();
    test::saveStill(windowPicture(), "title-2.0s-wall");

    const sf::Image bricks = TextureManager::get("brickwall")->copyToImage();
    const sf::Image page = SpriteManager::get("white")->getTexture()->copyToImage();
    const sf::Transform place = s.titleWall->getTransform();
    const std::array<sf::Vector2f, 4> corners = {
        place.transformPoint(0.0f, 0.0f), place.transformPoint(0.0f, 2048.0f),
        place.transformPoint(2048.0f, 2048.0f + 2500.0f), place.transformPoint(2048.0f, -2500.0f)};
    const Homography map(corners);
    int checked = 0;
    int matching = 0;
    for (int y = 300; y <= 780; y += 60) {
        for (int x = 320; x <= 1600; x += 160) {
            if (behindCutOut(
                    sf::Vector2f(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f))) {
                continue;
            }
            const sf::Vector2<double> f = map.fractionAt(x + 0.5, y + 0.5);
            const double u = static_cast<double>(demo.wallRect.left) + f.x * 2048.0;
            const double v = static_cast<double>(demo.wallRect.top) + f.y * 2048.0;
            // The texture repeats; the brick over the page, as alpha blending lays it.
            int best = 1000;
            for (int du = -1; du <= 1; ++du) {
                for (int dv = -1; dv <= 1; ++dv) {
                    const auto wrap = [](double t) {
                        const long i = static_cast<long>(std::floor(t));
                        return static_cast<unsigned>(((i % 1024) + 1024) % 1024);
                    };
                    const sf::Color b = bricks.getPixel(wrap(u + du), wrap(v + dv));
                    const sf::Color w =
                        page.getPixel(static_cast<unsigned>(x), static_cast<unsigned>(y));
                    const auto mix = [&](sf::Uint8 top, sf::Uint8 under) {
                        return static_cast<sf::Uint8>((top * b.a + under * (255 - b.a)) / 255);
                    };
                    const sf::Color laid(mix(b.r, w.r), mix(b.g, w.g), mix(b.b, w.b));
                    best = std::min(best, opening::channelDistance(
                                              laid, picture.getPixel(static_cast<unsigned>(x),
                                                                     static_cast<unsigned>(y))));
                }
            }
            ++checked;
            matching += best <= 16 ? 1 : 0;
        }
    }
    // A wall mapped without perspective lands hundreds of texels off almost everywhere.
    EXPECT_GE(matching, checked * 9 / 10) << matching << " of " << checked;

    // The whole picture turns and breathes about the centre: the window shows the scene's
    // pixel that the sway of this frame carries there.
    const sf::Image shown = windowPicture();
    const double turn =
        static_cast<double>(demo.frameSprite.getRotation()) * 3.14159265358979 / 180.0;
    const double scale = static_cast<double>(demo.frameSprite.getScale().x);
    int swayed = 0;
    for (const sf::Vector2i w :
         {sf::Vector2i(500, 300), sf::Vector2i(1400, 300), sf::Vector2i(500, 800),
          sf::Vector2i(1400, 800), sf::Vector2i(960, 200), sf::Vector2i(960, 900)}) {
        const double dx = (w.x + 0.5 - 960.0) / scale;
        const double dy = (w.y + 0.5 - 540.0) / scale;
        const sf::Vector2f from(
            static_cast<float>(960.0 + dx * std::cos(turn) + dy * std::sin(turn)),
            static_cast<float>(540.0 - dx * std::sin(turn) + dy * std::cos(turn)));
        swayed +=
            opening::nearestMatch(
                picture, from,
                shown.getPixel(static_cast<unsigned>(w.x), static_cast<unsigned>(w.y)), 1, 1) <= 10
                ? 1
                : 0;
    }
    EXPECT_GE(swayed, 5);
}

SHOW_CHAPTER(TitleAt60, TheWordsLandAndTheDripRunsBehindTheSymbol) {
    const TitleState& s = demo.title;
    playTitleUntil(6.5);
    fullTitleFrame();
    test::saveStill(windowPicture(), "title-6.5s-words");
    const sf::Image picture = scenePicture();
    for (const SceneObject* word : {&s.aint, &s.zilchy, &s.but, &s.a, &s.klomp}) {
        EXPECT_FALSE(word->yTween.active || word->alphaTween.active);
        EXPECT_EQ(word->alpha, 1.0f);
        EXPECT_GE(shareShown(picture, *word->sprite), 0.9) << "word at " << word->x;
    }
    EXPECT_EQ(s.aint.y, 343.0f);
    EXPECT_EQ(s.klomp.y, 602.0f);
    // The drip started at 6.0 s and is sliding down under the symbol.
    ASSERT_TRUE(s.dripShown);
    EXPECT_GT(s.dripY, 600.0f);
    EXPECT_LT(s.dripY, 780.0f);
    const sf::Color drip = picture.getPixel(650, static_cast<unsigned>(s.dripY) + 200);
    EXPECT_LE(opening::brightness(drip), 60) << "no drip below the symbol";
}

SHOW_CHAPTER(TitleAt60, TheWallSwingsFlatShowingItsStartValueFirst) {
    const TitleState& s = demo.title;
    playTitleWhile([&] { return s.titleStep == 0; });
    ASSERT_EQ(s.titleStep, 1);
    // Evaluated before its clock moved: the start offsets in the frame it began.
    EXPECT_EQ(s.titleWall->getCornerOffset(2), sf::Vector2f(0.0f, 2500.0f));
    EXPECT_EQ(s.titleWall->getCornerOffset(3), sf::Vector2f(0.0f, -2500.0f));
    EXPECT_EQ(s.wallBottomTween.elapsed, kDt);
    checkedFrame();
    const float r = kDt / 5.0f - 1.0f;
    const float backOut = r * r * (2.70158f * r + 1.70158f) + 1.0f;
    EXPECT_FLOAT_EQ(s.titleWall->getCornerOffset(2).y, 2500.0f - 2500.0f * backOut);
    EXPECT_FLOAT_EQ(s.titleWall->getCornerOffset(3).y, -2500.0f + 2500.0f * backOut);

    // The drip fades from 2 s into step 1 and goes at its end, when the stickers come.
    playTitleWhile([&] { return s.titleStep == 1; });
    ASSERT_EQ(s.titleStep, 2);
    EXPECT_FALSE(s.dripShown);
    EXPECT_TRUE(s.dripFadeStarted);
    EXPECT_EQ(s.dripAlpha, 0.0f);
    // Every word has spun away: see-through, shrunk to nothing, turned by 45 degrees.
    for (const SceneObject* word : {&s.aint, &s.zilchy, &s.but, &s.a, &s.symbol, &s.klomp}) {
        EXPECT_EQ(word->alpha, 0.0f);
        EXPECT_EQ(word->scale, 0.0f);
        EXPECT_EQ(word->rotation, 45.0f);
    }
}

SHOW_CHAPTER(TitleAt60, FourteenStickersWithTheirTableValues) {
    ASSERT_EQ(demo.stickers.size(), 14u);
    for (std::size_t i = 0; i < 14; ++i) {
        const StickerRow& row = kStickers[i];
        const Sticker& k = demo.stickers[i];
        SCOPED_TRACE(std::string(row.key) + " #" + std::to_string(i));
        EXPECT_EQ(k.sprite, SpriteManager::get(row.key));
        EXPECT_EQ(k.x, row.x);
        EXPECT_EQ(k.y, row.y);
        if (row.delay == 0.0f) {
            // Popped in in this frame: its tweens set off from the start values.
            EXPECT_EQ(k.popInDelay, 0.0f);
            EXPECT_TRUE(k.alphaTween.active && k.scaleTween.active && k.rotationTween.active);
        } else {
            EXPECT_FLOAT_EQ(k.popInDelay, row.delay - kDt);
        }
        EXPECT_EQ(k.alpha, row.alpha);
        EXPECT_EQ(k.scale, row.scale);
        EXPECT_EQ(k.rotation, row.rotation);
        EXPECT_EQ(k.targetAlpha, row.targetAlpha);
        EXPECT_EQ(k.targetScale, row.targetScale);
        EXPECT_EQ(k.targetRotation, row.targetRotation);
        EXPECT_EQ(k.dripEnabled, row.drip);
        EXPECT_EQ(k.burst, row.burst);
        const sf::Shader* shader = row.shader == 'r'   ? &demo.rippleShader
                                   : row.shader == 'g' ? &demo.glitchShader
                                                       : nullptr;
        EXPECT_EQ(k.shader, shader);
    }
}

SHOW_CHAPTER(TitleAt60, StickersPopInAndDriftRight) {
    playTitleUntil(17.0);
    fullTitleFrame();
    test::saveStill(windowPicture(), "title-17.0s-stickers");
    const sf::Image picture = scenePicture();
    const Sticker& luigi = demo.stickers[0];
    // Popped at 14.5 s, drifting at 256 px/s since.
    EXPECT_NEAR(luigi.x, 760.0f + 256.0f * 2.5f, 256.0f * 2 * kDt);
    EXPECT_EQ(luigi.scale, 1.0f);
    EXPECT_GE(shareShown(picture, *luigi.sprite), 0.9);
    // The sorter popped at 16.0 s; the first star at 16.75 s; the rest still wait.
    EXPECT_EQ(demo.stickers[1].popInDelay, 0.0f);
    EXPECT_EQ(demo.stickers[2].popInDelay, 0.0f);
    EXPECT_GT(demo.stickers[3].popInDelay, 0.0f);
    EXPECT_GE(shareShown(picture, *demo.stickers[1].sprite), 0.6) << "partly under a star";
    // The wall has swung flat.
    EXPECT_EQ(demo.title.titleWall->getCornerOffset(2), sf::Vector2f(0.0f, 0.0f));
    EXPECT_EQ(demo.title.titleWall->getCornerOffset(3), sf::Vector2f(0.0f, 0.0f));
    EXPECT_FALSE(demo.title.wallBottomTween.active || demo.title.wallTopTween.active);
}

SHOW_CHAPTER(TitleAt60, TheBombFallsAndDrifts) {
    const TitleState& s = demo.title;
    playTitleWhile([&] { return !s.bombFalling; });
    EXPECT_EQ(s.titleStep, 2);
    EXPECT_NEAR(static_cast<double>(titleFrames) / 60.0, 17.5, 2.5 * static_cast<double>(kDt));
    EXPECT_EQ(s.bomb.yTween.from, -160.0f);
    EXPECT_EQ(s.bomb.yTween.to, 920.0f);
    EXPECT_EQ(s.bomb.yTween.kind, Easing::BounceOut);
    const float x = s.bomb.x;
    checkedFrame();
    EXPECT_FLOAT_EQ(s.bomb.x, x + 256.0f * kDt);
    playTitleUntil(19.5);
    fullTitleFrame();
    test::saveStill(windowPicture(), "title-19.5s-bomb");
    EXPECT_EQ(s.bomb.y, 920.0f);
    EXPECT_GE(shareShown(scenePicture(), *s.bomb.sprite), 0.9);
}

SHOW_CHAPTER(TitleAt60, TheCutOutLeavesUpAndRight) {
    const TitleState& s = demo.title;
    playTitleWhile([&] { return !s.stencilartLeaving; });
    EXPECT_NEAR(static_cast<double>(titleFrames) / 60.0, 24.5, 2.5 * static_cast<double>(kDt));
    EXPECT_GT(s.stencilart.rotationTween.delay, 1.2f);
    playTitleUntil(27.8);
    EXPECT_EQ(s.stencilart.x, 1400.0f);
    EXPECT_EQ(s.stencilart.y, -715.0f);
    EXPECT_EQ(s.stencilart.rotation, -90.0f);
}

SHOW_CHAPTER(TitleAt60, TheSunRidesThePrisonbreakStickerAndFades) {
    const TitleState& s = demo.title;
    playTitleWhile([&] { return !s.sunShown; });
    EXPECT_EQ(s.titleStep, 3);
    const sf::Sprite* sun = SpriteManager::get("sun");
    const sf::Sprite* rider = SpriteManager::get("prisonbreak");
    playTitleUntil(29.0);
    EXPECT_EQ(sun->getPosition(), rider->getPosition());
    EXPECT_EQ(sun->getColor().a, 255);
    playTitleWhile([&] { return s.titleStep == 3; });
    EXPECT_NEAR(static_cast<double>(titleFrames) / 60.0, 30.8, 4.5 * static_cast<double>(kDt));
    playTitleWhile([&] { return s.titleStep == 4; });
    // The frame that ended step 4 hid the sun and set the jet off.
    ASSERT_EQ(s.titleStep, 5);
    EXPECT_LE(s.sunFade, 0.0f);
    EXPECT_EQ(sun->getColor().a, 0);
    EXPECT_TRUE(s.jetFlying);
    EXPECT_EQ(s.jetX, -506.0f + 896.0f * kDt);
    EXPECT_EQ(s.wallBottomTween.to, 2500.0f);
    EXPECT_EQ(s.wallTopTween.to, -2500.0f);
    EXPECT_EQ(s.wallBottomTween.kind, Easing::SineOut);
}

SHOW_CHAPTER(TitleAt60, TheJetEmitsAStarEvery32msWhileTheSunStaysHidden) {
    const TitleState& s = demo.title;
    ASSERT_TRUE(s.jetFlying);
    const ParticleSystem* stars = ParticleManager::get("star_particles");
    ASSERT_NE(stars, nullptr);
    const auto newStars = [&] {
        int count = 0;
        for (const Particle& p : stars->pool()) {
            count += p.alive && p.age == 0.0f && p.x == s.jetX - 200.0f && p.y == 400.0f;
        }
        return count;
    };
    EXPECT_EQ(newStars(), 0) << "a star in the frame the jet started";
    // The timer as the jet runs it: 0.032 s from the start frame's own frame time on.
    float timer = 0.032f - kDt;
    int emitted = 0;
    int dropped = 0;
    for (int i = 0; i < 60; ++i) {
        const bool room = stars->liveCount() < stars->capacity;
        checkedFrame();
        timer -= kDt;
        const bool due = timer <= 0.0f;
        if (due) {
            timer = 0.032f;
        }
        const int count = newStars();
        ASSERT_LE(count, 1) << "frame " << i;
        if (due && room) {
            EXPECT_EQ(count, 1) << "frame " << i;
        } else if (!due) {
            EXPECT_EQ(count, 0) << "frame " << i;
        }
        emitted += count;
        dropped += due && count == 0;
        if (i == 0) {
            EXPECT_TRUE(due) << "the first star comes 0.032 s after the start";
        }
        ASSERT_TRUE(s.sunShown);
        ASSERT_EQ(SpriteManager::get("sun")->getColor().a, 0) << "the sun shows again";
    }
    std::cout << "jet: " << emitted << " stars in its first second, " << dropped
              << " dropped for a full pool\n";
    EXPECT_GT(emitted, 0);

    playTitleUntil(33.0);
    fullTitleFrame();
    test::saveStill(windowPicture(), "title-33.0s-jet");
    const sf::Sprite* jet = SpriteManager::get("jas39");
    EXPECT_EQ(jet->getPosition(), sf::Vector2f(s.jetX, 400.0f));
    EXPECT_GE(shareShown(scenePicture(), *jet, 48), 0.8);
}

SHOW_CHAPTER(TitleAt60, HandsOverAfterAbout35_8Seconds) {
    const long introEnd = opening::introHandOverFrame([](long) { return kDt; });
    const long expected = opening::titleHandOverFrame([](long) { return kDt; }, introEnd + 1);
    playTitleWhile([] { return true; });
    EXPECT_EQ(demo.sceneIndex, 1);
    EXPECT_EQ(frames - 1, expected);
    const double titleSeconds = static_cast<double>(frames - titleStart) * static_cast<double>(kDt);
    std::cout << "title hands over after " << frames - titleStart << " frames, " << titleSeconds
              << " s; " << seconds << " s into the show\n";
    // Each of the seven steps may end up to one frame after its nominal time.
    EXPECT_GE(titleSeconds, 35.8 - 1e-6);
    EXPECT_LE(titleSeconds, 35.8 + static_cast<double>(7 * kDt) + 1e-5);
    // Called again it keeps returning 1.
    EXPECT_EQ(titleScene(kDt), 1);
}

} // namespace
