// The floor for a name search: one thread, getdents64 on every directory (opened relative
// to its parent), an ASCII-folded substring test per name, no output but the count.
//   lurkel_bench_floor ROOT TEXT
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

long g_matches = 0;
char g_buffer[64 * 1024];
std::string g_text;

void walk(int fd)
{
    std::vector<std::string> dirs;
    unsigned char folded[256];
    for (;;) {
        const long got = ::syscall(SYS_getdents64, fd, g_buffer, sizeof g_buffer);
        if (got <= 0) break;
        for (long off = 0; off < got;) {
            const char *rec = g_buffer + off;
            unsigned short len = 0;
            std::memcpy(&len, rec + 16, sizeof len);
            off += len;
            const unsigned char type = static_cast<unsigned char>(rec[18]);
            const char *name = rec + 19;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
            const std::size_t n = std::strlen(name);
            for (std::size_t i = 0; i < n && i < 255; ++i) {
                const unsigned char c = static_cast<unsigned char>(name[i]);
                folded[i] = (c >= 'A' && c <= 'Z') ? c + 32 : c;
            }
            if (::memmem(folded, n < 255 ? n : 255, g_text.data(), g_text.size())) ++g_matches;
            if (type == DT_DIR) dirs.emplace_back(name, n);
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
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ROOT TEXT\n", argv[0]);
        return 2;
    }
    g_text = argv[2];
    const int fd = ::open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 1;
    walk(fd);
    std::printf("%ld\n", g_matches);
    return 0;
}
