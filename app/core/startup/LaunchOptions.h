#pragma once

#include "BytePath.h"

#include <optional>
#include <string>
#include <vector>

namespace lurkel {

// lurkel's own command line. "lurkel --search TEXT [FOLDER]" opens the results window with
// that search: the arguments are taken as the bytes they are; a relative FOLDER is taken
// from the working folder and must be a folder; without FOLDER the copy that searches
// picks it (SearchFolder). Anything else on the command line is left to Qt and the delegate.
struct LaunchOptions {
    struct Search {
        std::string text;
        BytePath folder; // empty: not given
    };

    std::optional<Search> search;
    // "--help" / "-h" and "--version": print (usage() or the version) and exit 0, before
    // anything needs a display.
    bool help = false;
    bool version = false;
    // A usage error to print (exit status 2); empty when the command line is usable.
    std::string usageError;

    static std::string usage();

    // arguments without the program name.
    static LaunchOptions parse(const std::vector<std::string> &arguments, const BytePath &workingFolder);
    static LaunchOptions parse(int argc, char **argv);
};

} // namespace lurkel
