// The intro at a steady 60 frames per second, from the show's first frame to the hand-over:
// its set-up, the record's pop-in and shrink, the glitch and static uniforms, the static
// burst and its end, stills of the moments that matter, and the frame of the hand-over.
#include "support/OpeningShow.hpp"

#include "assets/MusicManager.hpp"
#include "assets/RegistryViews.hpp"
#include "assets/SoundManager.hpp"
#include "assets/SpriteManager.hpp"

#include <SFML/Audio/Music.hpp>
#include <SFML/OpenGL.hpp>
#include <SFML/Window/Context.hpp>

#include <algorithm>
#include <array>
#include <set>

// After everything else: Xlib defines macros (None, Bool, Status) that other headers use as names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

namespace {

constexpr float kDt = 1.0f / 60.0f;
constexpr double kPi = 3.14159265358979323846;

class IntroAt60 : public opening::Show {
  protected:
    // One frame, checking the uniforms it set against the clock before it moved.
    static void checkedFrame() {
        const float clock = demo.effectClock;
        frame(kDt);
        const float expected =
            70.0f * static_cast<float>(std::sin(static_cast<double>(2.0f * clock))) + 58.0f;
        const float glitch = test::uniformValue(demo.glitchShader, "glitchAmount");
        EXPECT_FLOAT_EQ(glitch, expected) << "frame " << frames;
        EXPECT_EQ(test::uniformValue(demo.tvstaticShader, "time"), clock);
        lowestGlitch = std::min(lowestGlitch, glitch);
        highestGlitch = std::max(highestGlitch, glitch);
        if (demo.intro.introStep == 0) {
            EXPECT_EQ(demo.intro.introVinylScale, 0.0f) << "the record shows before step 1";
        }
    }

    // Plays (clipped) until the next frame is the one that ends `at` seconds into the show.
    static void playUntilFrameEndingAt(double at) {
        const long target = std::lround(at * 60.0) - 1;
        while (frames < target && !HasFatalFailure()) {
            checkedFrame();
        }
    }

    static float lowestGlitch;
    static float highestGlitch;

    // Outer radius of the record picture in texture pixels: the last opaque pixel right of
    // the centre.
    static float recordRadius() {
        const sf::Image picture = demo.intro.introVinyl->getTexture()->copyToImage();
        const unsigned cx = picture.getSize().x / 2;
        const unsigned cy = picture.getSize().y / 2;
        unsigned radius = 0;
        for (unsigned x = cx; x < picture.getSize().x; ++x) {
            if (picture.getPixel(x, cy).a > 0) {
                radius = x - cx;
            }
        }
        return static_cast<float>(radius);
    }

    // What the black plate, the sun and the record, laid over each other at the intro's
    // places, show at a screen point, with the record at `scale`.
    static sf::Color expectedAt(sf::Vector2f at, float scale) {
        sf::Color colour(0, 0, 0, 255);
        const auto layOver = [&](const sf::Sprite& sprite, float angle, float size) {
            sf::Transform place;
            place.translate(960.0f, 540.0f).rotate(angle).scale(size, size);
            place.translate(-sprite.getOrigin());
            const sf::Vector2f texel = place.getInverse().transformPoint(at);
            const sf::Image texture = sprite.getTexture()->copyToImage();
            if (texel.x < 0 || texel.y < 0 || texel.x >= static_cast<float>(texture.getSize().x) ||
                texel.y >= static_cast<float>(texture.getSize().y)) {
                return;
            }
            const sf::Color top =
                texture.getPixel(static_cast<unsigned>(texel.x), static_cast<unsigned>(texel.y));
            const auto mix = [&](sf::Uint8 over, sf::Uint8 under) {
                return static_cast<sf::Uint8>((over * top.a + under * (255 - top.a)) / 255);
            };
            colour = sf::Color(mix(top.r, colour.r), mix(top.g, colour.g), mix(top.b, colour.b));
        };
        layOver(*demo.intro.introSun, demo.intro.introSunAngle, 1.0f);
        layOver(*demo.intro.introVinyl, demo.intro.introVinylAngle, scale);
        return colour;
    }

