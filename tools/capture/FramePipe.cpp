#include "capture/FramePipe.hpp"

#include <SFML/Graphics/Image.hpp>

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#ifndef _WIN32
#include <fcntl.h>
#endif
#include <iostream>
#ifndef _WIN32
#include <spawn.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace capture {

namespace {
double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
} // namespace

EncoderProcess::~EncoderProcess() {
    finish();
}

#ifdef _WIN32
// The Windows build writes stills, contact sheets and traces only: it starts no encoder
// (klomp-capture turns --video down before it gets here).
bool EncoderProcess::start(const std::vector<std::string>&) {
    return false;
}

bool EncoderProcess::writeUpright(const std::uint8_t*, unsigned, unsigned) {
    return false;
}

int EncoderProcess::finish() {
    return -1;
}
#else

bool EncoderProcess::start(const std::vector<std::string>& args) {
    // An encoder that dies must show as a failed write, not end this process.
    std::signal(SIGPIPE, SIG_IGN);
    int fds[2];
    if (args.empty() || pipe(fds) != 0) {
        return false;
    }
    fcntl(fds[1], F_SETFD, FD_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const int failed = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[0]);
    if (failed != 0) {
        close(fds[1]);
        pid_ = -1;
        return false;
    }
    pipe_ = fds[1];
    // A bigger pipe lets a whole frame wait in the kernel while the encoder catches up.
    fcntl(pipe_, F_SETPIPE_SZ, 1 << 20);
    return true;
}

bool EncoderProcess::writeUpright(const std::uint8_t* pixels, unsigned width, unsigned height) {
    if (pipe_ < 0) {
        return false;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    // The rows go out last to first in one gather list per batch: no copy is made to flip.
    constexpr unsigned kBatch = IOV_MAX < 1024 ? IOV_MAX : 1024;
    iovec rows[kBatch];
    unsigned row = 0;
    while (row < height) {
        const unsigned count = std::min(kBatch, height - row);
        for (unsigned i = 0; i < count; ++i) {
            rows[i].iov_base = const_cast<std::uint8_t*>(pixels) +
                               static_cast<std::size_t>(height - 1 - (row + i)) * rowBytes;
            rows[i].iov_len = rowBytes;
        }
        iovec* next = rows;
        unsigned left = count;
        while (left > 0) {
            const ssize_t written = writev(pipe_, next, static_cast<int>(std::min(left, kBatch)));
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            std::size_t done = static_cast<std::size_t>(written);
            while (left > 0 && done >= next->iov_len) {
                done -= next->iov_len;
                ++next;
                --left;
            }
            if (left > 0 && done > 0) {
                next->iov_base = static_cast<std::uint8_t*>(next->iov_base) + done;
                next->iov_len -= done;
            }
        }
        row += count;
    }
    return true;
}

int EncoderProcess::finish() {
    if (pipe_ >= 0) {
        close(pipe_);
        pipe_ = -1;
    }
    if (pid_ <= 0) {
        return -1;
    }
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
#endif

std::uint64_t hashUpright(const std::uint8_t* pixels, unsigned width, unsigned height) {
    // FNV-1a over 64-bit words: each step is a bijection of the state, so any single changed
    // word changes the result.
    std::uint64_t hash = 0xcbf29ce484222325ull;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    for (unsigned y = height; y-- > 0;) {
        const std::uint8_t* row = pixels + static_cast<std::size_t>(y) * rowBytes;
        std::size_t x = 0;
        for (; x + 8 <= rowBytes; x += 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, row + x, 8);
            hash = (hash ^ word) * 0x100000001b3ull;
        }
        for (; x < rowBytes; ++x) {
            hash = (hash ^ row[x]) * 0x100000001b3ull;
        }
    }
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdull;
    hash ^= hash >> 33;
    return hash;
}

FrameWriter::FrameWriter(unsigned buffers, unsigned width, unsigned height, EncoderProcess* encoder,
                         unsigned thumbnailFactor, const std::vector<std::uint8_t*>& external,
                         bool hashFrames)
    : width_(width), height_(height), encoder_(encoder), thumbnailFactor_(thumbnailFactor),
      hashFrames_(hashFrames) {
    const unsigned count =
        external.empty() ? std::max(1u, buffers) : static_cast<unsigned>(external.size());
    for (unsigned i = 0; i < count; ++i) {
        jobs_.push_back(std::make_unique<FrameJob>());
        FrameJob& job = *jobs_.back();
        job.index = i;
        if (external.empty()) {
            job.own.resize(static_cast<std::size_t>(width) * height * 4);
            job.pixels = job.own.data();
        } else {
            job.pixels = external[i];
        }
        free_.push_back(&job);
    }
    thread_ = std::thread([this] { run(); });
}

FrameWriter::~FrameWriter() {
    finish();
}

FrameJob* FrameWriter::acquire() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !free_.empty(); });
    FrameJob* job = free_.front();
    free_.pop_front();
    return job;
}

void FrameWriter::submit(FrameJob* job) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queued_.push_back(job);
    }
    changed_.notify_all();
}

void FrameWriter::finish() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void FrameWriter::run() {
    for (;;) {
        FrameJob* job = nullptr;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || !queued_.empty(); });
            if (queued_.empty()) {
                return; // stopping, and everything is written
            }
            job = queued_.front();
            queued_.pop_front();
        }
        process(*job);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            free_.push_back(job);
        }
        changed_.notify_all();
    }
}

void FrameWriter::process(FrameJob& job) {
    const auto began = std::chrono::steady_clock::now();
    if (job.toEncoder && encoder_ != nullptr && !encoderFailed_) {
        if (hashFrames_) {
            hashes_.push_back({job.frame, hashUpright(job.pixels, width_, height_)});
        }
        const auto start = std::chrono::steady_clock::now();
        if (!encoder_->writeUpright(job.pixels, width_, height_)) {
            encoderFailed_ = true;
        }
        encodeSeconds_ += secondsSince(start);
    }
    if (!job.toThumbnail && job.stillPath.empty()) {
        busySeconds_ += secondsSince(began);
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    if (job.toThumbnail) {
        thumbnails_.emplace_back();
        Thumbnail& thumb = thumbnails_.back();
        thumb.time = job.time;
        thumb.scene = job.scene;
        shrinkFrame(job.pixels, width_, height_, thumbnailFactor_, thumb);
    }
    if (!job.stillPath.empty()) {
        const std::size_t rowBytes = static_cast<std::size_t>(width_) * 4;
        upright_.resize(rowBytes * height_);
        // Upright, BGRA to RGBA, and opaque: the window's alpha is what blending left there,
        // while the screen shows every pixel opaque.
        for (unsigned y = 0; y < height_; ++y) {
            const std::uint8_t* from = &job.pixels[(height_ - 1 - y) * rowBytes];
            std::uint8_t* to = &upright_[y * rowBytes];
            for (std::size_t x = 0; x < rowBytes; x += 4) {
                to[x] = from[x + 2];
                to[x + 1] = from[x + 1];
                to[x + 2] = from[x];
                to[x + 3] = 255;
            }
        }
        sf::Image image;
        image.create(width_, height_, upright_.data());
        if (!image.saveToFile(job.stillPath)) {
            ++stillsFailed_;
        }
    }
    pictureSeconds_ += secondsSince(start);
    busySeconds_ += secondsSince(began);
}

} // namespace capture
