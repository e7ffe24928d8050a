#include "XServerSession.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <utility>
#include <unistd.h>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto StartTimeout = std::chrono::seconds(20);
constexpr auto StopTimeout = std::chrono::seconds(5);
constexpr auto PollInterval = std::chrono::milliseconds(10);

/// Runs `argv` with its output discarded; `keptFd` stays open in the child. The child gets
/// SIGTERM when this process dies, so no server outlives a killed test.
pid_t spawn(std::vector<const char*> argv, int keptFd = -1)
{
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error(std::string("cannot start ") + argv[0]);
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(127);
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        if (keptFd >= 0)
            fcntl(keptFd, F_SETFD, 0);
        execvp(argv[0], const_cast<char* const*>(argv.data()));
        _exit(127);
    }
    return child;
}

bool hasExited(pid_t child)
{
    int status = 0;
    return waitpid(child, &status, WNOHANG) == child;
}

void terminate(pid_t child)
{
    if (child <= 0)
        return;
    kill(child, SIGTERM);
    const auto deadline = Clock::now() + StopTimeout;
    while (!hasExited(child)) {
        if (Clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
            return;
        }
        std::this_thread::sleep_for(PollInterval);
    }
}

// The window manager focuses new windows and binds no key and no mouse button: a binding's grab
// would hold input back until the manager has looked at it and hand it on late, after input that
// came later, and a key binding would take the key from the program.
const char* const WindowManagerConfiguration = R"(<?xml version="1.0"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
  <keyboard></keyboard>
  <mouse></mouse>
</openbox_config>
)";

/// Whether an EWMH window manager has announced itself on the display's root window.
bool windowManagerRuns(Display* display)
{
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW,
                                          &type, &format, &items, &remaining, &data);
    if (data)
        XFree(data);
    return status == Success && items == 1;
}

} // namespace

XServerSession::XServerSession()
{
    try {
        startServer();
        startWindowManager();
    } catch (...) {
        stop();
        throw;
    }
}

XServerSession::~XServerSession()
{
    stop();
}

void XServerSession::startServer()
{
    // Xvfb picks the first free display number itself and writes it to the descriptor once it
    // accepts connections, so parallel runs never race for a number. Without -noreset it would
    // start afresh, refusing connections meanwhile, whenever its last client leaves.
    int pipe[2];
    if (pipe2(pipe, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot make a pipe for Xvfb");
    const std::string writeEnd = std::to_string(pipe[1]);
    m_server = spawn({"Xvfb", "-displayfd", writeEnd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                      "-noreset"},
                     pipe[1]);
    close(pipe[1]);
    std::string number;
    const auto deadline = Clock::now() + StartTimeout;
    while (number.empty() || number.back() != '\n') {
        pollfd readable{pipe[0], POLLIN, 0};
        char c = 0;
        if (Clock::now() > deadline || poll(&readable, 1, 100) < 0
            || ((readable.revents & (POLLIN | POLLHUP)) && read(pipe[0], &c, 1) != 1)) {
            close(pipe[0]);
            throw std::runtime_error("Xvfb did not start");
        }
        if (c)
            number += c;
    }
    close(pipe[0]);
    m_display = ":" + QByteArray::fromStdString(number).trimmed();

    for (;;) {
        if (Display* display = XOpenDisplay(m_display.constData())) {
            XCloseDisplay(display);
            return;
        }
        if (Clock::now() > deadline)
            throw std::runtime_error("Xvfb does not accept connections on " + m_display.toStdString());
        std::this_thread::sleep_for(PollInterval);
    }
}

void XServerSession::startWindowManager()
{
    Display* display = XOpenDisplay(m_display.constData());
    if (!display)
        throw std::runtime_error("cannot connect to " + m_display.toStdString());
    setenv("DISPLAY", m_display.constData(), 1);
    char path[] = "/tmp/velmora-openbox-XXXXXX.xml";
    const int file = mkstemps(path, 4);
    const bool written = file >= 0
                         && write(file, WindowManagerConfiguration, strlen(WindowManagerConfiguration))
                                == ssize_t(strlen(WindowManagerConfiguration));
    if (file >= 0)
        close(file);
    if (!written) {
        XCloseDisplay(display);
        throw std::runtime_error("cannot write the window manager's configuration");
    }
    m_configuration = path;
    m_windowManager = spawn({"openbox", "--sm-disable", "--config-file", path});
    const auto deadline = Clock::now() + StartTimeout;
    while (!windowManagerRuns(display)) {
        const bool exited = hasExited(m_windowManager);
        if (exited || Clock::now() > deadline) {
            XCloseDisplay(display);
            if (exited)
                m_windowManager = -1;   // reaped already
            throw std::runtime_error("the window manager did not start on " + m_display.toStdString());
        }
        std::this_thread::sleep_for(PollInterval);
    }
    XCloseDisplay(display);
}

void XServerSession::stop()
{
    terminate(std::exchange(m_windowManager, -1));
    terminate(std::exchange(m_server, -1));
    if (!m_configuration.empty())
        unlink(std::exchange(m_configuration, std::string()).c_str());
}
