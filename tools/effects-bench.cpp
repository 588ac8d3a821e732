// klomp-effects-bench: what the motion and effects code costs per frame on the shipped assets.
//
//   klomp-effects-bench alloc   heap allocations (operator new) on the main thread across 300
//                               frames of particles, stickers, the scroller and elastic sprites,
//                               after a first frame, without and then with SFML's GL context
//                               record held across the frames; counted per part (number and
//                               bytes), with the call site of any allocation
//   klomp-effects-bench time    milliseconds per 1920x1080 frame: three full particle pools and
//                               a 170-character scroller (size 256, outline 12), against the
//                               bare frame, each part alone, and both together
//   klomp-effects-bench still [PATH]
//                               one picture of the brick wall in perspective, a particle burst,
//                               a row of stickers and the scroller (default /tmp/effects-still.png)
//
// Run from the repository root under a display:
//   ALSOFT_DRIVERS=null tools/with-xvfb.sh build/tools/klomp-effects-bench time
#include "bench/AllocationCounter.hpp"

#include "assets/SpriteManager.hpp"
#include "assets/TextureManager.hpp"
#include "effects/ElasticSprite.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/SceneHelpers.hpp"
#include "runtime/DemoState.hpp"
#include "runtime/DrawingClip.hpp"
#include "runtime/FrameLoop.hpp"
#include "runtime/Startup.hpp"

#include <SFML/OpenGL.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------------------------
// Allocation counting: bench/AllocationCounter replaces operator new and counts the main
// thread. A part's allocations are what the count grew by while it ran; its call sites are
// filed under the report round and the part.

namespace {

enum Part {
    None = -1,
    FramePart,
    ParticlesPart,
    StickersPart,
    ScrollerPart,
    PerspectivePart,
    BilinearPart,
    PartCount
};
const char* const kPartNames[PartCount] = {"frame (clear, compose, present)",
                                           "particles",
                                           "stickers",
                                           "scroller",
                                           "elastic, perspective",
                                           "elastic, bilinear"};

int reportRound = 0;
std::uint64_t counts[PartCount] = {};
std::uint64_t bytes[PartCount] = {};

// Counts what `part` allocates while this lives (nothing for None).
class Measure {
  public:
    explicit Measure(int part)
        : part_(part), count_(allocations::counted()), bytes_(allocations::countedBytes()) {
        if (part_ != None) {
            allocations::recordSites(true, reportRound * PartCount + part_);
        }
    }
    ~Measure() {
        if (part_ == None) {
            return;
        }
        allocations::recordSites(false);
        counts[part_] += allocations::counted() - count_;
        bytes[part_] += allocations::countedBytes() - bytes_;
    }
    Measure(const Measure&) = delete;
    Measure& operator=(const Measure&) = delete;

  private:
    int part_;
    std::uint64_t count_;
    std::uint64_t bytes_;
};

} // namespace

// ---------------------------------------------------------------------------------------------
// The effects scene: what the brick-wall scroller scene draws, without its timeline.

// A named namespace, not an anonymous one: exported names let the allocation report name
// the functions that call into SFML.
namespace effectsbench {

const char* const kMessage170 =
    "KLOMP  IS  BACK  WITH  BRICKS  AND  BASS        HOLD  ON  TIGHT        AND  THE  WALL  "
    "NEVER  SLEEPS        GREETINGS  TO  EVERY  CREW  THAT  STILL  CODES  FOR  FUN      ";

struct Effects {
    ElasticSprite wall;
    ElasticSprite band; // bilinear: perspective left off
    sf::FloatRect wallRect{0.0f, 0.0f, 2048.0f, 2048.0f};
    sf::FloatRect bandRect{0.0f, 0.0f, 1920.0f, 1080.0f};
    bool drawWall = true;
    bool drawBand = false;
    bool drawParticles = true;
    bool drawStickers = true;
    bool drawScroller = true;
    int frame = 0;
};

void setUpEffects(Effects& e) {
    const sf::Texture* bricks = TextureManager::get("brickwall");
    e.wall.setTexture(*bricks, false);
    e.wall.enablePerspective();
    e.wall.setCornerOffset(2, {0.0f, 2500.0f});
    e.wall.setCornerOffset(3, {0.0f, -2500.0f});
    e.wall.setPosition(960.0f, 540.0f);
    e.wall.setOrigin(1024.0f, 1024.0f);

    e.band.setTexture(*TextureManager::get("spectrum"), false);
    e.band.setCornerOffset(1, {0.0f, 300.0f});
    e.band.setCornerOffset(0, {0.0f, -300.0f});
    e.band.setScale(0.5f, 0.5f);
    e.band.setPosition(480.0f, 270.0f);

    Scroller& s = demo.scroller;
    s.scrollerMessage = kMessage170;
    s.scrollerActive = true;
    s.scrollerSpeed = -704.0f;
    s.scrollerX = 200.0f;
    s.scrollerPhase = 0.0f;

    if (ParticleSystem* stars = ParticleManager::get("bw_stars")) {
        stars->emitting = true;
        stars->spawnAccumulator = 0.0f;
    }
    demo.workSpriteB.setOrigin(0.0f, 0.0f);
    demo.workSpriteB.setPosition(0.0f, 0.0f);
    demo.frameSprite.setOrigin(0.0f, 0.0f);
    demo.frameSprite.setPosition(0.0f, 0.0f);
}

// A row of six stickers across the frame, popping in one after another.
void addStickerRow(float firstDelay) {
    const char* const keys[6] = {"heart", "star", "bomb", "duck", "fist", "gun"};
    for (int i = 0; i < 6; ++i) {
        if (sf::Sprite* sprite = SpriteManager::get(keys[i])) {
            addSticker(sprite, 180.0f + 250.0f * static_cast<float>(i), 780.0f,
                       firstDelay + 0.25f * static_cast<float>(i), 0.0f, 0.2f, -25.0f, 1.0f, 0.55f,
                       4.0f * static_cast<float>(i % 3) - 4.0f, true, i % 2 == 0, nullptr);
        }
    }
}

// Keeps every slot of every system alive, spread over the frame.
void fillPools() {
    static unsigned seed = 12345;
    auto next = [] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<float>((seed >> 8) & 0xFFFF) / 65535.0f;
    };
    for (const char* key : {"bw_stars", "star_particles", "vinyl_stars"}) {
        ParticleSystem* system = ParticleManager::get(key);
        while (system->liveCount() < static_cast<std::int32_t>(system->pool().size())) {
            system->emitParticleAt(next() * 1920.0f, next() * 1080.0f);
        }
    }
}

