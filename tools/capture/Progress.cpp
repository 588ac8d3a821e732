#include "capture/Progress.hpp"

#include <cstdio>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace capture {

Progress::Progress(bool wanted, std::int64_t totalFrames)
    : active_(wanted && isatty(STDERR_FILENO) == 1), total_(totalFrames), lastFrame_(Clock::now()),
      lastPrint_(lastFrame_) {}

void Progress::update(std::int64_t framesDone, double showTime, bool seen, std::int64_t seenLeft,
                      std::int64_t unseenLeft) {
    if (!active_) {
        return;
    }
    const Clock::time_point now = Clock::now();
    const double took = std::chrono::duration<double>(now - lastFrame_).count();
    lastFrame_ = now;
    double& average = seen ? seenAverage_ : unseenAverage_;
    average = average == 0.0 ? took : 0.95 * average + 0.05 * took;
    if (now - lastPrint_ < std::chrono::milliseconds(250)) {
        return;
    }
    lastPrint_ = now;
    // The rate of the kind of frame now running: drawn frames are far slower than the unseen
    // ones that lead up to the captured stretch.
    const double rate = average > 0.0 ? 1.0 / average : 0.0;
    const double left = static_cast<double>(seenLeft) * seenAverage_ +
                        static_cast<double>(unseenLeft) * unseenAverage_;
    const int leftSeconds = static_cast<int>(left + 0.5);
    std::fprintf(stderr, "\rframe %lld/%lld  show %6.2f s  %6.1f fps %-6s  left %d:%02d   ",
                 static_cast<long long>(framesDone), static_cast<long long>(total_), showTime, rate,
                 seen ? "drawn" : "unseen", leftSeconds / 60, leftSeconds % 60);
    std::fflush(stderr);
    printed_ = true;
}

void Progress::finish() {
    if (active_ && printed_) {
        std::fprintf(stderr, "\n");
        std::fflush(stderr);
    }
}

} // namespace capture
