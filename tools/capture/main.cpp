// klomp-capture: plays the show with a fixed frame time through the program's own start-up and
// frame work, and writes what is asked: an H.264 video with the show's sound, PNG stills, a
// contact sheet, a per-frame timeline and a frame-time plot. Frames nobody looks at are played
// with drawing clipped to one pixel, so their logic runs at a fraction of the cost.
//
// A video can be rendered by several processes at once (--jobs): each plays the show from its
// start and draws one span of it, and the spans' H.264 streams are joined without re-encoding.
#include "capture/CaptureOptions.hpp"
#include "capture/FramePipe.hpp"
#include "capture/Pictures.hpp"
#include "capture/PixelReadBack.hpp"
#include "capture/Progress.hpp"
#include "capture/ShowSession.hpp"
#include "capture/Soundtrack.hpp"
#include "capture/VideoFile.hpp"

#include "assets/MusicManager.hpp"
#include "assets/RegistryViews.hpp"
#include "runtime/DemoState.hpp"
#include "runtime/DrawingClip.hpp"
#include "runtime/Frame.hpp"
#include "runtime/FrameLoop.hpp"

#include <SFML/OpenGL.hpp>

#include <nlohmann/json.hpp>

#ifndef GL_BGRA
#define GL_BGRA 0x80E1
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <thread>
#ifndef _WIN32
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

using namespace capture;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

constexpr unsigned kWidth = kFrameWidth;
constexpr unsigned kHeight = kFrameHeight;
// The show's nominal length, only for estimates and for splitting it into spans.
constexpr double kShowSeconds = 196.9;
// The loudest the sound may be after the AAC encode, in dB true peak.
constexpr double kTruePeakLimit = -1.0;
// Frames of read-back in flight: one being read, the rest queued for the writer thread.
constexpr unsigned kBuffers = 4;

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
#ifdef _WIN32
    return 0.0; // no encoder runs on Windows
#else
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
#endif
}

