#pragma once

#include "BytePath.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace lurkel::test {

// Names that break shells, line-based tools, comma splitters and naive UTF-8 handling, and one
// of the longest name a file system takes (255 bytes). Every test of names uses this set.
std::vector<std::string> hostileNames();

BytePath makeDir(const BytePath &path, unsigned mode = 0755);
bool exists(const BytePath &path);                     // lstat succeeds
std::set<std::string> namesIn(const BytePath &folder); // its entries but . and ..
void removeTree(const BytePath &path);

// Every entry under root (root itself as ""), keyed by relative path, as describe() gives it:
// kind, permission bits, mtime in nanoseconds, and the content of files and links.
using Snapshot = std::map<std::string, std::string>;
Snapshot snapshot(const BytePath &root);
std::string describe(const BytePath &entry);

// The allocated size of everything below dir that is not a folder, each inode once, on
// dir's file system only, as find, sort and awk add it up.
std::uint64_t allocatedSizeByFind(const BytePath &dir);

// A scratch folder on another file system than the test folder's (tmpfs at /dev/shm), removed
// with its content at the end; path() is empty when there is none.
class OtherFileSystem {
public:
    OtherFileSystem();
    ~OtherFileSystem() { removeTree(m_path); }
    OtherFileSystem(const OtherFileSystem &) = delete;
    const BytePath &path() const { return m_path; }

private:
    BytePath m_path;
};

// A fresh ramfs, which keeps no extended attributes (setxattr says EOPNOTSUPP), mounted under
// the test folder for one test and unmounted at the end; path() is empty when it cannot be
// mounted (not root, or no mounts allowed here).
class RamFileSystem {
public:
    RamFileSystem();
    ~RamFileSystem();
    RamFileSystem(const RamFileSystem &) = delete;
    const BytePath &path() const { return m_path; }

private:
    BytePath m_path;
};

// Runs the real lurkelctl. With unprivilegedHome, as nobody (65534) through setpriv when this
// process is root, with that HOME; giveToUnprivileged lchowns a path to nobody when root.
struct CtlResult {
    int exitStatus = -1;
    std::string out, err;
};
// The built lurkelctl.
BytePath lurkelctlProgram();
CtlResult runLurkelctl(const std::vector<std::string> &args, const std::optional<BytePath> &unprivilegedHome = {});
bool runningAsRoot();
void giveToUnprivileged(const BytePath &path);
BytePath unprivilegedArea(); // a folder that user can reach, with home/ prepared

} // namespace lurkel::test
