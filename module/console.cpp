// The platform's console under the pipeline's names.
#include "module/console.h"

#include "platform/console.h"

namespace qr {

bool IsTerminal(int stream) {
    return platform::IsTerminal(stream);
}

int TerminalColumns(int stream) {
    return platform::TerminalColumns(stream);
}

void CatchInterrupts() {
    platform::CatchInterrupts();
}

int InterruptSignal() {
    return platform::InterruptSignal();
}

const char* SignalName(int signal) {
    return platform::SignalName(signal);
}

InterruptsHeld::InterruptsHeld() {
    platform::HoldInterrupts();
}

InterruptsHeld::~InterruptsHeld() {
    platform::ReleaseInterrupts();
}

}  // namespace qr