    // Just inside and just outside the record's rim the picture shows what the record at
    // `scale` over the turning sun gives. Sampled above and below the centre, away from the
    // PRESENTS band.
    static void expectRecordDrawnAtScale(const sf::Image& picture, float scale) {
        const float radius = recordRadius() * scale;
        for (double degrees : {60.0, 90.0, 120.0, 240.0, 270.0, 300.0}) {
            const double a = degrees * kPi / 180.0;
            for (double r :
                 {0.95 * static_cast<double>(radius), 1.05 * static_cast<double>(radius)}) {
                const sf::Vector2f at(static_cast<float>(960.0 + r * std::cos(a)),
                                      static_cast<float>(540.0 + r * std::sin(a)));
                EXPECT_LE(opening::nearestMatch(picture, at, expectedAt(at, scale), 1, 1), 24)
                    << (r < static_cast<double>(radius) ? "inside" : "outside") << " the rim at "
                    << degrees;
            }
        }
    }

    // A strip of the plate far from the centre: pure black without static; snow with it.
    static std::vector<int> cornerStrip(const sf::Image& picture) {
        std::vector<int> values;
        for (unsigned x = 40; x < 240; ++x) {
            values.push_back(opening::brightness(picture.getPixel(x, 100)));
        }
        return values;
    }

