// klomp-preview driven as a maker drives it, with keys through xdotool, in a copy of the asset
// folder: what its window shows (overlay hidden) must be exactly what klomp-capture renders
// for the same frame at the same frame rate, whichever way the frame was reached (opened
// there, sought backwards by replaying, sought forwards, stepped, jumped to a scene start, or
// rebuilt after a reload), and its scene jumps must land on the frames where the capture's
// timeline hands over. A shader broken on disk must be reported with the compiler's lines
// while the last good picture stays; repairing it brings the original picture back.
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// After everything else: Xlib defines macros (None, Bool, Status) that other headers use.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Every wait is generous: the machine running the suite may be busy with other tests.
constexpr double kWaitSeconds = 300.0;
// How long a picture is waited for to hold still (and to change, where it should).
constexpr double kSettleSeconds = 30.0;
const char* const kTitle = "klomp-preview";

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

void sleepFor(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// One RGB picture of the window, top row first.
struct Picture {
    unsigned width = 0;
    unsigned height = 0;
    std::vector<std::uint8_t> rgb;
};

Picture loadStill(const fs::path& path) {
    sf::Image image;
    Picture picture;
    if (!image.loadFromFile(path.string())) {
        return picture;
    }
    picture.width = image.getSize().x;
    picture.height = image.getSize().y;
    const std::uint8_t* rgba = image.getPixelsPtr();
    for (std::size_t i = 0; i < std::size_t{picture.width} * picture.height; ++i) {
        picture.rgb.insert(picture.rgb.end(), rgba + 4 * i, rgba + 4 * i + 3);
    }
    return picture;
}

// "identical" or how far apart two pictures are.
std::string difference(const Picture& a, const Picture& b) {
    if (a.width != b.width || a.height != b.height) {
        return "sizes differ: " + std::to_string(a.width) + "x" + std::to_string(a.height) +
               " against " + std::to_string(b.width) + "x" + std::to_string(b.height);
    }
    std::size_t pixels = 0;
    int most = 0;
    for (std::size_t i = 0; i < a.rgb.size(); i += 3) {
        int worst = 0;
        for (std::size_t c = 0; c < 3; ++c) {
            worst = std::max(worst, std::abs(int{a.rgb[i + c]} - int{b.rgb[i + c]}));
        }
        pixels += worst > 0 ? 1 : 0;
        most = std::max(most, worst);
    }
    if (pixels == 0) {
        return "identical";
    }
    return std::to_string(pixels) + " pixels differ, by up to " + std::to_string(most);
}

// The preview as a running program: keys go in with xdotool, one report line per handled key
// comes back on its standard output.
class PreviewRun {
  public:
    PreviewRun(const fs::path& dir, const std::vector<std::string>& args) : dir_(dir) {
        static int runs = 0;
        ++runs;
        const fs::path out = dir / (".preview-out-" + std::to_string(runs));
        const fs::path err = dir / (".preview-err-" + std::to_string(runs));
        outPath_ = out;
        errPath_ = err;
        child_ = fork();
        if (child_ == 0) {
            if (chdir(dir.c_str()) != 0) {
                _exit(126);
            }
            setenv("LP_NUM_THREADS", "0", 1);
            const int errFile = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int outFile = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(errFile, 2);
            dup2(outFile, 1);
            std::vector<char*> argv{const_cast<char*>(KLOMP_PREVIEW_TOOL)};
            for (const std::string& arg : args) {
                argv.push_back(const_cast<char*>(arg.c_str()));
            }
            argv.push_back(nullptr);
            execv(KLOMP_PREVIEW_TOOL, argv.data());
            _exit(127);
        }
        display_ = XOpenDisplay(nullptr);
    }

    ~PreviewRun() {
        if (child_ > 0 && !exited_) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
    }

    // The next report line, waiting for it; empty when none came in time or the program
    // ended.
    std::string nextLine() {
        const Clock::time_point began = Clock::now();
        while (std::chrono::duration<double>(Clock::now() - began).count() < kWaitSeconds) {
            const std::vector<std::string> lines = splitLines(readFile(outPath_));
            if (lines.size() > consumed_) {
                std::printf("preview: %s\n", lines[consumed_].c_str());
                return lines[consumed_++];
            }
            if (waitpid(child_, &status_, WNOHANG) == child_) {
                exited_ = true;
                return {};
            }
            sleepFor(0.05);
        }
        return {};
    }

    // Holds `keys` down briefly (keys are read between frames) and returns the report.
    std::string press(const std::string& keys) {
        const std::string down = "xdotool keydown " + keys;
        const std::string up = "xdotool keyup " + keys;
        EXPECT_EQ(std::system(down.c_str()), 0) << down;
        sleepFor(0.2);
        EXPECT_EQ(std::system(up.c_str()), 0) << up;
        return nextLine();
    }

    // The window's contents now.
    Picture grab() {
        Picture picture;
        if (display_ == nullptr) {
            return picture;
        }
        const Window window = test::findWindowTitled(display_, kTitle);
        XWindowAttributes attributes{};
        if (window == 0 || XGetWindowAttributes(display_, window, &attributes) == 0) {
            return picture;
        }
        XImage* image = XGetImage(display_, window, 0, 0, static_cast<unsigned>(attributes.width),
                                  static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
        if (image == nullptr) {
            return picture;
        }
        picture.width = static_cast<unsigned>(attributes.width);
        picture.height = static_cast<unsigned>(attributes.height);
        picture.rgb.reserve(std::size_t{picture.width} * picture.height * 3);
        // Xvfb at depth 24 hands out 32-bit pixels, blue first: read those bytes directly
        // (the window is read many times); any other layout goes through XGetPixel.
        const bool bgrx = image->bits_per_pixel == 32 && image->byte_order == LSBFirst &&
                          image->red_mask == 0xff0000 && image->green_mask == 0xff00 &&
                          image->blue_mask == 0xff;
        for (unsigned y = 0; y < picture.height; ++y) {
            const auto* row =
                reinterpret_cast<const std::uint8_t*>(image->data) +
                static_cast<std::size_t>(y) * static_cast<std::size_t>(image->bytes_per_line);
            for (unsigned x = 0; x < picture.width; ++x) {
                if (bgrx) {
                    const std::uint8_t* pixel = row + 4 * std::size_t{x};
                    picture.rgb.insert(picture.rgb.end(), {pixel[2], pixel[1], pixel[0]});
                    continue;
                }
                const unsigned long pixel =
                    XGetPixel(image, static_cast<int>(x), static_cast<int>(y));
                picture.rgb.push_back(static_cast<std::uint8_t>((pixel >> 16) & 0xff));
                picture.rgb.push_back(static_cast<std::uint8_t>((pixel >> 8) & 0xff));
                picture.rgb.push_back(static_cast<std::uint8_t>(pixel & 0xff));
            }
        }
        XDestroyImage(image);
        return picture;
    }

    // The window's contents once they hold still. A report line comes once the preview has
    // handed its frame to the X server, but the server may draw it a little later than it
    // answers this test's own read of the window, most of all on a busy machine: reads are
    // repeated until two a tenth of a second apart agree. `unlike`, when given, is a picture the
    // report says the window has moved away from; the reads also wait for the window to
    // differ from it (within the usual wait), so a late frame is not taken for no change.
    Picture settledGrab(const Picture* unlike = nullptr) {
        const Clock::time_point began = Clock::now();
        Picture last = grab();
        while (std::chrono::duration<double>(Clock::now() - began).count() < kSettleSeconds) {
            sleepFor(0.1);
            Picture now = grab();
            const bool still =
                now.width == last.width && now.height == last.height && now.rgb == last.rgb;
            const bool moved = unlike == nullptr || difference(now, *unlike) != "identical";
            if (still && moved) {
                return now;
            }
            last = std::move(now);
        }
        return last;
    }

    // The exit status once the program has ended, or -1 when it did not end in time.
    int exitStatus() {
        const Clock::time_point began = Clock::now();
        while (!exited_ &&
               std::chrono::duration<double>(Clock::now() - began).count() < kWaitSeconds) {
            if (waitpid(child_, &status_, WNOHANG) == child_) {
                exited_ = true;
                break;
            }
            sleepFor(0.05);
        }
        if (!exited_) {
            return -1;
        }
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
    }

    std::string standardError() const { return readFile(errPath_); }

  private:
    fs::path dir_;
    fs::path outPath_;
    fs::path errPath_;
    pid_t child_ = -1;
    int status_ = 0;
    bool exited_ = false;
    std::size_t consumed_ = 0;
    Display* display_ = nullptr;
};

// The frame a report line names: "... (frame 4800) ...".
long long frameOf(const std::string& line) {
    std::smatch match;
    if (std::regex_search(line, match, std::regex("\\(frame (\\d+)\\)"))) {
        return std::stoll(match[1].str());
    }
    return -1;
}

// Seconds of frame `frame` at 60 fps with `decimals` places, zero-padded to `width` characters,
// as the capture tool names its stills and the traces write their times.
std::string secondsOf(long long frame, int width, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%0*.*f", width, decimals, static_cast<double>(frame) / 60.0);
    return text;
}

// The lines of a timeline file by their time column.
std::map<std::string, std::string> traceByTime(const fs::path& path) {
    std::map<std::string, std::string> lines;
    for (const std::string& line : splitLines(readFile(path))) {
        lines.emplace(line.substr(0, line.find('\t')), line);
    }
    return lines;
}

TEST(Preview, ShowsTheCapturedFramesHoweverTheyAreReachedAndSurvivesABrokenShader) {
    test::TempDir dir;
    fs::copy_file(test::sourceDir() / "config.json", dir.path() / "config.json");
    // A copy of the assets, never the repository's own: the test edits a shader in it.
    fs::copy(test::sourceDir() / "assets", dir.path() / "assets", fs::copy_options::recursive);
    const fs::path ripple = dir.path() / "assets" / "shaders" / "ripple.frag";
    const std::string rippleSource = readFile(ripple);
    const fs::path trace = dir.path() / "preview.tsv";

    std::map<std::string, Picture> grabs; // by what the still will be compiled at
    std::vector<long long> sceneStarts;
    std::string problems;
    {
        PreviewRun preview(dir.path(), {"--at", "81", "--paused", "--trace", trace.string()});
        ASSERT_NE(preview.nextLine().find("ready at 81.000 s (frame 4860)"), std::string::npos)
            << preview.standardError();
        EXPECT_EQ(preview.press("h"), "overlay off");

        // Backwards: rebuilt and replayed from the start.
        EXPECT_EQ(frameOf(preview.press("Left")), 4800);
        grabs["80 s after a backward seek"] = preview.settledGrab();
        sleepFor(1.0);
        EXPECT_EQ(difference(preview.grab(), grabs["80 s after a backward seek"]), "identical")
            << "pause did not hold";
        EXPECT_EQ(frameOf(preview.press("period")), 4801);
        grabs["one frame later"] = preview.settledGrab();
        // Forwards: played on from where it is.
        EXPECT_EQ(frameOf(preview.press("shift+Left")), 4201);
        EXPECT_EQ(frameOf(preview.press("shift+Right")), 4801);
        EXPECT_EQ(difference(preview.settledGrab(), grabs["one frame later"]), "identical")
            << "a forward seek landed elsewhere";

        for (int scene = 1; scene <= 6; ++scene) {
            sceneStarts.push_back(frameOf(preview.press(std::to_string(scene))));
            if (scene == 3) {
                grabs["the wall scroller's first frame"] = preview.settledGrab();
            }
        }

        // The vinyl scroller's ripple, a second into the scene.
        preview.press("4");
        const long long rippleFrame = frameOf(preview.press("Right"));
        const Picture withRipple = preview.settledGrab();
        grabs["the ripple"] = withRipple;
        // Saved as editors save: written beside, then moved over, so the preview never reads
        // half a file.
        auto rewrite = [&](const std::string& text) {
            const fs::path part = dir.path() / "ripple.part";
            std::ofstream(part, std::ios::binary | std::ios::trunc) << text;
            fs::rename(part, ripple);
        };
        // A valid change shows: brighter crests.
        std::string bright = rippleSource;
        bright.replace(bright.find("0.07 * crest"), 12, "0.5 * crest");
        rewrite(bright);
        EXPECT_NE(preview.nextLine().find("reloaded assets/shaders/ripple.frag"),
                  std::string::npos);
        const Picture still = preview.settledGrab(&withRipple);
        EXPECT_NE(difference(still, withRipple), "identical") << "the change did not show";
        // A broken one is reported and the last good picture stays.
        std::string broken = bright;
        broken.replace(broken.find("vec4 colour ="), 13, "vec4 colour = ;");
        rewrite(broken);
        EXPECT_NE(preview.nextLine().find("reload of assets/shaders/ripple.frag failed"),
                  std::string::npos);
        EXPECT_EQ(difference(preview.settledGrab(), still), "identical")
            << "a broken shader changed the picture";
        // Repaired: the ripple is back, exactly.
        rewrite(rippleSource);
        EXPECT_NE(preview.nextLine().find("reloaded assets/shaders/ripple.frag"),
                  std::string::npos);
        EXPECT_EQ(difference(preview.settledGrab(), withRipple), "identical")
            << "the ripple did not come back";
        EXPECT_EQ(frameOf(preview.press("period")), rippleFrame + 1);

        preview.press("Escape");
        EXPECT_EQ(preview.exitStatus(), 0);
        problems = preview.standardError();
    }
    // The compiler's own lines, through the graphics library, on standard error.
    EXPECT_NE(problems.find("Failed to compile fragment shader"), std::string::npos) << problems;
    EXPECT_TRUE(std::regex_search(problems, std::regex("\\d+:\\d+\\(\\d+\\): error"))) << problems;

    {
        PreviewRun preview(dir.path(), {"--at", "80", "--paused", "--no-overlay"});
        EXPECT_EQ(frameOf(preview.nextLine()), 4800) << preview.standardError();
        grabs["opened at 80 s"] = preview.settledGrab();
        EXPECT_TRUE(test::requestWindowClose(kTitle));
        EXPECT_EQ(preview.exitStatus(), 0) << preview.standardError();
    }

    // What a straight run shows at those frames, and its timeline.
    ASSERT_EQ(sceneStarts.size(), 6u);
    const long long rippleFrame = sceneStarts[3] + 60;
    const std::vector<std::pair<std::string, long long>> stills{
        {"80 s after a backward seek", 4800},
        {"opened at 80 s", 4800},
        {"one frame later", 4801},
        {"the wall scroller's first frame", sceneStarts[2]},
        {"the ripple", rippleFrame}};
    std::string times;
    for (const auto& [what, frame] : stills) {
        times += (times.empty() ? "" : ",") + secondsOf(frame, 0, 6);
    }
    // The straight run stops just after the last scene has begun: nothing later is compared.
    const fs::path captureTrace = dir.path() / "capture.tsv";
    const std::string command = "cd '" + dir.path().string() + "' && LP_NUM_THREADS=0 " +
                                KLOMP_CAPTURE_TOOL + " --quiet --stills " + times + " --end " +
                                secondsOf(sceneStarts.back() + 2, 0, 6) +
                                " --out-dir stills --trace capture.tsv > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    for (const auto& [what, frame] : stills) {
        const Picture expected =
            loadStill(dir.path() / "stills" / ("still-" + secondsOf(frame, 8, 3) + ".png"));
        ASSERT_GT(expected.width, 0u) << what;
        EXPECT_EQ(difference(grabs[what], expected), "identical") << what;
    }

    // The scene jumps land where the timeline hands over, on the same scene and step.
    const std::map<std::string, std::string> straight = traceByTime(captureTrace);
    const std::map<std::string, std::string> previewed = traceByTime(trace);
    std::vector<long long> handOvers;
    std::string lastScene;
    long long frame = 0;
    for (const std::string& line : splitLines(readFile(captureTrace))) {
        if (line.rfind("time", 0) == 0) {
            continue;
        }
        const std::string scene = line.substr(
            line.find('\t') + 1, line.find('\t', line.find('\t') + 1) - line.find('\t') - 1);
        if (scene != lastScene && scene != "5") {
            handOvers.push_back(frame);
            lastScene = scene;
        }
        ++frame;
    }
    EXPECT_EQ(sceneStarts, handOvers);
    for (long long start : sceneStarts) {
        const std::string time = secondsOf(start, 0, 4);
        ASSERT_TRUE(previewed.count(time) && straight.count(time)) << time;
        EXPECT_EQ(previewed.at(time), straight.at(time));
    }
}

} // namespace
