#include "CommandLine.h"
#include "DiskCommand.h"
#include "FileCommands.h"
#include "HiddenCommand.h"
#include "Interrupt.h"
#include "Log.h"
#include "LoginCommand.h"
#include "MemoryCommand.h"
#include "SearchCommand.h"
#include "VersionCommand.h"

#include <QCoreApplication>

#include <iostream>
#include <unistd.h>

int main(int argc, char **argv)
{
    lurkel::installOneLineLogging();
    using namespace lurkel::cli;
    // Arguments stay the bytes the shell passed; Qt is used for its event loop only.
    std::vector<std::string> args(argv + 1, argv + argc);
    QCoreApplication app(argc, argv);
    Interrupt::install();

    CommandLine commandLine;
    SearchCommand::registerIn(commandLine);
    FileCommands::registerIn(commandLine);
    HiddenCommand::registerIn(commandLine);
    MemoryCommand::registerIn(commandLine);
    DiskCommand::registerIn(commandLine);
    LoginCommand::registerIn(commandLine);
    VersionCommand::registerIn(commandLine);

    CommandIO io{std::cout, std::cerr, ::isatty(STDOUT_FILENO) != 0, ::isatty(STDERR_FILENO) != 0};
    int rc = commandLine.run(args, io);
    std::cout.flush();
    if (Interrupt::requested() && rc != kExitSuccess) rc = kExitInterrupted;
    return rc;
}
