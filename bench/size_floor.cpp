// The floor for a folder size: one thread, getdents64 on every directory (opened relative to
// its parent), one fstatat per entry, the allocated sizes of everything but folders added up
// (no hard-link bookkeeping, no mount checks).
//   lurkel_bench_size_floor ROOT
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

unsigned long long g_total = 0;
char g_buffer[64 * 1024];

void walk(int fd)
{
    std::vector<std::string> dirs;
    for (;;) {
        const long got = ::syscall(SYS_getdents64, fd, g_buffer, sizeof g_buffer);
        if (got <= 0) break;
        for (long off = 0; off < got;) {
            const char *rec = g_buffer + off;
            unsigned short len = 0;
            std::memcpy(&len, rec + 16, sizeof len);
            off += len;
            const char *name = rec + 19;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
            struct stat st {};
            if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (S_ISDIR(st.st_mode)) {
                dirs.emplace_back(name);
            } else {
                g_total += static_cast<unsigned long long>(st.st_blocks) * 512;
            }
        }
    }
    for (const std::string &d : dirs) {
        const int child = ::openat(fd, d.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child < 0) continue;
        walk(child);
        ::close(child);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s ROOT\n", argv[0]);
        return 2;
    }
    const int fd = ::open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 1;
    walk(fd);
    std::printf("%llu\n", g_total);
    return 0;
}
