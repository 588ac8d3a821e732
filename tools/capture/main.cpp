// klomp-capture: plays the show with a fixed frame time through the program's own start-up and
// frame work, and writes what is asked: an H.264 video with the show's sound, PNG stills, a
// contact sheet, a per-frame timeline and a frame-time plot. Frames nobody looks at are played
// with drawing clipped to one pixel, so their logic runs at a fraction of the cost.
#include "capture/CaptureOptions.hpp"
#include "capture/FramePipe.hpp"
#include "capture/Pictures.hpp"
#include "capture/Progress.hpp"
#include "capture/ShowSession.hpp"
#include "capture/Soundtrack.hpp"

#include "assets/MusicManager.hpp"
#include "assets/RegistryInspection.hpp"
#include "runtime/DemoState.hpp"
#include "runtime/DrawingClip.hpp"
#include "runtime/FrameLoop.hpp"

#include <SFML/OpenGL.hpp>

#ifndef GL_BGRA
#define GL_BGRA 0x80E1
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sys/resource.h>

using namespace capture;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

constexpr unsigned kWidth = 1920;
constexpr unsigned kHeight = 1080;
// The show's nominal length, only for the progress line's estimate.
constexpr double kShowSeconds = 196.9;

std::string rateText(double fps) {
    char text[64];
    if (std::fabs(fps - std::round(fps)) < 1e-9) {
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(std::llround(fps)));
    } else {
        std::snprintf(text, sizeof text, "%lld/1000000",
                      static_cast<long long>(std::llround(fps * 1e6)));
    }
    return text;
}

std::string stillName(double seconds) {
    char text[64];
    std::snprintf(text, sizeof text, "still-%08.3f.png", seconds);
    return text;
}

// Beside `video`: its name without the extension plus `suffix`.
std::string besideVideo(const std::string& video, const std::string& suffix) {
    std::filesystem::path path(video);
    return (path.parent_path() / (path.stem().string() + suffix)).string();
}

double childCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

int runTool(const std::string& program, const std::vector<std::string>& args) {
    EncoderProcess process;
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    if (!process.start(all)) {
        return -1;
    }
    return process.finish();
}

struct Timings {
    std::int64_t seenFrames = 0;
    double render = 0.0;
    double readBack = 0.0;
    double waitForBuffer = 0.0;
    double present = 0.0;
    std::vector<double> plotTime;
    std::vector<double> plotRender;
    std::vector<double> plotTotal;
};

} // namespace

