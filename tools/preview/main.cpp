// klomp-preview: a maker's window onto the show. It plays the show through the program's own
// start-up and frame work with a fixed frame time, from any moment, and lets the maker pause,
// step, seek, jump to scene starts and change the speed; it follows the files the show reads
// and rebuilds the show when one changes, keeping the last set that loaded cleanly.
#include "preview/AssetMirror.hpp"
#include "preview/DiagnosticLog.hpp"
#include "preview/Overlay.hpp"
#include "preview/Player.hpp"
#include "preview/PreviewOptions.hpp"

#include "runtime/DemoState.hpp"
#include "runtime/DrawingClip.hpp"
#include "runtime/Frame.hpp"
#include "runtime/FrameLoop.hpp"
#include "runtime/RenderTargets.hpp"

#include <SFML/Graphics/Sprite.hpp>
#include <SFML/Window/Event.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <sys/resource.h>
#include <thread>

using namespace preview;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr unsigned kWidth = kFrameWidth;
constexpr unsigned kHeight = kFrameHeight;
// The time bar's span until the show has been played to its end once.
constexpr double kNominalShowSeconds = 196.9;

// Set by Ctrl-C or a termination request: the preview then quits as on Escape, which also
// removes its working copy.
volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int) {
    stopRequested = 1;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor seconds this process has used: on a shared machine a seek's wall time says more
// about the neighbours than about the seek.
double processorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// How long something took since `wall` and `processor`: "2.31 s (1.80 s of processor time)".
struct Stopwatch {
    Clock::time_point wall = Clock::now();
    double processor = processorSeconds();
    std::string text() const {
        char out[96];
        std::snprintf(out, sizeof out, "%.2f s (%.2f s of processor time)", secondsSince(wall),
                      processorSeconds() - processor);
        return out;
    }
};

// The show's window, windowed, shrunk to fit a smaller desktop. The show draws in its own
// 1920x1080 coordinates whatever the window's size.
void openWindow(sf::RenderWindow& window) {
    const sf::VideoMode desktop = sf::VideoMode::getDesktopMode();
    double scale = 1.0;
    if (desktop.width < kWidth || desktop.height < kHeight) {
        // Leave room for the window's frame and the desktop's panels.
        scale = 0.9 * std::min(static_cast<double>(desktop.width) / kWidth,
                               static_cast<double>(desktop.height) / kHeight);
    }
    const unsigned width = static_cast<unsigned>(std::lround(kWidth * scale));
    const unsigned height = static_cast<unsigned>(std::lround(kHeight * scale));
    window.create(sf::VideoMode(width, height, 32), "klomp-preview",
                  sf::Style::Titlebar | sf::Style::Close, sf::ContextSettings());
    window.setView(sf::View(sf::FloatRect(0.0f, 0.0f, kWidth, kHeight)));
    window.setPosition(sf::Vector2i(
        std::max(0, (static_cast<int>(desktop.width) - static_cast<int>(width)) / 2),
        std::max(0, (static_cast<int>(desktop.height) - static_cast<int>(height)) / 2)));
    window.setVerticalSyncEnabled(false);
    window.setKeyRepeatEnabled(false);
    window.setActive(true);
    window.clear(sf::Color::Black);
    window.display();
    demo.window = &window;
}

// A note that is no fault of the files: the graphics library names a uniform the show sets
// but the shader does not use (the compiler drops unused ones, so an edit can cause it).
bool isNote(const std::string& line) {
    return line.rfind("Uniform \"", 0) == 0 &&
           line.find("\" not found in shader") != std::string::npos;
}

// Lines of `lines` beyond those the last good build reported (as many times as it did).
std::vector<std::string> newLines(const std::vector<std::string>& lines,
                                  const std::vector<std::string>& baseline) {
    std::map<std::string, int> allowed;
    for (const std::string& line : baseline) {
        ++allowed[line];
    }
    std::vector<std::string> extra;
    for (const std::string& line : lines) {
        if (!line.empty() && allowed[line]-- <= 0) {
            extra.push_back(line);
        }
    }
    return extra;
}

std::string joined(const std::vector<std::string>& items, std::size_t most) {
    std::string text;
    for (std::size_t i = 0; i < items.size() && i < most; ++i) {
        text += (i == 0 ? "" : ", ") + items[i];
    }
    if (items.size() > most) {
        text += " and " + std::to_string(items.size() - most) + " more";
    }
    return text;
}

std::string timeText(const capture::FrameRecord& frame) {
    char text[96];
    std::snprintf(text, sizeof text, "%.3f s (frame %lld)", frame.time,
                  static_cast<long long>(frame.frame));
    return text;
}

class Preview {
  public:
    Preview(sf::RenderWindow& window, const PreviewOptions& options, AssetMirror& mirror,
            DiagnosticLog& log, std::FILE* trace)
        : window_(window), clock_(options.fps), mirror_(mirror), log_(log),
          player_(window, clock_, trace), playing_(!options.paused), overlayOn_(options.overlay) {}

    void open(double at) {
        const Stopwatch took;
        log_.passRepeats(true);
        player_.restart();
        baseline_ = log_.take();
        log_.passRepeats(false);
        player_.seek(clock_.nearestFrame(at));
        anchor();
        report("ready at " + timeText(player_.shownRecord()) + " after " + took.text());
    }

    int run() {
        Clock::time_point lastPoll = Clock::now();
        while (running_) {
            handleEvents();
            if (stopRequested != 0) {
                running_ = false;
            }
            if (!running_) {
                break;
            }
            if (secondsSince(lastPoll) >= 1.0) {
                lastPoll = Clock::now();
                const std::vector<std::string> changed = mirror_.poll();
                if (!changed.empty()) {
                    reload(changed, false);
                }
            }
            bool drew = false;
            if (playing_) {
                drew = playOn();
            }
            takeFrameDiagnostics();
            player_.followMusic(playing_ && speed_ == 1.0, showSeconds());
            if (drew || dirty_) {
                present();
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(playing_ ? 2 : 15));
            }
        }
        player_.followMusic(false, 0.0);
        return 0;
    }

  private:
    // The show time the picture should be at now: while playing, the wall clock since the
    // last anchor at the chosen speed.
    double showSeconds() const {
        if (!playing_) {
            return player_.shownRecord().time;
        }
        return anchorSeconds_ + secondsSince(anchorWall_) * speed_;
    }

    void anchor() {
        anchorSeconds_ = player_.shownRecord().time;
        anchorWall_ = Clock::now();
        dirty_ = true;
    }

    // Plays on to the frame due now; frames between the last one drawn and it play unseen, so
    // a slow machine keeps time by showing fewer frames.
    bool playOn() {
        const std::int64_t due =
            static_cast<std::int64_t>(std::floor(showSeconds() * clock_.fps + 1e-6));
        if (due <= player_.shown()) {
            return false;
        }
        if (!player_.playTo(due)) {
            playing_ = false;
            anchor();
            report("end of the show at " + timeText(player_.shownRecord()));
        }
        return true;
    }

    void handleEvents() {
        sf::Event event;
        while (window_.pollEvent(event)) {
            if (event.type == sf::Event::Closed) {
                running_ = false;
            } else if (event.type == sf::Event::GainedFocus || event.type == sf::Event::Resized) {
                dirty_ = true;
            } else if (event.type == sf::Event::KeyPressed) {
                handleKey(event.key);
            }
            if (!running_) {
                return;
            }
        }
    }

    void handleKey(const sf::Event::KeyEvent& key) {
        const std::int64_t second = static_cast<std::int64_t>(std::llround(clock_.fps));
        switch (key.code) {
        case sf::Keyboard::Escape:
            running_ = false;
            break;
        case sf::Keyboard::Space:
            if (!playing_ && player_.endFrame() > 0 && player_.shown() == player_.endFrame() - 1) {
                report("end of the show: nothing to play");
                break;
            }
            playing_ = !playing_;
            anchor();
            report((playing_ ? "playing from " : "paused at ") + timeText(player_.shownRecord()));
            break;
        case sf::Keyboard::Period:
            if (!playing_) {
                if (!player_.playTo(player_.shown() + 1)) {
                    report("end of the show at " + timeText(player_.shownRecord()));
                } else {
                    report("step to " + timeText(player_.shownRecord()));
                }
                anchor();
            }
            break;
        case sf::Keyboard::Left:
        case sf::Keyboard::Right: {
            const std::int64_t delta = (key.shift ? 10 : 1) * second;
            seekTo(player_.shown() + (key.code == sf::Keyboard::Left ? -delta : delta));
            break;
        }
        case sf::Keyboard::Home:
            seekTo(0);
            break;
        case sf::Keyboard::Num1:
        case sf::Keyboard::Num2:
        case sf::Keyboard::Num3:
        case sf::Keyboard::Num4:
        case sf::Keyboard::Num5:
        case sf::Keyboard::Num6:
            jumpToScene(key.code - sf::Keyboard::Num1);
            break;
        case sf::Keyboard::Numpad1:
        case sf::Keyboard::Numpad2:
        case sf::Keyboard::Numpad3:
        case sf::Keyboard::Numpad4:
        case sf::Keyboard::Numpad5:
        case sf::Keyboard::Numpad6:
            jumpToScene(key.code - sf::Keyboard::Numpad1);
            break;
        case sf::Keyboard::LBracket:
        case sf::Keyboard::RBracket:
            speed_ = std::clamp(key.code == sf::Keyboard::LBracket ? speed_ / 2.0 : speed_ * 2.0,
                                0.25, 4.0);
            anchor();
            report("speed " + std::to_string(speed_).substr(0, 4) + "x");
            break;
        case sf::Keyboard::R:
            reload(mirror_.all(), true);
            break;
        case sf::Keyboard::H:
            overlayOn_ = !overlayOn_;
            dirty_ = true;
            report(overlayOn_ ? "overlay on" : "overlay off");
            break;
        default:
            break;
        }
    }

    void seekTo(std::int64_t frame) {
        const Stopwatch took;
        player_.seek(frame);
        anchor();
        report("seek to " + timeText(player_.shownRecord()) + " in " + took.text());
    }

    void jumpToScene(int index) {
        const Stopwatch took;
        const bool found = player_.seekScene(index);
        anchor();
        const std::string name =
            std::to_string(index + 1) + " (" + sceneName(Scene::Intro + index) + ")";
        if (found) {
            report("scene " + name + " starts at " + timeText(player_.shownRecord()) + " in " +
                   took.text());
        } else {
            report("the show ended before scene " + name + "; at " +
                   timeText(player_.shownRecord()));
        }
    }

    // Copies `files` over the show's working copy, builds the show from it and replays to
    // the frame shown. A build that reports anything the last good one did not is taken back:
    // the copy gets its old files again and the show is built from them once more.
    void reload(const std::vector<std::string>& files, bool byHand) {
        const Stopwatch took;
        const std::int64_t frame = std::max<std::int64_t>(0, player_.shown());
        takeFrameDiagnostics();
        log_.passRepeats(true);
        mirror_.apply(files);
        player_.restart();
        const std::vector<std::string> lines = log_.take();
        const std::vector<std::string> fresh = newLines(lines, baseline_);
        std::vector<std::string> problems;
        std::copy_if(fresh.begin(), fresh.end(), std::back_inserter(problems),
                     [](const std::string& line) { return !isNote(line); });
        std::string what = byHand ? std::string("everything") : joined(files, 3);
        if (problems.empty()) {
            baseline_ = lines;
            problems_ = fresh; // notes only
            player_.forgetTimeline();
        } else {
            mirror_.rollBack();
            log_.passRepeats(false);
            player_.restart();
            log_.take();
            problems_ = problems;
        }
        log_.passRepeats(false);
        player_.seek(frame);
        anchor();
        if (problems.empty()) {
            report("reloaded " + what + " in " + took.text());
        } else {
            report("reload of " + what + " failed, kept the last good state; " + took.text());
        }
    }

    // Lines the show reports while it plays stay on standard error; the overlay keeps the
    // last reload's problems.
    void takeFrameDiagnostics() { log_.take(); }

    // Shows `message` in the overlay and, once the window shows the result, prints it.
    void report(const std::string& message) {
        message_ = message;
        dirty_ = true;
        reports_.push_back(message);
    }

    void present() {
        const sf::View showView = window_.getView();
        window_.setView(window_.getDefaultView());
        sf::Sprite picture(player_.picture());
        setDrawingClipped(false);
        window_.draw(picture, sf::RenderStates(sf::BlendNone));
        window_.setView(showView);
        if (overlayOn_) {
            OverlayInfo info;
            info.frame = player_.shownRecord();
            info.fps = clock_.fps;
            info.drawSeconds = player_.drawSeconds();
            info.speed = speed_;
            info.playing = playing_;
            const std::int64_t end = player_.endFrame();
            info.lengthSeconds =
                end > 0 ? clock_.timeOf(end) : std::max(kNominalShowSeconds, info.frame.time);
            for (int i = 0; i < kSceneCount; ++i) {
                const std::int64_t start = player_.sceneStart(i);
                info.sceneStarts[static_cast<std::size_t>(i)] =
                    start < 0 ? -1.0 : clock_.timeOf(start);
            }
            info.message = message_;
            info.problems = problems_;
            overlay_.draw(window_, info);
        }
        window_.display();
        dirty_ = false;
        for (const std::string& line : reports_) {
            std::printf("%s\n", line.c_str());
        }
        std::fflush(stdout);
        reports_.clear();
    }

    sf::RenderWindow& window_;
    capture::FixedClock clock_;
    AssetMirror& mirror_;
    DiagnosticLog& log_;
    Player player_;
    Overlay overlay_;
    bool running_ = true;
    bool playing_;
    bool overlayOn_;
    bool dirty_ = true;
    double speed_ = 1.0;
    double anchorSeconds_ = 0.0;
    Clock::time_point anchorWall_;
    std::vector<std::string> baseline_;
    std::vector<std::string> problems_;
    std::string message_;
    std::vector<std::string> reports_;
};

} // namespace

