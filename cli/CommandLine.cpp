#include "CommandLine.h"

#include "Identity.h"

#include <algorithm>
#include <ostream>

namespace lurkel::cli {

CommandLine::CommandLine(std::string programName) : m_program(std::move(programName)) {}

void CommandLine::add(Command command)
{
    m_commands.push_back(std::move(command));
}

const Command *CommandLine::find(const std::string &name) const
{
    auto it = std::find_if(m_commands.begin(), m_commands.end(), [&](const Command &c) { return c.name == name; });
    return it == m_commands.end() ? nullptr : &*it;
}

std::string CommandLine::usage() const
{
    std::string text = "Usage: " + m_program +
                       " COMMAND [ARGUMENTS...]\n\n"
                       "Lurkel from a terminal or a script. File names are taken and printed as the bytes they are.\n\n"
                       "Commands:\n";
    std::size_t width = 0;
    for (const Command &c : m_commands)
        width = std::max(width, c.name.size());
    for (const Command &c : m_commands) {
        text += "  " + c.name + std::string(width - c.name.size() + 2, ' ') + c.summary + "\n";
    }
    text += "\nOptions:\n"
            "  --help     show this help (\"" +
            m_program +
            " COMMAND --help\" for a command)\n"
            "  --version  show the version\n\n"
            "Exit status: 0 success, 1 failure, 2 usage error, 130 interrupted.\n";
    return text;
}

std::string CommandLine::commandHelp(const Command &command) const
{
    std::string text = "Usage: " + m_program + " " + command.synopsis + "\n\n" + command.summary + "\n";
    if (!command.help.empty()) text += "\n" + command.help + (command.help.back() == '\n' ? "" : "\n");
    return text;
}

int CommandLine::usageError(CommandIO &io, const std::string &message) const
{
    io.err << m_program << ": " << message << "\nTry '" << m_program << " --help' for more information.\n";
    return kExitUsage;
}

int CommandLine::run(const std::vector<std::string> &args, CommandIO &io) const
{
    if (args.empty()) {
        io.err << usage();
        return kExitUsage;
    }
    const std::string &first = args.front();
    if (first == "--help" || first == "-h") {
        io.out << usage();
        return kExitSuccess;
    }
    if (first == "--version") {
        io.out << m_program << " (" << Identity::kBundleName << ") " << Identity::kShortVersion << " (build "
               << Identity::kBuildVersion << ")\n";
        return kExitSuccess;
    }
    if (first == "help") {
        if (args.size() == 1) {
            io.out << usage();
            return kExitSuccess;
        }
        const Command *command = find(args[1]);
        if (command == nullptr) return usageError(io, "no such command: " + args[1]);
        io.out << commandHelp(*command);
        return kExitSuccess;
    }
    if (!first.empty() && first.front() == '-') return usageError(io, "unknown option: " + first);
    const Command *command = find(first);
    if (command == nullptr) return usageError(io, "no such command: " + first);

    std::vector<std::string> rest(args.begin() + 1, args.end());
    // --help before any "--" asks for the command's help
    for (const std::string &arg : rest) {
        if (arg == "--") break;
        if (arg == "--help" || arg == "-h") {
            io.out << commandHelp(*command);
            return kExitSuccess;
        }
    }
    return command->run(rest, io);
}

} // namespace lurkel::cli
