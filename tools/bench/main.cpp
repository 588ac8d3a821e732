// klomp-bench: plays the show (or a stretch of it) with vertical sync off at a fixed frame time
// and measures it: per scene the frame times (renderFrame + display, finished with glFinish so
// the GPU's work counts), the first frame apart, heap allocations per frame after the first,
// start-up by stage, peak resident memory, and one full-screen pass of each post-processing
// program against a plain pass-through pass, beside programs that do only the least a look
// needs (the cost floor of a pass with that look). Prints a table; writes JSON and a plot on
// request.
// Every figure depends on the machine: they are reported, never judged.
#include "bench/AllocationCounter.hpp"
#include "capture/Pictures.hpp"
#include "capture/ShowSession.hpp"

#include "runtime/DemoState.hpp"
#include "runtime/DrawingClip.hpp"
#include "runtime/FrameLoop.hpp"
#include "runtime/Startup.hpp"
#include "runtime/WarmUp.hpp"

#include <SFML/Graphics/Shader.hpp>
#include <SFML/Graphics/Sprite.hpp>
#include <SFML/OpenGL.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <limits>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace capture;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Options {
    double fps = 60.0;
    double start = 0.0;
    double end = std::numeric_limits<double>::infinity();
    std::string json;
    std::string plot;
    bool clip = false;
    bool passes = true;
    int passRepeats = 30;
};

const char* kUsage =
    "usage: klomp-bench [options]   (run from the repository root)\n"
    "  --fps N        fixed frame rate (default 60)\n"
    "  --start T      measure from this show second; earlier frames play unseen\n"
    "  --end T        stop before this show second\n"
    "  --json FILE    write the figures as JSON\n"
    "  --plot FILE    PNG plot of frame times across the show, scene starts marked\n"
    "  --clip         draw nothing (1x1 scissor): logic and allocations only\n"
    "  --passes N     repetitions of each post-processing pass (default 30)\n"
    "  --no-passes    skip the post-processing passes\n";

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto number = [&](double& out) {
            if (i + 1 >= argc) {
                return false;
            }
            char* end = nullptr;
            out = std::strtod(argv[++i], &end);
            return end != nullptr && *end == '\0';
        };
        double n = 0.0;
        if (a == "--fps" && number(o.fps) && o.fps > 0.0) {
        } else if (a == "--start" && number(o.start) && o.start >= 0.0) {
        } else if (a == "--end" && number(o.end)) {
        } else if (a == "--json" && i + 1 < argc) {
            o.json = argv[++i];
        } else if (a == "--plot" && i + 1 < argc) {
            o.plot = argv[++i];
        } else if (a == "--clip") {
            o.clip = true;
        } else if (a == "--passes" && number(n) && n >= 1.0) {
            o.passRepeats = static_cast<int>(n);
        } else if (a == "--no-passes") {
            o.passes = false;
        } else {
            std::cerr << "klomp-bench: bad option " << a << "\n" << kUsage;
            return false;
        }
    }
    if (!(o.end > o.start)) {
        std::cerr << "klomp-bench: --end must come after --start\n";
        return false;
    }
    return true;
}

// Seconds between the process's start (as the kernel recorded it, 10 ms steps) and now.
double secondsSinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string text; // the file is one line
    std::getline(stat, text);
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return 0.0;
    }
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long startTicks = 0;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
        if (i == 22) {
            startTicks = std::stoull(field);
        }
    }
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double bootSeconds =
        static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    return bootSeconds -
           static_cast<double>(startTicks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    // Nearest rank: the smallest value with at least p of the values at or below it.
    const double rank = std::ceil(p * static_cast<double>(values.size()));
    const std::size_t index = static_cast<std::size_t>(std::max(1.0, rank)) - 1;
    return values[std::min(index, values.size() - 1)];
}

struct SceneFigures {
    SceneId scene = 0;
    double firstFrameTime = -1.0;
    double firstFrameMs = 0.0;
    std::uint64_t firstFrameAllocations = 0;
    std::vector<double> frameMs; // after the first frame
    std::uint64_t laterAllocations = 0;
    std::uint64_t laterAllocationMax = 0;
    std::uint64_t framesWithAllocations = 0;
    std::uint64_t projectAllocations = 0;
    std::uint64_t libraryAllocations = 0;
};

