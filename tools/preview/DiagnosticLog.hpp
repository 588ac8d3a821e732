#pragma once
// Catches the lines that the show's loaders (std::cerr) and the graphics and audio library
// (sf::err(), which carries the shader compiler's log) report, so the preview can show them in
// its overlay and judge a reload by them, while still passing them on to standard error.
#include <ostream>
#include <set>
#include <streambuf>
#include <string>
#include <vector>

namespace preview {

class DiagnosticLog {
  public:
    // Takes over std::cerr and sf::err() until destroyed.
    DiagnosticLog();
    ~DiagnosticLog();
    DiagnosticLog(const DiagnosticLog&) = delete;
    DiagnosticLog& operator=(const DiagnosticLog&) = delete;

    // With `repeats` off (the default), a line already passed on to standard error once is
    // not passed on again: replaying the show for every seek would otherwise repeat the
    // same loader lines each time. Every line is still collected.
    void passRepeats(bool repeats) { repeats_ = repeats; }
    // The lines completed since the last call.
    std::vector<std::string> take();

  private:
    class Buffer : public std::streambuf {
      public:
        explicit Buffer(DiagnosticLog& log) : log_(log) {}

      protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* text, std::streamsize count) override;

      private:
        DiagnosticLog& log_;
    };

    void append(const char* text, std::size_t count);
    void finishLine();

    Buffer buffer_;
    std::streambuf* cerrBefore_;
    std::streambuf* sfmlBefore_;
    std::string partial_;
    std::vector<std::string> lines_;
    std::set<std::string> passed_;
    bool repeats_ = false;
};

} // namespace preview
