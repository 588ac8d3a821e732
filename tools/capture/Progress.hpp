#pragma once
// One progress line on the terminal, rewritten in place with \r: frames done, show time,
// frames per second and the time left. Silent when standard error is not a terminal, so logs
// and files never get it.
#include <chrono>
#include <cstdint>

namespace capture {

class Progress {
  public:
    Progress(bool wanted, std::int64_t totalFrames);
    // After each frame: `seen` tells whether it was drawn and read back (slow) or played
    // unseen (fast); `seenLeft` and `unseenLeft` are the frames of each kind still to come.
    void update(std::int64_t framesDone, double showTime, bool seen, std::int64_t seenLeft,
                std::int64_t unseenLeft);
    // Ends the line.
    void finish();

  private:
    using Clock = std::chrono::steady_clock;
    bool active_;
    std::int64_t total_;
    Clock::time_point lastFrame_;
    Clock::time_point lastPrint_;
    double seenAverage_ = 0.0; // seconds per frame, smoothed
    double unseenAverage_ = 0.0;
    bool printed_ = false;
};

} // namespace capture
