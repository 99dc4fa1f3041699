// Runs the built command (TESSERA_COMMAND) as a child process through the shell, with standard
// input from a string and standard output and error captured.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace qr::test {

struct CommandRun {
    int status = -1;  // the exit status, or -1 when the command did not exit normally
    std::string out;
    std::string err;
};

inline std::string ShellQuoted(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs the shell command `command` with its output and error sent to files in `io`, and reads
// them back with its exit status.
inline CommandRun RunCapturing(std::string command, const TempDir& io) {
    CommandRun run;
    command += " >" + ShellQuoted(io.File("out")) + " 2>" + ShellQuoted(io.File("err"));
    const int status = std::system(command.c_str());
    if (status != -1 && WIFEXITED(status)) run.status = WEXITSTATUS(status);
    Bytes out, err;
    ReadFile(io.File("out"), &out);
    ReadFile(io.File("err"), &err);
    run.out.assign(out.begin(), out.end());
    run.err.assign(err.begin(), err.end());
    return run;
}

inline CommandRun RunCommand(const std::vector<std::string>& args, const std::string& input = "") {
    TempDir io;
    if (!WriteFile(io.File("in"), ToBytes(input))) return CommandRun();
    std::string command = ShellQuoted(TESSERA_COMMAND);
    for (const std::string& arg : args) command += " " + ShellQuoted(arg);
    return RunCapturing(command + " <" + ShellQuoted(io.File("in")), io);
}

// Runs `script` with /bin/sh in the folder `cwd`, the command's path in $T, standard input empty
// unless the script says otherwise; captures the script's standard output and error.
inline CommandRun RunScript(const std::string& script, const std::string& cwd) {
    TempDir io;
    if (!WriteFile(io.File("script"), ToBytes(script))) return CommandRun();
    return RunCapturing("cd " + ShellQuoted(cwd) + " && T=" + ShellQuoted(TESSERA_COMMAND) +
                            " /bin/sh " + ShellQuoted(io.File("script")) + " </dev/null",
                        io);
}

}  // namespace qr::test
