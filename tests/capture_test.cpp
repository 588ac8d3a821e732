// The capture tool and the benchmark, driven as programs: the show's timeline at two frame
// rates, short video captures (format, frame count, sound, repeatability), stills against the
// window's own picture, the soundtrack mix, and the allocation audit of the frame work.
#include "support/TestSupport.hpp"

#include "capture/FramePipe.hpp"
#include "capture/Pictures.hpp"
#include "capture/ShowSession.hpp"
#include "capture/Soundtrack.hpp"
#include "runtime/DemoState.hpp"
#include "runtime/DrawingClip.hpp"
#include "runtime/Startup.hpp"

#include <SFML/Graphics/Texture.hpp>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/wait.h>

namespace {

struct Command {
    int status = -1;
    std::string output; // standard output and standard error together
};

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

// Runs a program from `dir` (the repository root unless given) and collects what it printed.
Command run(const std::vector<std::string>& args,
            const std::filesystem::path& dir = test::sourceDir()) {
    std::string line = "cd " + quoted(dir.string()) + " &&";
    for (const std::string& arg : args) {
        line += " " + quoted(arg);
    }
    line += " 2>&1";
    Command result;
    std::FILE* pipe = popen(line.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        result.output.append(buffer, got);
    }
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// ---------------------------------------------------------------------------------------
// Where the step rules put the hand-overs. Each scene's steps keep a float step time that
// grows by dt before its threshold is tested, and restarts at 0 when the step changes, so a
// step lasts the first whole number of frames whose summed time passes its threshold.

struct StepRule {
    double seconds;
    bool inclusive; // >= rather than >
};

int stepFrames(float dt, const StepRule& rule) {
    float time = 0.0f;
    int frames = 0;
    do {
        time += dt;
        ++frames;
    } while (!(rule.inclusive ? static_cast<double>(time) >= rule.seconds
                              : static_cast<double>(time) > rule.seconds));
    return frames;
}

// The title's step 4 counts the sun's fade down from 1 instead.
int countdownFrames(float dt) {
    float fade = 1.0f;
    int frames = 0;
    do {
        fade -= dt;
        ++frames;
    } while (fade > 0.0f);
    return frames;
}

struct SceneSteps {
    SceneId scene;
    std::vector<StepRule> steps;
    bool sunCountdownBeforeLast = false;
};

const std::vector<SceneSteps>& showSteps() {
    static const std::vector<SceneSteps> steps{
        {Scene::Intro, {{1.5, false}, {6, false}, {8.5, false}, {4, false}}},
        {Scene::Title,
         {{1.5, true}, {8, false}, {5, false}, {13.5, false}, {2.8, false}, {4, false}},
         true},
        {Scene::WallScroller, {{2, false}, {20, false}, {1.5, false}}},
        {Scene::VinylScroller, {{43, false}, {3.5, false}}},
        {Scene::Party, {{13, true}, {26, false}, {1.5, false}}},
        {Scene::Finale, {{22, false}, {8.5, false}}},
    };
    return steps;
}

// The first frame of every scene after the intro, and of the quit index.
std::vector<long> expectedHandovers(double fps) {
    const float dt = static_cast<float>(1.0 / fps);
    std::vector<long> firsts;
    long frame = 0;
    for (const SceneSteps& scene : showSteps()) {
        for (std::size_t i = 0; i < scene.steps.size(); ++i) {
            if (scene.sunCountdownBeforeLast && i + 1 == scene.steps.size()) {
                frame += countdownFrames(dt);
            }
            frame += stepFrames(dt, scene.steps[i]);
        }
        firsts.push_back(frame);
    }
    return firsts;
}

struct TraceLine {
    double time;
    int scene;
    int step;
    double fade;
};

std::vector<TraceLine> readTrace(const std::string& path) {
    std::istringstream in(readFile(path));
    std::string header;
    std::getline(in, header);
    EXPECT_EQ(header, "time\tscene\tstep\tfade");
    std::vector<TraceLine> lines;
    TraceLine line{};
    while (in >> line.time >> line.scene >> line.step >> line.fade) {
        lines.push_back(line);
    }
    return lines;
}

// Plays the whole show in trace-only mode at `fps` and checks its timeline.
void checkFullShowTimeline(double fps) {
    test::TempDir dir;
    const std::string trace = dir.file("trace.tsv");
    const Command capture = run({KLOMP_CAPTURE_TOOL, "--trace-only", "--trace", trace, "--fps",
                                 std::to_string(fps), "--quiet"});
    ASSERT_EQ(capture.status, 0) << capture.output;
    const std::vector<TraceLine> lines = readTrace(trace);
    ASSERT_GT(lines.size(), 100u);

    // Frame n is shown at n / fps; scenes run in order, steps never go back within a scene.
    std::vector<long> starts;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const TraceLine& line = lines[n];
        ASSERT_NEAR(line.time, static_cast<double>(n) / fps, 1e-3) << "frame " << n;
        ASSERT_GE(line.fade, 0.0);
        ASSERT_LE(line.fade, 1.0);
        if (n == 0) {
            ASSERT_EQ(line.scene, Scene::Intro);
            continue;
        }
        const TraceLine& before = lines[n - 1];
        if (line.scene != before.scene) {
            ASSERT_EQ(line.scene, before.scene + 1) << "at " << line.time << " s";
            starts.push_back(static_cast<long>(n));
        } else {
            ASSERT_GE(line.step, before.step) << "scene " << line.scene << " at " << line.time;
        }
    }
    // The quit index gets exactly one frame, the last one, and the program then ends.
    ASSERT_EQ(lines.back().scene, Scene::Quit);
    ASSERT_EQ(lines[lines.size() - 2].scene, Scene::Finale);

    const std::vector<long> expected = expectedHandovers(fps);
    ASSERT_EQ(starts.size(), expected.size());
    // The nominal moments of the show; every step change can add up to one frame to them.
    const double nominal[] = {20.0, 55.8, 79.3, 125.8, 166.3, 196.8};
    int stepsSoFar = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        stepsSoFar += static_cast<int>(showSteps()[i].steps.size()) + (i == 1 ? 1 : 0);
        EXPECT_LE(std::labs(starts[i] - expected[i]), 1)
            << "scene " << i << " starts at " << static_cast<double>(starts[i]) / fps
            << " s, the step rules put it at " << static_cast<double>(expected[i]) / fps << " s";
        const double late = static_cast<double>(starts[i]) / fps - nominal[i];
        EXPECT_GE(late, -1.0 / fps) << "scene " << i;
        EXPECT_LE(late, (stepsSoFar + 1) / fps) << "scene " << i;
    }