    static bool noisePlaying() {
        const SoundPool* pool = RegistryViews::soundPool("noise");
        if (pool == nullptr) {
            return false;
        }
        return std::any_of(pool->voices.begin(), pool->voices.end(),
                           [](const sf::Sound& v) { return v.getStatus() == sf::Sound::Playing; });
    }
};

// The window's _MOTIF_WM_HINTS (flags, functions, decorations, input mode, status), or none.
std::vector<long> motifHints(Display* display, ::Window window) {
    const Atom name = XInternAtom(display, "_MOTIF_WM_HINTS", True);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::vector<long> hints;
    if (name != 0 && XGetWindowProperty(display, window, name, 0, 5, False, AnyPropertyType, &type,
                                        &format, &count, &after, &data) == Success) {
        if (data != nullptr && format == 32) {
            const long* values = reinterpret_cast<const long*>(data);
            hints.assign(values, values + count);
        }
    }
    if (data != nullptr) {
        XFree(data);
    }
    return hints;
}

// The two floats of a vec2 uniform as GL holds them.
std::array<float, 2> uniformPair(const sf::Shader& shader, const char* name) {
    using GetLocation = GLint (*)(GLuint, const char*);
    using GetFloat = void (*)(GLuint, GLint, GLfloat*);
    demo.window->setActive(true);
    const auto getLocation =
        reinterpret_cast<GetLocation>(sf::Context::getFunction("glGetUniformLocation"));
    const auto getFloat = reinterpret_cast<GetFloat>(sf::Context::getFunction("glGetUniformfv"));
    std::array<float, 2> value{-1.0f, -1.0f};
    const GLint location = getLocation(shader.getNativeHandle(), name);
    if (location >= 0) {
        getFloat(shader.getNativeHandle(), location, value.data());
    }
    return value;
}

float IntroAt60::lowestGlitch = 1000.0f;
float IntroAt60::highestGlitch = -1000.0f;

SHOW_CHAPTER(IntroAt60, FirstFrameStartsTheSongTheFadeAndPlacesTheSprites) {
    const IntroState& s = demo.intro;
    ASSERT_TRUE(s.introFirstFrame);

    // What start-up left: a 1920x1080 window on the screen showing black, and the shaders'
    // fixed uniforms.
    EXPECT_EQ(demo.window->getSize(), sf::Vector2u(1920, 1080));
    if (Display* display = XOpenDisplay(nullptr)) {
        const auto handle = static_cast<::Window>(demo.window->getSystemHandle());
        XWindowAttributes attributes{};
        ASSERT_NE(XGetWindowAttributes(display, handle, &attributes), 0);
        EXPECT_EQ(attributes.width, 1920);
        EXPECT_EQ(attributes.height, 1080);
        EXPECT_EQ(attributes.map_state, IsViewable);
        // A normal window (no fullscreen override of the window manager) that may be resized,
        // maximised, minimised, moved and closed, with every decoration.
        EXPECT_FALSE(attributes.override_redirect);
        const std::vector<long> hints = motifHints(display, handle);
        ASSERT_EQ(hints.size(), 5u);
        EXPECT_EQ(hints[1], 0x3e) << "functions";
        EXPECT_EQ(hints[2], 0x7e) << "decorations";
        // Over the window the pointer is invisible: its cursor has no opaque pixel.
        XWarpPointer(display, 0, handle, 0, 0, 0, 0, 960, 540);
        XSync(display, False);
        if (XFixesCursorImage* cursor = XFixesGetCursorImage(display)) {
            int opaque = 0;
            for (int i = 0; i < cursor->width * cursor->height; ++i) {
                opaque += (cursor->pixels[i] >> 24) != 0 ? 1 : 0;
            }
            EXPECT_EQ(opaque, 0) << cursor->width << "x" << cursor->height << " cursor";
            XFree(cursor);
        } else {
            ADD_FAILURE() << "no cursor image";
        }
        XImage* shown = XGetImage(display, handle, 0, 0, 1920, 1080, AllPlanes, ZPixmap);
        ASSERT_NE(shown, nullptr);
        int lit = 0;
        for (int y = 0; y < 1080; y += 7) {
            for (int x = 0; x < 1920; x += 7) {
                lit += (XGetPixel(shown, x, y) & 0xffffff) != 0 ? 1 : 0;
            }
        }
        EXPECT_EQ(lit, 0) << "the first frame on the screen is black";
        XDestroyImage(shown);
        XCloseDisplay(display);
    }
    EXPECT_EQ(uniformPair(demo.glitchShader, "u_resolution"), (std::array<float, 2>{1920, 1080}));
    EXPECT_EQ(test::uniformValue(demo.rippleShader, "speed"), 4.0f);
    EXPECT_EQ(test::uniformValue(demo.rippleShader, "force"), 4.0f);
    EXPECT_EQ(test::uniformValue(demo.rippleShader, "alpha"), 1.0f);
    checkedFrame();
    EXPECT_FALSE(s.introFirstFrame);
    EXPECT_EQ(demo.sceneIndex, -1);
    // The fade from black started in this frame: fully black, clearing over 3 s.
    EXPECT_EQ(demo.fadeLevel, 1.0f);
    EXPECT_EQ(demo.fadeMode, 2);
    EXPECT_FLOAT_EQ(demo.fadeSpeed, 1.0f / 3.0f);
    if (sf::Music* music = RegistryViews::currentMusic()) {
        EXPECT_EQ(music->getStatus(), sf::Music::Playing);
        EXPECT_FALSE(music->getLoop());
    }
    for (const sf::Sprite* sprite : {s.introVinyl, s.introPresents, s.introSun}) {
        ASSERT_NE(sprite, nullptr);
        EXPECT_EQ(sprite->getPosition(), sf::Vector2f(960.0f, 540.0f));
    }
    EXPECT_EQ(s.introBlack, SpriteManager::get("black"));
    EXPECT_EQ(s.introVinyl, SpriteManager::get("vinyl"));
    EXPECT_EQ(s.introSun, SpriteManager::get("sun"));
    // The uniforms of the first frame come from the clock before it moved.
    EXPECT_EQ(test::uniformValue(demo.glitchShader, "glitchAmount"), 58.0f);
    EXPECT_EQ(test::uniformValue(demo.tvstaticShader, "time"), 0.0f);
    EXPECT_EQ(demo.effectClock, kDt);
}

SHOW_CHAPTER(IntroAt60, RecordPopsInWithAnOvershootAt2_5s) {
    const IntroState& s = demo.intro;
    playUntilFrameEndingAt(2.5);
    ASSERT_EQ(s.introStep, 1);
    drawInFull();
    checkedFrame();
    clipAgain();
    // 1 s into the 1.5 s back-out curve: about 9 % past full size.
    EXPECT_NEAR(s.introVinylScale, 1.089f, 0.002f);
    const sf::Image picture = scenePicture();
    expectRecordDrawnAtScale(picture, s.introVinylScale);
    // The plate is black to the edge.
    EXPECT_EQ(picture.getPixel(20, 20), sf::Color(0, 0, 0, 255));
    test::saveStill(windowPicture(), "intro-2.5s-record");

    playUntilFrameEndingAt(4.0);
    EXPECT_FALSE(s.introVinylTween.active);
    EXPECT_EQ(s.introVinylScale, 1.0f);
}

SHOW_CHAPTER(IntroAt60, StaticBurstShowsAt8sAndEndsInTheFrameItsTimeRunsOut) {
    const IntroState& s = demo.intro;
    // The noise starts in the frame that shows "presents". It sounds in real time, so it is
    // checked at once: a busy machine can take longer than the sound lasts to play the frames
    // up to 8 s.
    while (!s.introPresentsShown && !HasFatalFailure() && demo.sceneIndex == -1) {
        checkedFrame();
    }
    if (RegistryViews::soundPool("noise") != nullptr && !SoundManager::soundMuted) {
        EXPECT_TRUE(noisePlaying());
    }
    playUntilFrameEndingAt(8.0);
    drawInFull();
    checkedFrame();
    clipAgain();
    ASSERT_EQ(s.introStep, 2);
    ASSERT_TRUE(s.introPresentsShown);
    ASSERT_GT(s.introNoiseTime, 0.0f);
    const std::vector<int> snowy = cornerStrip(scenePicture());
    EXPECT_GT(std::set<int>(snowy.begin(), snowy.end()).size(), 20u) << "no snow on the plate";
    EXPECT_GT(*std::max_element(snowy.begin(), snowy.end()), 150);
    test::saveStill(windowPicture(), "intro-8.0s-static");

    // Up to the last frame that still has burst time left after its own frame time.
    while (s.introNoiseTime - kDt > 0.0f && (s.introNoiseTime - kDt) - kDt > 0.0f) {
        checkedFrame();
    }
    drawInFull();
    checkedFrame();
    ASSERT_GT(s.introNoiseTime, 0.0f);
    const std::vector<int> last = cornerStrip(scenePicture());
    EXPECT_GT(*std::max_element(last.begin(), last.end()), 150) << "static gone a frame early";

    checkedFrame(); // the burst's time crosses 0 here
    clipAgain();
    EXPECT_LE(s.introNoiseTime, 0.0f);
    const std::vector<int> clean = cornerStrip(scenePicture());
    EXPECT_EQ(*std::max_element(clean.begin(), clean.end()), 0) << "static drawn after its end";
    test::saveStill(windowPicture(), "intro-static-ended");
    EXPECT_FALSE(noisePlaying());
    // About 7.5 s to 8.25 s into the show.
    EXPECT_NEAR(seconds, 8.25, 2.5 * static_cast<double>(kDt));
}

SHOW_CHAPTER(IntroAt60, RecordHoldsThenShrinksWithABackInDipAt17s) {
    const IntroState& s = demo.intro;
    playUntilFrameEndingAt(16.4);
    EXPECT_EQ(s.introVinylScale, 1.0f) << "the record moved during the 9 s delay";
    EXPECT_EQ(demo.fadeMode, 1) << "the fade to black begins at 16 s";

    playUntilFrameEndingAt(17.0);
    drawInFull();
    checkedFrame();
    clipAgain();
    // Half a second into the 1.5 s back-in curve the record is larger than full size.
    EXPECT_NEAR(s.introVinylScale, 1.088f, 0.005f);
    expectRecordDrawnAtScale(scenePicture(), s.introVinylScale);
    EXPECT_NEAR(demo.fadeLevel, 1.0f / 3.0f, 0.01f);
    test::saveStill(windowPicture(), "intro-17.0s-shrink");

    playUntilFrameEndingAt(18.1);
    EXPECT_FALSE(s.introVinylTween.active);
    EXPECT_EQ(s.introVinylScale, 0.0f);
}

SHOW_CHAPTER(IntroAt60, HandsOverToTheTitleAfterTwentySeconds) {
    const long expected = opening::introHandOverFrame([](long) { return kDt; });
    while (demo.sceneIndex == -1 && frames <= expected && !HasFatalFailure()) {
        checkedFrame();
    }
    EXPECT_EQ(demo.sceneIndex, 0);
    EXPECT_EQ(frames - 1, expected);
    // The strict thresholds and the float step time put it on 20.0 s or up to one frame
    // later per step.
    std::cout << "intro hands over after " << frames << " frames, " << seconds << " s\n";
    EXPECT_GE(seconds, 20.0 - 1e-6);
    EXPECT_LE(seconds, 20.0 + static_cast<double>(4 * kDt) + 1e-5);
    EXPECT_EQ(demo.fadeLevel, 1.0f);
    EXPECT_EQ(demo.intro.introStep, 3);

    // -12..128 over the intro.
    EXPECT_GE(lowestGlitch, -12.0f);
    EXPECT_LT(lowestGlitch, -11.99f);
    EXPECT_LE(highestGlitch, 128.0f);
    EXPECT_GT(highestGlitch, 127.99f);

    frame(kDt);
    EXPECT_FALSE(demo.title.titleFirstFrame) << "the title runs in the next frame";
}

} // namespace
