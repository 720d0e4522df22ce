#pragma once

#include "BytePath.h"

#include <optional>
#include <string_view>
#include <sys/types.h>

namespace lurkel {

// Where Lurkel's programs are: each finds the others side by side, as they are installed
// (and as the build puts them in bin/).
class ProgramPaths {
public:
    ProgramPaths() = delete;

    // The program a process runs, as the kernel names it (/proc/PID/exe). A program whose
    // file was replaced since it started (an update) reads "PATH (deleted)": it is still the
    // program at PATH. nullopt when the process is gone or not ours to look at.
    static std::optional<BytePath> executableOf(pid_t pid);
    // The running program's own file; nullopt when the kernel does not tell.
    static std::optional<BytePath> thisProgram();
    // The folder of the running program; empty when unknown.
    static BytePath thisProgramFolder();
    // The program called name beside the running one; the bare name (found in PATH) when
    // the running program's folder is unknown.
    static BytePath besideThisProgram(std::string_view name);
};

} // namespace lurkel
