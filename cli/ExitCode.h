#pragma once

namespace lurkel::cli {

// The exit status of every lurkelctl command.
enum ExitCode : int {
    kExitSuccess = 0,
    kExitFailure = 1,
    kExitUsage = 2,
    kExitInterrupted = 130,
};

} // namespace lurkel::cli
