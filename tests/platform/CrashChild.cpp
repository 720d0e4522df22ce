// Installs the crash reporter, then crashes the way the first argument says.
#include "CrashReporter.h"

#include <csignal>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    if (argc != 2 || !lurkel::CrashReporter::install("lurkel-crash-child")) return 2;
    if (std::strcmp(argv[1], "abort") == 0) std::abort();
    if (std::strcmp(argv[1], "segv") == 0) std::raise(SIGSEGV);
    return 0;
}
