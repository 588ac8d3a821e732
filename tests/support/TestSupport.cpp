#include "support/TestSupport.hpp"

#include <nlohmann/json.hpp>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <spawn.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

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

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Xlib is used from several threads (one connection each); calls are serialised.
std::mutex xlibMutex;

// A private Xvfb server for one run.
class PrivateDisplay {
  public:
    explicit PrivateDisplay(bool withoutGlx = false) {
        int fds[2];
        if (pipe(fds) != 0) {
            return;
        }
        const std::string fd = std::to_string(fds[1]);
        server = fork();
        if (server == 0) {
            const int devnull = open("/dev/null", O_WRONLY);
            dup2(devnull, 2);
            close(fds[0]);
            if (withoutGlx) {
                execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1920x1080x24",
                       "-nolisten", "tcp", "-noreset", "-extension", "GLX",
                       static_cast<char*>(nullptr));
            }
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1920x1080x24",
                   "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string digits;
        char c = 0;
        while (read(fds[0], &c, 1) == 1 && c != '\n') {
            digits.push_back(c);
        }
        close(fds[0]);
        if (!digits.empty()) {
            name = ":" + digits;
        }
    }
    ~PrivateDisplay() {
        if (server > 0) {
            kill(server, SIGTERM);
            waitpid(server, nullptr, 0);
        }
    }
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;
    const std::string& display() const { return name; }

  private:
    pid_t server = -1;
    std::string name;
};

// Runs `command` with DISPLAY set to `display` and waits for it.
int runOnDisplay(const std::string& display, std::vector<std::string> command) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "DISPLAY=", 8) != 0) {
            environment.emplace_back(*entry);
        }
    }
    environment.push_back("DISPLAY=" + display);
    std::vector<char*> argv;
    for (auto& word : command) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) {
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> programEnvironment(const std::string& display,
                                            const std::vector<std::string>& changes) {
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const auto equals = text.find('=');
        if (equals != std::string::npos) {
            variables[text.substr(0, equals)] = text.substr(equals + 1);
        }
    }
    variables["DISPLAY"] = display;
    variables["LIBGL_ALWAYS_SOFTWARE"] = "1";
    variables["ALSOFT_DRIVERS"] = "null";
    for (const std::string& change : changes) {
        const auto equals = change.find('=');
        if (equals == std::string::npos) {
            variables.erase(change);
        } else {
            variables[change.substr(0, equals)] = change.substr(equals + 1);
        }
    }
    std::vector<std::string> result;
    for (const auto& [name, value] : variables) {
        result.push_back(name + "=" + value);
    }
    return result;
}

} // namespace

std::string fakeTimeLibrary() {
    for (const char* library : {"/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1",
                                "/usr/lib/aarch64-linux-gnu/faketime/libfaketimeMT.so.1"}) {
        if (std::filesystem::exists(library)) {
            return library;
        }
    }
    return "";
}

bool requestWindowClose(const char* title) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return false;
    }
    const Window window = findWindowTitled(display, title);
    if (window != 0) {
        sendCloseRequest(display, window);
    }
    XCloseDisplay(display);
    return window != 0;
}

void sendCloseRequest(Display* display, unsigned long window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

// Mesa's software renderer names its rasteriser threads llvmpipe-N; the program asks it to
// rasterise on the calling thread instead, which avoids a race between those threads.
int rasterizerThreads(pid_t pid) {
    int count = 0;
    std::error_code error;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        count += name.rfind("llvmpipe", 0) == 0 ? 1 : 0;
    }
    return count;
}

namespace {

// The frames the program presented after start-up's black one, as counted by the present
// counter: one byte in `path` for each.
int framesDrawn(const std::string& path) {
    std::error_code error;
    const auto bytes = std::filesystem::file_size(path, error);
    return error || bytes == 0 ? 0 : static_cast<int>(bytes - 1);
}

} // namespace

