// Writes a deterministic tree for the search benchmarks: a mix of wide and deep folders,
// dot folders, ".hidden" files, package folders, long and non-UTF-8 names and symbolic
// links (loops included). The same seed and size always give the same tree.
//
// With --home the tree is shaped like a real home folder instead: many small folders, deep
// chains (as in source trees and caches), a few huge flat folders (a camera roll, a
// thumbnail cache, downloads) and a ".hidden" in one folder of twenty.
//
//   lurkel_bench_corpus ROOT [ENTRIES] [--home]   (default 300000 entries)
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::uint64_t g_state = 0x9E3779B97F4A7C15ull;

std::uint64_t next()
{
    // xorshift64*: fixed sequence, no library differences
    g_state ^= g_state >> 12;
    g_state ^= g_state << 25;
    g_state ^= g_state >> 27;
    return g_state * 2685821657736338717ull;
}

unsigned pick(unsigned n)
{
    return static_cast<unsigned>(next() % n);
}

const char *const kWords[] = {"report", "photo",  "Invoice", "notes", "backup", "draft", "README",  "config",
                              "data",   "Summer", "build",   "cache", "index",  "main",  "test",    "Module",
                              "final",  "copy",   "archive", "log",   "music",  "video", "Project", "thumb"};
const char *const kExtensions[] = {".txt", ".jpg", ".pdf", ".cpp", ".h", ".json", ".md", ".png", "", ".tar.gz"};
const char *const kPackages[] = {".app", ".bundle", ".framework", ".xcodeproj", ".photoslibrary"};

long g_entries = 0;
long g_target = 300000;

std::string name(bool folder)
{
    std::string n;
    const unsigned kind = pick(100);
    if (kind < 4) n = "."; // dot names
    n += kWords[pick(sizeof kWords / sizeof *kWords)];
    n += "_" + std::to_string(pick(100000));
    if (kind >= 4 && kind < 6) n += std::string(150 + pick(80), 'x'); // long names (< 255 bytes)
    if (kind >= 6 && kind < 8) n += "\xff\xfe";                       // not UTF-8
    if (kind == 8) n += " with space, and \"quotes\"";
    if (!folder) n += kExtensions[pick(sizeof kExtensions / sizeof *kExtensions)];
    return n;
}

void makeFile(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
        ++g_entries;
        ::close(fd);
    }
}

void writeHiddenList(const std::string &dir, const std::vector<std::string> &names)
{
    std::string list;
    for (const std::string &n : names)
        list += n + "\n";
    const int fd = ::open((dir + "/.hidden").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    if (::write(fd, list.data(), list.size()) < 0) std::perror("write");
    ::close(fd);
    ++g_entries;
}

void fill(const std::string &dir, int depth)
{
    if (g_entries >= g_target) return;
    // wide shallow folders and narrow deep chains
    const bool wide = depth < 2 || pick(10) == 0;
    const unsigned files = wide ? 40 + pick(200) : pick(12);
    std::vector<std::string> hiddenNames;
    for (unsigned i = 0; i < files && g_entries < g_target; ++i) {
        const std::string n = name(false);
        makeFile(dir + "/" + n);
        if (pick(20) == 0 && n[0] != '.') hiddenNames.push_back(n);
    }
    if (!hiddenNames.empty()) writeHiddenList(dir, hiddenNames);
    if (pick(15) == 0) {
        const std::string target = pick(2) ? "." : "..";
        if (::symlink(target.c_str(), (dir + "/loop_" + std::to_string(pick(1000))).c_str()) == 0) ++g_entries;
        if (::symlink("missing-target", (dir + "/dangling_" + std::to_string(pick(1000))).c_str()) == 0) ++g_entries;
    }
    if (depth >= 14) return;
    const unsigned folders = wide ? 3 + pick(8) : 1 + pick(2);
    for (unsigned i = 0; i < folders && g_entries < g_target; ++i) {
        std::string n = name(true);
        if (pick(25) == 0) n += kPackages[pick(sizeof kPackages / sizeof *kPackages)];
        const std::string sub = dir + "/" + n;
        if (::mkdir(sub.c_str(), 0755) != 0) continue;
        ++g_entries;
        fill(sub, depth + 1);
    }
}

// A home-shaped folder: a few files, now and then a ".hidden" naming some of them, and
// folders below, most of them small; one in eight starts a deep chain.
void fillHome(const std::string &dir, int depth, int chain)
{
    if (g_entries >= g_target) return;
    const unsigned files = pick(9);
    std::vector<std::string> names;
    for (unsigned i = 0; i < files && g_entries < g_target; ++i) {
        names.push_back(name(false));
        makeFile(dir + "/" + names.back());
    }
    if (pick(20) == 0 && !names.empty()) writeHiddenList(dir, {names.front()});
    if (chain > 0) {
        const std::string sub = dir + "/" + name(true);
        if (::mkdir(sub.c_str(), 0755) == 0) {
            ++g_entries;
            fillHome(sub, depth + 1, chain - 1);
        }
        return;
    }
    if (depth >= 6) return;
    const unsigned folders = depth < 2 ? 4 + pick(6) : pick(4);
    for (unsigned i = 0; i < folders && g_entries < g_target; ++i) {
        const std::string sub = dir + "/" + name(true);
        if (::mkdir(sub.c_str(), 0755) != 0) continue;
        ++g_entries;
        fillHome(sub, depth + 1, pick(8) == 0 ? 8 + static_cast<int>(pick(12)) : 0);
    }
}

int makeHome(const std::string &root)
{
    // three huge flat folders take a sixth of the entries
    for (const char *flat : {"Pictures", ".cache", "Downloads"}) {
        const std::string dir = root + "/" + flat + "/flat";
        ::mkdir((root + "/" + flat).c_str(), 0755);
        if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return 1;
        for (long i = 0; i < g_target / 18; ++i)
            makeFile(dir + "/" + name(false));
    }
    for (int top = 0; g_entries < g_target; ++top) {
        const std::string dir = root + "/" + (pick(4) == 0 ? "." : "") + "area_" + std::to_string(top);
        if (::mkdir(dir.c_str(), 0755) != 0) return 1;
        ++g_entries;
        fillHome(dir, 0, 0);
    }
    std::printf("%ld entries in %s (home-shaped)\n", g_entries, root.c_str());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ROOT [ENTRIES]\n", argv[0]);
        return 2;
    }
    if (argc > 2) g_target = std::atol(argv[2]);
    const bool home = argc > 3 && std::strcmp(argv[3], "--home") == 0;
    const std::string root = argv[1];
    if (::mkdir(root.c_str(), 0755) != 0 && errno != EEXIST) {
        std::perror(root.c_str());
        return 1;
    }
    if (home) return makeHome(root);
    while (g_entries < g_target) {
        const std::string top = root + "/top_" + std::to_string(g_entries);
        if (::mkdir(top.c_str(), 0755) != 0) break;
        ++g_entries;
        fill(top, 0);
    }
    std::printf("%ld entries in %s\n", g_entries, root.c_str());
    return 0;
}