std::string hexHash(std::uint64_t hash) {
    char text[20];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

// Which frames a run draws and what it does with them.
struct Span {
    std::int64_t firstShown = 0; // the first video frame
    std::int64_t endFrame = std::numeric_limits<std::int64_t>::max();
    std::map<std::int64_t, std::string> stills;
    std::set<std::int64_t> sheetFrames;
    std::string trace;
    std::string stream; // the H.264 stream to write, empty for none
    bool hashFrames = false;
    std::string label; // "2/4" for a job of a split run
    // A job of a split run makes its window while it holds this file locked (see render).
    std::string startLock;
};

struct Timings {
    double startUp = 0.0;
    double wall = 0.0; // from the first frame to the last
    std::int64_t seenFrames = 0;
    double render = 0.0;
    double readStart = 0.0; // starting the read (all of it without pixel buffers)
    double readWait = 0.0;  // waiting for a read after the next frame was drawn
    double waitForBuffer = 0.0;
    double present = 0.0;
    double writerBusy = 0.0;
    double encode = 0.0;
    double pictures = 0.0;
    double encoderCpu = 0.0;
    bool pixelBuffers = false;
    std::vector<double> plotTime;
    std::vector<double> plotRender;
    std::vector<double> plotTotal;
};

// What a run saw and made.
struct RunResult {
    bool ok = true;
    std::int64_t framesPlayed = 0;
    std::int64_t videoFrames = 0;
    SoundtrackPlan plan;
    std::string songFile;
    std::string noiseFile;
    std::vector<SceneStart> sceneStarts;
    std::vector<FrameHash> hashes;
    std::vector<Thumbnail> thumbnails;
    std::size_t stillsWritten = 0;
    Timings timings;
};

// Plays the show from its first frame and draws the span.
RunResult render(const CaptureOptions& options, const FixedClock& clock, const Span& span) {
    RunResult result;
    Timings& timings = result.timings;
    const Clock::time_point began = Clock::now();
    sf::RenderWindow window;
    {
#ifndef _WIN32
        // The jobs' windows lie exactly on top of each other, and the media library makes a
        // window wait until the X server reports it at least partly visible. A window made
        // before another but mapped after it is mapped under it, fully hidden, and waits until
        // that other job ends (measured: one job idle for seven minutes of a whole-show run).
        // One job at a time makes and maps its window, so each is mapped on top.
        const int lock =
            span.startLock.empty() ? -1 : open(span.startLock.c_str(), O_RDWR | O_CLOEXEC);
        if (lock >= 0) {
            while (flock(lock, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
#endif
        startShow(window);
#ifndef _WIN32
        if (lock >= 0) {
            close(lock); // releases the lock
        }
#endif
    }
    if (window.getSize() != sf::Vector2u(kWidth, kHeight)) {
        std::cerr << "klomp-capture: the window is " << window.getSize().x << "x"
                  << window.getSize().y << ", not 1920x1080; pictures will be cut" << std::endl;
    }
    timings.startUp = secondsSince(began);

    const bool video = !span.stream.empty();
    const std::int64_t expectedEnd =
        std::min(span.endFrame, clock.firstFrameAtOrAfter(kShowSeconds) + 1);

    std::FILE* trace = nullptr;
    if (!span.trace.empty()) {
        trace = std::fopen(span.trace.c_str(), "w");
        if (trace == nullptr) {
            std::cerr << "klomp-capture: cannot write " << span.trace << std::endl;
            result.ok = false;
            return result;
        }
        writeTraceHeader(trace);
    }

    EncoderProcess encoder;
    if (video && !encoder.start(encoderCommand(rateText(options.fps), options.crf, options.preset,
                                               span.stream))) {
        std::cerr << "klomp-capture: cannot start ffmpeg" << std::endl;
        result.ok = false;
        return result;
    }
    // Without a video or a trace the run ends with the last frame that a picture needs.
    std::int64_t stopFrame = span.endFrame;
    if (!video && trace == nullptr) {
        stopFrame = 0;
        if (!span.stills.empty()) {
            stopFrame = std::max(stopFrame, span.stills.rbegin()->first + 1);
        }
        if (!span.sheetFrames.empty()) {
            stopFrame = std::max(stopFrame, *span.sheetFrames.rbegin() + 1);
        }
        stopFrame = std::min(stopFrame, span.endFrame);
    }

    window.setActive(true);
    PixelReadBack readBack;
    timings.pixelBuffers = readBack.create(kBuffers, kWidth, kHeight);
    const unsigned thumbnailFactor = 6; // 320x180
    FrameWriter writer(kBuffers, kWidth, kHeight, video ? &encoder : nullptr, thumbnailFactor,
                       timings.pixelBuffers ? readBack.buffers() : std::vector<std::uint8_t*>{},
                       span.hashFrames);
    SoundtrackObserver soundtrack;

    auto seenLeftAfter = [&](std::int64_t frame) -> std::int64_t {
        if (video) {
            return std::max<std::int64_t>(0, expectedEnd - std::max(frame + 1, span.firstShown));
        }
        return static_cast<std::int64_t>(
            std::distance(span.stills.upper_bound(frame), span.stills.end()) +
            std::distance(span.sheetFrames.upper_bound(frame), span.sheetFrames.end()));
    };
    const std::int64_t progressEnd = std::min(expectedEnd, stopFrame);
    Progress progress(options.progress && span.label.empty(), progressEnd);
    // A job of a split run prints a plain line now and then instead.
    const std::int64_t jobSeen = std::max<std::int64_t>(1, expectedEnd - span.firstShown);
    int jobTenth = 1;

    SceneId lastScene = Scene::Intro;
    const Clock::time_point showBegan = Clock::now();
    std::int64_t frame = 0;
    FrameJob* pending = nullptr; // read started, not yet handed to the writer
    // Held across the frames as the show's own loop holds it, so that SFML keeps its context
    // record instead of making one for every texture bind, uniform and clear.
    std::optional<FrameContextHold> hold;
    hold.emplace();
    for (; demo.running && frame < stopFrame && !writer.encoderFailed(); ++frame) {
        const bool toVideo = video && frame >= span.firstShown;
        const bool toSheet = span.sheetFrames.count(frame) != 0;
        const auto still = span.stills.find(frame);
        const bool seen = !options.traceOnly && (toVideo || toSheet || still != span.stills.end());
        setDrawingClipped(!seen);

        const Clock::time_point frameBegan = Clock::now();
        // Reading the keyboard asks the X server, a round trip per frame; on a busy machine
        // each one waits for the server's turn on a core (measured beside one busy loop: 150 s
        // of show played unseen in 3.6 s without it, 5.4 s with it). Nobody is at a job's
        // window, and a frame played unseen can leave Escape to the next drawn one.
        const bool readInput = seen && options.segment.empty();
        const FrameRecord record = playFrame(clock, frame, readInput);
        const double renderSeconds = secondsSince(frameBegan);
        soundtrack.afterFrame(record);
        if (result.sceneStarts.empty() || record.scene != lastScene) {
            result.sceneStarts.push_back({frame, record.scene});
            lastScene = record.scene;
        }
        if (trace != nullptr) {
            writeTraceLine(trace, record);
        }
        if (seen) {
            Clock::time_point mark = Clock::now();
            FrameJob* job = writer.acquire();
            timings.waitForBuffer += secondsSince(mark);
            mark = Clock::now();
            window.setActive(true);
            if (timings.pixelBuffers) {
                readBack.start(job->index);
            } else {
                glPixelStorei(GL_PACK_ALIGNMENT, 4);
                glReadBuffer(GL_BACK);
                // BGRA is the window's own layout: Mesa copies it 8x faster than RGBA.
                glReadPixels(0, 0, kWidth, kHeight, GL_BGRA, GL_UNSIGNED_BYTE, job->pixels);
            }
            const double readSeconds = secondsSince(mark);
            timings.readStart += readSeconds;
            job->frame = frame;
            job->time = record.time;
            job->scene = record.scene;
            job->toEncoder = toVideo;
            job->toThumbnail = toSheet;
            job->stillPath = still != span.stills.end() ? still->second : std::string();
            double waitSeconds = 0.0;
            if (timings.pixelBuffers) {
                // The previous frame's read ran while this frame was drawn; collect it now.
                if (pending != nullptr) {
                    mark = Clock::now();
                    readBack.finish(pending->index);
                    waitSeconds = secondsSince(mark);
                    timings.readWait += waitSeconds;
                    writer.submit(pending);
                }
                pending = job;
            } else {
                writer.submit(job);
            }
            result.videoFrames += toVideo ? 1 : 0;
            if (options.present) {
                mark = Clock::now();
                window.display();
                timings.present += secondsSince(mark);
            }
            ++timings.seenFrames;
            timings.render += renderSeconds;
            timings.plotTime.push_back(record.time);
            timings.plotRender.push_back(renderSeconds * 1000.0);
            timings.plotTotal.push_back((renderSeconds + readSeconds + waitSeconds) * 1000.0);
            if (!span.label.empty() && options.progress &&
                timings.seenFrames * 10 >= jobSeen * jobTenth) {
                std::fprintf(stderr, "klomp-capture job %s: %d%% (%lld frames drawn, %.0f s)\n",
                             span.label.c_str(), 10 * jobTenth,
                             static_cast<long long>(timings.seenFrames), secondsSince(showBegan));
                jobTenth = static_cast<int>(timings.seenFrames * 10 / jobSeen) + 1;
            }
        }
        progress.update(frame + 1, record.time, seen, seenLeftAfter(frame),
                        std::max<std::int64_t>(0, progressEnd - frame - 1) - seenLeftAfter(frame));
    }
    if (pending != nullptr) {
        window.setActive(true);
        readBack.finish(pending->index);
        writer.submit(pending);
    }
    hold.reset();
    writer.finish();
    progress.finish();
    timings.wall = secondsSince(showBegan);
    if (trace != nullptr) {
        std::fclose(trace);
    }
    setDrawingClipped(false);
    result.framesPlayed = frame;
    result.plan = soundtrack.plan();
    if (const MusicEntry* entry = RegistryViews::musicEntry("klomp")) {
        result.songFile = entry->file;
    }
    result.noiseFile = soundFile("assets/sounds.json", "noise");
    result.hashes = writer.hashes();
    result.thumbnails = std::move(writer.thumbnails());
    timings.writerBusy = writer.busySeconds();
    timings.encode = writer.encodeSeconds();
    timings.pictures = writer.pictureSeconds();
    for (const auto& [stillFrame, path] : span.stills) {
        if (stillFrame >= frame) {
            std::cerr << "klomp-capture: the run ended before " << path << " was due" << std::endl;
            result.ok = false;
        }
    }
    if (writer.stillsFailed() > 0) {
        std::cerr << "klomp-capture: " << writer.stillsFailed() << " stills not written"
                  << std::endl;
        result.ok = false;
    }
    result.stillsWritten = span.stills.size();
    if (video) {
        const int encoded = encoder.finish();
        timings.encoderCpu = childCpuSeconds();
        if (encoded != 0 || writer.encoderFailed()) {
            std::cerr << "klomp-capture: ffmpeg failed (status " << encoded << ")" << std::endl;
            result.ok = false;
        }
    }
    return result;
}

// What a run did, as one paragraph on standard error.
void printSummary(const char* who, const FixedClock& clock, const RunResult& r) {
    const Timings& t = r.timings;
    const double seen = static_cast<double>(std::max<std::int64_t>(1, t.seenFrames));
    std::fprintf(stderr,
                 "%s: %lld frames played (%.2f s of show at %g fps) in %.1f s after %.1f s "
                 "start-up; %lld drawn and read back at %.2f fps\n",
                 who, static_cast<long long>(r.framesPlayed), clock.timeOf(r.framesPlayed),
                 clock.fps, t.wall, t.startUp, static_cast<long long>(t.seenFrames),
                 t.seenFrames > 0 && t.wall > 0.0 ? seen / t.wall : 0.0);
    std::fprintf(stderr,
                 "  per drawn frame: renderFrame %.1f ms; read-back %s %.1f ms, then %.1f ms "
                 "waiting for it after the next frame was drawn; present %.1f ms, waiting for a "
                 "free buffer %.1f ms\n",
                 1000.0 * t.render / seen,
                 t.pixelBuffers ? "into a ring of pixel buffers started in"
                                : "(no pixel buffers: copied at once)",
                 1000.0 * t.readStart / seen, 1000.0 * t.readWait / seen, 1000.0 * t.present / seen,
                 1000.0 * t.waitForBuffer / seen);
    const double mainBusy = t.render + t.readStart + t.readWait + t.present;
    std::fprintf(stderr,
                 "  overlap: the writer thread was busy %.1f s (%.1f ms a frame into ffmpeg, "
                 "%.1f s on stills and thumbnails) beside %.1f s of drawing and reading back, and "
                 "waited for it %.1f s; ffmpeg used %.1f s of CPU beside them\n",
                 t.writerBusy,
                 1000.0 * t.encode / std::max(1.0, static_cast<double>(r.videoFrames)), t.pictures,
                 mainBusy, t.waitForBuffer, t.encoderCpu);
}

[[maybe_unused]] Timings& operator+=(Timings& a, const Timings& b) {
    a.startUp = std::max(a.startUp, b.startUp);
    a.wall = std::max(a.wall, b.wall);
    a.seenFrames += b.seenFrames;
    a.render += b.render;
    a.readStart += b.readStart;
    a.readWait += b.readWait;
    a.waitForBuffer += b.waitForBuffer;
    a.present += b.present;
    a.writerBusy += b.writerBusy;
    a.encode += b.encode;
    a.pictures += b.pictures;
    a.encoderCpu += b.encoderCpu;
    a.pixelBuffers = a.pixelBuffers || b.pixelBuffers;
    a.plotTime.insert(a.plotTime.end(), b.plotTime.begin(), b.plotTime.end());
    a.plotRender.insert(a.plotRender.end(), b.plotRender.begin(), b.plotRender.end());
    a.plotTotal.insert(a.plotTotal.end(), b.plotTotal.begin(), b.plotTotal.end());
    return a;
}

// ---------------------------------------------------------------------------------------
// A job of a split run learns its span from a JSON file and leaves what it saw in another.

nlohmann::json timingsJson(const Timings& t) {
    return {{"start_up", t.startUp},
            {"wall", t.wall},
            {"seen_frames", t.seenFrames},
            {"render", t.render},
            {"read_start", t.readStart},
            {"read_wait", t.readWait},
            {"wait_for_buffer", t.waitForBuffer},
            {"present", t.present},
            {"writer_busy", t.writerBusy},
            {"encode", t.encode},
            {"pictures", t.pictures},
            {"encoder_cpu", t.encoderCpu},
            {"pixel_buffers", t.pixelBuffers},
            {"plot_time", t.plotTime},
            {"plot_render", t.plotRender},
            {"plot_total", t.plotTotal}};
}

Timings timingsFrom(const nlohmann::json& j) {
    Timings t;
    t.startUp = j.at("start_up").get<double>();
    t.wall = j.at("wall").get<double>();
    t.seenFrames = j.at("seen_frames").get<std::int64_t>();
    t.render = j.at("render").get<double>();
    t.readStart = j.at("read_start").get<double>();
    t.readWait = j.at("read_wait").get<double>();
    t.waitForBuffer = j.at("wait_for_buffer").get<double>();
    t.present = j.at("present").get<double>();
    t.writerBusy = j.at("writer_busy").get<double>();
    t.encode = j.at("encode").get<double>();
    t.pictures = j.at("pictures").get<double>();
    t.encoderCpu = j.at("encoder_cpu").get<double>();
    t.pixelBuffers = j.at("pixel_buffers").get<bool>();
    t.plotTime = j.at("plot_time").get<std::vector<double>>();
    t.plotRender = j.at("plot_render").get<std::vector<double>>();
    t.plotTotal = j.at("plot_total").get<std::vector<double>>();
    return t;
}

bool writeJson(const std::string& path, const nlohmann::json& document) {
    std::ofstream file(path);
    file << document.dump();
    return static_cast<bool>(file);
}

std::optional<nlohmann::json> readJson(const std::string& path) {
    std::ifstream file(path);
    nlohmann::json document = nlohmann::json::parse(file, nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        return std::nullopt;
    }
    return document;
}

// Runs one job of a split run: reads its span from `options.segment`, renders it and writes
// what it saw to `<segment>.result.json` (thumbnails raw beside it).
int runJob(const CaptureOptions& options) {
    const std::optional<nlohmann::json> job = readJson(options.segment);
    if (!job) {
        std::cerr << "klomp-capture: cannot read the job " << options.segment << std::endl;
        return 1;
    }
    const FixedClock clock(options.fps);
    Span span;
    try {
        span.firstShown = job->at("first_frame").get<std::int64_t>();
        const std::int64_t end = job->at("end_frame").get<std::int64_t>();
        span.endFrame = end < 0 ? std::numeric_limits<std::int64_t>::max() : end;
        for (const auto& still : job->at("stills")) {
            span.stills[still.at(0).get<std::int64_t>()] = still.at(1).get<std::string>();
        }
        for (const auto& sheetFrame : job->at("sheet_frames")) {
            span.sheetFrames.insert(sheetFrame.get<std::int64_t>());
        }
        span.trace = job->at("trace").get<std::string>();
        span.hashFrames = job->at("hash").get<bool>();
        span.label = job->at("label").get<std::string>();
        span.startLock = job->at("start_lock").get<std::string>();
    } catch (const nlohmann::json::exception& e) {
        std::cerr << "klomp-capture: bad job " << options.segment << ": " << e.what() << std::endl;
        return 1;
    }
    span.stream = options.video;
    const RunResult r = render(options, clock, span);
    const std::string who = "klomp-capture job " + span.label;
    printSummary(who.c_str(), clock, r);

    nlohmann::json out;
    out["ok"] = r.ok;
    out["frames_played"] = r.framesPlayed;
    out["video_frames"] = r.videoFrames;
    out["plan"] = {{"song_start", r.plan.songStart},
                   {"song_gain", r.plan.songGain},
                   {"noise_start", r.plan.noiseStart},
                   {"noise_stop", r.plan.noiseStop},
                   {"noise_gain", r.plan.noiseGain}};
    out["song"] = r.songFile;
    out["noise"] = r.noiseFile;
    out["scene_starts"] = nlohmann::json::array();
    for (const SceneStart& start : r.sceneStarts) {
        out["scene_starts"].push_back({start.frame, start.scene});
    }
    out["hashes"] = nlohmann::json::array();
    for (const FrameHash& hash : r.hashes) {
        out["hashes"].push_back({hash.frame, hexHash(hash.hash)});
    }
    out["thumbnails"] = nlohmann::json::array();
    const std::string thumbnailFile = options.segment + ".thumbnails";
    std::ofstream thumbnails(thumbnailFile, std::ios::binary);
    for (const Thumbnail& thumb : r.thumbnails) {
        out["thumbnails"].push_back({thumb.time, thumb.scene, thumb.width, thumb.height});
        thumbnails.write(reinterpret_cast<const char*>(thumb.pixels.data()),
                         static_cast<std::streamsize>(thumb.pixels.size()));
    }
    out["timings"] = timingsJson(r.timings);
    if (!thumbnails || !writeJson(options.segment + ".result.json", out)) {
        std::cerr << "klomp-capture: cannot write the job's results" << std::endl;
        return 1;
    }
    return r.ok ? 0 : 1;
}

// Reads a job's results into `r`. False when they are missing or malformed. (Jobs run on
// Linux only.)
[[maybe_unused]] bool readJobResult(const std::string& jobFile, RunResult& r) {
    const std::optional<nlohmann::json> in = readJson(jobFile + ".result.json");
    if (!in) {
        return false;
    }
    try {
        r.ok = in->at("ok").get<bool>();
        r.framesPlayed = in->at("frames_played").get<std::int64_t>();
        r.videoFrames = in->at("video_frames").get<std::int64_t>();
        const nlohmann::json& plan = in->at("plan");
        r.plan.songStart = plan.at("song_start").get<double>();
        r.plan.songGain = plan.at("song_gain").get<float>();
        r.plan.noiseStart = plan.at("noise_start").get<double>();
        r.plan.noiseStop = plan.at("noise_stop").get<double>();
        r.plan.noiseGain = plan.at("noise_gain").get<float>();
        r.songFile = in->at("song").get<std::string>();
        r.noiseFile = in->at("noise").get<std::string>();
        for (const auto& start : in->at("scene_starts")) {
            r.sceneStarts.push_back({start.at(0).get<std::int64_t>(), start.at(1).get<SceneId>()});
        }
        for (const auto& hash : in->at("hashes")) {
            r.hashes.push_back({hash.at(0).get<std::int64_t>(),
                                std::stoull(hash.at(1).get<std::string>(), nullptr, 16)});
        }
        std::ifstream thumbnails(jobFile + ".thumbnails", std::ios::binary);
        for (const auto& entry : in->at("thumbnails")) {
            Thumbnail thumb;
            thumb.time = entry.at(0).get<double>();
            thumb.scene = entry.at(1).get<SceneId>();
            thumb.width = entry.at(2).get<unsigned>();
            thumb.height = entry.at(3).get<unsigned>();
            thumb.pixels.resize(static_cast<std::size_t>(thumb.width) * thumb.height * 4);
            thumbnails.read(reinterpret_cast<char*>(thumb.pixels.data()),
                            static_cast<std::streamsize>(thumb.pixels.size()));
            if (!thumbnails) {
                return false;
            }
            r.thumbnails.push_back(std::move(thumb));
        }
        r.timings = timingsFrom(in->at("timings"));
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

// Splits the video's frames into `jobs` spans rendered by as many processes of this program at
// once. Each job plays the show from its start, drawing only its span; the last one plays to
// the end and so sees the whole timeline (sound, scenes, trace).
RunResult runJobs(const CaptureOptions& options, const FixedClock& clock, const Span& whole,
                  int jobs, std::vector<std::string>& streams, std::vector<std::string>& scratch) {
    RunResult merged;
#ifdef _WIN32
    // Videos are made by the Linux build (main refuses --video here), the only user of jobs.
    (void)options, (void)clock, (void)whole, (void)jobs, (void)streams, (void)scratch;
    merged.ok = false;
    return merged;
#else
    const Clock::time_point began = Clock::now();
    const std::int64_t expectedEnd =
        std::min(whole.endFrame, clock.firstFrameAtOrAfter(kShowSeconds) + 1);
    const std::int64_t frames = std::max<std::int64_t>(1, expectedEnd - whole.firstShown);
    std::vector<std::int64_t> bounds;
    for (int k = 0; k <= jobs; ++k) {
        bounds.push_back(whole.firstShown + frames * k / jobs);
    }
    std::vector<pid_t> children;
    std::vector<std::string> jobFiles;
    const std::string startLock = options.video + ".start-lock";
    if (!std::ofstream(startLock)) {
        std::cerr << "klomp-capture: cannot write " << startLock << std::endl;
        merged.ok = false;
        return merged;
    }
    scratch.push_back(startLock);
    for (int k = 0; k < jobs; ++k) {
        const std::size_t at = static_cast<std::size_t>(k);
        const bool last = k + 1 == jobs;
        const std::string base = options.video + ".part-" + std::to_string(k + 1);
        const std::string stream = base + ".ts";
        const std::string jobFile = base + ".json";
        streams.push_back(stream);
        jobFiles.push_back(jobFile);
        scratch.insert(scratch.end(),
                       {stream, jobFile, jobFile + ".result.json", jobFile + ".thumbnails"});
        nlohmann::json job;
        job["first_frame"] = bounds[at];
        job["end_frame"] =
            last ? (whole.endFrame == std::numeric_limits<std::int64_t>::max() ? std::int64_t{-1}
                                                                               : whole.endFrame)
                 : bounds[at + 1];
        job["stills"] = nlohmann::json::array();
        for (const auto& [frame, path] : whole.stills) {
            // Stills before the video go to the first job, those after it to the last.
            if ((frame >= bounds[at] || k == 0) && (frame < bounds[at + 1] || last)) {
                job["stills"].push_back({frame, path});
            }
        }
        job["sheet_frames"] = nlohmann::json::array();
        for (std::int64_t frame : whole.sheetFrames) {
            if ((frame >= bounds[at] || k == 0) && (frame < bounds[at + 1] || last)) {
                job["sheet_frames"].push_back(frame);
            }
        }
        job["trace"] = last ? whole.trace : std::string();
        job["hash"] = whole.hashFrames;
        job["label"] = std::to_string(k + 1) + "/" + std::to_string(jobs);
        job["start_lock"] = startLock;
        if (!writeJson(jobFile, job)) {
            std::cerr << "klomp-capture: cannot write " << jobFile << std::endl;
            merged.ok = false;
            break;
        }
        std::vector<std::string> args{"/proc/self/exe", "--segment", jobFile, "--video", stream,
                                      "--fps", std::to_string(options.fps), "--crf",
                                      std::to_string(options.crf), "--preset", options.preset,
                                      "--no-extras",
                                      // Nobody watches the jobs' windows, which lie on top
                                      // of each other; presenting only loads the X server.
                                      "--no-present"};
        if (!options.progress) {
            args.push_back("--quiet");
        }
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        pid_t pid = -1;
        if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
            std::cerr << "klomp-capture: cannot start job " << k + 1 << std::endl;
            merged.ok = false;
            break;
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            merged.ok = false;
        }
    }
    if (!merged.ok || children.size() != static_cast<std::size_t>(jobs)) {
        merged.ok = false;
        return merged;
    }
    for (int k = 0; k < jobs; ++k) {
        RunResult r;
        if (!readJobResult(jobFiles[static_cast<std::size_t>(k)], r)) {
            std::cerr << "klomp-capture: job " << k + 1 << " left no results" << std::endl;
            merged.ok = false;
            return merged;
        }
        merged.ok = merged.ok && r.ok;
        merged.videoFrames += r.videoFrames;
        merged.hashes.insert(merged.hashes.end(), r.hashes.begin(), r.hashes.end());
        for (Thumbnail& thumb : r.thumbnails) {
            merged.thumbnails.push_back(std::move(thumb));
        }
        merged.timings += r.timings;
        if (k + 1 == jobs) {
            merged.framesPlayed = r.framesPlayed;
            merged.plan = r.plan;
            merged.songFile = r.songFile;
            merged.noiseFile = r.noiseFile;
            merged.sceneStarts = r.sceneStarts;
        }
    }
    merged.stillsWritten = whole.stills.size();
    merged.timings.wall = secondsSince(began);
    return merged;
#endif
}

// The sound, chapters and tags around the video stream(s): the mix goes through the
// true-peak limiter and is encoded, and the encoded sound is measured; should it still pass
// the limit, the ceiling is lowered by the excess and the sound made again.
bool finishVideo(const CaptureOptions& options, const FixedClock& clock, std::int64_t firstShown,
                 const std::vector<std::string>& streams, const RunResult& r) {
    Pcm song;
    Pcm noise;
    if (!r.songFile.empty()) {
        readPcm(r.songFile, song);
    }
    if (!r.noiseFile.empty()) {
        readPcm(r.noiseFile, noise);
    }
    const double from = clock.timeOf(firstShown);
    const double length = static_cast<double>(r.videoFrames) / options.fps;
    const std::string metadata = options.video + ".part.ffmeta";
    const std::string audioPart = options.video + ".part.wav";
    bool ok = false;
    {
        std::ofstream file(metadata);
        file << chapterMetadata(r.sceneStarts, firstShown, firstShown + r.videoFrames, options.fps);
        ok = static_cast<bool>(file);
    }
    double ceiling = kTruePeakLimit - 0.5;
    Loudness loudness;
    const Pcm unlimited = mixSoundtrack(song, noise, r.plan, from, length);
    std::vector<float> unlimitedSamples(unlimited.samples.begin(), unlimited.samples.end());
    const double unlimitedPeak =
        20.0 * static_cast<double>(std::log10(
                   std::max(1e-9f, truePeak(unlimitedSamples, unlimited.channels)) / 32768.0f));
    for (int attempt = 0; ok && attempt < 4; ++attempt) {
        const Pcm mix = mixSoundtrack(song, noise, r.plan, from, length, ceiling);
        std::string error;
        if (!writeWav(audioPart, mix)) {
            std::cerr << "klomp-capture: cannot write " << audioPart << std::endl;
            ok = false;
        } else if (!muxVideo(streams, audioPart, metadata, options.video, error)) {
            std::cerr << "klomp-capture: " << error << std::endl;
            ok = false;
        } else {
            loudness = measureLoudness(options.video);
            if (!loudness.measured) {
                std::cerr << "klomp-capture: could not measure the sound of " << options.video
                          << std::endl;
                ok = false;
            } else if (loudness.truePeakDbtp <= kTruePeakLimit) {
                break;
            } else {
                ceiling -= loudness.truePeakDbtp - kTruePeakLimit + 0.2;
            }
        }
    }
    if (ok && loudness.truePeakDbtp > kTruePeakLimit) {
        std::cerr << "klomp-capture: the sound still peaks at " << loudness.truePeakDbtp << " dBTP"
                  << std::endl;
        ok = false;
    }
    if (ok) {
        std::fprintf(stderr,
                     "  sound: %.1f LUFS integrated, true peak %.1f dBTP after the AAC encode "
                     "(mix limited at %.1f dBTP; unlimited it peaks at %.1f dBTP)\n",
                     loudness.integratedLufs, loudness.truePeakDbtp, ceiling, unlimitedPeak);
    }
    std::error_code ignored;
    std::filesystem::remove(audioPart, ignored);
    std::filesystem::remove(metadata, ignored);
    return ok;
}

int defaultJobs(const CaptureOptions& options, std::int64_t frames) {
    if (options.jobs > 0) {
        return static_cast<int>(
            std::min<std::int64_t>(options.jobs, std::max<std::int64_t>(1, frames)));
    }
    // One per core, but a job only pays its start-up for at least a second of video.
    const auto cores = static_cast<std::int64_t>(std::max(1u, std::thread::hardware_concurrency()));
    const auto perSecond = static_cast<std::int64_t>(std::ceil(options.fps));
    return static_cast<int>(std::max<std::int64_t>(1, std::min(cores, frames / perSecond)));
}

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
#ifdef _WIN32
    if (!options.video.empty()) {
        std::cerr << "klomp-capture: this Windows build writes stills, contact sheets and "
                     "traces; videos are made by the Linux build, which feeds ffmpeg\n";
        return 2;
    }
    // The capture makes its own soundtrack; the show's audio goes to a silent device.
    _putenv_s("ALSOFT_DRIVERS", "null");
#else
    // The capture makes its own soundtrack; the show's audio goes to a silent device.
    setenv("ALSOFT_DRIVERS", "null", 1);
#endif
    if (!options.segment.empty()) {
        return runJob(options);
    }
    if (!options.video.empty() && options.extras) {
        if (options.contactSheet.empty()) {
            options.contactSheet = besideVideo(options.video, "-sheet.png");
        }
        if (options.plot.empty()) {
            options.plot = besideVideo(options.video, "-frametimes.png");
        }
    }

    const FixedClock clock(options.fps);
    Span span;
    span.firstShown = clock.firstFrameAtOrAfter(options.start);
    if (!std::isinf(options.end)) {
        span.endFrame = clock.firstFrameAtOrAfter(options.end);
    }
    const std::int64_t expectedEnd =
        std::min(span.endFrame, clock.firstFrameAtOrAfter(kShowSeconds) + 1);
    if (!options.stills.empty()) {
        std::filesystem::create_directories(options.outDir);
        for (double t : options.stills) {
            span.stills[clock.nearestFrame(t)] =
                (std::filesystem::path(options.outDir) / stillName(t)).string();
        }
    }
    if (!options.contactSheet.empty()) {
        for (int k = 0;; ++k) {
            const double t = options.start + k * options.every;
            const std::int64_t frame = clock.nearestFrame(t);
            if (frame >= expectedEnd || frame >= span.endFrame || k > 100000) {
                break;
            }
            span.sheetFrames.insert(frame);
        }
    }
    span.trace = options.trace;
    span.hashFrames = !options.frameHashes.empty();
    const bool video = !options.video.empty();
    if (video) {
        const std::filesystem::path parent = std::filesystem::path(options.video).parent_path();
        if (!parent.empty()) {
            std::filesystem::create_directories(parent);
        }
    }

    const int jobs = video ? defaultJobs(options, expectedEnd - span.firstShown) : 1;
    std::vector<std::string> streams;
    std::vector<std::string> scratch;
    RunResult result;
    if (jobs > 1) {
        result = runJobs(options, clock, span, jobs, streams, scratch);
    } else {
        if (video) {
            span.stream = options.video + ".part.ts";
            streams.push_back(span.stream);
            scratch.push_back(span.stream);
        }
        result = render(options, clock, span);
    }
    int status = result.ok ? 0 : 1;
    printSummary("klomp-capture", clock, result);
    if (jobs > 1) {
        std::fprintf(stderr,
                     "  %d jobs at once, each playing the show from its start (the times above "
                     "are the jobs' sums; the wall time and start-up are the whole run's and "
                     "the slowest job's)\n",
                     jobs);
    }
    if (video && status == 0 && !finishVideo(options, clock, span.firstShown, streams, result)) {
        status = 1;
    }
    for (const std::string& file : scratch) {
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
    }
    if (!options.frameHashes.empty() && status == 0) {
        std::ofstream file(options.frameHashes);
        for (const FrameHash& hash : result.hashes) {
            file << hash.frame << "\t" << hexHash(hash.hash) << "\n";
        }
        if (!file) {
            std::cerr << "klomp-capture: cannot write " << options.frameHashes << std::endl;
            status = 1;
        }
    }
    if (!options.contactSheet.empty()) {
        if (!saveContactSheet(options.contactSheet, result.thumbnails, 6)) {
            std::cerr << "klomp-capture: no contact sheet written" << std::endl;
            options.contactSheet.clear();
        }
    }
    if (!options.plot.empty()) {
        std::vector<PlotMark> marks;
        for (const SceneStart& start : result.sceneStarts) {
            marks.push_back({clock.timeOf(start.frame), sceneName(start.scene)});
        }
        const Timings& t = result.timings;
        const std::vector<PlotSeries> series{
            {"renderFrame + read-back", sf::Color(230, 140, 30), t.plotTime, t.plotTotal},
            {"renderFrame", sf::Color(40, 90, 200), t.plotTime, t.plotRender}};
        if (t.plotTime.empty() ||
            !saveTimePlot(options.plot, "klomp-capture frame times", series, marks)) {
            std::cerr << "klomp-capture: no frame-time plot written" << std::endl;
            options.plot.clear();
        }
    }

    if (video && status == 0) {
        std::cout << "video: " << std::filesystem::absolute(options.video).string() << "\n";
    }
    if (!span.stills.empty()) {
        std::cout << "stills: " << std::filesystem::absolute(options.outDir).string() << "\n";
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
    if (!options.frameHashes.empty() && status == 0) {
        std::cout << "frame hashes: " << std::filesystem::absolute(options.frameHashes).string()
                  << "\n";
    }
    return status;
}
