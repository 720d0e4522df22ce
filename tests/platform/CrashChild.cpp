// Installs the crash reporter, then crashes the way the first argument says.
#include "CrashReporter.h"

#include <csignal>
#include <cstdlib>
#include <cstring>

namespace {

// Each frame keeps a kilobyte the compiler cannot drop; deep enough to overflow any stack.
int recurse(long depth, long limit)
{
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    if (depth >= limit) return frame[0];
    return recurse(depth + 1, limit) + frame[0];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2 || !lurkel::CrashReporter::install("lurkel-crash-child")) return 2;
    if (std::strcmp(argv[1], "abort") == 0) std::abort();
    if (std::strcmp(argv[1], "segv") == 0) std::raise(SIGSEGV);
    if (std::strcmp(argv[1], "overflow") == 0) return recurse(0, std::strtol("100000000", nullptr, 10));
    return 0;
}
