#pragma once
// Reading the window's back buffer into a ring of pixel buffer objects: a read is started
// right after a frame is drawn and collected only after the next frame has been drawn, so the
// copy out of the frame runs beside the drawing instead of stopping it. The buffers stay
// mapped for their whole life, and the writer thread takes the pixels straight from them.
#include <cstdint>
#include <vector>

struct __GLsync;

namespace capture {

class PixelReadBack {
  public:
    PixelReadBack() = default;
    PixelReadBack(const PixelReadBack&) = delete;
    PixelReadBack& operator=(const PixelReadBack&) = delete;
    ~PixelReadBack();

    // Makes `count` mapped buffers of width x height BGRA in the active context. False (and
    // nothing made) when the context lacks buffer storage or fences.
    bool create(unsigned count, unsigned width, unsigned height);
    // The mapped memory of each buffer, bottom row first.
    const std::vector<std::uint8_t*>& buffers() const { return mapped_; }
    // Starts reading the back buffer into buffer `index`.
    void start(unsigned index);
    // Waits until the read into buffer `index` is complete.
    void finish(unsigned index);

  private:
    void destroy();

    unsigned width_ = 0;
    unsigned height_ = 0;
    std::vector<unsigned> names_;
    std::vector<std::uint8_t*> mapped_;
    std::vector<__GLsync*> fences_;
};

} // namespace capture