ProgramRun runProgram(const std::filesystem::path& workingDir, const RunPlan& plan) {
    ProgramRun outcome;
    std::optional<PrivateDisplay> own;
    std::string display;
    if (plan.privateDisplay) {
        own.emplace(plan.serverWithoutGlx);
        display = own->display();
    } else if (const char* current = std::getenv("DISPLAY")) {
        display = current;
    }
    if (display.empty()) {
        outcome.problem = "no X display";
        return outcome;
    }

    const std::string presentsPath = (workingDir / ".presents").string();
    std::filesystem::remove(presentsPath);
    std::vector<std::string> changes = plan.environment;
    std::string preload = KLOMP_PRESENT_COUNTER;
    changes.push_back("KLOMP_PRESENT_COUNT=" + presentsPath);
    double speed = 1.0;
    const std::string fakeTime = plan.clockSpeed > 1.0 ? fakeTimeLibrary() : std::string();
    if (!fakeTime.empty()) {
        speed = plan.clockSpeed;
        std::ostringstream rate;
        rate << "FAKETIME=+0 x" << speed;
        preload += ":" + fakeTime;
        changes.push_back(rate.str());
    }
    changes.push_back("LD_PRELOAD=" + preload);
    outcome.clockSpeed = speed;
    const auto wall = [speed](double seconds) { return seconds < 0.0 ? seconds : seconds / speed; };
    const double stopAt = wall(plan.stopAt);
    const double stopFor = wall(plan.stopFor);
    const double escapeAt = wall(plan.escapeAt);
    const double closeAt = wall(plan.closeAt);

    // Everything the child needs is prepared before fork: callers may run programs in threads.
    std::vector<std::string> environment = programEnvironment(display, changes);
    std::vector<char*> envp;
    for (auto& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    const std::string errPath = (workingDir / ".stderr").string();
    const std::string outPath = (workingDir / ".stdout").string();
    const std::string where = workingDir.string();
    char program[] = KLOMP_PROGRAM;
    char* argv[] = {program, nullptr};

    int gonePipe[2] = {-1, -1};
    if (plan.standardError == RunPlan::Stderr::GonePipe && pipe(gonePipe) != 0) {
        outcome.problem = "no pipe";
        return outcome;
    }
    const Clock::time_point launched = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (chdir(where.c_str()) != 0 || err < 0 || out < 0) {
            _exit(126);
        }
        if (plan.fileLimit > 0) {
            const rlimit limit{static_cast<rlim_t>(plan.fileLimit),
                               static_cast<rlim_t>(plan.fileLimit)};
            setrlimit(RLIMIT_NOFILE, &limit);
        }
        if (plan.addressSpaceLimit > 0) {
            const rlimit limit{static_cast<rlim_t>(plan.addressSpaceLimit),
                               static_cast<rlim_t>(plan.addressSpaceLimit)};
            setrlimit(RLIMIT_AS, &limit);
        }
        // The program's own handling of SIGPIPE is under test: start from the default.
        signal(SIGPIPE, SIG_DFL);
        switch (plan.standardError) {
        case RunPlan::Stderr::File:
            dup2(err, 2);
            break;
        case RunPlan::Stderr::Closed:
            close(2);
            break;
        case RunPlan::Stderr::GonePipe:
            close(gonePipe[0]);
            dup2(gonePipe[1], 2);
            break;
        }
        dup2(out, 1);
        // Only the standard streams go to the program, as from a shell: descriptors this
        // process holds (X connections, pipes of other runs) would count against its limits.
        for (int fd = 3; fd < 1024; ++fd) {
            close(fd);
        }
        execve(program, argv, envp.data());
        _exit(127);
    }
    if (gonePipe[0] >= 0) {
        close(gonePipe[0]); // the reader goes before the program writes
        close(gonePipe[1]);
    }

    Display* connection = nullptr;
    {
        std::lock_guard<std::mutex> lock(xlibMutex);
        connection = XOpenDisplay(display.c_str());
    }
    Window window = 0;
    std::optional<Clock::time_point> appeared; // the window
    std::optional<Clock::time_point> began;    // the show's first frame
    bool stopped = false;
    bool resumed = false;
    bool escaped = false;
    bool closed = false;
    int status = 0;
    for (;;) {
        if (waitpid(child, &status, WNOHANG) == child) {
            outcome.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            outcome.endedBeforeAsked = !escaped && !closed;
            break;
        }
        if (secondsSince(launched) > plan.timeout) {
            kill(child, SIGCONT);
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            outcome.exitStatus = -1;
            break;
        }
        if (!outcome.windowSeen && connection != nullptr) {
            std::lock_guard<std::mutex> lock(xlibMutex);
            window = findShowWindow(connection);
            if (window != 0) {
                outcome.windowSeen = true;
                appeared = Clock::now();
                XWindowAttributes attributes{};
                outcome.fullscreenWindow =
                    XGetWindowAttributes(connection, window, &attributes) != 0 &&
                    attributes.override_redirect;
                outcome.rasterizerThreads = rasterizerThreads(child);
            }
        }
        const int frames = framesDrawn(presentsPath);
        if (appeared && !began && frames >= 1) {
            began = Clock::now();
        }
        // Loading takes a second or two, a few under the sanitizers. Without a frame counted
        // long after that, the counter is not working: say so and end the run, instead of
        // waiting for the time-out.
        if (appeared && !began && !escaped && secondsSince(*appeared) > 30.0) {
            outcome.problem = "no frame counted 30 s after the window appeared";
            escaped = runOnDisplay(display, {"xdotool", "keydown", "Escape"}) == 0;
        }
        if (began) {
            const double t = secondsSince(*began);
            if (!stopped && stopAt >= 0.0 && t >= stopAt) {
                stopped = kill(child, SIGSTOP) == 0;
            }
            if (stopped && !resumed && t >= stopAt + stopFor) {
                resumed = kill(child, SIGCONT) == 0;
            }
            const bool running = !stopped || resumed;
            const bool worked = plan.escapeAfterFrames >= 0 && frames >= plan.escapeAfterFrames;
            if (running && !escaped && ((escapeAt >= 0.0 && t >= escapeAt) || worked)) {
                escaped = runOnDisplay(display, {"xdotool", "keydown", "Escape"}) == 0;
                if (!escaped) {
                    outcome.problem = "xdotool could not press Escape";
                }
            }
            if (running && !closed && closeAt >= 0.0 && t >= closeAt) {
                std::lock_guard<std::mutex> lock(xlibMutex);
                sendCloseRequest(connection, window);
                closed = true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (escaped && !plan.privateDisplay) {
        runOnDisplay(display, {"xdotool", "keyup", "Escape"});
    }
    if (connection != nullptr) {
        std::lock_guard<std::mutex> lock(xlibMutex);
        XCloseDisplay(connection);
    }
    outcome.framesDrawn = framesDrawn(presentsPath);
    outcome.standardError = readFile(errPath);
    outcome.standardOutput = readFile(outPath);
    return outcome;
}

} // namespace test

#include "runtime/DemoState.hpp"
#include "runtime/DrawingClip.hpp"

#include <SFML/OpenGL.hpp>
#include <SFML/Window/Context.hpp>

#include <cmath>

namespace test {

float uniformValue(const sf::Shader& shader, const char* name) {
    using GetLocation = GLint (*)(GLuint, const char*);
    using GetFloat = void (*)(GLuint, GLint, GLfloat*);
    if (demo.window != nullptr) {
        demo.window->setActive(true);
    }
    static const auto getLocation =
        reinterpret_cast<GetLocation>(sf::Context::getFunction("glGetUniformLocation"));
    static const auto getFloat =
        reinterpret_cast<GetFloat>(sf::Context::getFunction("glGetUniformfv"));
    const GLuint program = shader.getNativeHandle();
    GLfloat value = std::nanf("");
    if (program != 0 && getLocation != nullptr && getFloat != nullptr) {
        const GLint location = getLocation(program, name);
        if (location >= 0) {
            getFloat(program, location, &value);
        }
    }
    return value;
}

void saveStill(const sf::Image& picture, const std::string& name) {
    const char* folder = std::getenv("KLOMP_TEST_STILLS");
    if (folder == nullptr || *folder == '\0') {
        return;
    }
    sf::Image opaque = picture;
    for (unsigned y = 0; y < opaque.getSize().y; ++y) {
        for (unsigned x = 0; x < opaque.getSize().x; ++x) {
            sf::Color c = opaque.getPixel(x, y);
            c.a = 255;
            opaque.setPixel(x, y, c);
        }
    }
    std::filesystem::create_directories(folder);
    opaque.saveToFile((std::filesystem::path(folder) / (name + ".png")).string());
}

namespace {
bool catchingUp = false;    // every draw clipped, whatever the test asks for
bool clippedWanted = false; // what the test last asked for
} // namespace

// The window argument names what is clipped; the show's own window is the one that counts.
void clipDrawingToOnePixel(sf::RenderWindow&) {
    clippedWanted = true;
    setDrawingClipped(true);
}

void unclipDrawing(sf::RenderWindow&) {
    clippedWanted = false;
    if (!catchingUp) {
        setDrawingClipped(false);
    }
}

void setCatchingUp(bool on) {
    catchingUp = on;
    setDrawingClipped(on || clippedWanted);
}

} // namespace test
