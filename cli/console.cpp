// Terminals on POSIX and Windows.
#include "cli/console.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace qr::cli {

bool IsTerminal(int stream) {
#ifdef _WIN32
    return _isatty(stream) != 0;
#else
    return isatty(stream) != 0;
#endif
}

}  // namespace qr::cli
