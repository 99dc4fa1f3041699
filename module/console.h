// The console of a program that runs the pipeline (the command): whether its streams are
// terminals, how wide they are, and the signals that ask it to stop between codes. The platform's
// console (platform/console.h) as the pipeline's callers see it.
#pragma once

namespace qr {

// Whether standard input (0), output (1) or error (2) is a terminal.
bool IsTerminal(int stream);

// The columns of the terminal on `stream`, or 0 when it is not a terminal or does not say.
int TerminalColumns(int stream);

// Makes SIGINT, SIGTERM and SIGHUP ask the program to stop instead of ending it at once: the
// signal is recorded, a read waiting for input returns, and the program starts no new code. Also
// turns SIGPIPE and SIGXFSZ into write errors, so that a closed pipe or a file-size limit is a
// message and a status, not a silent death.
void CatchInterrupts();

// The first signal recorded by CatchInterrupts(), or 0.
int InterruptSignal();

// The name of a signal ("SIGINT"), or "a signal".
const char* SignalName(int signal);

// While it lives, the calling thread does not take SIGINT, SIGTERM and SIGHUP, and threads it
// starts never do: made around the start of workers, so that the signal reaches the thread that
// reads the input and wakes it.
class InterruptsHeld {
public:
    InterruptsHeld();
    ~InterruptsHeld();
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;
};

}  // namespace qr
