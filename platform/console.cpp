// Terminals and signals on POSIX and Windows.
#include "platform/console.h"

#include <csignal>
#include <initializer_list>
#ifdef _WIN32
#include <io.h>
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace qr::platform {

namespace {

volatile std::sig_atomic_t caught = 0;

extern "C" void OnInterrupt(int signal) {
    if (caught == 0) caught = signal;
}

}  // namespace

bool IsTerminal(int stream) {
#ifdef _WIN32
    return _isatty(stream) != 0;
#else
    return isatty(stream) != 0;
#endif
}

int TerminalColumns(int stream) {
    if (!IsTerminal(stream)) return 0;
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info;
    const HANDLE handle = GetStdHandle(stream == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (!GetConsoleScreenBufferInfo(handle, &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
#else
    struct winsize size;
    if (ioctl(stream, TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
#endif
}

void CatchInterrupts() {
#ifdef _WIN32
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
#else
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a waiting read returns
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (int signal : {SIGPIPE, SIGXFSZ}) sigaction(signal, &ignore, nullptr);
#endif
}

int InterruptSignal() {
    return caught;
}

#ifdef _WIN32
void HoldInterrupts() {}
void ReleaseInterrupts() {}
#else
namespace {
sigset_t InterruptSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, signal);
    return set;
}
}  // namespace

void HoldInterrupts() {
    const sigset_t set = InterruptSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void ReleaseInterrupts() {
    const sigset_t set = InterruptSet();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}
#endif

const char* SignalName(int signal) {
    switch (signal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
#ifndef _WIN32
        case SIGHUP:
            return "SIGHUP";
#endif
        default:
            return "a signal";
    }
}

}  // namespace qr::platform
