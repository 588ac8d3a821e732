#include "preview/PreviewOptions.hpp"

#include "capture/CaptureOptions.hpp"

namespace preview {

using capture::OptionReader;

const char* previewUsage() {
    return "usage: klomp-preview [options]   (run from the repository root)\n"
           "  --fps N        frame rate of the fixed frame time (default 60)\n"
           "  --at T         open at this show second (default 0)\n"
           "  --paused       open paused\n"
           "  --no-overlay   open with the overlay hidden (H shows it)\n"
           "  --trace FILE   one line per drawn frame: show time, scene, step, fade level\n"
           "keys: Space pause/play, . one frame (paused), Left/Right -/+1 s (Shift: 10 s),\n"
           "      Home start, 1-6 scene starts, [ ] speed 1/4x..4x, R reload, H overlay,\n"
           "      Escape quit\n";
}

bool parsePreviewOptions(const std::vector<std::string>& args, PreviewOptions& o,
                         std::string& error) {
    OptionReader reader(args, error);
    while (reader.next()) {
        const std::string a = reader.option();
        auto value = [&reader](std::string& out) { return reader.value(out); };
        auto number = [&reader](double& out) { return reader.number(out); };
        bool ok = true;
        if (a == "--fps") {
            ok = number(o.fps);
            if (ok && !(o.fps >= 1.0 && o.fps <= 1000.0)) {
                error = "--fps must lie between 1 and 1000";
                ok = false;
            }
        } else if (a == "--at") {
            ok = number(o.at);
            if (ok && o.at < 0.0) {
                error = "--at must not be negative";
                ok = false;
            }
        } else if (a == "--paused") {
            o.paused = true;
        } else if (a == "--no-overlay") {
            o.overlay = false;
        } else if (a == "--trace") {
            ok = value(o.trace);
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else {
            error = "unknown option " + a;
            ok = false;
        }
        if (!ok) {
            return false;
        }
    }
    return true;
}

} // namespace preview
