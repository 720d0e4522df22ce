// Writes a deterministic tree for the duplicates benchmark: GROUPS groups of two or three
// identical files (a few over 1 MiB, the rest between 60 KB and 400 KB), as many unique files
// of the same sizes and extensions whose content differs (impostors), spread over folders.
// Every file is over 50,000 bytes and there are no hard links, so that every duplicates finder
// should report exactly the groups written.
//   lurkel_bench_duplicates_tree ROOT [GROUPS]   (default 2000)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::uint64_t g_state = 0x2545F4914F6CDD1Dull;

std::uint64_t next()
{
    g_state ^= g_state >> 12;
    g_state ^= g_state << 25;
    g_state ^= g_state >> 27;
    return g_state * 0x2545F4914F6CDD1Dull;
}

void fill(std::vector<char> &bytes)
{
    for (std::size_t i = 0; i + 8 <= bytes.size(); i += 8) {
        const std::uint64_t v = next();
        for (int b = 0; b < 8; ++b)
            bytes[i + static_cast<std::size_t>(b)] = static_cast<char>(v >> (8 * b));
    }
}

bool write(const std::string &path, const std::vector<char> &bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    ::close(fd);
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ROOT [GROUPS]\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    const int groups = argc > 2 ? std::atoi(argv[2]) : 2000;
    const char *extensions[] = {"jpg", "png", "mp3", "pdf", "zip", "doc", "bin", "txt"};
    if (::mkdir(root.c_str(), 0755) != 0) return 1;
    for (int f = 0; f < 100; ++f)
        ::mkdir((root + "/f" + std::to_string(f)).c_str(), 0755);
    std::vector<char> bytes;
    for (int g = 0; g < groups; ++g) {
        const std::size_t size = g < 20 ? 1200000 + next() % 800000 : 60000 + next() % 340000;
        const char *ext = extensions[next() % 8];
        bytes.assign(size, 0);
        fill(bytes);
        const int copies = 2 + static_cast<int>(next() % 2);
        for (int c = 0; c < copies; ++c) {
            const std::string path = root + "/f" + std::to_string(next() % 100) + "/g" + std::to_string(g) + "-" +
                                     std::to_string(c) + "." + ext;
            if (!write(path, bytes)) return 1;
        }
        // an impostor: same size and extension, other content (the middle differs only)
        bytes[size / 2] = static_cast<char>(bytes[size / 2] + 1);
        if (!write(root + "/f" + std::to_string(next() % 100) + "/u" + std::to_string(g) + "." + ext, bytes)) return 1;
    }
    return 0;
}
