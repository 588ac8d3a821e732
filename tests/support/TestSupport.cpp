#include "support/TestSupport.hpp"

#include <nlohmann/json.hpp>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace test {

CerrCapture::CerrCapture() : previous(std::cerr.rdbuf(buffer.rdbuf())) {}

CerrCapture::~CerrCapture() {
    std::cerr.rdbuf(previous);
}

std::vector<std::string> CerrCapture::lines() const {
    std::vector<std::string> result;
    std::istringstream in(buffer.str());
    std::string line;
    while (std::getline(in, line)) {
        result.push_back(line);
    }
    return result;
}

TempDir::TempDir() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    root = std::filesystem::temp_directory_path() / ("klomp-test-" + std::to_string(random()));
    std::filesystem::create_directories(root);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

std::string TempDir::write(const std::string& relative, const std::string& content) const {
    const std::filesystem::path path = root / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << content;
    return path.string();
}

WorkingDir::WorkingDir(const std::filesystem::path& dir)
    : previous(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
}

WorkingDir::~WorkingDir() {
    std::filesystem::current_path(previous);
}

std::filesystem::path sourceDir() {
    return std::filesystem::path(KLOMP_SOURCE_DIR);
}

std::string writePng(const std::string& path, unsigned width, unsigned height, sf::Color colour) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    sf::Image image;
    image.create(width, height, colour);
    image.saveToFile(path);
    return path;
}

sf::Color pixelAt(const sf::Image& image, unsigned x, unsigned y) {
    return image.getPixel(x, y);
}

void linkAssets(const std::filesystem::path& dir) {
    std::filesystem::create_directory_symlink(sourceDir() / "assets", dir / "assets");
}

namespace {

Window findWindow(Display* display, Window window, const char* title) {
    char* name = nullptr;
    if (XFetchName(display, window, &name) != 0 && name != nullptr) {
        const bool match = std::string(name) == title;
        XFree(name);
        if (match) {
            return window;
        }
    }
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count) != 0) {
        for (unsigned int i = 0; i < count && found == 0; ++i) {
            found = findWindow(display, children[i], title);
        }
        if (children != nullptr) {
            XFree(children);
        }
    }
    return found;
}

} // namespace

std::string parserMessage(const std::string& text) {
    std::istringstream in(text);
    nlohmann::json ignored;
    try {
        in >> ignored;
    } catch (const nlohmann::json::exception& error) {
        return error.what();
    }
    return "(no parse error)";
}

unsigned long findShowWindow(Display* display) {
    return findWindowTitled(display, "Ain't zilchy but a (symbol) klomp");
}

unsigned long findWindowTitled(Display* display, const char* title) {
    return findWindow(display, DefaultRootWindow(display), title);
}

namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

bool requestWindowClose(const char* title) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return false;
    }
    const Window window = findWindowTitled(display, title);
    if (window != 0) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] =
            static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
        XFlush(display);
    }
    XCloseDisplay(display);
    return window != 0;
}

ProgramRun runProgram(const std::filesystem::path& workingDir, double escapeAfterSeconds,
                      double closeAfterSeconds, double timeoutSeconds,
                      const std::vector<std::string>& environment) {
    const std::filesystem::path errPath = workingDir / ".stderr";
    const std::filesystem::path outPath = workingDir / ".stdout";
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(workingDir.c_str()) != 0) {
            _exit(126);
        }
        for (const std::string& assignment : environment) {
            putenv(const_cast<char*>(assignment.c_str()));
        }
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err, 2);
        dup2(out, 1);
        execl(KLOMP_PROGRAM, KLOMP_PROGRAM, static_cast<char*>(nullptr));
        _exit(127);
    }

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    bool escapeDown = false;
    bool closeSent = false;
    int status = 0;
    ProgramRun run;
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) {
            run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        if (elapsed > timeoutSeconds) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            run.exitStatus = -1;
            break;
        }
        if (!escapeDown && escapeAfterSeconds >= 0.0 && elapsed >= escapeAfterSeconds) {
            escapeDown = std::system("xdotool keydown Escape") == 0;
        }
        if (!closeSent && closeAfterSeconds >= 0.0 && elapsed >= closeAfterSeconds) {
            closeSent = requestWindowClose("Ain't zilchy but a (symbol) klomp");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (escapeDown) {
        (void)std::system("xdotool keyup Escape");
    }
    run.standardError = readFile(errPath);
    run.standardOutput = readFile(outPath);
    return run;
}

} // namespace test

#include "runtime/DrawingClip.hpp"

namespace test {

// The window argument names what is clipped; the show's own window is the one that counts.
void clipDrawingToOnePixel(sf::RenderWindow&) {
    setDrawingClipped(true);
}

void unclipDrawing(sf::RenderWindow&) {
    setDrawingClipped(false);
}

} // namespace test
