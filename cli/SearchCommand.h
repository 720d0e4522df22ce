#pragma once

#include "CommandLine.h"

#include <string>
#include <string_view>
#include <vector>

namespace lurkel::cli {

// "lurkelctl search": find files by name with the search manager.
class SearchCommand {
public:
    static void registerIn(CommandLine &commandLine);
    static int run(const CommandLine &commandLine, const std::vector<std::string> &args, CommandIO &io);

    // The help text of the command.
    static std::string help();
    // bytes as a JSON value: a string when they are valid UTF-8, otherwise
    // {"bytes_b64": "<base64 of the bytes>"}.
    static std::string jsonValue(std::string_view bytes);
};

} // namespace lurkel::cli
