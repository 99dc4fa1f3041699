// The process's console: whether a stream is a terminal and how wide it is, and the signals that
// ask a run to stop. POSIX and Windows. Nothing here allocates, throws or prints.
#pragma once

namespace qr::platform {

// Whether standard input (0), output (1) or error (2) is a terminal.
bool IsTerminal(int stream);

// The columns of the terminal on `stream`, or 0 when it is not a terminal or does not say.
int TerminalColumns(int stream);

// Makes SIGINT, SIGTERM and SIGHUP ask the process to stop instead of ending it at once: the
// signal is recorded, a read waiting for input returns. Also turns SIGPIPE and SIGXFSZ into write
// errors, so that a closed pipe or a file-size limit is a failure to report, not a silent death.
void CatchInterrupts();

// The first signal recorded by CatchInterrupts(), or 0.
int InterruptSignal();

// HoldInterrupts() keeps SIGINT, SIGTERM and SIGHUP from the calling thread, and from the threads
// it starts until ReleaseInterrupts(), which gives them back to the calling thread. Nothing on
// Windows, whose console signals come on a thread of their own.
void HoldInterrupts();
void ReleaseInterrupts();

// The name of a signal ("SIGINT"), or "a signal".
const char* SignalName(int signal);

}  // namespace qr::platform
