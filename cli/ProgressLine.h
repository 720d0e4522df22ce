#pragma once

#include "CommandLine.h"

#include <string>

namespace lurkel::cli {

// One line on standard error that rewrites itself ("Found 120 / 4031"), only when a person
// watches it: nothing when standard error is not a terminal.
class ProgressLine {
public:
    explicit ProgressLine(CommandIO &io) : m_io(io) {}
    void show(const std::string &text);
    // Takes the line away again (before results go to the same screen, and at the end).
    void clear();

private:
    CommandIO &m_io;
    bool m_shown = false;
};

} // namespace lurkel::cli