int main(int argc, char** argv) {
    CaptureOptions options;
    std::string error;
    if (!parseCaptureOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::cerr << "klomp-capture: " << error << "\n" << captureUsage();
        return 2;
    }
    if (options.help) {
        std::cout << captureUsage();
        return 0;
    }
    if (!options.video.empty() && options.extras) {
        if (options.contactSheet.empty()) {
            options.contactSheet = besideVideo(options.video, "-sheet.png");
        }
        if (options.plot.empty()) {
            options.plot = besideVideo(options.video, "-frametimes.png");
        }
    }
    // The capture makes its own soundtrack; the show's audio goes to a silent device.
    setenv("ALSOFT_DRIVERS", "null", 1);

    const Clock::time_point began = Clock::now();
    sf::RenderWindow window;
    startShow(window);
    if (window.getSize() != sf::Vector2u(kWidth, kHeight)) {
        std::cerr << "klomp-capture: the window is " << window.getSize().x << "x"
                  << window.getSize().y << ", not 1920x1080; pictures will be cut" << std::endl;
    }
    const double startUpSeconds = secondsSince(began);

    const FixedClock clock(options.fps);
    const std::int64_t firstShown = clock.firstFrameAtOrAfter(options.start);
    const std::int64_t endFrame = std::isinf(options.end) ? std::numeric_limits<std::int64_t>::max()
                                                          : clock.firstFrameAtOrAfter(options.end);
    const std::int64_t expectedEnd =
        std::min(endFrame, clock.firstFrameAtOrAfter(kShowSeconds) + 1);

    std::map<std::int64_t, std::string> stills;
    if (!options.stills.empty()) {
        std::filesystem::create_directories(options.outDir);
        for (double t : options.stills) {
            stills[clock.nearestFrame(t)] =
                (std::filesystem::path(options.outDir) / stillName(t)).string();
        }
    }
    std::set<std::int64_t> sheetFrames;
    if (!options.contactSheet.empty()) {
        for (int k = 0;; ++k) {
            const double t = options.start + k * options.every;
            const std::int64_t frame = clock.nearestFrame(t);
            if (frame >= expectedEnd || frame >= endFrame || k > 100000) {
                break;
            }
            sheetFrames.insert(frame);
        }
    }

    std::FILE* trace = nullptr;
    if (!options.trace.empty()) {
        trace = std::fopen(options.trace.c_str(), "w");
        if (trace == nullptr) {
            std::cerr << "klomp-capture: cannot write " << options.trace << std::endl;
            return 1;
        }
        std::fputs("time\tscene\tstep\tfade\n", trace);
    }

    const bool video = !options.video.empty();
    const std::string videoPart = video ? options.video + ".part.mkv" : std::string();
    EncoderProcess encoder;
    if (video) {
        const std::filesystem::path parent = std::filesystem::path(options.video).parent_path();
        if (!parent.empty()) {
            std::filesystem::create_directories(parent);
        }
        const std::vector<std::string> args{"ffmpeg",
                                            "-hide_banner",
                                            "-loglevel",
                                            "error",
                                            "-y",
                                            "-f",
                                            "rawvideo",
                                            "-pix_fmt",
                                            "bgra",
                                            "-video_size",
                                            "1920x1080",
                                            "-framerate",
                                            rateText(options.fps),
                                            "-i",
                                            "pipe:0",
                                            "-c:v",
                                            "libx264",
                                            "-preset",
                                            options.preset,
                                            "-crf",
                                            std::to_string(options.crf),
                                            "-pix_fmt",
                                            "yuv420p",
                                            "-an",
                                            videoPart};
        if (!encoder.start(args)) {
            std::cerr << "klomp-capture: cannot start ffmpeg" << std::endl;
            return 1;
        }
    }
    // Without a video or a trace the run ends with the last frame that a picture needs.
    std::int64_t stopFrame = endFrame;
    if (!video && trace == nullptr) {
        stopFrame = 0;
        if (!stills.empty()) {
            stopFrame = std::max(stopFrame, stills.rbegin()->first + 1);
        }
        if (!sheetFrames.empty()) {
            stopFrame = std::max(stopFrame, *sheetFrames.rbegin() + 1);
        }
        stopFrame = std::min(stopFrame, endFrame);
    }
    const unsigned thumbnailFactor = 6; // 320x180
    FrameWriter writer(3, kWidth, kHeight, video ? &encoder : nullptr, thumbnailFactor);
    SoundtrackObserver soundtrack;

    auto seenLeftAfter = [&](std::int64_t frame) -> std::int64_t {
        std::int64_t left = 0;
        if (video) {
            left = std::max<std::int64_t>(0, expectedEnd - std::max(frame + 1, firstShown));
        } else {
            left = static_cast<std::int64_t>(
                std::distance(stills.upper_bound(frame), stills.end()) +
                std::distance(sheetFrames.upper_bound(frame), sheetFrames.end()));
        }
        return left;
    };
    const std::int64_t progressEnd = std::min(expectedEnd, stopFrame);
    Progress progress(options.progress, progressEnd);
    Timings timings;
    std::vector<PlotMark> sceneStarts;
    SceneId lastScene = Scene::Intro;
    const Clock::time_point showBegan = Clock::now();
    std::int64_t frame = 0;
    std::int64_t videoFrames = 0;
    // Held across the frames as the show's own loop holds it, so that SFML keeps its context
    // record instead of making one for every texture bind, uniform and clear.
    std::optional<FrameContextHold> hold;
    hold.emplace();
    for (; demo.running && frame < stopFrame && !writer.encoderFailed(); ++frame) {
        const bool inRange = frame >= firstShown;
        const bool toVideo = video && inRange;
        const bool toSheet = sheetFrames.count(frame) != 0;
        const auto still = stills.find(frame);
        const bool seen = !options.traceOnly && (toVideo || toSheet || still != stills.end());
        setDrawingClipped(!seen);

        const Clock::time_point frameBegan = Clock::now();
        const FrameRecord record = playFrame(clock, frame);
        const double renderSeconds = secondsSince(frameBegan);
        soundtrack.afterFrame(record);
        if (sceneStarts.empty() || record.scene != lastScene) {
            sceneStarts.push_back({record.time, sceneName(record.scene)});
            lastScene = record.scene;
        }
        if (trace != nullptr) {
            std::fprintf(trace, "%.4f\t%d\t%d\t%.4f\n", record.time, record.scene, record.step,
                         static_cast<double>(record.fadeLevel));
        }
        if (seen) {
            Clock::time_point mark = Clock::now();
            FrameJob* job = writer.acquire();
            timings.waitForBuffer += secondsSince(mark);
            mark = Clock::now();
            window.setActive(true);
            glPixelStorei(GL_PACK_ALIGNMENT, 4);
            glReadBuffer(GL_BACK);
            // BGRA is the window's own layout: Mesa copies it 8x faster than RGBA.
            glReadPixels(0, 0, kWidth, kHeight, GL_BGRA, GL_UNSIGNED_BYTE, job->pixels.data());
            const double readSeconds = secondsSince(mark);
            timings.readBack += readSeconds;
            job->frame = frame;
            job->time = record.time;
            job->scene = record.scene;
            job->toEncoder = toVideo;
            job->toThumbnail = toSheet;
            job->stillPath = still != stills.end() ? still->second : std::string();
            writer.submit(job);
            videoFrames += toVideo ? 1 : 0;
            if (options.present) {
                mark = Clock::now();
                window.display();
                timings.present += secondsSince(mark);
            }
            ++timings.seenFrames;
            timings.render += renderSeconds;
            timings.plotTime.push_back(record.time);
            timings.plotRender.push_back(renderSeconds * 1000.0);
            timings.plotTotal.push_back((renderSeconds + readSeconds) * 1000.0);
        }
        progress.update(frame + 1, record.time, seen, seenLeftAfter(frame),
                        std::max<std::int64_t>(0, progressEnd - frame - 1) - seenLeftAfter(frame));
    }
    hold.reset();
    writer.finish();
    progress.finish();
    const double showSeconds = secondsSince(showBegan);
    if (trace != nullptr) {
        std::fclose(trace);
    }
    setDrawingClipped(false);

    int status = 0;
    double encoderCpu = 0.0;
    if (video) {
        const int encoded = encoder.finish();
        encoderCpu = childCpuSeconds();
        if (encoded != 0 || writer.encoderFailed()) {
            std::cerr << "klomp-capture: ffmpeg failed (status " << encoded << ")" << std::endl;
            status = 1;
        } else {
            Pcm song;
            Pcm noise;
            const MusicEntry* entry = RegistryInspection::musicEntry("klomp");
            if (entry != nullptr) {
                readPcm(entry->file, song);
            }
            const std::string noiseFile = soundFile("assets/sounds.json", "noise");
            if (!noiseFile.empty()) {
                readPcm(noiseFile, noise);
            }
            const double from = clock.timeOf(firstShown);
            const double length = static_cast<double>(videoFrames) / options.fps;
            const Pcm mix = mixSoundtrack(song, noise, soundtrack.plan(), from, length);
            const std::string audioPart = options.video + ".part.wav";
            if (!writeWav(audioPart, mix)) {
                std::cerr << "klomp-capture: cannot write " << audioPart << std::endl;
                status = 1;
            } else {
                const int muxed =
                    runTool("ffmpeg",
                            {"-hide_banner", "-loglevel",  "error",      "-y",    "-i",   videoPart,
                             "-i",           audioPart,    "-map",       "0:v:0", "-map", "1:a:0",
                             "-c:v",         "copy",       "-c:a",       "aac",   "-b:a", "192k",
                             "-movflags",    "+faststart", options.video});
                if (muxed != 0) {
                    std::cerr << "klomp-capture: ffmpeg could not add the sound (status " << muxed
                              << ")" << std::endl;
                    status = 1;
                }
            }
            std::error_code ignored;
            std::filesystem::remove(audioPart, ignored);
        }
        std::error_code ignored;
        std::filesystem::remove(videoPart, ignored);
    }

    if (!options.contactSheet.empty()) {
        if (!saveContactSheet(options.contactSheet, writer.thumbnails(), 6)) {
            std::cerr << "klomp-capture: no contact sheet written" << std::endl;
            options.contactSheet.clear();
        }
    }
    if (!options.plot.empty()) {
        const std::vector<PlotSeries> series{
            {"renderFrame + read-back", sf::Color(230, 140, 30), timings.plotTime,
             timings.plotTotal},
            {"renderFrame", sf::Color(40, 90, 200), timings.plotTime, timings.plotRender}};
        if (timings.plotTime.empty() ||
            !saveTimePlot(options.plot, "klomp-capture frame times", series, sceneStarts)) {
            std::cerr << "klomp-capture: no frame-time plot written" << std::endl;
            options.plot.clear();
        }
    }

    // What was done, then where the files are.
    const double seen = static_cast<double>(std::max<std::int64_t>(1, timings.seenFrames));
    std::fprintf(stderr,
                 "klomp-capture: %lld frames played (%.2f s of show at %g fps) in %.1f s after "
                 "%.1f s start-up; %lld drawn and read back at %.2f fps\n"
                 "  per drawn frame: renderFrame %.1f ms, read-back %.1f ms (with a software "
                 "renderer this includes finishing the frame's drawing), present %.1f ms, "
                 "waiting for a free buffer %.1f ms\n"
                 "  writer thread: %.1f ms per frame into ffmpeg, %.1f s on stills and "
                 "thumbnails; ffmpeg used %.1f s of CPU\n",
                 static_cast<long long>(frame), clock.timeOf(frame), options.fps, showSeconds,
                 startUpSeconds, static_cast<long long>(timings.seenFrames),
                 timings.seenFrames > 0 ? seen / showSeconds : 0.0, 1000.0 * timings.render / seen,
                 1000.0 * timings.readBack / seen, 1000.0 * timings.present / seen,
                 1000.0 * timings.waitForBuffer / seen,
                 1000.0 * writer.encodeSeconds() / std::max(1.0, static_cast<double>(videoFrames)),
                 writer.pictureSeconds(), encoderCpu);
    std::size_t stillsMissed = 0;
    for (const auto& [stillFrame, path] : stills) {
        if (stillFrame >= frame) {
            ++stillsMissed;
            std::cerr << "klomp-capture: the run ended before " << path << " was due" << std::endl;
            status = 1;
        }
    }
    if (writer.stillsFailed() > 0) {
        std::cerr << "klomp-capture: " << writer.stillsFailed() << " stills not written"
                  << std::endl;
        status = 1;
    }
    if (video && status == 0) {
        std::cout << "video: " << std::filesystem::absolute(options.video).string() << "\n";
    }
    if (!stills.empty()) {
        std::cout << "stills: " << std::filesystem::absolute(options.outDir).string() << " ("
                  << stills.size() - stillsMissed - writer.stillsFailed() << ")\n";
    }
    if (!options.contactSheet.empty()) {
        std::cout << "contact sheet: " << std::filesystem::absolute(options.contactSheet).string()
                  << "\n";
    }
    if (!options.plot.empty()) {
        std::cout << "frame-time plot: " << std::filesystem::absolute(options.plot).string()
                  << "\n";
    }
    if (!options.trace.empty()) {
        std::cout << "trace: " << std::filesystem::absolute(options.trace).string() << "\n";
    }
    window.close();
    return status;
}
