#pragma once
// Helpers shared by the tests: capturing diagnostics, temporary folders, a window for the
// show's frame work, and running the real program.
#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/Shader.hpp>

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

// What happens to a run of the real program. Times are seconds after the show drew its first
// frame, once start-up has loaded the assets.
struct RunPlan {
    double escapeAt = -1.0; // Escape held down from then on (<0: never)
    double closeAt = -1.0;  // the window's close request (<0: never)
    double stopAt = -1.0;   // SIGSTOP ... (<0: never)
    double stopFor = 10.0;  // ... and SIGCONT this much later
    // With libfaketime installed, the program's clock runs this many times faster than the
    // wall clock and the four times above are divided by it, so a plan written in the program's
    // seconds plays the same with less waiting. Without libfaketime it runs in real time.
    double clockSpeed = 1.0;
    // Escape held down once the show has drawn this many frames (<0: never): frames presented
    // after the black one that start-up shows before it loads the assets. Unlike a time on the
    // wall clock, this marks how far the program got, however busy the machine is.
    int escapeAfterFrames = -1;
    double timeout = 90.0; // wall-clock seconds before the run is killed
    // On an Xvfb server of its own, so Escape held for one run reaches no other; otherwise on
    // the test's $DISPLAY.
    bool privateDisplay = true;
    // "NAME=value" sets, "NAME" removes a variable of the program's environment. Every run
    // starts with software GL and OpenAL Soft's null backend (ALSOFT_DRIVERS=null).
    std::vector<std::string> environment;
    // The standard error stream closed (2>&-), or a pipe whose reader has gone (| head -0).
    enum class Stderr { File, Closed, GonePipe } standardError = Stderr::File;
    long addressSpaceLimit = 0; // bytes (ulimit -v), 0 for none
    long fileLimit = 0;         // open files (ulimit -n), 0 for none
    bool serverWithoutGlx = false;
};

// The result of running the real program.
struct ProgramRun {
    int exitStatus = -1; // -1: killed at the time-out
    std::string standardError;
    std::string standardOutput;
    bool windowSeen = false;
    bool endedBeforeAsked = false; // it ended before Escape or the close request
    int rasterizerThreads = 0;     // llvmpipe's rasteriser threads seen in the program
    bool fullscreenWindow = false; // the window bypasses the window manager (override-redirect)
    double clockSpeed = 1.0;       // how fast the program's clock ran
    int framesDrawn = 0;           // frames presented after start-up's black one
    std::string problem;           // set when the run itself could not be carried out
};

// Runs the klomp program in `workingDir` (which needs config.json and assets/) following
// `plan`. Safe to call from several threads at once with private displays.
ProgramRun runProgram(const std::filesystem::path& workingDir, const RunPlan& plan);

// libfaketime's library, or "" when it is not installed.
std::string fakeTimeLibrary();

// Sends `window` the close request that a window manager's close button sends.
void sendCloseRequest(::_XDisplay* display, unsigned long window);

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

// The value a shader program holds for a float uniform, read back from OpenGL: what the scenes
// last set. NaN when the program has no such active uniform.
float uniformValue(const sf::Shader& shader, const char* name);

// Saves `picture` as NAME.png for looking at, opaque as a screen shows it (a window picture's
// colours are already blended over black; its alpha means nothing on screen), into the folder
// that KLOMP_TEST_STILLS names. Without the variable nothing is written.
void saveStill(const sf::Image& picture, const std::string& name);

} // namespace test

namespace test {
// Makes every later draw and clear of the window and the three render targets touch a single
// pixel (a 1x1 scissor box). The show's logic runs unchanged at a fraction of the cost, for
// tests that check timelines over thousands of frames rather than pictures.
void clipDrawingToOnePixel(sf::RenderWindow& window);
// Undoes clipDrawingToOnePixel.
void unclipDrawing(sf::RenderWindow& window);
// While on, every draw is clipped whatever the two calls above ask for (a test catching up on
// the frames before it, whose pictures nobody looks at); off again, what they last asked for
// applies.
void setCatchingUp(bool on);
} // namespace test
