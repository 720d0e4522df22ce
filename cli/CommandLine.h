#pragma once

#include "ExitCode.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace lurkel::cli {

// Where a command writes, and whether a person is watching.
struct CommandIO {
    std::ostream &out;
    std::ostream &err;
    bool stdoutIsTerminal = false;
    bool stderrIsTerminal = false;
};

struct Command {
    std::string name;
    std::string synopsis; // "search TEXT [FOLDER]"
    std::string summary;  // one line for the command list
    std::string help;     // the rest of "lurkelctl NAME --help"
    // Arguments after the command name, as the bytes the shell passed.
    std::function<int(const std::vector<std::string> &args, CommandIO &io)> run;
};

// lurkelctl's frame: a table of subcommands, --help for each, --version, and exit status
// 0 success, 1 failure, 2 usage error, 130 after Ctrl-C.
class CommandLine {
public:
    explicit CommandLine(std::string programName = "lurkelctl");

    void add(Command command);
    const std::vector<Command> &commands() const { return m_commands; }

    // Dispatches argv (without the program name).
    int run(const std::vector<std::string> &args, CommandIO &io) const;

    // The text of "lurkelctl --help".
    std::string usage() const;
    // The text of "lurkelctl NAME --help".
    std::string commandHelp(const Command &command) const;
    // Prints "lurkelctl: MESSAGE" and a pointer to --help; returns kExitUsage.
    int usageError(CommandIO &io, const std::string &message) const;

private:
    const Command *find(const std::string &name) const;

    std::string m_program;
    std::vector<Command> m_commands;
};

} // namespace lurkel::cli
