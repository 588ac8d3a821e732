#include "capture/VideoFile.hpp"

#include "runtime/Startup.hpp"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#ifndef _WIN32
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace capture {

namespace {

// The names on the finale's credit stickers.
constexpr const char* kArtists = "ALPHA, BRAVO, CHARLIE";
constexpr const char* kCredits = "Code: ALPHA. Graphics: BRAVO. Music: CHARLIE.";

// ffmetadata values escape '=', ';', '#', '\' and line ends with a backslash.
std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '=' || c == ';' || c == '#' || c == '\\' || c == '\n') {
            out += '\\';
        }
        out += c;
    }
    return out;
}

// The time of `frames` frames in whole milliseconds (the unit MP4 chapters keep), rounded
// up so that a player jumping there shows that frame and not the one before.
long long chapterMilliseconds(std::int64_t frames, double fps) {
    return static_cast<long long>(std::ceil(static_cast<double>(frames) * 1000.0 / fps - 1e-6));
}

} // namespace

std::vector<std::string> encoderCommand(const std::string& rateText, int crf,
                                        const std::string& preset, const std::string& output) {
    return {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "rawvideo", "-pix_fmt",
            "bgra", "-video_size", "1920x1080", "-framerate", rateText, "-i", "pipe:0",
            // RGB to Y'CbCr with the BT.709 matrix into the limited range, as the tags say;
            // full chroma precision before the 4:2:0 subsampling.
            "-vf", "scale=out_color_matrix=bt709:out_range=tv:flags=accurate_rnd+full_chroma_int",
            "-pix_fmt", "yuv420p", "-colorspace", "bt709", "-color_primaries", "bt709",
            "-color_trc", "bt709", "-color_range", "tv", "-c:v", "libx264", "-preset", preset,
            "-crf", std::to_string(crf), "-an",
            // MPEG-TS keeps exact 90 kHz time stamps, so spans join without gaps or rounding.
            "-f", "mpegts", output};
}

const char* chapterTitle(SceneId scene) {
    switch (scene) {
    case Scene::Intro:
        return "Intro";
    case Scene::Title:
        return "Title";
    case Scene::WallScroller:
        return "Brick-wall scroller";
    case Scene::VinylScroller:
        return "Vinyl scroller";
    case Scene::Party:
        return "Party";
    case Scene::Finale:
        return "Finale";
    default:
        return "End";
    }
}

std::string chapterMetadata(const std::vector<SceneStart>& starts, std::int64_t firstFrame,
                            std::int64_t endFrame, double fps) {
    std::string text = ";FFMETADATA1\n";
    text += "title=" + escaped(kShowTitle) + "\n";
    text += "artist=" + escaped(kArtists) + "\n";
    text += "comment=" + escaped(kCredits) + "\n";
    text += "description=" + escaped(std::string(kShowTitle) + ". " + kCredits) + "\n";
    // The chapters: each scene from the video's first frame it draws in.
    std::vector<SceneStart> chapters;
    for (const SceneStart& start : starts) {
        if (start.scene < Scene::Intro || start.scene >= Scene::Quit || start.frame >= endFrame) {
            continue;
        }
        const std::int64_t at = std::max(start.frame, firstFrame);
        if (!chapters.empty() && chapters.back().frame == at) {
            chapters.back().scene = start.scene; // the later scene owns the first frame
        } else {
            chapters.push_back({at, start.scene});
        }
    }
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        const std::int64_t until = i + 1 < chapters.size() ? chapters[i + 1].frame : endFrame;
        text += "[CHAPTER]\nTIMEBASE=1/1000\n";
        text +=
            "START=" + std::to_string(chapterMilliseconds(chapters[i].frame - firstFrame, fps)) +
            "\n";
        text += "END=" + std::to_string(chapterMilliseconds(until - firstFrame, fps)) + "\n";
        text += "title=" + escaped(chapterTitle(chapters[i].scene)) + "\n";
    }
    return text;
}

int runCollecting(const std::vector<std::string>& args, std::string& output) {
    output.clear();
#ifdef _WIN32
    // Videos are made by the Linux build only: no encoder to ask here.
    (void)args;
    return -1;
#else
    int fds[2];
    if (args.empty() || pipe(fds) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (failed != 0) {
        close(fds[0]);
        return -1;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(fds[0], buffer, sizeof buffer);
        if (got > 0) {
            output.append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

Loudness measureLoudness(const std::string& file) {
    Loudness result;
    std::string output;
    const int status = runCollecting({"ffmpeg", "-hide_banner", "-nostats", "-i", file, "-map",
                                      "0:a:0", "-filter:a", "ebur128=peak=true", "-f", "null", "-"},
                                     output);
    if (status != 0) {
        return result;
    }
    // The meter's summary comes last: "I:  -12.5 LUFS" and, under "True peak:", "Peak: -1.2 dBFS".
    const std::size_t summary = output.rfind("Summary:");
    if (summary == std::string::npos) {
        return result;
    }
    const std::size_t integrated = output.find("I:", summary);
    const std::size_t peak = output.find("Peak:", output.find("True peak:", summary));
    if (integrated == std::string::npos || peak == std::string::npos) {
        return result;
    }
    result.integratedLufs = std::strtod(output.c_str() + integrated + 2, nullptr);
    result.truePeakDbtp = std::strtod(output.c_str() + peak + 5, nullptr);
    result.measured = true;
    return result;
}

bool muxVideo(const std::vector<std::string>& streams, const std::string& sound,
              const std::string& metadata, const std::string& output, std::string& error) {
    // The concat demuxer takes the spans one after another with continuous time stamps; their
    // packets are copied as they are. It reads a relative path in the list as relative to the
    // list's folder, so the list names the spans by absolute paths.
    const std::string list = output + ".part.txt";
    {
        std::ofstream file(list);
        file << "ffconcat version 1.0\n";
        for (const std::string& stream : streams) {
            std::string quotedPath;
            for (char c : std::filesystem::absolute(stream).string()) {
                quotedPath += c == '\'' ? std::string("'\\''") : std::string(1, c);
            }
            file << "file '" << quotedPath << "'\n";
        }
        if (!file) {
            error = "cannot write " + list;
            return false;
        }
    }
    std::string log;
    const int status = runCollecting({"ffmpeg",     "-hide_banner",
                                      "-loglevel",  "error",
                                      "-y",         "-f",
                                      "concat",     "-safe",
                                      "0",          "-i",
                                      list,         "-i",
                                      sound,        "-f",
                                      "ffmetadata", "-i",
                                      metadata,     "-map",
                                      "0:v:0",      "-map",
                                      "1:a:0",      "-map_metadata",
                                      "2",          "-map_chapters",
                                      "2",          "-c:v",
                                      "copy",       "-c:a",
                                      "aac",        "-b:a",
                                      "192k",       "-movflags",
                                      "+faststart", "-f",
                                      "mp4",        output},
                                     log);
    std::remove(list.c_str());
    if (status != 0) {
        error = "ffmpeg could not join the video and add the sound (status " +
                std::to_string(status) + "): " + log;
        return false;
    }
    return true;
}

} // namespace capture