int main(int argc, char** argv) {
    PreviewOptions options;
    std::string error;
    if (!parsePreviewOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::cerr << "klomp-preview: " << error << "\n" << previewUsage();
        return 2;
    }
    if (options.help) {
        std::cout << previewUsage();
        return 0;
    }
    std::FILE* trace = nullptr;
    if (!options.trace.empty()) {
        trace = std::fopen(options.trace.c_str(), "w");
        if (trace == nullptr) {
            std::cerr << "klomp-preview: cannot write " << options.trace << std::endl;
            return 1;
        }
        capture::writeTraceHeader(trace);
    }
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    // The show reads its files from the working folder: run it in the working copy.
    AssetMirror mirror;
    if (!mirror.create(fs::current_path(), error)) {
        std::cerr << "klomp-preview: " << error << std::endl;
        return 1;
    }
    fs::current_path(mirror.folder());

    int status = 0;
    {
        DiagnosticLog log;
        sf::RenderWindow window;
        openWindow(window);
        createRenderTargets();
        {
            // Held across the frames as the show's own loop holds it.
            const FrameContextHold hold;
            Preview preview(window, options, mirror, log, trace);
            preview.open(options.at);
            status = preview.run();
        }
        setDrawingClipped(false);
        window.close();
    }
    if (trace != nullptr) {
        std::fclose(trace);
    }
    return status;
}