    // The song is written for the cuts seen at 60 fps: each section change measured in the
    // decoded song lies within a frame of its scene's first frame, and nothing sounds after
    // the last frame.
    if (fps == 60.0) {
        const Command cuts = run({"/usr/bin/python3", "tools/song-cuts.py", trace,
                                  "assets/music/klomp.ogg", "--fps", "60"});
        EXPECT_EQ(cuts.status, 0) << cuts.output;
    }
}

} // namespace

TEST(CaptureTimeline, FullShowAt60FpsHandsOverWhereTheStepRulesPutItThenEnds) {
    checkFullShowTimeline(60.0);
}

TEST(CaptureTimeline, FullShowAt10FpsFollowsTheSameRulesAtThatRate) {
    checkFullShowTimeline(10.0);
}

namespace {

struct Probe {
    nlohmann::json video;
    nlohmann::json audio;
};

Probe probe(const std::string& file) {
    const Command p = run({"ffprobe", "-v", "error", "-count_frames", "-show_entries",
                           "stream=codec_type,codec_name,width,height,pix_fmt,nb_read_frames,"
                           "duration,sample_rate,channels",
                           "-of", "json", file});
    EXPECT_EQ(p.status, 0) << p.output;
    Probe result;
    const nlohmann::json doc = nlohmann::json::parse(p.output, nullptr, false);
    if (doc.is_discarded() || !doc.contains("streams")) {
        ADD_FAILURE() << p.output;
        return result;
    }
    for (const nlohmann::json& stream : doc["streams"]) {
        (stream.value("codec_type", "") == "video" ? result.video : result.audio) = stream;
    }
    return result;
}

// The sound of a video as 44.1 kHz stereo samples.
std::vector<std::int16_t> decodeSound(const std::string& file, const test::TempDir& dir) {
    const std::string raw = dir.file("sound.raw");
    const Command d = run({"ffmpeg", "-v", "error", "-y", "-i", file, "-map", "0:a", "-f", "s16le",
                           "-ac", "2", "-ar", "44100", raw});
    EXPECT_EQ(d.status, 0) << d.output;
    const std::string bytes = readFile(raw);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// Root mean square of the stereo samples between two capture seconds.
double loudness(const std::vector<std::int16_t>& samples, double from, double to) {
    const std::size_t first = static_cast<std::size_t>(from * 44100) * 2;
    const std::size_t last = std::min(samples.size(), static_cast<std::size_t>(to * 44100) * 2);
    double sum = 0.0;
    for (std::size_t i = first; i < last; ++i) {
        sum += static_cast<double>(samples[i]) * samples[i];
    }
    return last > first ? std::sqrt(sum / static_cast<double>(last - first)) : 0.0;
}

} // namespace

// The noise burst plays from 7.6 s to 8.2 s at 5 fps (the intro's step 2 starts at frame 38
// and the burst's 0.75 s are counted down from that frame). The second capture splits the span
// between two processes: the frames they hand to the encoder are the one-process frames.
TEST(CaptureVideo, ShortCaptureIsH264WithTheSongAndTheNoiseAndTwoJobsGiveTheSameFrames) {
    test::TempDir dir;
    const std::string first = dir.file("one/first.mp4");
    const std::string second = dir.file("second.mp4");
    for (const std::string& file : {first, second}) {
        // The first is named relative to the working folder, in a folder the tool makes.
        const std::string given =
            file == first ? std::filesystem::relative(file, test::sourceDir()).string() : file;
        const Command capture =
            run({KLOMP_CAPTURE_TOOL, "--video", given, "--fps", "5", "--start", "6.4", "--end",
                 "8.4", "--no-extras", "--quiet", "--jobs", file == first ? "1" : "2",
                 "--frame-hashes", file + ".hashes"});
        ASSERT_EQ(capture.status, 0) << capture.output;
        const std::string shown = (test::sourceDir() / given).string();
        EXPECT_NE(capture.output.find("video: " + shown), std::string::npos) << capture.output;
        EXPECT_NE(capture.output.find("dBTP after the AAC encode"), std::string::npos);
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
    }

    const Probe p = probe(first);
    EXPECT_EQ(p.video.value("codec_name", ""), "h264");
    EXPECT_EQ(p.video.value("width", 0), 1920);
    EXPECT_EQ(p.video.value("height", 0), 1080);
    EXPECT_EQ(p.video.value("pix_fmt", ""), "yuv420p");
    EXPECT_EQ(p.video.value("nb_read_frames", ""), "10");
    ASSERT_FALSE(p.audio.is_null()) << "no sound stream";
    EXPECT_NEAR(std::stod(p.audio.value("duration", "0")), 2.0, 0.05);
    const Probe joined = probe(second);
    EXPECT_EQ(joined.video.value("nb_read_frames", ""), "10");
    EXPECT_NEAR(std::stod(joined.video.value("duration", "0")), 2.0, 1e-6);

    // Capture second s shows show second 6.4 + s: the song plays throughout, the noise lies
    // on top of it from show second 7.6 (capture second 1.2).
    const std::vector<std::int16_t> sound = decodeSound(first, dir);
    const double song = loudness(sound, 0.0, 1.1);
    EXPECT_GT(song, 300.0);
    EXPECT_GT(loudness(sound, 1.25, 1.75), 2.0 * song);

    // Frames 32 to 41, each with its hash, the same from one process and from two, and
    // different from each other (the picture moves).
    const std::string hashes = readFile(first + ".hashes");
    EXPECT_EQ(std::count(hashes.begin(), hashes.end(), '\n'), 10);
    EXPECT_EQ(hashes.substr(0, 3), "32\t");
    EXPECT_EQ(hashes, readFile(second + ".hashes"));
    std::set<std::string> distinct;
    std::istringstream lines(hashes);
    for (std::string line; std::getline(lines, line);) {
        distinct.insert(line.substr(line.find('\t')));
    }
    EXPECT_GE(distinct.size(), 8u);
}

// What a player and an upload site read: a 60 fps span around the title's hand-over to the
// brick-wall scroller, split between two jobs. The size band is the shareable whole-show band
// (150-300 MB for 11,825 frames) scaled to the span, with room for its key frame.
TEST(CaptureVideo, ShareableVideoHasColourTagsChaptersAtTheSceneFramesTitleAndAClearPeak) {
    test::TempDir dir;
    const std::string file = dir.file("share.mp4");
    const std::string trace = dir.file("trace.tsv");
    const Command capture = run({KLOMP_CAPTURE_TOOL, "--video", file, "--start", "55.6", "--end",
                                 "56", "--trace", trace, "--no-extras", "--quiet", "--jobs", "2"});
    ASSERT_EQ(capture.status, 0) << capture.output;

    const Command p = run({"ffprobe", "-v", "error", "-show_chapters", "-show_format",
                           "-show_streams", "-of", "json", file});
    ASSERT_EQ(p.status, 0) << p.output;
    const nlohmann::json doc = nlohmann::json::parse(p.output);
    const nlohmann::json& video = doc["streams"][0];
    EXPECT_EQ(video.value("codec_type", ""), "video");
    EXPECT_EQ(video.value("nb_frames", ""), "24");
    EXPECT_EQ(video.value("color_range", ""), "tv");
    EXPECT_EQ(video.value("color_space", ""), "bt709");
    EXPECT_EQ(video.value("color_transfer", ""), "bt709");
    EXPECT_EQ(video.value("color_primaries", ""), "bt709");
    const nlohmann::json& tags = doc["format"]["tags"];
    EXPECT_EQ(tags.value("title", ""), "Ain't zilchy but a (symbol) klomp");
    EXPECT_NE(tags.value("comment", "").find("Music: CHARLIE"), std::string::npos);

    // The brick-wall scroller's chapter starts at the first frame the trace shows it in.
    double wallStart = -1.0;
    for (const TraceLine& line : readTrace(trace)) {
        if (line.scene == Scene::WallScroller) {
            wallStart = line.time;
            break;
        }
    }
    ASSERT_GT(wallStart, 55.6);
    const nlohmann::json& chapters = doc["chapters"];
    ASSERT_EQ(chapters.size(), 2u) << p.output;
    EXPECT_EQ(chapters[0]["tags"].value("title", ""), "Title");
    EXPECT_DOUBLE_EQ(std::stod(chapters[0].value("start_time", "-1")), 0.0);
    EXPECT_EQ(chapters[1]["tags"].value("title", ""), "Brick-wall scroller");
    // Kept in milliseconds, at or just after the frame's time and before the next frame's.
    const double wallChapter = std::stod(chapters[1].value("start_time", "-1"));
    EXPECT_GE(wallChapter, wallStart - 55.6 - 1e-4);
    EXPECT_LT(wallChapter, wallStart - 55.6 + 0.002);
    EXPECT_NEAR(std::stod(chapters[1].value("end_time", "-1")), 0.4, 1e-3);

    // The index comes first, so a player can start before the whole file is there.
    const std::string bytes = readFile(file);
    EXPECT_LT(bytes.find("moov"), bytes.find("mdat"));
    const double perFrame = 150e6 / 11825.0;
    EXPECT_GT(static_cast<double>(bytes.size()), 24 * perFrame * 0.5);
    EXPECT_LT(static_cast<double>(bytes.size()), 24 * 2 * perFrame * 2.0);

    // The sound after the AAC encode, as ffmpeg's meter reads it.
    const Command meter = run({"ffmpeg", "-hide_banner", "-nostats", "-i", file, "-filter:a",
                               "ebur128=peak=true", "-f", "null", "-"});
    ASSERT_EQ(meter.status, 0) << meter.output;
    const std::size_t peak = meter.output.find("Peak:", meter.output.rfind("True peak:"));
    ASSERT_NE(peak, std::string::npos) << meter.output;
    const double truePeak = std::strtod(meter.output.c_str() + peak + 5, nullptr);
    EXPECT_LE(truePeak, -1.0);
    EXPECT_GT(truePeak, -6.0); // the song is there at its own level
}

TEST(CaptureVideo, MusicOffInConfigLeavesOnlyTheNoiseBurst) {
    test::TempDir dir;
    dir.write("config.json", R"({"music": false, "sound": true, "vsync": false})");
    test::linkAssets(dir.path());
    const std::string file = dir.file("quiet.mp4");
    const Command capture = run({KLOMP_CAPTURE_TOOL, "--video", file, "--fps", "5", "--start", "7",
                                 "--end", "8.8", "--no-extras", "--quiet"},
                                dir.path());
    ASSERT_EQ(capture.status, 0) << capture.output;
    const std::vector<std::int16_t> sound = decodeSound(file, dir);
    EXPECT_LT(loudness(sound, 0.0, 0.55), 5.0);     // before 7.6 s
    EXPECT_GT(loudness(sound, 0.62, 0.78), 1000.0); // from its first frame
    EXPECT_GT(loudness(sound, 1.02, 1.18), 1000.0); // to its last
    EXPECT_LT(loudness(sound, 1.25, 1.8), 5.0);     // from 8.2 s: stopped
}

TEST(CaptureStills, StillIsTheWindowsPictureAtThatFrameUpright) {
    test::TempDir dir;
    const Command capture = run({KLOMP_CAPTURE_TOOL, "--stills", "7.6", "--out-dir",
                                 dir.file("stills"), "--fps", "5", "--quiet"});
    ASSERT_EQ(capture.status, 0) << capture.output;
    sf::Image still;
    ASSERT_TRUE(still.loadFromFile(dir.file("stills/still-0007.600.png")));
    ASSERT_EQ(still.getSize(), sf::Vector2u(1920, 1080));

    // The same frame played here: 38 frames unseen, then frame 38 drawn and taken from the
    // window's back buffer by the graphics library itself.
    sf::RenderWindow window;
    capture::startShow(window);
    const capture::FixedClock clock(5.0);
    for (std::int64_t frame = 0; frame < 38; ++frame) {
        setDrawingClipped(true);
        capture::playFrame(clock, frame);
    }
    setDrawingClipped(false);
    capture::playFrame(clock, 38);
    sf::Texture texture;
    ASSERT_TRUE(texture.create(1920, 1080));
    texture.update(window);
    const sf::Image shown = texture.copyToImage();

    std::size_t differing = 0;
    std::size_t opaque = 0;
    for (unsigned y = 0; y < 1080; y += 3) {
        for (unsigned x = 0; x < 1920; x += 3) {
            const sf::Color a = still.getPixel(x, y);
            const sf::Color b = shown.getPixel(x, y);
            differing += (a.r != b.r || a.g != b.g || a.b != b.b) ? 1 : 0;
            opaque += a.a == 255 ? 1 : 0;
        }
    }
    EXPECT_EQ(differing, 0u);
    EXPECT_EQ(opaque, 640u * 360u);
    window.close();
}

TEST(CaptureOptions, BadCommandLinesAreRefusedWithUsage) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"--trace-only"},
             {"--trace-only", "--trace", "t.tsv", "--video", "v.mp4"},
             {"--video", "v.mp4", "--fps", "0"},
             {"--video", "v.mp4", "--start", "5", "--end", "4"},
             {"--stills", "1,,2"},
             {"--video", "v.mp4", "--jobs", "0"},
             {"--video", "v.mp4", "--crf", "60"},
             {"--stills", "1", "--frame-hashes", "h.txt"},
             {"--bogus"}}) {
        std::vector<std::string> line{KLOMP_CAPTURE_TOOL};
        line.insert(line.end(), args.begin(), args.end());
        const Command c = run(line);
        EXPECT_EQ(c.status, 2) << c.output;
        EXPECT_NE(c.output.find("usage: klomp-capture"), std::string::npos);
    }
}