struct PassFigure {
    std::string name;
    double ms = 0.0;
    bool floor = false; // a program doing only what one of the looks needs at least
};

// One full-screen pass of `shader` (or none) from a full-screen picture into workTargetC,
// finished with glFinish; milliseconds.
double timePass(const sf::Shader* shader, const sf::Sprite& picture) {
    sf::RenderStates states;
    states.shader = shader;
    demo.workTargetC.setActive(true);
    glFinish();
    const Clock::time_point start = Clock::now();
    demo.workTargetC.clear(sf::Color::Transparent);
    demo.workTargetC.draw(picture, states);
    demo.workTargetC.display();
    glFinish();
    return msSince(start);
}

std::vector<PassFigure> timePasses(int repeats) {
    // A busy, opaque full-screen picture: the last frame of the run over a solid colour.
    demo.workTargetB.clear(sf::Color(40, 120, 160, 255));
    demo.frameTarget.display();
    demo.workTargetB.draw(demo.frameSprite);
    demo.workTargetB.display();
    sf::Sprite picture(demo.workTargetB.getTexture());

    std::ifstream vertexFile("assets/shaders/passthrough.vert");
    std::ostringstream vertex;
    vertex << vertexFile.rdbuf();
    const auto program = [&vertex](sf::Shader& shader, const std::string& body) {
        shader.loadFromMemory(vertex.str(), "#version 110\n"
                                            "uniform sampler2D currentTexture;\n"
                                            "uniform float split;\n"
                                            "void main() {\n"
                                            "    vec2 uv = gl_TexCoord[0].xy;\n" +
                                                body + "}\n");
        shader.setUniform("currentTexture", sf::Shader::CurrentTexture);
    };
    sf::Shader passThrough;
    program(passThrough, "gl_FragColor = gl_Color * texture2D(currentTexture, uv);\n");
    // The least the looks need, each alone: the glitch splits the colours by reading the
    // picture at three places; the ripple and the static's jitter read it where a sine moves it.
    sf::Shader threeReads;
    program(threeReads, "vec4 base = texture2D(currentTexture, uv);\n"
                        "vec4 red = texture2D(currentTexture, uv + vec2(split, 0.0));\n"
                        "vec4 blue = texture2D(currentTexture, uv - vec2(split, 0.0));\n"
                        "gl_FragColor = gl_Color * vec4(red.r, base.g, blue.b, base.a);\n");
    threeReads.setUniform("split", 0.002f);
    sf::Shader oneSine;
    program(oneSine, "uv.x += 0.001 * sin(uv.y * 28.0);\n"
                     "gl_FragColor = gl_Color * texture2D(currentTexture, uv);\n");

    demo.glitchShader.setUniform("glitchAmount", 70.0f);
    demo.rippleShader.setUniform("time", 2.0f);
    demo.tvstaticShader.setUniform("time", 1.0f);
    demo.blueprintPeephole.setUniform("xOffset", 0.1f);
    demo.blueprintPeephole.setUniform("yOffset", 0.2f);

    struct Program {
        const char* name;
        const sf::Shader* shader;
        bool floor;
    };
    const std::vector<Program> programs{{"no shader", nullptr, false},
                                        {"pass-through", &passThrough, false},
                                        {"glitch", &demo.glitchShader, false},
                                        {"ripple", &demo.rippleShader, false},
                                        {"tvstatic", &demo.tvstaticShader, false},
                                        {"peephole", &demo.blueprintPeephole, false},
                                        {"three reads", &threeReads, true},
                                        {"one sine", &oneSine, true}};
    // Round by round, every program once per round, so that a busy moment of the machine
    // falls on all of them alike; the first two rounds warm up (the driver compiles lazily).
    std::vector<std::vector<double>> times(programs.size());
    for (int round = 0; round < repeats + 2; ++round) {
        for (std::size_t p = 0; p < programs.size(); ++p) {
            const double ms = timePass(programs[p].shader, picture);
            if (round >= 2) {
                times[p].push_back(ms);
            }
        }
    }
    std::vector<PassFigure> figures;
    for (std::size_t p = 0; p < programs.size(); ++p) {
        figures.push_back({programs[p].name, percentile(times[p], 0.5), programs[p].floor});
    }
    return figures;
}

long peakResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    const double processToMain = secondsSinceProcessStart() * 1000.0;
    Options options;
    if (!parse(argc, argv, options)) {
        return 2;
    }
    // The show's sound goes to a silent device: decoding and mixing still run as in a show.
    setenv("ALSOFT_DRIVERS", "null", 1);

    std::map<std::string, double> stages;
    sf::RenderWindow window;
    Clock::time_point mark = Clock::now();
    startUpWindow(window);
    window.setVerticalSyncEnabled(false);
    stages["window and targets"] = msSince(mark);
    mark = Clock::now();
    startUpRegistries();
    stages["registries"] = msSince(mark);
    mark = Clock::now();
    startUpShadersAndFont();
    const double shadersAndFontMs = msSince(mark);
    mark = Clock::now();
    prepareDrawing();
    const double warmUpMs = msSince(mark);
    // The JSON keeps five stages; the warm-up counts with the shaders and the font.
    stages["shaders and font"] = shadersAndFontMs + warmUpMs;
    const std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));

    const FixedClock clock(options.fps);
    const std::int64_t firstMeasured = clock.firstFrameAtOrAfter(options.start);
    const std::int64_t endFrame = std::isinf(options.end) ? std::numeric_limits<std::int64_t>::max()
                                                          : clock.firstFrameAtOrAfter(options.end);

    std::vector<SceneFigures> scenes;
    scenes.reserve(8);
    std::vector<double> plotTime;
    std::vector<double> plotMs;
    plotTime.reserve(16384);
    plotMs.reserve(16384);
    std::vector<PlotMark> marks;
    marks.reserve(8);
    double firstFrameMs = 0.0;

    allocations::countThisThread();
    SceneId previous = 99;
    std::int64_t frame = 0;
    // Held across the frames as the show's own loop holds it, so that SFML keeps its context
    // record instead of making one for every texture bind, uniform and clear.
    std::optional<FrameContextHold> hold;
    hold.emplace();
    for (; demo.running && frame < endFrame; ++frame) {
        const bool measured = frame >= firstMeasured;
        setDrawingClipped(options.clip || !measured);
        const SceneId scene = demo.sceneIndex;
        const bool firstOfScene = scene != previous;
        previous = scene;
        // A run that starts in the middle of a scene opens that scene's figures at its first
        // measured frame.
        if (measured && (firstOfScene || scenes.empty())) {
            scenes.emplace_back();
            scenes.back().scene = scene;
            scenes.back().firstFrameTime = clock.timeOf(frame);
            marks.push_back({clock.timeOf(frame), sceneName(scene)});
        }
        allocations::recordSites(measured && !firstOfScene, scene);
        const std::uint64_t before = allocations::counted();
        const Clock::time_point began = Clock::now();
        playFrame(clock, frame);
        window.display();
        glFinish();
        const double ms = msSince(began);
        const std::uint64_t made = allocations::counted() - before;
        allocations::recordSites(false);
        if (frame == 0) {
            firstFrameMs = ms;
        }
        if (!measured) {
            continue;
        }
        SceneFigures& figures = scenes.back();
        if (firstOfScene) {
            figures.firstFrameMs = ms;
            figures.firstFrameAllocations = made;
        } else {
            figures.frameMs.push_back(ms);
            figures.laterAllocations += made;
            figures.laterAllocationMax = std::max(figures.laterAllocationMax, made);
            figures.framesWithAllocations += made > 0 ? 1 : 0;
        }
        plotTime.push_back(clock.timeOf(frame));
        plotMs.push_back(ms);
    }
    hold.reset();
    stages["first frame"] = firstFrameMs;
    const std::uint64_t otherThreadAllocations = allocations::otherThreads();
    const std::vector<allocations::Site> sites = allocations::sites();
    for (const allocations::Site& site : sites) {
        for (SceneFigures& figures : scenes) {
            if (figures.scene == site.tag) {
                (site.project ? figures.projectAllocations : figures.libraryAllocations) +=
                    site.count;
            }
        }
    }
    setDrawingClipped(false);
    std::vector<PassFigure> passes;
    if (options.passes && !options.clip) {
        passes = timePasses(options.passRepeats);
    }
    const long peakKb = peakResidentKb();

    // The table.
    std::printf("klomp-bench: %g fps fixed frame time, vsync off, %s%s; %lld frames\n", options.fps,
                renderer.c_str(), options.clip ? ", drawing clipped" : "",
                static_cast<long long>(frame));
    const double startUpTotal = processToMain + stages["window and targets"] +
                                stages["registries"] + stages["shaders and font"] +
                                stages["first frame"];
    std::printf("start-up to the first scene frame: %.0f ms = process to main %.0f + window and "
                "targets %.0f + registries %.0f + shaders and font %.0f + warm-up of the "
                "drawing %.0f + first frame %.0f\n",
                startUpTotal, processToMain, stages["window and targets"], stages["registries"],
                shadersAndFontMs, warmUpMs, stages["first frame"]);
    // The frame times as multiples of one pass-through pass of this run, and the spread: p99
    // over the median (both without the scene's first frame).
    const double passThroughMs = passes.size() > 1 ? passes[1].ms : 0.0;
    auto ratio = [](double a, double b) { return b > 0.0 ? a / b : 0.0; };
    std::printf("%-15s %7s %9s %8s %8s %8s %8s %8s %8s  %s\n", "scene", "frames", "first ms",
                "median", "p95", "p99", "max", "x pass", "p99/med",
                "allocations after the first frame (project/library)");
    if (!allocations::available()) {
        std::printf("allocations are not counted in this build (ThreadSanitizer owns operator "
                    "new); the columns read 0\n");
    }
    for (const SceneFigures& s : scenes) {
        const double median = percentile(s.frameMs, 0.5);
        const double p99 = percentile(s.frameMs, 0.99);
        std::printf("%-15s %7zu %9.1f %8.1f %8.1f %8.1f %8.1f %8.2f %8.2f  %llu in %llu frames, at "
                    "most %llu per frame (%llu/%llu); first frame %llu\n",
                    sceneName(s.scene), s.frameMs.size() + 1, s.firstFrameMs, median,
                    percentile(s.frameMs, 0.95), p99,
                    s.frameMs.empty() ? 0.0 : *std::max_element(s.frameMs.begin(), s.frameMs.end()),
                    ratio(median, passThroughMs), ratio(p99, median),
                    static_cast<unsigned long long>(s.laterAllocations),
                    static_cast<unsigned long long>(s.framesWithAllocations),
                    static_cast<unsigned long long>(s.laterAllocationMax),
                    static_cast<unsigned long long>(s.projectAllocations),
                    static_cast<unsigned long long>(s.libraryAllocations),
                    static_cast<unsigned long long>(s.firstFrameAllocations));
    }
    // Library sites merged by what allocated and which library call of the show led there,
    // with the rate per frame of the scene (first frame excluded).
    std::map<std::pair<int, std::string>, std::uint64_t> librarySites;
    for (const allocations::Site& site : sites) {
        if (site.project) {
            std::printf("  %s: %llu allocation(s) by the show's own code:\n", sceneName(site.tag),
                        static_cast<unsigned long long>(site.count));
            for (std::size_t i = 0; i < site.stack.size() && i < 8; ++i) {
                std::printf("      %s\n", site.stack[i].c_str());
            }
        } else {
            librarySites[{site.tag, allocations::describe(site)}] += site.count;
        }
    }
    if (!librarySites.empty()) {
        std::printf("library allocations after each scene's first frame (per frame):\n");
    }
    for (const auto& [key, count] : librarySites) {
        double frames = 1.0;
        for (const SceneFigures& figures : scenes) {
            if (figures.scene == key.first) {
                frames = std::max<double>(1.0, static_cast<double>(figures.frameMs.size()));
            }
        }
        std::printf("  %-14s %7.2f  %s\n", sceneName(key.first),
                    static_cast<double>(count) / frames, key.second.c_str());
    }
    if (allocations::unrecorded() > 0) {
        std::printf("  %llu more allocation(s) whose stacks did not fit the table\n",
                    static_cast<unsigned long long>(allocations::unrecorded()));
    }
    std::printf("allocations on other threads (audio streaming): %llu\n",
                static_cast<unsigned long long>(otherThreadAllocations));
    std::printf("peak resident memory: %.1f MB\n", static_cast<double>(peakKb) / 1024.0);
    if (!passes.empty()) {
        const double base = passes[1].ms;
        std::printf("one full-screen pass, median of %d:", options.passRepeats);
        for (const PassFigure& p : passes) {
            if (!p.floor) {
                std::printf("  %s %.1f ms", p.name.c_str(), p.ms);
                if (&p != &passes[0] && &p != &passes[1] && base > 0.0) {
                    std::printf(" (%.2fx)", p.ms / base);
                }
            }
        }
        std::printf("\nthe least a look needs, alone: ");
        for (const PassFigure& p : passes) {
            if (p.floor) {
                std::printf("  %s %.1f ms (%.2fx)", p.name.c_str(), p.ms,
                            base > 0.0 ? p.ms / base : 0.0);
            }
        }
        std::printf("  (the glitch reads the picture three times; the ripple and the static move "
                    "their reads with sines)\n");
    }

    if (!options.json.empty()) {
        nlohmann::json out;
        out["fps"] = options.fps;
        out["renderer"] = renderer;
        out["clipped"] = options.clip;
        out["frames"] = frame;
        out["start_up_ms"] = {{"process_to_main", processToMain},
                              {"window_and_targets", stages["window and targets"]},
                              {"registries", stages["registries"]},
                              {"shaders_and_font", stages["shaders and font"]},
                              {"first_frame", stages["first frame"]},
                              {"total", startUpTotal}};
        out["scenes"] = nlohmann::json::array();
        for (const SceneFigures& s : scenes) {
            out["scenes"].push_back(
                {{"scene", s.scene},
                 {"name", sceneName(s.scene)},
                 {"start", s.firstFrameTime},
                 {"frames", s.frameMs.size() + 1},
                 {"first_frame_ms", s.firstFrameMs},
                 {"median_ms", percentile(s.frameMs, 0.5)},
                 {"p95_ms", percentile(s.frameMs, 0.95)},
                 {"p99_ms", percentile(s.frameMs, 0.99)},
                 {"max_ms",
                  s.frameMs.empty() ? 0.0 : *std::max_element(s.frameMs.begin(), s.frameMs.end())},
                 {"median_to_pass_through", ratio(percentile(s.frameMs, 0.5), passThroughMs)},
                 {"p99_to_median", ratio(percentile(s.frameMs, 0.99), percentile(s.frameMs, 0.5))},
                 {"allocations",
                  {{"first_frame", s.firstFrameAllocations},
                   {"after_first_frame", s.laterAllocations},
                   {"frames_with_allocations", s.framesWithAllocations},
                   {"most_in_one_frame", s.laterAllocationMax},
                   {"project", s.projectAllocations},
                   {"library", s.libraryAllocations}}}});
        }
        out["allocation_sites"] = nlohmann::json::array();
        for (const allocations::Site& site : sites) {
            out["allocation_sites"].push_back({{"scene", site.tag},
                                               {"count", site.count},
                                               {"project", site.project},
                                               {"owner", site.owner},
                                               {"entry", site.entry},
                                               {"allocator", site.allocator},
                                               {"caller", site.caller},
                                               {"stack", site.stack}});
        }
        out["allocations_unrecorded"] = allocations::unrecorded();
        out["allocations_other_threads"] = otherThreadAllocations;
        out["peak_resident_kb"] = peakKb;
        out["passes_ms"] = nlohmann::json::object();
        for (const PassFigure& p : passes) {
            out["passes_ms"][p.name] = p.ms;
        }
        if (!passes.empty() && passes[1].ms > 0.0) {
            for (std::size_t i = 2; i < passes.size(); ++i) {
                out["pass_ratio_to_pass_through"][passes[i].name] = passes[i].ms / passes[1].ms;
            }
        }
        std::ofstream file(options.json);
        file << out.dump(2) << "\n";
        if (!file) {
            std::cerr << "klomp-bench: cannot write " << options.json << std::endl;
            return 1;
        }
        std::printf("json: %s\n", options.json.c_str());
    }
    if (!options.plot.empty()) {
        const std::vector<PlotSeries> series{
            {"renderFrame + display + glFinish", sf::Color(40, 90, 200), plotTime, plotMs}};
        char title[128];
        std::snprintf(title, sizeof title, "klomp-bench frame times at %g fps", options.fps);
        if (!saveTimePlot(options.plot, title, series, marks)) {
            std::cerr << "klomp-bench: no plot written" << std::endl;
            return 1;
        }
        std::printf("plot: %s\n", options.plot.c_str());
    }
    std::fflush(stdout); // the table survives whatever the driver does at teardown
    window.close();
    return 0;
}