// One frame of effects work; `measure` names the part each step is counted under.
void effectsFrame(Effects& e, float dt, bool measure) {
    auto part = [measure](int p) { return measure ? p : None; };
    {
        Measure m(part(FramePart));
        demo.window->clear();
        demo.frameTarget.clear();
        demo.workTargetB.clear(sf::Color::Transparent);
    }
    if (e.drawWall) {
        Measure m(part(PerspectivePart));
        e.wallRect.left -= 256.0f * dt;
        e.wall.setTextureRect(e.wallRect);
        demo.frameTarget.draw(e.wall);
    }
    if (e.drawBand) {
        Measure m(part(BilinearPart));
        e.bandRect.left -= 800.0f * dt;
        e.band.setTextureRect(e.bandRect);
        demo.frameTarget.draw(e.band);
    }
    if (e.drawStickers) {
        Measure m(part(StickersPart));
        updateStickers(dt);
        drawStickers();
        if (e.frame % 300 == 150) { // a scene starting a new set
            clearStickers();
            addStickerRow(0.0f);
        }
    }
    if (e.drawScroller) {
        Measure m(part(ScrollerPart));
        advanceScroller(dt);
        drawScroller(demo.workTargetB);
    }
    if (e.drawParticles) {
        Measure m(part(ParticlesPart));
        if (e.frame % 40 == 20) {
            if (ParticleSystem* vinyl = ParticleManager::get("vinyl_stars")) {
                for (int i = 0; i < 50; ++i) {
                    vinyl->emitParticleAt(960.0f, 540.0f);
                }
            }
        }
        ParticleManager::update(dt);
        ParticleManager::draw();
    }
    {
        Measure m(part(FramePart));
        demo.workTargetB.display();
        demo.frameTarget.draw(demo.workSpriteB);
        demo.frameTarget.display();
        demo.window->draw(demo.frameSprite);
        demo.window->display();
    }
    ++e.frame;
}

void countFrames(Effects& e, int frames) {
    for (int i = 0; i < frames; ++i) {
        effectsFrame(e, 1.0f / 60.0f, true);
    }
}

void report(int frames, const char* how) {
    std::uint64_t total = 0;
    std::printf("heap allocations (operator new, main thread) over %d frames, %s:\n", frames, how);
    for (int p = 0; p < PartCount; ++p) {
        std::printf("  %-34s %6llu  (%llu bytes)\n", kPartNames[p],
                    static_cast<unsigned long long>(counts[p]),
                    static_cast<unsigned long long>(bytes[p]));
        total += counts[p];
        counts[p] = 0;
        bytes[p] = 0;
    }
    std::printf("  %-34s %6llu\n", "total", static_cast<unsigned long long>(total));
    // Library sites reached through the same call are merged; the program's own are listed.
    std::map<std::string, std::uint64_t> librarySites;
    for (const allocations::Site& site : allocations::sites()) {
        if (site.tag / PartCount != reportRound) {
            continue;
        }
        const std::string part = kPartNames[site.tag % PartCount];
        if (site.project) {
            std::printf("  %s: %llu by this program's code at\n", part.c_str(),
                        static_cast<unsigned long long>(site.count));
            for (std::size_t i = 0; i < site.stack.size() && i < 8; ++i) {
                std::printf("      %s\n", site.stack[i].c_str());
            }
        } else {
            librarySites[part + ": " + allocations::describe(site)] += site.count;
        }
    }
    for (const auto& [where, count] : librarySites) {
        std::printf("  %6llu  %s\n", static_cast<unsigned long long>(count), where.c_str());
    }
    ++reportRound;
}