TEST(FixedClock, FramesAtShowTimesSurviveDecimalRounding) {
    const capture::FixedClock five(5.0);
    EXPECT_EQ(five.firstFrameAtOrAfter(6.4), 32); // 6.4 * 5 is 32.000000000000004
    EXPECT_EQ(five.firstFrameAtOrAfter(6.5), 33);
    EXPECT_EQ(five.firstFrameAtOrAfter(0.0), 0);
    EXPECT_EQ(five.nearestFrame(7.6), 38);
    const capture::FixedClock sixty(60.0);
    EXPECT_EQ(sixty.firstFrameAtOrAfter(20.0), 1200);
    EXPECT_EQ(sixty.firstFrameAtOrAfter(55.8), 3348);
    EXPECT_NEAR(sixty.timeOf(3348), 55.8, 1e-9);
    const capture::FixedClock ntsc(30000.0 / 1001.0);
    EXPECT_EQ(ntsc.firstFrameAtOrAfter(ntsc.timeOf(1234)), 1234);
    EXPECT_EQ(ntsc.nearestFrame(ntsc.timeOf(999) + 0.01), 999);
}

namespace {

// A 4x2 frame as GL reads the window: bottom row first, BGRA.
std::vector<std::uint8_t> smallFrame() {
    std::vector<std::uint8_t> pixels;
    for (unsigned y = 0; y < 2; ++y) {
        for (unsigned x = 0; x < 4; ++x) {
            // blue, green, red, alpha: red tells the row (bottom 10, top 20), green the column
            const std::uint8_t bgra[] = {1, static_cast<std::uint8_t>(x),
                                         static_cast<std::uint8_t>(10 + 10 * y), 7};
            pixels.insert(pixels.end(), bgra, bgra + 4);
        }
    }
    return pixels;
}

} // namespace

