// One walk in its own process; prints "matches=N examined=M" and each match, NUL-terminated.
#include "DirectoryWalker.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

class Collect final : public lurkel::walker::WalkerReceiver {
public:
    void fileFound(const lurkel::walker::FoundEntry &e) override
    {
        std::string full(e.folder);
        if (full.back() != '/') full.push_back('/');
        full.append(e.name);
        std::lock_guard lock(mutex);
        found.push_back(std::move(full));
    }
    std::mutex mutex;
    std::vector<std::string> found;
};

} // namespace

int main(int argc, char **argv)
{
    int arg = 1;
    if (argc > 2 && std::strcmp(argv[1], "--nofile") == 0) {
        const rlim_t n = std::strtoul(argv[2], nullptr, 10);
        rlimit limit{n, n};
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) return 3;
        arg = 3;
    }
    if (argc - arg != 2) return 2; // usage: [--nofile N] ROOT TEXT
    lurkel::walker::setDiagnosticsEnabled(false);
    Collect collect;
    const auto summary = lurkel::walker::runScan(argv[arg], argv[arg + 1], collect);
    std::printf("matches=%zu examined=%d", collect.found.size(), summary.examined);
    std::fputc('\0', stdout);
    for (const std::string &path : collect.found) {
        std::fwrite(path.data(), 1, path.size(), stdout);
        std::fputc('\0', stdout);
    }
    return 0;
}
