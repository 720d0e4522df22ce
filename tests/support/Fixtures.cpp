#include "Fixtures.h"

#include "FileAttributes.h"
#include "Spawn.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <ftw.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lurkel::test {
namespace {

constexpr uid_t kNobody = 65534;

int removeEntry(const char *path, const struct stat *, int, struct FTW *)
{
    ::chmod(path, 0700);
    return ::remove(path);
}

void walk(const BytePath &root, const std::string &relative, Snapshot &into)
{
    const BytePath here = relative.empty() ? root : root / relative;
    into[relative] = describe(here);
    struct stat st {};
    if (::lstat(here.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
    DIR *dir = ::opendir(here.c_str());
    if (dir == nullptr) return;
    std::vector<std::string> names;
    while (const dirent *e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    for (const std::string &name : names)
        walk(root, relative.empty() ? name : relative + "/" + name, into);
}

} // namespace

std::vector<std::string> hostileNames()
{
    return {"with space",
            "new\nline",
            "quote'single",
            "quote\"double",
            "$(touch pwned)",
            "-leading-dash",
            "bad\xff\xfe utf8",
            "comma, space",
            "tab\there",
            "back\\slash",
            "*glob?[x]",
            "trailing-cr\r",
            "long-" + std::string(250, 'x')};
}

BytePath makeDir(const BytePath &path, unsigned mode)
{
    EXPECT_EQ(::mkdir(path.c_str(), mode), 0) << path.bytes() << ": " << std::strerror(errno);
    ::chmod(path.c_str(), mode);
    return path;
}

std::set<std::string> namesIn(const BytePath &folder)
{
    std::set<std::string> names;
    if (DIR *dir = ::opendir(folder.c_str())) {
        while (const dirent *entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.insert(name);
        }
        ::closedir(dir);
    }
    return names;
}

bool exists(const BytePath &path)
{
    return FileAttributes::lstat(path).has_value();
}

std::string describe(const BytePath &entry)
{
    struct stat st {};
    if (::lstat(entry.c_str(), &st) != 0) return "missing";
    // A folder's times change with its entries, which are described on their own.
    std::string d = std::to_string(st.st_mode) + "|";
    if (!S_ISDIR(st.st_mode)) d += std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + "|";
    if (S_ISREG(st.st_mode)) d += "file:" + readFile(entry);
    if (S_ISLNK(st.st_mode)) {
        char target[4096];
        const ssize_t n = ::readlink(entry.c_str(), target, sizeof target);
        d += "link:" + std::string(target, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    }
    return d;
}

Snapshot snapshot(const BytePath &root)
{
    Snapshot s;
    walk(root, "", s);
    return s;
}

void removeTree(const BytePath &path)
{
    if (!path.empty()) ::nftw(path.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

OtherFileSystem::OtherFileSystem()
{
    struct stat shm {
    }, own{};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(TestEnvironment::root().c_str(), &own) != 0 ||
        shm.st_dev == own.st_dev || ::access("/dev/shm", W_OK) != 0) {
        return;
    }
    std::string pattern = "/dev/shm/lurkel-fileops-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return;
    ::chmod(pattern.c_str(), 0755);
    m_path = BytePath(pattern);
}

RamFileSystem::RamFileSystem()
{
    std::string pattern = TestEnvironment::root().bytes() + "/ramfs-XXXXXX";
    if (::geteuid() != 0 || ::mkdtemp(pattern.data()) == nullptr) return;
    if (::mount("lurkel-test", pattern.c_str(), "ramfs", MS_NOSUID | MS_NODEV, "mode=0755") != 0) {
        ::rmdir(pattern.c_str());
        return;
    }
    m_path = BytePath(pattern);
}

RamFileSystem::~RamFileSystem()
{
    if (m_path.empty()) return;
    ::umount2(m_path.c_str(), MNT_DETACH);
    ::rmdir(m_path.c_str());
}

bool runningAsRoot()
{
    return ::geteuid() == 0;
}

void giveToUnprivileged(const BytePath &path)
{
    if (runningAsRoot()) {
        EXPECT_EQ(::lchown(path.c_str(), kNobody, kNobody), 0) << path.bytes();
    }
}

BytePath unprivilegedArea()
{
    static int counter = 0;
    const BytePath area = makeDir(TestEnvironment::root() / ("unprivileged-" + std::to_string(counter++)));
    giveToUnprivileged(area);
    for (const char *sub : {"home", "home/.local", "home/.local/share", "home/.cache", "runtime"})
        giveToUnprivileged(makeDir(area / sub, 0700));
    return area;
}

std::uint64_t allocatedSizeByFind(const BytePath &dir)
{
    SpawnRequest request;
    request.argv = {
        "sh", "-c",
        "find \"$1\" -xdev ! -type d -printf '%i %b\\n' | sort -u | awk '{s+=$2*512} END{printf \"%.0f\", s}'", "sh",
        dir.bytes()};
    const SpawnResult r = Spawn::run(request);
    EXPECT_EQ(r.exitStatus, 0) << r.standardError;
    return std::stoull(r.standardOutput.empty() ? std::string("0") : r.standardOutput);
}

BytePath lurkelctlProgram()
{
    return TestEnvironment::buildDir() / "bin/lurkelctl";
}

CtlResult runLurkelctl(const std::vector<std::string> &args, const std::optional<BytePath> &unprivilegedHome)
{
    const std::string program = lurkelctlProgram().bytes();
    SpawnRequest request;
    request.argv = {program};
    if (unprivilegedHome && runningAsRoot())
        request.argv = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", program};
    request.argv.insert(request.argv.end(), args.begin(), args.end());
    if (unprivilegedHome) {
        const BytePath &home = *unprivilegedHome;
        request.environment = {{"HOME", home.bytes()},
                               {"XDG_DATA_HOME", (home / ".local/share").bytes()},
                               {"XDG_CACHE_HOME", (home / ".cache").bytes()},
                               {"XDG_CONFIG_HOME", (home / ".config").bytes()},
                               {"XDG_RUNTIME_DIR", (home.parent() / "runtime").bytes()}};
    }
    request.workingDirectory = (unprivilegedHome ? *unprivilegedHome : TestEnvironment::root()).bytes();
    const SpawnResult r = Spawn::run(request);
    EXPECT_TRUE(r.started) << (r.error ? r.error->localizedDescription().toStdString() : std::string());
    return CtlResult{r.exitStatus, r.standardOutput, r.standardError};
}

} // namespace lurkel::test