TEST(FramePipe, EncoderGetsTheRowsTopFirst) {
    test::TempDir dir;
    const std::string out = dir.file("frames.raw");
    capture::EncoderProcess encoder;
    ASSERT_TRUE(encoder.start({"sh", "-c", "cat > " + quoted(out)}));
    const std::vector<std::uint8_t> frame = smallFrame();
    ASSERT_TRUE(encoder.writeUpright(frame.data(), 4, 2));
    ASSERT_TRUE(encoder.writeUpright(frame.data(), 4, 2));
    EXPECT_EQ(encoder.finish(), 0);
    const std::string bytes = readFile(out);
    ASSERT_EQ(bytes.size(), 2u * 32u);
    EXPECT_EQ(bytes.substr(0, 16), std::string(reinterpret_cast<const char*>(&frame[16]), 16));
    EXPECT_EQ(bytes.substr(16, 16), std::string(reinterpret_cast<const char*>(&frame[0]), 16));
    EXPECT_EQ(bytes.substr(32), bytes.substr(0, 32));
}

TEST(FramePipe, EncoderThatFailsToStartOrDiesIsReported) {
    capture::EncoderProcess missing;
    EXPECT_FALSE(missing.start({"/nonexistent/encoder"}) && missing.finish() == 0);
    capture::EncoderProcess quitter;
    ASSERT_TRUE(quitter.start({"sh", "-c", "exit 3"}));
    std::vector<std::uint8_t> big(1920 * 1080 * 4, 0);
    bool written = true;
    for (int i = 0; i < 4 && written; ++i) { // more than the pipe holds
        written = quitter.writeUpright(big.data(), 1920, 1080);
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(quitter.finish(), 3);
}

TEST(FramePipe, StillsAndThumbnailsComeOutUprightOpaqueAndInRgbOrder) {
    test::TempDir dir;
    capture::FrameWriter writer(2, 4, 2, nullptr, 2);
    capture::FrameJob* job = writer.acquire();
    const std::vector<std::uint8_t> frame = smallFrame();
    std::copy(frame.begin(), frame.end(), job->pixels);
    job->time = 1.5;
    job->scene = Scene::Title;
    job->toThumbnail = true;
    job->stillPath = dir.file("still.png");
    writer.submit(job);
    writer.finish();

    sf::Image still;
    ASSERT_TRUE(still.loadFromFile(dir.file("still.png")));
    ASSERT_EQ(still.getSize(), sf::Vector2u(4, 2));
    EXPECT_EQ(still.getPixel(3, 0), sf::Color(20, 3, 1, 255)); // the top row comes first
    EXPECT_EQ(still.getPixel(0, 1), sf::Color(10, 0, 1, 255));

    ASSERT_EQ(writer.thumbnails().size(), 1u);
    const capture::Thumbnail& thumb = writer.thumbnails().front();
    EXPECT_EQ(thumb.time, 1.5);
    EXPECT_EQ(thumb.scene, Scene::Title);
    ASSERT_EQ(thumb.width, 2u);
    ASSERT_EQ(thumb.height, 1u);
    // Each 2x2 block averages both rows and two columns.
    const std::vector<std::uint8_t> expected{15, 0, 1, 255, 15, 2, 1, 255};
    EXPECT_EQ(thumb.pixels, expected);
}

TEST(Pictures, ContactSheetLaysThumbnailsInRowsWithRoomForLabels) {
    test::TempDir dir;
    std::vector<capture::Thumbnail> thumbs(7);
    for (std::size_t i = 0; i < thumbs.size(); ++i) {
        thumbs[i].time = 5.0 * static_cast<double>(i);
        thumbs[i].width = 40;
        thumbs[i].height = 20;
        thumbs[i].pixels.assign(40 * 20 * 4, 255);
        for (std::size_t p = 0; p < thumbs[i].pixels.size(); p += 4) {
            thumbs[i].pixels[p + 1] = static_cast<std::uint8_t>(30 * i); // green tells which
        }
    }
    ASSERT_TRUE(capture::saveContactSheet(dir.file("sheet.png"), thumbs, 3));
    sf::Image sheet;
    ASSERT_TRUE(sheet.loadFromFile(dir.file("sheet.png")));
    // 12 px gaps, 26 px of label under each picture: 3 columns, 3 rows.
    EXPECT_EQ(sheet.getSize(), sf::Vector2u(12 + 3 * 52, 12 + 3 * 58));
    EXPECT_EQ(sheet.getPixel(12 + 20, 12 + 10).g, 0);
    EXPECT_EQ(sheet.getPixel(12 + 52 + 20, 12 + 10).g, 30);
    EXPECT_EQ(sheet.getPixel(12 + 20, 12 + 58 + 10).g, 90);      // the 4th starts row 2
    EXPECT_EQ(sheet.getPixel(12 + 20, 12 + 2 * 58 + 10).g, 180); // the 7th starts row 3
    EXPECT_NE(sheet.getPixel(12 + 52 + 20, 12 + 2 * 58 + 10), sf::Color::White); // no 8th
}

namespace {

capture::Pcm ramp(unsigned rate, unsigned channels, std::size_t frames) {
    capture::Pcm pcm;
    pcm.rate = rate;
    pcm.channels = channels;
    for (std::size_t i = 0; i < frames; ++i) {
        for (unsigned c = 0; c < channels; ++c) {
            pcm.samples.push_back(static_cast<std::int16_t>(1 + i % 1000 + 1000 * c));
        }
    }
    return pcm;
}

capture::Pcm constant(unsigned rate, unsigned channels, std::size_t frames, std::int16_t value) {
    capture::Pcm pcm;
    pcm.rate = rate;
    pcm.channels = channels;
    pcm.samples.assign(frames * channels, value);
    return pcm;
}

} // namespace

TEST(Soundtrack, SongStartsAtItsFrameAndTheMixFollowsTheCapturedStretch) {
    const capture::Pcm song = ramp(1000, 2, 3000);
    capture::SoundtrackPlan plan;
    plan.songStart = 0.5;
    const capture::Pcm whole = capture::mixSoundtrack(song, {}, plan, 0.0, 1.0);
    ASSERT_EQ(whole.samples.size(), 2000u);
    EXPECT_EQ(whole.samples[2 * 499], 0);
    EXPECT_EQ(whole.samples[2 * 500], song.samples[0]);
    EXPECT_EQ(whole.samples[2 * 700 + 1], song.samples[2 * 200 + 1]);
    // A capture starting at 0.8 s begins 0.3 s into the song.
    const capture::Pcm late = capture::mixSoundtrack(song, {}, plan, 0.8, 0.5);
    ASSERT_EQ(late.samples.size(), 1000u);
    EXPECT_EQ(late.samples[0], song.samples[2 * 300]);
    // Past the song's end there is silence; no song start means no song.
    EXPECT_EQ(capture::mixSoundtrack(song, {}, plan, 3.6, 0.1).samples[0], 0);
    capture::SoundtrackPlan never;
    EXPECT_EQ(capture::mixSoundtrack(song, {}, never, 0.0, 1.0).samples[2 * 700], 0);
}

TEST(Soundtrack, GainScalesAndMutesTheSong) {
    const capture::Pcm song = constant(1000, 2, 1000, 1000);
    capture::SoundtrackPlan plan;
    plan.songStart = 0.0;
    plan.songGain = 0.5f;
    EXPECT_EQ(capture::mixSoundtrack(song, {}, plan, 0.0, 0.5).samples[10], 500);
    plan.songGain = 0.0f;
    EXPECT_EQ(capture::mixSoundtrack(song, {}, plan, 0.0, 0.5).samples[10], 0);
}

TEST(Soundtrack, MonoNoiseSitsInTheMiddleAndStopsWhenTheShowStopsIt) {
    const capture::Pcm song = constant(1000, 2, 10, 0);
    const capture::Pcm noise = constant(1000, 1, 1000, 1000);
    capture::SoundtrackPlan plan;
    plan.noiseStart = 0.2;
    plan.noiseStop = 0.5;
    const capture::Pcm mix = capture::mixSoundtrack(song, noise, plan, 0.0, 1.0);
    EXPECT_EQ(mix.samples[2 * 199], 0);
    EXPECT_EQ(mix.samples[2 * 200], 707);
    EXPECT_EQ(mix.samples[2 * 499 + 1], 707);
    EXPECT_EQ(mix.samples[2 * 500], 0);
    plan.noiseGain = 0.0f; // sound off
    EXPECT_EQ(capture::mixSoundtrack(song, noise, plan, 0.0, 1.0).samples[2 * 300], 0);
}

TEST(Soundtrack, OtherRatesAreResampledAndSumsClip) {
    const capture::Pcm song = constant(1000, 2, 1000, 32000);
    const capture::Pcm slowNoise = constant(500, 2, 150, 32000); // 0.3 s at 500 Hz
    capture::SoundtrackPlan plan;
    plan.songStart = 0.0;
    plan.noiseStart = 0.1;
    const capture::Pcm mix = capture::mixSoundtrack(song, slowNoise, plan, 0.0, 1.0);
    EXPECT_EQ(mix.rate, 1000u);
    EXPECT_EQ(mix.samples[2 * 150], 32767);
    EXPECT_EQ(mix.samples[2 * 399], 32767);
    EXPECT_EQ(mix.samples[2 * 400], 32000);
}

// A tone at a quarter of the rate, sampled 45 degrees off its crests: the samples reach only
// 0.71 of its peak, the wave between them the full peak. Quiet before, loud after.
TEST(Soundtrack, LimiterHoldsTheTruePeakBetweenSamplesAndLeavesQuietPartsAlone) {
    const unsigned rate = 8000;
    std::vector<float> samples;
    for (unsigned i = 0; i < 2 * rate; ++i) {
        const float amplitude = i < rate ? 8000.0f : 32000.0f;
        const float value =
            amplitude * static_cast<float>(std::sin(3.14159265358979 * (0.5 * i + 0.25)));
        samples.push_back(value);
        samples.push_back(-value);
    }
    const std::vector<float> before = samples;
    // (the step from quiet to loud rings a little above the tone's own peak)
    EXPECT_NEAR(capture::truePeak(before, 2), 32000.0f, 1000.0f);
    const float ceiling = 29204.0f; // -1.5 dB of full scale
    capture::limitTruePeak(samples, rate, 2, ceiling);
    EXPECT_LE(capture::truePeak(samples, 2), ceiling);
    // Down by no more than the peak needs, once the look-ahead has passed.
    EXPECT_NEAR(samples[2 * (rate + 100) + 1] / before[2 * (rate + 100) + 1], ceiling / 32000.0f,
                0.02f);
    // Untouched until 2 ms before the loud part.
    for (unsigned i = 0; i < rate - rate / 500 - 1; ++i) {
        ASSERT_EQ(samples[2 * i], before[2 * i]) << i;
    }
}

#ifdef KLOMP_BENCH_TOOL
TEST(Bench, ReportsOrderedFrameTimesStartUpStagesAndPassRatios) {
    test::TempDir dir;
    const std::string json = dir.file("bench.json");
    const std::string plot = dir.file("bench.png");
    const Command bench = run({KLOMP_BENCH_TOOL, "--fps", "10", "--end", "0.6", "--passes", "2",
                               "--json", json, "--plot", plot});
    ASSERT_EQ(bench.status, 0) << bench.output;
    EXPECT_NE(bench.output.find("median"), std::string::npos);
    const nlohmann::json figures = nlohmann::json::parse(readFile(json));
    ASSERT_EQ(figures["scenes"].size(), 1u);
    const nlohmann::json& intro = figures["scenes"][0];
    EXPECT_EQ(intro["name"], "intro");
    EXPECT_EQ(intro["frames"], 6);
    EXPECT_GT(intro["median_ms"].get<double>(), 0.0);
    EXPECT_LE(intro["median_ms"].get<double>(), intro["p95_ms"].get<double>());
    EXPECT_LE(intro["p95_ms"].get<double>(), intro["p99_ms"].get<double>());
    EXPECT_LE(intro["p99_ms"].get<double>(), intro["max_ms"].get<double>());
    const nlohmann::json& startUp = figures["start_up_ms"];
    double stages = 0.0;
    for (const char* stage : {"process_to_main", "window_and_targets", "registries",
                              "shaders_and_font", "first_frame"}) {
        ASSERT_TRUE(startUp.contains(stage)) << stage;
        EXPECT_GE(startUp[stage].get<double>(), 0.0) << stage;
        stages += startUp[stage].get<double>();
    }
    EXPECT_NEAR(startUp["total"].get<double>(), stages, 0.01);
    EXPECT_GT(startUp["registries"].get<double>(), 0.0);
    EXPECT_GT(figures["peak_resident_kb"].get<long>(), 0);
    for (const char* program :
         {"glitch", "ripple", "tvstatic", "peephole", "three reads", "one sine"}) {
        EXPECT_GT(figures["pass_ratio_to_pass_through"][program].get<double>(), 0.0) << program;
    }
    sf::Image picture;
    ASSERT_TRUE(picture.loadFromFile(plot));
    EXPECT_EQ(picture.getSize(), sf::Vector2u(1600, 640));
}

// The frame work allocates nothing of its own after each scene's first frame. Libraries the
// show calls may (the graphics library and the software GL driver do): the benchmark files
// those under the library and prints them, which is what this test shows when it runs.
TEST(Allocations, ShowCodeAllocatesNothingAfterEachScenesFirstFrame) {
    test::TempDir dir;
    const std::string json = dir.file("bench.json");
    const Command bench = run({KLOMP_BENCH_TOOL, "--clip", "--fps", "30", "--json", json});
    ASSERT_EQ(bench.status, 0) << bench.output;
    const nlohmann::json figures = nlohmann::json::parse(readFile(json));
    ASSERT_EQ(figures["scenes"].size(), 7u);
    std::uint64_t firstFrames = 0;
    for (const nlohmann::json& scene : figures["scenes"]) {
        const nlohmann::json& counts = scene["allocations"];
        firstFrames += counts["first_frame"].get<std::uint64_t>();
        EXPECT_EQ(counts["project"].get<std::uint64_t>(), 0u) << scene["name"];
        EXPECT_EQ(counts["project"].get<std::uint64_t>() + counts["library"].get<std::uint64_t>(),
                  counts["after_first_frame"].get<std::uint64_t>())
            << scene["name"] << ": every allocation is filed";
    }
    EXPECT_EQ(figures["allocations_unrecorded"].get<std::uint64_t>(), 0u);
    // The counter is live: the scenes' first frames (their set-up) allocate, and are seen.
    // After them nothing allocates at all, the libraries included, since start-up warms
    // every drawing program.
    EXPECT_GT(firstFrames, 0u);
    for (const nlohmann::json& site : figures["allocation_sites"]) {
        if (site["project"].get<bool>()) {
            ADD_FAILURE() << "scene " << site["scene"] << ": " << site["stack"].dump();
        }
    }
    const auto report = bench.output.find("library allocations");
    if (report != std::string::npos) {
        std::cout << bench.output.substr(report) << std::flush;
    }
}
#endif
