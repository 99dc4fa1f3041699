// tessera: the command. See cli/command.h.
#include "cli/command.h"

int main(int argc, char** argv) {
    return qr::cli::RunCommand(argc, argv);
}
