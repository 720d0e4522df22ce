// One walk in its own process. Prints "matches=N examined=M unreadable=K", then each match,
// then "unreadable ERRNO FOLDER" for each folder reported unreadable, every record
// NUL-terminated.
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
    void directoryUnreadable(std::string_view folder, int error) override
    {
        std::lock_guard lock(mutex);
        unreadable.push_back("unreadable " + std::to_string(error) + " " + std::string(folder));
    }
    std::mutex mutex;
    std::vector<std::string> found, unreadable;
};

void writeRecord(const std::string &record)
{
    std::fwrite(record.data(), 1, record.size(), stdout);
    std::fputc('\0', stdout);
}

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
    Collect collect;
    const auto summary = lurkel::walker::runScan(argv[arg], argv[arg + 1], collect);
    writeRecord("matches=" + std::to_string(collect.found.size()) + " examined=" + std::to_string(summary.examined) +
                " unreadable=" + std::to_string(summary.unreadable));
    for (const std::string &path : collect.found)
        writeRecord(path);
    for (const std::string &report : collect.unreadable)
        writeRecord(report);
    return 0;
}
