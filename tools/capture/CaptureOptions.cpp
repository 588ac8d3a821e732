#include "capture/CaptureOptions.hpp"

#include <cmath>
#include <cstdlib>
#include <sstream>

#define KLOMP_SHARE_STRING_OF(x) #x
#define KLOMP_SHARE_STRING(x) KLOMP_SHARE_STRING_OF(x)

namespace capture {

// clang-format off
const char* captureUsage() {
    return "usage: klomp-capture [options]   (run from the repository root)\n"
           "  --fps N              frame rate of the fixed frame time (default 60)\n"
           "  --start T            first show second to capture; earlier frames play unseen\n"
           "  --end T              stop before this show second (default: the show's end)\n"
           "  --video FILE.mp4     H.264 yuv420p 1920x1080 with the show's sound\n"
           "  --stills T1,T2,...   PNG stills at these show seconds, into --out-dir\n"
           "  --out-dir DIR        folder of the stills (default stills)\n"
           "  --contact-sheet FILE thumbnails every --every seconds with time and scene\n"
           "  --every N            seconds between contact-sheet frames (default 5)\n"
           "  --trace FILE.tsv     one line per frame played from the show's start: time,\n"
           "                       scene, step of that scene, fade level\n"
           "  --trace-only         no pixels at all (needs --trace): a cheap timeline\n"
           "  --plot FILE.png      per-frame render times of the captured frames\n"
           "  --no-extras          with --video: no sheet and plot beside the video\n"
           "  --no-present         do not present captured frames in the window\n"
           "  --quiet              no progress line\n"
           "  --crf N, --preset P  x264 quality and speed (default "
               KLOMP_SHARE_STRING(KLOMP_SHARE_CRF) ", " KLOMP_SHARE_PRESET ": a video to\n"
           "                       share, about 250 MB for the show; 18, medium or lower CRF\n"
           "                       for an archive; 0, ultrafast for lossless)\n"
           "  --jobs N             with --video: N processes render N spans of the show at once\n"
           "                       and the spans are joined without re-encoding (default: one\n"
           "                       per core)\n"
           "  --frame-hashes FILE  one line per video frame: its number and a hash of the raw\n"
           "                       pixels handed to the encoder\n";
}
// clang-format on

bool readNumber(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end != nullptr && *end == '\0' && std::isfinite(value);
}

bool OptionReader::value(std::string& out) {
    if (index_ + 1 >= args_.size()) {
        error_ = option() + " needs a value";
        return false;
    }
    out = args_[++index_];
    return true;
}

bool OptionReader::number(double& out) {
    const std::string name = option();
    std::string text;
    if (!value(text)) {
        return false;
    }
    if (!readNumber(text, out)) {
        error_ = name + ": not a number: " + text;
        return false;
    }
    return true;
}

namespace {

bool readTimes(const std::string& text, std::vector<double>& times) {
    std::stringstream list(text);
    std::string item;
    while (std::getline(list, item, ',')) {
        double t = 0.0;
        if (!readNumber(item, t) || t < 0.0) {
            return false;
        }
        times.push_back(t);
    }
    return !times.empty() && text.back() != ',';
}

} // namespace

bool parseCaptureOptions(const std::vector<std::string>& args, CaptureOptions& o,
                         std::string& error) {
    OptionReader reader(args, error);
    while (reader.next()) {
        const std::string a = reader.option();
        auto value = [&reader](std::string& out) { return reader.value(out); };
        auto number = [&reader](double& out) { return reader.number(out); };
        bool ok = true;
        if (a == "--fps") {
            ok = number(o.fps);
        } else if (a == "--start") {
            ok = number(o.start);
        } else if (a == "--end") {
            ok = number(o.end);
        } else if (a == "--video") {
            ok = value(o.video);
        } else if (a == "--stills") {
            std::string text;
            ok = value(text);
            if (ok && !readTimes(text, o.stills)) {
                error = "--stills: expected show seconds such as 1.5,20,80";
                return false;
            }
        } else if (a == "--out-dir") {
            ok = value(o.outDir);
        } else if (a == "--contact-sheet") {
            ok = value(o.contactSheet);
        } else if (a == "--every") {
            ok = number(o.every);
        } else if (a == "--trace") {
            ok = value(o.trace);
        } else if (a == "--trace-only") {
            o.traceOnly = true;
        } else if (a == "--plot") {
            ok = value(o.plot);
        } else if (a == "--no-extras") {
            o.extras = false;
        } else if (a == "--no-present") {
            o.present = false;
        } else if (a == "--quiet") {
            o.progress = false;
        } else if (a == "--crf") {
            double crf = 0.0;
            ok = number(crf);
            if (ok && (crf < 0.0 || crf > 51.0 || crf != std::floor(crf))) {
                error = "--crf must be a whole number from 0 to 51";
                return false;
            }
            o.crf = static_cast<int>(crf);
        } else if (a == "--preset") {
            ok = value(o.preset);
        } else if (a == "--jobs") {
            double jobs = 0.0;
            ok = number(jobs);
            if (ok && (jobs < 1.0 || jobs > 64.0 || jobs != std::floor(jobs))) {
                error = "--jobs must be a whole number from 1 to 64";
                return false;
            }
            o.jobs = static_cast<int>(jobs);
        } else if (a == "--frame-hashes") {
            ok = value(o.frameHashes);
        } else if (a == "--segment") {
            ok = value(o.segment);
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else {
            error = "unknown option " + a;
            return false;
        }
        if (!ok) {
            return false;
        }
    }
    if (!(o.fps > 0.0) || o.fps > 1000.0) {
        error = "--fps must be above 0 and at most 1000";
    } else if (o.start < 0.0) {
        error = "--start must not be negative";
    } else if (!(o.end > o.start)) {
        error = "--end must come after --start";
    } else if (!(o.every > 0.0)) {
        error = "--every must be above 0";
    } else if (o.traceOnly && o.trace.empty()) {
        error = "--trace-only needs --trace FILE";
    } else if (o.traceOnly && (!o.video.empty() || !o.stills.empty() || !o.contactSheet.empty() ||
                               !o.plot.empty())) {
        error = "--trace-only makes no pictures: drop --video, --stills, --contact-sheet, --plot";
    } else if ((!o.frameHashes.empty() || !o.segment.empty()) && o.video.empty()) {
        error = "--frame-hashes needs --video";
    } else if (!o.help && o.video.empty() && o.stills.empty() && o.contactSheet.empty() &&
               o.trace.empty()) {
        error = "nothing to do: give --video, --stills, --contact-sheet or --trace";
    }
    return error.empty();
}

} // namespace capture
