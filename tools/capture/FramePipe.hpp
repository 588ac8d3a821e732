#pragma once
// Frames on their way out of the show: an encoder process fed through a pipe, and a writer
// thread that takes read-back frames from a small ring of reused buffers, so that the next
// frame renders while the last one is written, shrunk for the contact sheet or saved as PNG.
#include "capture/Pictures.hpp"
#include "runtime/SceneId.hpp"

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace capture {

// A child process (ffmpeg) whose standard input is a pipe we write to.
class EncoderProcess {
  public:
    EncoderProcess() = default;
    EncoderProcess(const EncoderProcess&) = delete;
    EncoderProcess& operator=(const EncoderProcess&) = delete;
    ~EncoderProcess();

    // Starts `args` (args[0] looked up on the PATH). False when it cannot start. From then on
    // the process ignores SIGPIPE, so an encoder that dies shows as a failed write.
    bool start(const std::vector<std::string>& args);
    // Writes a frame read back from GL (bottom row first, 4 bytes a pixel) with its rows
    // turned upright, so the encoder sees the top row first. False once the pipe is broken.
    bool writeUpright(const std::uint8_t* pixels, unsigned width, unsigned height);
    // Closes the pipe and waits; the process's exit status (or -1).
    int finish();

  private:
    pid_t pid_ = -1;
    int pipe_ = -1;
};

// A hash of a frame as the encoder gets it (rows top first), 64 bits over 8-byte words.
std::uint64_t hashUpright(const std::uint8_t* pixels, unsigned width, unsigned height);

// One frame's pixels and what to do with them.
struct FrameJob {
    unsigned index = 0; // which of the writer's buffers
    std::int64_t frame = 0;
    double time = 0.0;
    SceneId scene = 0;
    bool toEncoder = false;
    bool toThumbnail = false;
    std::string stillPath;          // empty: no still
    std::uint8_t* pixels = nullptr; // BGRA, bottom row first, as GL reads the window
    std::vector<std::uint8_t> own;  // the pixels' storage unless the caller gave buffers
};

// The hash of one frame handed to the encoder.
struct FrameHash {
    std::int64_t frame = 0;
    std::uint64_t hash = 0;
};

class FrameWriter {
  public:
    // `buffers` frames of width x height BGRA in flight at most, in memory of its own or, when
    // `external` holds that many pointers, in those (mapped pixel buffers). `encoder` may be
    // null. With `hashFrames` each frame that goes to the encoder is hashed as it goes.
    FrameWriter(unsigned buffers, unsigned width, unsigned height, EncoderProcess* encoder,
                unsigned thumbnailFactor, const std::vector<std::uint8_t*>& external = {},
                bool hashFrames = false);
    ~FrameWriter();

    // A free buffer; waits while all of them are queued.
    FrameJob* acquire();
    // Hands a filled buffer to the writer thread.
    void submit(FrameJob* job);
    // Writes what is queued and stops the thread.
    void finish();

    std::vector<Thumbnail>& thumbnails() { return thumbnails_; }
    bool encoderFailed() const { return encoderFailed_.load(); }
    unsigned stillsFailed() const { return stillsFailed_; }
    // Seconds the writer thread spent writing into the encoder's pipe (it waits there while
    // the encoder is behind), shrinking thumbnails and saving stills.
    double encodeSeconds() const { return encodeSeconds_; }
    double pictureSeconds() const { return pictureSeconds_; }
    // Seconds the writer thread was busy with frames (writing, hashing, pictures).
    double busySeconds() const { return busySeconds_; }
    const std::vector<FrameHash>& hashes() const { return hashes_; }

  private:
    void run();
    void process(FrameJob& job);

    unsigned width_;
    unsigned height_;
    EncoderProcess* encoder_;
    unsigned thumbnailFactor_;
    std::vector<std::unique_ptr<FrameJob>> jobs_;
    std::deque<FrameJob*> free_;
    std::deque<FrameJob*> queued_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
    std::thread thread_;

    std::vector<Thumbnail> thumbnails_;
    std::vector<std::uint8_t> upright_;
    std::atomic<bool> encoderFailed_{false}; // set by the writer thread, read by the caller
    unsigned stillsFailed_ = 0;
    double encodeSeconds_ = 0.0;
    double pictureSeconds_ = 0.0;
    double busySeconds_ = 0.0;
    bool hashFrames_ = false;
    std::vector<FrameHash> hashes_;
};

} // namespace capture