int runAllocations(Effects& e) {
    e.drawBand = true;
    addStickerRow(0.0f);
    setDrawingClipped(true);              // the same calls, a fraction of the rasterising
    effectsFrame(e, 1.0f / 60.0f, false); // the first frame builds what is built once
    allocations::countThisThread();       // after the first frame: every library is loaded
    const int frames = 300;
    countFrames(e, frames);
    report(frames, "after the first, no context hold");
    {
        const FrameContextHold hold; // as the show's frame loop holds it
        countFrames(e, frames);
    }
    report(frames, "holding SFML's GL context record across them, as the show's loop does");
    if (allocations::unrecorded() > 0) {
        std::printf("%llu more allocation(s) whose sites did not fit the table\n",
                    static_cast<unsigned long long>(allocations::unrecorded()));
    }
    setDrawingClipped(false);
    std::printf("live particles at the end: bw_stars %d, star_particles %d, vinyl_stars %d\n",
                ParticleManager::get("bw_stars")->liveCount(),
                ParticleManager::get("star_particles")->liveCount(),
                ParticleManager::get("vinyl_stars")->liveCount());
    return 0;
}

double medianMs(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int runTiming(Effects& e) {
    demo.window->setVerticalSyncEnabled(false);
    demo.window->setFramerateLimit(0);
    e.drawWall = false;
    e.drawStickers = false;
    const float dt = 1.0f / 60.0f;
    struct Variant {
        const char* name;
        bool particles;
        bool scroller;
    };
    const Variant variants[] = {{"bare frame (clear 3 surfaces, compose, present)", false, false},
                                {"+ 3 full particle pools (300 particles)", true, false},
                                {"+ 170-character scroller, size 256, outline 12", false, true},
                                {"+ both", true, true}};
    const int rounds = 5;
    const int framesPerRound = 8;
    std::vector<double> times[4];
    for (int round = 0; round < rounds; ++round) { // interleaved, so drift hits every variant
        for (int v = 0; v < 4; ++v) {
            e.drawParticles = variants[v].particles;
            e.drawScroller = variants[v].scroller;
            for (int i = 0; i < framesPerRound + 1; ++i) {
                demo.scroller.scrollerX = 200.0f; // the same letters on screen every frame
                if (variants[v].particles) {
                    fillPools();
                }
                const auto start = std::chrono::steady_clock::now();
                effectsFrame(e, dt, false);
                glFinish();
                const auto end = std::chrono::steady_clock::now();
                if (i > 0) { // the first frame after a switch warms up
                    times[v].push_back(
                        std::chrono::duration<double, std::milli>(end - start).count());
                }
            }
        }
    }
    std::printf("milliseconds per 1920x1080 frame (median of %d, vsync off):\n",
                rounds * framesPerRound);
    for (int v = 0; v < 4; ++v) {
        std::printf("  %-50s %7.1f  (min %.1f, max %.1f)\n", variants[v].name, medianMs(times[v]),
                    *std::min_element(times[v].begin(), times[v].end()),
                    *std::max_element(times[v].begin(), times[v].end()));
    }
    std::printf("live particles: %d\n", ParticleManager::get("bw_stars")->liveCount() +
                                            ParticleManager::get("star_particles")->liveCount() +
                                            ParticleManager::get("vinyl_stars")->liveCount());
    return 0;
}

int runStill(Effects& e, const std::string& path) {
    e.drawBand = false;
    addStickerRow(0.1f);
    demo.scroller.scrollerX = 1500.0f;
    const float dt = 1.0f / 30.0f;
    const int frames = 75; // 2.5 s: the row has popped in and the first drips run
    for (int i = 0; i < frames; ++i) {
        if (i == frames - 12) { // a burst caught in flight
            if (ParticleSystem* stars = ParticleManager::get("star_particles")) {
                for (int k = 0; k < 75; ++k) {
                    stars->emitParticleAt(1400.0f, 420.0f);
                }
            }
        }
        effectsFrame(e, dt, false);
    }
    const sf::Image image = demo.frameTarget.getTexture().copyToImage();
    if (!image.saveToFile(path)) {
        std::fprintf(stderr, "klomp-effects-bench: could not write %s\n", path.c_str());
        return 1;
    }
    std::printf("wrote %s\n", path.c_str());
    return 0;
}

} // namespace effectsbench

int main(int argc, char** argv) {
    using namespace effectsbench;
    const std::string mode = argc > 1 ? argv[1] : "time";
    if (mode != "alloc" && mode != "time" && mode != "still") {
        std::fprintf(stderr, "usage: %s alloc|time|still [PATH]\n", argv[0]);
        return 2;
    }
    sf::RenderWindow window;
    startUp(window);
    static Effects effects; // after start-up: the elastic sprites need the shader support
    setUpEffects(effects);
    if (mode == "alloc") {
        return runAllocations(effects);
    }
    if (mode == "time") {
        return runTiming(effects);
    }
    return runStill(effects, argc > 2 ? argv[2] : "/tmp/effects-still.png");
}
