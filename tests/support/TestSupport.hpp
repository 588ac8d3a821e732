#pragma once
// Helpers shared by the tests: capturing diagnostics, temporary folders, a window for the
// show's frame work, and running the real program.
#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/RenderWindow.hpp>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

struct _XDisplay; // Xlib's Display

namespace test {

// Captures what is written to std::cerr while it lives.
class CerrCapture {
  public:
    CerrCapture();
    ~CerrCapture();
    std::string text() const { return buffer.str(); }
    std::vector<std::string> lines() const;

  private:
    std::ostringstream buffer;
    std::streambuf* previous;
};

// A fresh temporary folder, removed with its contents at the end.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return root; }
    // Writes `content` to `relative` below the folder (creating folders) and returns the path.
    std::string write(const std::string& relative, const std::string& content) const;
    std::string file(const std::string& relative) const { return (root / relative).string(); }

  private:
    std::filesystem::path root;
};

// Changes the working directory for its lifetime.
class WorkingDir {
  public:
    explicit WorkingDir(const std::filesystem::path& dir);
    ~WorkingDir();

  private:
    std::filesystem::path previous;
};

// The repository root (where config.json and assets/ are).
std::filesystem::path sourceDir();

// Writes an RGBA PNG of the given size and colour.
std::string writePng(const std::string& path, unsigned width, unsigned height, sf::Color colour);

// Reads back one pixel of a render texture as the picture shows it (y downwards).
sf::Color pixelAt(const sf::Image& image, unsigned x, unsigned y);

// The result of running the real program.
struct ProgramRun {
    int exitStatus = -1;
    std::string standardError;
    std::string standardOutput;
};

// Runs the klomp program in `workingDir` with `environment` additions ("NAME=value"). After
// `escapeAfterSeconds` (if >= 0) it holds Escape down with xdotool; after `closeAfterSeconds`
// (if >= 0) it closes the window with xdotool; the run is killed after `timeoutSeconds`.
ProgramRun runProgram(const std::filesystem::path& workingDir, double escapeAfterSeconds,
                      double closeAfterSeconds, double timeoutSeconds,
                      const std::vector<std::string>& environment = {});

// What the JSON library says about `text`: the line the loaders print after their own
// parse-error line ("(no parse error)" when the text parses).
std::string parserMessage(const std::string& text);

// The show's window on an open X display (an Xlib Display*), searched by its title; 0 when
// there is none.
unsigned long findShowWindow(::_XDisplay* display);
// Any window with this title (the tools' windows).
unsigned long findWindowTitled(::_XDisplay* display, const char* title);
// Asks the window with this title to close, as a window manager's close button does; false
// when there is no such window.
bool requestWindowClose(const char* title);

// Links the repository's assets/ into `dir` so the program finds them from there.
void linkAssets(const std::filesystem::path& dir);

} // namespace test

namespace test {
// Makes every later draw and clear of the window and the three render targets touch a single
// pixel (a 1x1 scissor box). The show's logic runs unchanged at a fraction of the cost, for
// tests that check timelines over thousands of frames rather than pictures.
void clipDrawingToOnePixel(sf::RenderWindow& window);
// Undoes clipDrawingToOnePixel.
void unclipDrawing(sf::RenderWindow& window);
} // namespace test
